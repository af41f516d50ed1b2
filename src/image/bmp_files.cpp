#include "bmp_files.h"

#include <cstdio>
#include <cstdlib>

#include "../messages/messages.h"
#include "bmp_format.h"
#include "filter_stage.h"
#include "image_store.h"
#include "platform_files.h"
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

// Room for the longest output name, the process number and the attempt.
constexpr int TEMPORARY_NAME_SIZE = NAME_BUFFER_SIZE + 48;
// Names are the run's own, so only leftovers of killed runs that had the
// same process number can be in the way; far more than could pile up.
constexpr int TEMPORARY_NAME_ATTEMPTS = 100000;

// The file the picture was read from, whatever names lead to it: the one
// file the run may never replace.
FileIdentity input_identity;

// A fresh file in the output's own folder, so the final rename never has
// to cross file systems. Never opens anything that was already there.
std::FILE* createTemporaryBeside(const char* name, char* temporary_name) {
    const unsigned long run = processNumber();
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        std::snprintf(temporary_name, TEMPORARY_NAME_SIZE, "%s.%lu-%d.tmp", name, run, attempt);
        std::FILE* file = nullptr;
        const CreateResult result = createTemporaryFile(temporary_name, &file);
        if (result == CreateResult::created) return withLargeBuffer(file);
        if (result == CreateResult::failed) return nullptr;
    }
    return nullptr;
}

// Finishes the file, gives it the permissions it keeps as `name` once every
// byte is in it, and reports whether every byte reached it.
bool finishFile(std::FILE* file, bool written, const char* name) {
    written = std::fflush(file) == 0 && written;
    written = std::ferror(file) == 0 && written;
    if (written) giveFinalPermissions(file, name);
    return std::fclose(file) == 0 && written;
}

[[noreturn]] void removeAndRefuse(const char* temporary_name, const char* message) {
    removeTemporaryFile(temporary_name);
    refuse(message);
}

}  // namespace

void readBmp(const char* name, std::uint8_t* image) {
    std::FILE* file = withLargeBuffer(std::fopen(name, "rb"));
    if (file == nullptr) {
        std::fputs(kReadOpenFailed, stdout);
        refuse(kReadOpenFailedTrailer);
    }
    input_identity = identityOfOpenFile(file);
    const ByteSource source{file, readFromFile, fileFailed};
    const BmpStatus status = loadBmp(source, &kept_bytes, &image_geometry, image);
    if (status != BmpStatus::ok) {
        std::fclose(file);
        refuse(readRefusalText(status));
    }
    const PixelLayout layout = pixelLayoutOf(image_geometry);
    runFilterStage(image, PictureSize{layout.height, layout.width}, filterSettingsOf(filter_parameters), stdout);
    std::fclose(file);
}

void writeBmp(const std::uint8_t* image, const char* full_name) {
    // What the run has printed reaches the console even if the write is cut short.
    std::fflush(stdout);
    // Held since the dialogue checked the name, unless it could not be then.
    holdOutputFolder(full_name);
    const char* name = nameInFolder(full_name);
    if (examineOutput(name) == ExistingOutput::not_writable) refuse(kWriteOpenFailed);

    char temporary_name[TEMPORARY_NAME_SIZE];
    std::FILE* file = createTemporaryBeside(name, temporary_name);
    if (file == nullptr) refuse(kWriteOpenFailed);

    const ByteSink sink{file, writeToFile};
    const bool written = saveBmp(sink, kept_bytes, image_geometry, image);
    if (!finishFile(file, written, name)) removeAndRefuse(temporary_name, kWriteFailed);
    // The names were checked in the dialogue; what they lead to may have
    // changed since.
    if (isFileOrLinkTo(name, input_identity)) removeAndRefuse(temporary_name, kWriteWouldReplaceInput);
    if (!replaceWithTemporaryFile(temporary_name, name)) removeAndRefuse(temporary_name, kWriteOpenFailed);
}
