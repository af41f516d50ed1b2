// The BMP files this program reads and writes.
//
//   offset  size  field
//        0     2  bfType          "BM"
//        2     4  bfSize          copied only
//        6     4  bfReserved1/2   copied only
//       10     4  bfOffBits       where the pixels start: 14 + info header or more
//       14     4  biSize          40, 108 (V4) or 124 (V5)
//       18     4  biWidth         1 .. 8192
//       22     4  biHeight        1 .. 8192 bottom row first, -1 .. -8192 top row first
//       26     2  biPlanes        copied only
//       28     2  biBitCount      24
//       30     4  biCompression   0 (uncompressed)
//       34    20  biSizeImage .. biClrImportant, then the rest of a V4/V5 header: copied only
//  bfOffBits      pixel rows, each width x 3 bytes (blue, green, red) padded
//                 to a multiple of 4 bytes
//  after the rows anything, such as a V5 header's colour profile
//
// Every field is little-endian. Every byte that is not a pixel (all before
// bfOffBits, the row padding, all after the last row) is kept and written
// back unchanged, so the output carries the input's header even where
// bfSize or biSizeImage disagree with it, and a profile the header points
// at is still there. The working image holds the
// picture top row first with channels red, green, blue; reading and writing
// map between the two with the same rule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image_store.h"

enum class BmpStatus {
    ok,
    truncated_header,
    not_a_bmp,
    unsupported_header,
    bad_pixel_offset,
    unsupported_bit_depth,
    compressed,
    empty_picture,
    negative_width,
    picture_too_large,
    truncated_pixels,
    trailing_too_large,
    read_error,
};

// How the pixels of a validated header lie in the file.
struct PixelLayout {
    int width;
    int height;
    bool top_down;
    std::size_t row_bytes;  // padded
};

constexpr std::size_t FILE_HEADER_BYTES = 14;

// Checks the header bytes and fills the geometry. Pure: reads nothing but
// the `available` bytes given. When the bytes seen so far are valid but not
// enough, returns truncated_header with *header_size set to how many bytes
// the header needs (at least `available` + 1), so the caller can read more
// and ask again.
BmpStatus parseBmpHeader(const std::uint8_t* bytes, std::size_t available, ImageGeometry* geometry,
                         std::size_t* header_size);

// Only meaningful for a geometry that parseBmpHeader accepted.
PixelLayout pixelLayoutOf(const ImageGeometry& geometry);

// Where the bytes come from and go to: a file in the program, memory in
// tests and in the fuzzer. `read` returns how many bytes it delivered;
// `failed` tells a read error from the end of the data.
struct ByteSource {
    void* context;
    std::size_t (*read)(void* context, std::uint8_t* destination, std::size_t count);
    bool (*failed)(void* context);
};

struct ByteSink {
    void* context;
    bool (*write)(void* context, const std::uint8_t* source, std::size_t count);
};

// Reads the whole file: the header into `kept` and `geometry`, the pixels
// into `image`, the row padding and every byte after the rows into `kept`.
// Nothing is written to `image` unless the header is valid; on a short
// pixel read the image holds what was read.
BmpStatus loadBmp(const ByteSource& source, KeptBytes* kept, ImageGeometry* geometry, std::uint8_t* image);

// Writes the kept header, the picture's pixels with their kept padding and
// the kept bytes after them.
bool saveBmp(const ByteSink& sink, const KeptBytes& kept, const ImageGeometry& geometry, const std::uint8_t* image);
