// The BMP reader and writer on files held in memory.
#include "image/bmp_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "memory_source.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

testing_support::StoreImage image;
KeptBytes kept;

BmpStatus load(const std::vector<std::uint8_t>& file, ImageGeometry* geometry) {
    image.clear();
    MemoryFile memory{file.data(), file.size()};
    return loadBmp(memorySource(&memory), &kept, geometry, image.data());
}

std::vector<std::uint8_t> save(const ImageGeometry& geometry) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(saveBmp(vectorSink(&bytes), kept, geometry, image.data()));
    return bytes;
}

std::vector<std::uint8_t> sampleFile(int width, int height, sample::BmpOptions options = {}) {
    return sample::encodeBmp(sample::makeRandomPicture(width, height, std::uint32_t(width * 7919 + height)), options);
}

void putU32(std::vector<std::uint8_t>& file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[offset + i] = std::uint8_t(value >> (8 * i));
}

void putU16(std::vector<std::uint8_t>& file, std::size_t offset, std::uint16_t value) {
    file[offset] = std::uint8_t(value);
    file[offset + 1] = std::uint8_t(value >> 8);
}

}  // namespace

TEST(BmpReading, FourByTwoLandsBottomRowLastWithChannelsReversed) {
    // Pixel data of a 4x2 picture: 12 bytes per row, no padding needed.
    std::vector<std::uint8_t> file = sampleFile(4, 2);
    ASSERT_EQ(file.size(), 54u + 24u);
    for (int i = 0; i < 24; ++i) file[54 + i] = std::uint8_t(i + 1);
    ImageGeometry geometry{};
    ASSERT_EQ(load(file, &geometry), BmpStatus::ok);
    EXPECT_EQ(geometry.biWidth, 4);
    EXPECT_EQ(geometry.biHeight, 2);
    // The first byte in the file is blue of the bottom-left pixel.
    EXPECT_EQ(image[pixelIndex(1, 0, 2)], 1);
    EXPECT_EQ(image[pixelIndex(1, 0, 1)], 2);
    EXPECT_EQ(image[pixelIndex(1, 0, 0)], 3);
    // The second row in the file is the top row.
    EXPECT_EQ(image[pixelIndex(0, 0, 2)], 13);
    EXPECT_EQ(image[pixelIndex(0, 3, 0)], 24);
    // Nothing outside the picture is touched.
    EXPECT_EQ(image[pixelIndex(0, 4, 0)], 0);
    EXPECT_EQ(image[pixelIndex(2, 0, 0)], 0);
}

