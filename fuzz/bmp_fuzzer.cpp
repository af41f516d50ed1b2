// libFuzzer target over everything a hostile BMP file reaches: the header
// check, the whole read path, writing back what was read, and every filter
// on small pictures, compared with the plain forms of the filters: the form
// the filter stage selects, and each lane path this processor runs.
//
// The input is a file, optionally followed by filter settings: the bytes
// after the last pixel row of an accepted picture (which loadBmp keeps)
// choose the filter mode, the coefficient and the two thresholds (missing
// bytes count as zero).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include "filters/fast/lane_path.h"
#include "filters/filter_modes.h"
#include "image/bmp_format.h"
#include "image/filter_stage.h"
#include "image/image_store.h"
#include "memory_source.h"

namespace {

// Pictures this small are read back after writing, and the smallest are
// filtered too (a 5x5 window visit costs microseconds under the sanitizers):
// up to 768 pixels, as tall or wide as 48, so that a narrow picture reaches
// past the AVX paths' first band of 32 rows. Larger ones only go through
// the reader and the writer.
constexpr int RELOAD_LIMIT = 64;
constexpr int FILTER_SIDE_LIMIT = 48;
constexpr int FILTER_PIXEL_LIMIT = 16 * 48;

std::uint8_t image[IMAGE_BYTES];
std::uint8_t reloaded_image[IMAGE_BYTES];
std::uint8_t plain_image[IMAGE_BYTES];
std::uint8_t path_image[IMAGE_BYTES];
KeptBytes kept;
KeptBytes reloaded_kept;

[[noreturn]] void propertyFailed(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

void require(bool holds, const char* what) {
    if (!holds) propertyFailed(what);
}

bool isHeaderStatus(BmpStatus status) {
    return status != BmpStatus::ok && status != BmpStatus::truncated_pixels &&
           status != BmpStatus::trailing_too_large && status != BmpStatus::read_error;
}

// The pure check on exactly the bytes given, with what it promises.
void checkHeaderParser(const std::uint8_t* data, std::size_t size) {
    ImageGeometry geometry{};
    std::size_t needed = 0;
    const BmpStatus status = parseBmpHeader(data, size, &geometry, &needed);
    if (status == BmpStatus::truncated_header) {
        require(needed > size, "a short header asks for more bytes than it had");
        require(needed <= MAX_HEADER_BYTES, "a short header never asks past the largest header");
    }
    if (status != BmpStatus::ok) return;
    require(needed <= size && needed == geometry.bfOffBits, "an accepted header is as long as its pixel offset");
    const PixelLayout layout = pixelLayoutOf(geometry);
    require(layout.width >= 1 && layout.width <= MAX_IMAGE_COLUMNS, "accepted width");
    require(layout.height >= 1 && layout.height <= MAX_IMAGE_ROWS, "accepted height");
    require(layout.row_bytes % 4 == 0 && layout.row_bytes >= std::size_t(layout.width) * 3 &&
                layout.row_bytes < std::size_t(layout.width) * 3 + 4,
            "padded row length");
}

// The reader must judge a header exactly as the pure check does once it
// has read the same bytes.
void checkReaderAgreesWithParser(const std::uint8_t* data, std::size_t size, BmpStatus loaded) {
    ImageGeometry geometry{};
    std::size_t needed = 0;
    const BmpStatus parsed = parseBmpHeader(data, size, &geometry, &needed);
    if (isHeaderStatus(parsed) && parsed != BmpStatus::truncated_header)
        require(loaded == parsed, "reader and header check disagree on a refused header");
    if (parsed == BmpStatus::ok) require(loaded == BmpStatus::ok || loaded == BmpStatus::truncated_pixels,
                                         "reader refuses a header the check accepts");
    require(loaded != BmpStatus::read_error, "memory never fails to read");
}

std::vector<std::uint8_t> saved;

// Every byte that is not a pixel is kept, so writing back what was read
// gives the file itself.
void saveAndCheckCopy(const std::uint8_t* data, std::size_t size, const ImageGeometry& geometry) {
    saved.clear();
    require(saveBmp(vectorSink(&saved), kept, geometry, image), "saving to memory succeeds");
    require(saved.size() == size && std::memcmp(saved.data(), data, size) == 0,
            "writing back what was read gives the file byte for byte");
}

// Reading the saved bytes must give the same header and the same picture.
void checkReload(const ImageGeometry& geometry) {
    MemoryFile memory{saved.data(), saved.size()};
    ImageGeometry reloaded{};
    require(loadBmp(memorySource(&memory), &reloaded_kept, &reloaded, reloaded_image) == BmpStatus::ok,
            "the saved file is read back");
    require(memory.position == saved.size(), "the saved file is read to its end");
    require(std::memcmp(&reloaded, &geometry, sizeof geometry) == 0, "same geometry after the round trip");
    require(std::memcmp(reloaded_kept.header, kept.header, geometry.bfOffBits) == 0, "same header after the round trip");
    const PixelLayout layout = pixelLayoutOf(geometry);
    for (int row = 0; row < layout.height; ++row)
        require(std::memcmp(reloaded_image + pixelIndex(row, 0, 0), image + pixelIndex(row, 0, 0),
                            std::size_t(layout.width) * CHANNELS_PER_PIXEL) == 0,
                "same pixels after the round trip");
}

// Values the dialogue can hand the filters, the awkward ones included.
double parameterFromByte(std::uint8_t code, double scale) {
    switch (code) {
        case 0xFF: return std::numeric_limits<double>::quiet_NaN();
        case 0xFE: return std::numeric_limits<double>::infinity();
        case 0xFD: return -std::numeric_limits<double>::infinity();
        case 0xFC: return std::numeric_limits<double>::max();
        case 0xFB: return -std::numeric_limits<double>::max();
        case 0xFA: return std::numeric_limits<double>::denorm_min();
        case 0xF9: return -0.0;
        default: return (double(code) - 16.0) * scale;
    }
}

FilterSettings settingsFrom(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t code[4] = {0, 0, 0, 0};
    std::memcpy(code, bytes, count < sizeof code ? count : sizeof code);
    FilterSettings settings;
    settings.filter_mode = FILTER_MODES[code[0] % std::size(FILTER_MODES)].number;
    settings.removal_coefficient = parameterFromByte(code[1], 0.25);  // spreads run 0..50 %
    settings.max_threshold = parameterFromByte(code[2], 1.0 / 128.0);  // deviations run 0..1
    settings.min_threshold = parameterFromByte(code[3], 1.0 / 128.0);
    return settings;
}

// The console text of one filter run, kept in memory.
struct Console {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* file = open_memstream(&text, &length);
    ~Console() { std::free(text); }
    void finish() { std::fclose(file); }
};

// Whatever form the filter stage selects must give the plain form's bytes
// and console text: the plain forms are the reference.
void runPlainForm(std::uint8_t* picture, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    const FilterMode* mode = filterModeOf(settings.filter_mode);
    if (mode != nullptr) runFilterForm(*mode, mode->plain, picture, size, settings, console);
}

// Each lane path this processor runs, not only the one the stage chose,
// from the same picture (kept in reloaded_image): the plain form's bytes
// and text again.
void compareEveryLanePathWithPlainForm(PictureSize size, const FilterSettings& settings, std::size_t rows_bytes,
                                       const char* plain_text, std::size_t plain_length) {
    const FilterMode* mode = filterModeOf(settings.filter_mode);
    if (mode == nullptr || mode->lane_path_form == nullptr) return;
    for (int i = 0; i < LANE_PATH_COUNT; ++i) {
        const LanePath& path = LANE_PATHS[i];
        if (!path.runs_here()) continue;
        std::memcpy(path_image, reloaded_image, rows_bytes);
        Console console;
        runFilterForm(*mode, fastFormIn(*mode, path), path_image, size, settings, console.file);
        console.finish();
        require(console.length == plain_length && std::memcmp(console.text, plain_text, plain_length) == 0,
                "every lane path prints what the plain form prints");
        require(std::memcmp(path_image, plain_image, rows_bytes) == 0, "every lane path gives the plain form's bytes");
    }
}

// The filters may only change the interior: the two-pixel frame and the
// store beside the picture stay as they were.
void runFilterAndCompareWithPlainForm(const PixelLayout& layout, const FilterSettings& settings) {
    const std::size_t rows_bytes = pixelIndex(layout.height, 0, 0) + ROW_STRIDE;
    std::memcpy(reloaded_image, image, rows_bytes);
    std::memcpy(plain_image, image, rows_bytes);
    const PictureSize size{layout.height, layout.width};
    Console selected, plain;
    runFilterStage(image, size, settings, selected.file);
    runPlainForm(plain_image, size, settings, plain.file);
    selected.finish();
    plain.finish();
    require(selected.length == plain.length && std::memcmp(selected.text, plain.text, plain.length) == 0,
            "the selected filter prints what the plain form prints");
    require(std::memcmp(image, plain_image, rows_bytes) == 0, "the selected filter gives the plain form's bytes");
    compareEveryLanePathWithPlainForm(size, settings, rows_bytes, plain.text, plain.length);

    // A stray write lands next to the picture: look a little beyond it.
    const int columns_checked = layout.width + 3 < MAX_IMAGE_COLUMNS ? layout.width + 3 : MAX_IMAGE_COLUMNS;
    for (int row = 0; row <= layout.height && row < MAX_IMAGE_ROWS; ++row) {
        for (int x = 0; x < columns_checked; ++x) {
            const bool interior = row >= 2 && row < layout.height - 2 && x >= 2 && x < layout.width - 2;
            if (interior) continue;
            for (int c = 0; c < CHANNELS_PER_PIXEL; ++c)
                require(image[pixelIndex(row, x, c)] == reloaded_image[pixelIndex(row, x, c)],
                        "a filter changed a byte outside the picture's interior");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkHeaderParser(data, size);

    MemoryFile memory{data, size};
    ImageGeometry geometry{};
    const BmpStatus status = loadBmp(memorySource(&memory), &kept, &geometry, image);
    checkReaderAgreesWithParser(data, size, status);
    if (status != BmpStatus::ok) return 0;

    saveAndCheckCopy(data, size, geometry);
    const PixelLayout layout = pixelLayoutOf(geometry);
    if (layout.width > RELOAD_LIMIT || layout.height > RELOAD_LIMIT) return 0;
    checkReload(geometry);
    if (layout.width > FILTER_SIDE_LIMIT || layout.height > FILTER_SIDE_LIMIT ||
        layout.width * layout.height > FILTER_PIXEL_LIMIT)
        return 0;
    runFilterAndCompareWithPlainForm(layout, settingsFrom(kept.trailing, kept.trailing_length));
    return 0;
}
