#include "bmp_format.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t CORE_INFO_HEADER_BYTES = 40;
constexpr std::size_t SMALLEST_HEADER_BYTES = FILE_HEADER_BYTES + CORE_INFO_HEADER_BYTES;
constexpr std::uint32_t ACCEPTED_INFO_HEADER_SIZES[] = {40, 108, 124};
constexpr std::uint16_t BMP_SIGNATURE = 0x4D42;  // "BM" read little-endian
constexpr std::uint16_t BITS_PER_PIXEL = 24;
constexpr std::uint32_t UNCOMPRESSED = 0;
constexpr std::size_t BYTES_PER_PIXEL = 3;

std::uint16_t readU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

std::uint32_t readU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t readS32(const std::uint8_t* p) {
    // Two's complement by arithmetic, so no implementation-defined cast.
    const std::int64_t u = readU32(p);
    return std::int32_t(u >= 0x80000000LL ? u - 0x100000000LL : u);
}

bool isAcceptedInfoHeaderSize(std::uint32_t size) {
    for (std::uint32_t accepted : ACCEPTED_INFO_HEADER_SIZES)
        if (size == accepted) return true;
    return false;
}

// Accepts -limit..-1 and 1..limit without ever negating INT_MIN.
bool isDimensionInRange(std::int32_t value, int limit) {
    return value != 0 && value >= -limit && value <= limit;
}

void fillGeometry(const std::uint8_t* h, ImageGeometry* g) {
    g->bfType = readU16(h + 0);
    g->bfSize = readU32(h + 2);
    g->bfReserved1 = readU16(h + 6);
    g->bfReserved2 = readU16(h + 8);
    g->bfOffBits = readU32(h + 10);
    g->biSize = readU32(h + 14);
    g->biWidth = readS32(h + 18);
    g->biHeight = readS32(h + 22);
    g->biPlanes = readU16(h + 26);
    g->biBitCount = readU16(h + 28);
    g->biCompression = readU32(h + 30);
    g->biSizeImage = readU32(h + 34);
    g->biXPelsPerMeter = readS32(h + 38);
    g->biYPelsPerMeter = readS32(h + 42);
    g->biClrUsed = readU32(h + 46);
    g->biClrImportant = readU32(h + 50);
}

bool readExactly(const ByteSource& source, std::uint8_t* destination, std::size_t count) {
    return source.read(source.context, destination, count) == count;
}

BmpStatus shortReadStatus(const ByteSource& source, BmpStatus truncated) {
    return source.failed(source.context) ? BmpStatus::read_error : truncated;
}

#if defined(__SSE2__)
constexpr int SWAP_CHUNK = 48;
// SWAP_MASKS.bytes[r][k]: in the r-th register of a chunk, the bytes whose
// place in their pixel is k (0 first, 1 middle, 2 third): byte j sits at
// place (16r + j) mod 3 = (r + j) mod 3.
struct SwapMasks {
    alignas(16) std::uint8_t bytes[3][3][16];
};
constexpr SwapMasks swapMasks() {
    SwapMasks m{};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 16; ++j) m.bytes[r][k][j] = (r + j) % 3 == k ? 0xFF : 0x00;
    return m;
}
constexpr SwapMasks SWAP_MASKS = swapMasks();

__m128i swapMask(int r, int k) { return _mm_load_si128(reinterpret_cast<const __m128i*>(SWAP_MASKS.bytes[r][k])); }
#endif

int workingRowOf(int file_row, const PixelLayout& layout) {
    return layout.top_down ? file_row : layout.height - 1 - file_row;
}

// File byte k (blue, green, red) of a pixel is working channel 2 - k, and
// the other way round: the same swap of each pixel's first and third byte.
void swapFirstAndThird(const std::uint8_t* from, int width, std::uint8_t* to) {
    const int bytes = width * int(BYTES_PER_PIXEL);
    int i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time from three loads: the byte two on, the byte
    // itself, the byte two back, each kept where its place in the pixel
    // asks for it. Sixteen is one more than a whole number of pixels, so
    // the masks come round every three registers (48 bytes, 16 pixels).
    // The first 48 bytes go byte by byte, so no load starts before `from`.
    if (bytes >= 2 * SWAP_CHUNK + 2) {
        for (; i < SWAP_CHUNK; ++i) to[i] = from[i + 2 - 2 * (i % 3)];
        for (; i + SWAP_CHUNK + 2 <= bytes; i += SWAP_CHUNK) {
            for (int r = 0; r < 3; ++r) {
                const std::uint8_t* at = from + i + 16 * r;
                auto bytesAt = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
                const __m128i ahead = _mm_and_si128(bytesAt(at + 2), swapMask(r, 0));
                const __m128i same = _mm_and_si128(bytesAt(at), swapMask(r, 1));
                const __m128i behind = _mm_and_si128(bytesAt(at - 2), swapMask(r, 2));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16 * r),
                                 _mm_or_si128(_mm_or_si128(ahead, same), behind));
            }
        }
    }
#endif
    for (; i < bytes; ++i) to[i] = from[i + 2 - 2 * (i % 3)];
}

void unpackRow(const std::uint8_t* file_row, int width, std::uint8_t* image_row) {
    swapFirstAndThird(file_row, width, image_row);
}

void packRow(const std::uint8_t* image_row, int width, std::uint8_t* file_row) {
    swapFirstAndThird(image_row, width, file_row);
}