TEST(BmpReading, PaddedRowsAndTopDownFilesMapLikeTheDecoder) {
    // Narrow rows go byte by byte; from 33 pixels on rows are swapped 16
    // pixels at a time with a byte-by-byte start and end.
    for (bool top_down : {false, true}) {
        for (int width : {1, 2, 3, 5, 7, 13, 32, 33, 34, 35, 36, 48, 49, 50, 51, 65, 97, 1999, 2000, 4031, 8191, 8192}) {
            sample::Picture picture = sample::makeRandomPicture(width, 3, std::uint32_t(width));
            sample::BmpOptions options;
            options.top_down = top_down;
            ImageGeometry geometry{};
            ASSERT_EQ(load(sample::encodeBmp(picture, options), &geometry), BmpStatus::ok);
            for (int r = 0; r < 3; ++r)
                for (int x = 0; x < width; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(image[pixelIndex(r, x, c)], picture.rgb[(r * width + x) * 3 + c])
                            << "width " << width << " top_down " << top_down;
            EXPECT_EQ(save(geometry), sample::encodeBmp(picture, options)) << "width " << width;
        }
    }
}

TEST(BmpWriting, EveryAcceptedLayoutComesBackByteForByte) {
    struct Case {
        int width, height, info_header_size;
        bool top_down;
        std::uint32_t gap;
    } cases[] = {
        {1, 1, 40, false, 0},   {2, 3, 40, false, 0},  {3, 2, 40, true, 0},   {5, 5, 108, false, 0},
        {7, 4, 124, true, 0},   {13, 6, 124, false, 0}, {4, 2, 40, false, 10}, {6, 1, 108, true, 3},
    };
    for (const Case& c : cases) {
        sample::BmpOptions options;
        options.info_header_size = c.info_header_size;
        options.top_down = c.top_down;
        options.extra_gap = c.gap;
        std::vector<std::uint8_t> file = sampleFile(c.width, c.height, options);
        // Junk in the gap and in the padding-free header fields must survive too.
        if (c.gap > 0) file[14 + c.info_header_size] = 0xAB;
        ImageGeometry geometry{};
        ASSERT_EQ(load(file, &geometry), BmpStatus::ok);
        EXPECT_EQ(save(geometry), file) << c.width << "x" << c.height << " header " << c.info_header_size;
    }
}

TEST(BmpWriting, PaddingAndBytesAfterTheRowsAreKept) {
    std::vector<std::uint8_t> file = sampleFile(1, 2);  // 3 pixel bytes + 1 pad byte per row
    file[54 + 3] = 0x77;
    file[54 + 7] = 0x78;
    file.insert(file.end(), {1, 2, 3, 4, 5});
    ImageGeometry geometry{};
    ASSERT_EQ(load(file, &geometry), BmpStatus::ok);
    EXPECT_EQ(kept.trailing_length, 5u);
    EXPECT_EQ(save(geometry), file);
}

TEST(BmpReading, BytesAfterTheRowsAreKeptUpToTheirLimit) {
    std::vector<std::uint8_t> file = sampleFile(3, 3);
    const std::size_t pixels_end = file.size();
    file.resize(pixels_end + MAX_TRAILING_BYTES, 0x5A);
    file.back() = 0x01;
    ImageGeometry geometry{};
    ASSERT_EQ(load(file, &geometry), BmpStatus::ok);
    EXPECT_EQ(kept.trailing_length, MAX_TRAILING_BYTES);
    EXPECT_EQ(save(geometry), file);
    file.push_back(0x02);  // one byte more than the store keeps: refused, not cut
    EXPECT_EQ(load(file, &geometry), BmpStatus::trailing_too_large);
}

TEST(BmpReading, RefusesWhatItCannotReadFaithfully) {
    const std::vector<std::uint8_t> good = sampleFile(8, 8);
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        BmpStatus expected;
    } cases[] = {
        {"empty file", [](std::vector<std::uint8_t>& f) { f.clear(); }, BmpStatus::truncated_header},
        {"ends in file header", [](std::vector<std::uint8_t>& f) { f.resize(10); }, BmpStatus::truncated_header},
        {"ends in info header", [](std::vector<std::uint8_t>& f) { f.resize(40); }, BmpStatus::truncated_header},
        {"wrong signature", [](std::vector<std::uint8_t>& f) { f[1] = 'A'; }, BmpStatus::not_a_bmp},
        {"core header", [](std::vector<std::uint8_t>& f) { putU32(f, 14, 12); }, BmpStatus::unsupported_header},
        {"V2 header", [](std::vector<std::uint8_t>& f) { putU32(f, 14, 52); }, BmpStatus::unsupported_header},
        {"offset inside header", [](std::vector<std::uint8_t>& f) { putU32(f, 10, 40); }, BmpStatus::bad_pixel_offset},
        {"offset huge", [](std::vector<std::uint8_t>& f) { putU32(f, 10, 0xFFFFFFF0u); }, BmpStatus::bad_pixel_offset},
        {"offset before V5 end", [](std::vector<std::uint8_t>& f) { putU32(f, 14, 124); }, BmpStatus::bad_pixel_offset},
        {"8 bits", [](std::vector<std::uint8_t>& f) { putU16(f, 28, 8); }, BmpStatus::unsupported_bit_depth},
        {"32 bits", [](std::vector<std::uint8_t>& f) { putU16(f, 28, 32); }, BmpStatus::unsupported_bit_depth},
        {"run-length", [](std::vector<std::uint8_t>& f) { putU32(f, 30, 1); }, BmpStatus::compressed},
        {"bit fields", [](std::vector<std::uint8_t>& f) { putU32(f, 30, 3); }, BmpStatus::compressed},
        {"zero width", [](std::vector<std::uint8_t>& f) { putU32(f, 18, 0); }, BmpStatus::empty_picture},
        {"zero height", [](std::vector<std::uint8_t>& f) { putU32(f, 22, 0); }, BmpStatus::empty_picture},
        {"negative width", [](std::vector<std::uint8_t>& f) { putU32(f, 18, 0xFFFFFFF8u); }, BmpStatus::negative_width},
        {"too wide", [](std::vector<std::uint8_t>& f) { putU32(f, 18, 8193); }, BmpStatus::picture_too_large},
        {"too tall", [](std::vector<std::uint8_t>& f) { putU32(f, 22, 8193); }, BmpStatus::picture_too_large},
        {"too tall top-down", [](std::vector<std::uint8_t>& f) { putU32(f, 22, std::uint32_t(-8193)); }, BmpStatus::picture_too_large},
        {"widest and tall", [](std::vector<std::uint8_t>& f) { putU32(f, 18, 8192); putU32(f, 22, 8192); }, BmpStatus::truncated_pixels},
        {"tallest top-down", [](std::vector<std::uint8_t>& f) { putU32(f, 22, std::uint32_t(-8192)); }, BmpStatus::truncated_pixels},
        {"most negative height", [](std::vector<std::uint8_t>& f) { putU32(f, 22, 0x80000000u); }, BmpStatus::picture_too_large},
        {"ends in pixels", [](std::vector<std::uint8_t>& f) { f.pop_back(); }, BmpStatus::truncated_pixels},
        {"ends after header", [](std::vector<std::uint8_t>& f) { f.resize(54); }, BmpStatus::truncated_pixels},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = good;
        c.damage(file);
        ImageGeometry geometry{};
        EXPECT_EQ(load(file, &geometry), c.expected) << c.what;
    }
}

TEST(BmpReading, LargestPictureFillsTheWholePlane) {
    sample::Picture picture = sample::makeRandomPicture(MAX_IMAGE_COLUMNS, MAX_IMAGE_ROWS, 5);
    ImageGeometry geometry{};
    const std::vector<std::uint8_t> file = sample::encodeBmp(picture);
    ASSERT_EQ(load(file, &geometry), BmpStatus::ok);
    EXPECT_EQ(0, std::memcmp(image.data(), picture.rgb.data(), IMAGE_BYTES));
    EXPECT_EQ(save(geometry), file);
}

TEST(BmpHeader, AsksForTheWholeHeaderBeforeJudgingIt) {
    const std::vector<std::uint8_t> file = sampleFile(3, 3, sample::BmpOptions{124, false, 0});
    ImageGeometry geometry{};
    std::size_t needed = 0;
    EXPECT_EQ(parseBmpHeader(file.data(), 14, &geometry, &needed), BmpStatus::truncated_header);
    EXPECT_EQ(needed, 14u + 124u);
    EXPECT_EQ(parseBmpHeader(file.data(), needed, &geometry, &needed), BmpStatus::ok);
    EXPECT_EQ(geometry.biSize, 124u);
}
