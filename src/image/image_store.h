// The image store: every piece of data a run shares, reserved statically
// once for the whole run. Nothing here is allocated or freed; the largest
// picture fits before the first prompt is printed.
#pragma once

#include <cstddef>
#include <cstdint>

// As large as a camera's pictures (8192 x 5464 the largest of them). The
// store is zero-initialised static storage, and a run touches only the
// pages its picture lies in: each row's 3 x width bytes rounded up to whole
// pages (a 2000 x 2000 picture about 16 MB, 8192 x 5464 134 MB).
constexpr int MAX_IMAGE_ROWS = 8192;
constexpr int MAX_IMAGE_COLUMNS = 8192;
constexpr int CHANNELS_PER_PIXEL = 3;  // red, green, blue
constexpr int ROW_STRIDE = MAX_IMAGE_COLUMNS * CHANNELS_PER_PIXEL;  // 24,576 bytes
constexpr std::size_t IMAGE_BYTES = std::size_t{MAX_IMAGE_ROWS} * ROW_STRIDE;  // 192 MiB
// The pages of most systems; rows lie a whole number of them apart.
constexpr std::size_t PAGE_BYTES = 4096;
static_assert(ROW_STRIDE % PAGE_BYTES == 0, "rows lie whole pages apart");
// Every byte index of the store, and any two added, fit an int.
static_assert(IMAGE_BYTES < (std::size_t{1} << 30), "byte indices of the store fit an int");
constexpr int NAME_BUFFER_SIZE = 100;  // terminating NUL included

constexpr int FILTER_MODE_SMOOTHING = 0;
constexpr int FILTER_MODE_MEDIAN = 1;
constexpr int FILTER_MODE_ORIGINAL_BLEND = 2;
constexpr int FILTER_MODE_CRISP_SMOOTH_BLEND = 3;

// Byte index of channel c of the pixel in row r, column x.
constexpr std::size_t pixelIndex(int r, int x, int c) {
    return std::size_t(r) * ROW_STRIDE + std::size_t(x) * CHANNELS_PER_PIXEL + std::size_t(c);
}

// What the filters take from the dialogue's answers.
struct FilterSettings {
    std::int32_t filter_mode;
    double removal_coefficient;
    double max_threshold;
    double min_threshold;
};

// The answers of the dialogue; zero or empty until it runs: the two names
// and the filter's settings, written once here so the two cannot drift.
struct FilterParameters : FilterSettings {
    char input_name[NAME_BUFFER_SIZE];
    char output_name[NAME_BUFFER_SIZE];
};

constexpr FilterSettings filterSettingsOf(const FilterParameters& p) { return p; }

// The header fields of the input file, kept from reading to writing. Only
// biWidth and biHeight are interpreted; the rest are read to be checked and
// are written back byte for byte from kept_bytes, never re-encoded.
struct ImageGeometry {
    std::uint16_t bfType;
    std::uint32_t bfSize;
    std::uint16_t bfReserved1;
    std::uint16_t bfReserved2;
    std::uint32_t bfOffBits;
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

// Largest pixel offset accepted: room for the largest information header
// plus a colour table or gap that some writers leave before the pixels.
constexpr std::uint32_t MAX_HEADER_BYTES = 1u << 16;

// Most bytes after the last pixel row a file may carry (a colour profile,
// a linked profile's name): ample for the largest embedded profiles.
constexpr std::size_t MAX_TRAILING_BYTES = std::size_t{16} << 20;
constexpr int MAX_ROW_PADDING = 3;  // a row is padded to a multiple of 4 bytes

// Every byte of the input file that is not a pixel, kept so that the output
// differs from the input only where the filter changed a pixel.
struct KeptBytes {
    std::uint8_t header[MAX_HEADER_BYTES];  // all before the pixels: headers, colour table, gap
    std::uint8_t row_padding[MAX_IMAGE_ROWS][MAX_ROW_PADDING];  // by file row
    std::size_t trailing_length;
    std::uint8_t trailing[MAX_TRAILING_BYTES];  // all after the last row
};

// The picture as the filters see it: rows top first, always positive.
struct PictureSize {
    int height;
    int width;
};

extern std::uint8_t working_image[IMAGE_BYTES];
extern FilterParameters filter_parameters;
extern ImageGeometry image_geometry;
extern KeptBytes kept_bytes;