std::size_t paddingOf(const PixelLayout& layout) { return layout.row_bytes - std::size_t(layout.width) * BYTES_PER_PIXEL; }

// Everything up to the end of the file, refused past MAX_TRAILING_BYTES
// rather than silently cut: the output must not lose what the input had.
BmpStatus readTrailingBytes(const ByteSource& source, KeptBytes* kept) {
    kept->trailing_length = 0;
    for (;;) {
        const std::size_t room = MAX_TRAILING_BYTES - kept->trailing_length;
        if (room == 0) {
            std::uint8_t probe;
            if (source.read(source.context, &probe, 1) != 0) return BmpStatus::trailing_too_large;
            break;
        }
        const std::size_t got = source.read(source.context, kept->trailing + kept->trailing_length, room);
        kept->trailing_length += got;
        if (got == 0) break;
    }
    return source.failed(source.context) ? BmpStatus::read_error : BmpStatus::ok;
}

// One padded file row; the widest row fits (8192 x 3, already a multiple of 4).
std::uint8_t row_buffer[ROW_STRIDE + 4];

}  // namespace

BmpStatus parseBmpHeader(const std::uint8_t* bytes, std::size_t available, ImageGeometry* geometry,
                         std::size_t* header_size) {
    // Checked in file order, so each field is looked at only once the bytes
    // before it are known to be present and valid.
    *header_size = FILE_HEADER_BYTES;
    if (available < FILE_HEADER_BYTES) return BmpStatus::truncated_header;
    if (readU16(bytes) != BMP_SIGNATURE) return BmpStatus::not_a_bmp;
    const std::uint32_t pixel_offset = readU32(bytes + 10);
    if (pixel_offset < SMALLEST_HEADER_BYTES || pixel_offset > MAX_HEADER_BYTES)
        return BmpStatus::bad_pixel_offset;
    *header_size = pixel_offset;
    if (available < pixel_offset) return BmpStatus::truncated_header;

    fillGeometry(bytes, geometry);
    if (!isAcceptedInfoHeaderSize(geometry->biSize)) return BmpStatus::unsupported_header;
    if (pixel_offset < FILE_HEADER_BYTES + geometry->biSize) return BmpStatus::bad_pixel_offset;
    if (geometry->biBitCount != BITS_PER_PIXEL) return BmpStatus::unsupported_bit_depth;
    if (geometry->biCompression != UNCOMPRESSED) return BmpStatus::compressed;
    if (geometry->biWidth == 0 || geometry->biHeight == 0) return BmpStatus::empty_picture;
    // Rows may run either way, columns only left to right.
    if (geometry->biWidth < 0) return BmpStatus::negative_width;
    if (!isDimensionInRange(geometry->biWidth, MAX_IMAGE_COLUMNS) ||
        !isDimensionInRange(geometry->biHeight, MAX_IMAGE_ROWS))
        return BmpStatus::picture_too_large;
    return BmpStatus::ok;
}

PixelLayout pixelLayoutOf(const ImageGeometry& geometry) {
    PixelLayout layout;
    layout.width = geometry.biWidth;
    layout.top_down = geometry.biHeight < 0;
    layout.height = layout.top_down ? -geometry.biHeight : geometry.biHeight;
    layout.row_bytes = (std::size_t(layout.width) * BYTES_PER_PIXEL + 3) & ~std::size_t{3};
    return layout;
}

BmpStatus loadBmp(const ByteSource& source, KeptBytes* kept, ImageGeometry* geometry, std::uint8_t* image) {
    std::size_t have = 0;
    std::size_t want = FILE_HEADER_BYTES;
    BmpStatus status;
    for (;;) {
        if (!readExactly(source, kept->header + have, want - have))
            return shortReadStatus(source, BmpStatus::truncated_header);
        have = want;
        status = parseBmpHeader(kept->header, have, geometry, &want);
        // parseBmpHeader asks for more only while the header is still plausible,
        // and never for more than MAX_HEADER_BYTES.
        if (status != BmpStatus::truncated_header || want <= have) break;
    }
    if (status != BmpStatus::ok) return status;

    const PixelLayout layout = pixelLayoutOf(*geometry);
    const std::size_t padding = paddingOf(layout);
    for (int file_row = 0; file_row < layout.height; ++file_row) {
        if (!readExactly(source, row_buffer, layout.row_bytes))
            return shortReadStatus(source, BmpStatus::truncated_pixels);
        unpackRow(row_buffer, layout.width, image + pixelIndex(workingRowOf(file_row, layout), 0, 0));
        std::memcpy(kept->row_padding[file_row], row_buffer + layout.row_bytes - padding, padding);
    }
    return readTrailingBytes(source, kept);
}

bool saveBmp(const ByteSink& sink, const KeptBytes& kept, const ImageGeometry& geometry, const std::uint8_t* image) {
    if (!sink.write(sink.context, kept.header, geometry.bfOffBits)) return false;
    const PixelLayout layout = pixelLayoutOf(geometry);
    const std::size_t padding = paddingOf(layout);
    for (int file_row = 0; file_row < layout.height; ++file_row) {
        packRow(image + pixelIndex(workingRowOf(file_row, layout), 0, 0), layout.width, row_buffer);
        std::memcpy(row_buffer + layout.row_bytes - padding, kept.row_padding[file_row], padding);
        if (!sink.write(sink.context, row_buffer, layout.row_bytes)) return false;
    }
    return kept.trailing_length == 0 || sink.write(sink.context, kept.trailing, kept.trailing_length);
}
