#include "bmp_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "../messages/messages.h"
#include "bmp_format.h"
#include "filter_stage.h"
#include "image_store.h"
#include "read_refusal.h"

namespace {

std::size_t readFromFile(void* context, std::uint8_t* destination, std::size_t count) {
    return std::fread(destination, 1, count, static_cast<std::FILE*>(context));
}

bool fileFailed(void* context) { return std::ferror(static_cast<std::FILE*>(context)) != 0; }

bool writeToFile(void* context, const std::uint8_t* source, std::size_t count) {
    return std::fwrite(source, 1, count, static_cast<std::FILE*>(context)) == count;
}

[[noreturn]] void refuse(const char* message) {
    std::fputs(message, stdout);
    std::exit(EXIT_FAILURE);
}

// One large stdio buffer, for whichever file is open: the input is closed
// before the output is created. The default few kilobytes would take
// thousands of system calls for a large picture.
char file_buffer[1 << 20];

std::FILE* withLargeBuffer(std::FILE* file) {
    if (file != nullptr) std::setvbuf(file, file_buffer, _IOFBF, sizeof file_buffer);
    return file;
}

// Room for the longest output name and the temporary suffix.
constexpr int TEMPORARY_NAME_SIZE = NAME_BUFFER_SIZE + 32;
constexpr int TEMPORARY_NAME_ATTEMPTS = 100;

// Anything at the name counts, a link to nothing too: "wb" would follow it
// and write the picture wherever it points.
bool nameIsTaken(const char* name) {
    std::error_code error;
    return std::filesystem::symlink_status(name, error).type() != std::filesystem::file_type::not_found;
}

// A fresh file in the output's own folder, so the final rename never has
// to cross file systems. Never reuses a name that exists.
std::FILE* createTemporaryBeside(const char* name, char* temporary_name) {
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        std::snprintf(temporary_name, TEMPORARY_NAME_SIZE, "%s.%d.tmp", name, attempt);
        if (!nameIsTaken(temporary_name)) return withLargeBuffer(std::fopen(temporary_name, "wb"));
    }
    return nullptr;
}

// Finishes the file and reports whether every byte reached it.
bool closeCleanly(std::FILE* file, bool written) {
    written = std::fflush(file) == 0 && written;
    written = std::ferror(file) == 0 && written;
    return std::fclose(file) == 0 && written;
}

// Replaces an existing file too, on every platform.
bool putInPlace(const char* temporary_name, const char* name) {
    std::error_code error;
    std::filesystem::rename(temporary_name, name, error);
    return !error;
}

}  // namespace

void readBmp(const char* name, std::uint8_t* image) {
    std::FILE* file = withLargeBuffer(std::fopen(name, "rb"));
    if (file == nullptr) {
        std::fputs(kReadOpenFailed, stdout);
        refuse(kReadOpenFailedTrailer);
    }
    const ByteSource source{file, readFromFile, fileFailed};
    const BmpStatus status = loadBmp(source, header_bytes, &image_geometry, image);
    if (status != BmpStatus::ok) {
        std::fclose(file);
        refuse(readRefusalText(status));
    }
    const PixelLayout layout = pixelLayoutOf(image_geometry);
    runFilterStage(image, PictureSize{layout.height, layout.width}, filterSettingsOf(filter_parameters), stdout);
    std::fclose(file);
}

void writeBmp(const std::uint8_t* image, const char* name) {
    char temporary_name[TEMPORARY_NAME_SIZE];
    std::FILE* file = createTemporaryBeside(name, temporary_name);
    if (file == nullptr) refuse(kWriteOpenFailed);

    const ByteSink sink{file, writeToFile};
    const bool written = saveBmp(sink, header_bytes, image_geometry, image);
    if (!closeCleanly(file, written)) {
        std::remove(temporary_name);
        refuse(kWriteFailed);
    }
    if (!putInPlace(temporary_name, name)) {
        std::remove(temporary_name);
        refuse(kWriteOpenFailed);
    }
}
