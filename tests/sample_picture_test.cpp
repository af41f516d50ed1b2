#include "../tools/sample_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using sample::BmpOptions;
using sample::Picture;
using Bytes = std::vector<std::uint8_t>;

Picture flatPicture(int width, int height, std::uint8_t value) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgb.assign(static_cast<std::size_t>(width) * height * 3, value);
    return p;
}

std::uint32_t read32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void write32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// ---- generators ----

TEST(SamplePictureGenerators, SameSeedGivesSameBytesAndSeedsDiffer) {
    using Maker = Picture (*)(int, int, std::uint32_t);
    for (Maker make : {&sample::makeCleanPicture, &sample::makeNoisyPicture, &sample::makeRandomPicture}) {
        const Picture a = make(37, 23, 5);
        EXPECT_EQ(a.width, 37);
        EXPECT_EQ(a.height, 23);
        EXPECT_EQ(a.rgb.size(), 37u * 23u * 3u);
        EXPECT_EQ(a.rgb, make(37, 23, 5).rgb);
        EXPECT_NE(a.rgb, make(37, 23, 6).rgb);
    }
}

TEST(SamplePictureGenerators, CleanPictureIsMostlySmoothWithSomeHardEdges) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const Picture p = sample::makeCleanPicture(200, 150, seed);
        int smooth = 0, edges = 0, total = 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 1; x < p.width; ++x, ++total) {
                const std::size_t i = (static_cast<std::size_t>(y) * p.width + x) * 3;
                int step = 0;
                for (int c = 0; c < 3; ++c) step += std::abs(p.rgb[i + c] - p.rgb[i + c - 3]);
                smooth += step <= 24;
                edges += step >= 60;
            }
        }
        EXPECT_GT(smooth, total * 95 / 100) << "seed " << seed;
        EXPECT_GT(edges, 50) << "seed " << seed;
    }
}

TEST(SamplePictureGenerators, NonPositiveSizeGivesEmptyPicture) {
    EXPECT_TRUE(sample::makeCleanPicture(0, 10, 1).rgb.empty());
    EXPECT_TRUE(sample::makeNoisyPicture(10, -1, 1).rgb.empty());
    EXPECT_TRUE(sample::makeRandomPicture(-3, 4, 1).rgb.empty());
}

// ---- noise ----

TEST(SamplePictureNoise, GaussianHasRequestedSpreadAndNoBias) {
    Picture p = flatPicture(100, 100, 128);
    sample::addGaussianNoise(p, 120, 9);
    double sum = 0, squares = 0;
    std::size_t changed = 0;
    for (std::uint8_t v : p.rgb) {
        const double d = v - 128.0;
        sum += d;
        squares += d * d;
        changed += v != 128;
    }
    const double n = static_cast<double>(p.rgb.size());
    EXPECT_NEAR(sum / n, 0.0, 0.3);
    EXPECT_NEAR(std::sqrt(squares / n), 12.0, 0.5);
    EXPECT_GT(changed, p.rgb.size() * 9 / 10);
}

TEST(SamplePictureNoise, GaussianClampsInsteadOfWrapping) {
    Picture white = flatPicture(50, 50, 255);
    Picture black = flatPicture(50, 50, 0);
    sample::addGaussianNoise(white, 200, 2);
    sample::addGaussianNoise(black, 200, 2);
    std::size_t whiteMoved = 0, blackMoved = 0;
    for (std::size_t i = 0; i < white.rgb.size(); ++i) {
        EXPECT_GE(white.rgb[i], 255 - 6 * 20);
        EXPECT_LE(black.rgb[i], 6 * 20);
        whiteMoved += white.rgb[i] != 255;
        blackMoved += black.rgb[i] != 0;
    }
    EXPECT_GT(whiteMoved, white.rgb.size() / 3);
    EXPECT_GT(blackMoved, black.rgb.size() / 3);
}

TEST(SamplePictureNoise, SaltAndPepperHitsRequestedShareWithBlackAndWhite) {
    Picture p = flatPicture(200, 100, 128);
    sample::addSaltAndPepper(p, 20, 4);
    int black = 0, white = 0, untouched = 0;
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
        const int r = p.rgb[i], g = p.rgb[i + 1], b = p.rgb[i + 2];
        black += r == 0 && g == 0 && b == 0;
        white += r == 255 && g == 255 && b == 255;
        untouched += r == 128 && g == 128 && b == 128;
    }
    const int pixels = p.width * p.height;
    EXPECT_EQ(black + white + untouched, pixels);
    EXPECT_NEAR(black + white, pixels * 2 / 100, pixels / 200);
    EXPECT_GT(black, (black + white) / 3);
    EXPECT_GT(white, (black + white) / 3);

    Picture same = flatPicture(20, 20, 128);
    sample::addSaltAndPepper(same, 0, 4);
    EXPECT_EQ(same.rgb, flatPicture(20, 20, 128).rgb);
}

TEST(SamplePictureNoise, NoisyPictureStaysCloseToCleanOne) {
    const Picture clean = sample::makeCleanPicture(160, 120, 11);
    const Picture noisy = sample::makeNoisyPicture(160, 120, 11);
    ASSERT_EQ(clean.rgb.size(), noisy.rgb.size());
    std::size_t changed = 0, close = 0;
    for (std::size_t i = 0; i < clean.rgb.size(); ++i) {
        const int d = std::abs(clean.rgb[i] - noisy.rgb[i]);
        changed += d != 0;
        close += d <= 48;
    }
    EXPECT_GT(changed, clean.rgb.size() / 2);
    EXPECT_LT(changed, clean.rgb.size());
    EXPECT_GT(close, clean.rgb.size() * 95 / 100);
}

// ---- BMP encoding ----

TEST(SamplePictureBmp, RoundTripsAllRowPaddingsAndHeaderVariants) {
    const std::vector<BmpOptions> variants = {{40, false, 0}, {40, true, 0}, {108, false, 0}, {124, true, 0}, {40, false, 7}};
    for (int width : {1, 2, 3, 4, 5, 7, 13}) {
        for (int height = 1; height <= 3; ++height) {
            const Picture p = sample::makeRandomPicture(width, height, static_cast<std::uint32_t>(width * 10 + height));
            for (const BmpOptions& o : variants) {
                SCOPED_TRACE("w=" + std::to_string(width) + " h=" + std::to_string(height) +
                             " header=" + std::to_string(o.info_header_size) + " top_down=" + std::to_string(o.top_down));
                const Bytes file = sample::encodeBmp(p, o);
                const std::uint32_t offBits = 14 + o.info_header_size + o.extra_gap;
                const std::uint32_t rowSize = (width * 3 + 3) / 4 * 4;
                ASSERT_EQ(file.size(), offBits + rowSize * height);
                EXPECT_EQ(read32(file, 2), file.size());
                EXPECT_EQ(read32(file, 10), offBits);
                EXPECT_EQ(read32(file, 34), rowSize * height);
                Picture back;
                ASSERT_TRUE(sample::decodeBmp(file, back));
                EXPECT_EQ(back.width, width);
                EXPECT_EQ(back.height, height);
                EXPECT_EQ(back.rgb, p.rgb);
            }
        }
    }
}

TEST(SamplePictureBmp, TinyPictureLayoutMatchesHandWrittenBytes) {
    Picture p;
    p.width = 2;
    p.height = 2;
    // top-left, top-right, bottom-left, bottom-right as r, g, b
    p.rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes expected = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 70, pixels at 54
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,             // info size, width, height
        1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,            // planes, bits, BI_RGB, image size
        0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,              // 2835 pixels per metre
        0, 0, 0, 0, 0, 0, 0, 0,                          // colours used / important
        9, 8, 7, 12, 11, 10, 0, 0,                       // bottom row first, BGR, 2 pad bytes
        3, 2, 1, 6, 5, 4, 0, 0,                          // then the top row
    };
    EXPECT_EQ(sample::encodeBmp(p), expected);

    const Bytes topDown = sample::encodeBmp(p, {40, true, 0});
    ASSERT_EQ(topDown.size(), expected.size());
    EXPECT_EQ(read32(topDown, 22), 0xFFFFFFFEu);  // height -2
    EXPECT_EQ(Bytes(topDown.begin() + 54, topDown.end()),
              Bytes({3, 2, 1, 6, 5, 4, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0}));

    const Bytes v5 = sample::encodeBmp(p, {124, false, 0});
    ASSERT_EQ(v5.size(), 14u + 124u + 16u);
    EXPECT_EQ(read32(v5, 14), 124u);
    EXPECT_EQ(Bytes(v5.begin() + 14 + 56, v5.begin() + 14 + 60), Bytes({'B', 'G', 'R', 's'}));
    EXPECT_EQ(read32(v5, 14 + 108), 4u);  // LCS_GM_IMAGES
    EXPECT_EQ(Bytes(v5.begin() + 138, v5.end()), Bytes(expected.begin() + 54, expected.end()));
}

TEST(SamplePictureBmp, EncoderRejectsInconsistentInput) {
    Picture broken = flatPicture(3, 3, 0);
    broken.rgb.pop_back();
    EXPECT_TRUE(sample::encodeBmp(broken).empty());
    EXPECT_TRUE(sample::encodeBmp(Picture{}).empty());
    EXPECT_TRUE(sample::encodeBmp(flatPicture(2, 2, 0), {56, false, 0}).empty());
}

// ---- BMP decoding of bad data ----

TEST(SamplePictureBmpDecode, RefusesEveryTruncation) {
    const Bytes file = sample::encodeBmp(sample::makeRandomPicture(5, 3, 1), {108, false, 0});
    for (std::size_t length = 0; length < file.size(); ++length) {
        Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        Picture out;
        EXPECT_FALSE(sample::decodeBmp(cut, out)) << "length " << length;
        // The declared size must not be the only thing that catches it.
        if (cut.size() >= 6) write32(cut, 2, static_cast<std::uint32_t>(cut.size()));
        EXPECT_FALSE(sample::decodeBmp(cut, out)) << "length " << length << " with matching bfSize";
    }
}

TEST(SamplePictureBmpDecode, RefusesMalformedHeadersAndKeepsOutput) {
    // 3x2 picture: 40-byte info header, pixels at 54, rows of 12 bytes.
    const Bytes good = sample::encodeBmp(sample::makeRandomPicture(3, 2, 1));
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> damages = {
        {"magic", [](Bytes& b) { b[1] = 'N'; }},
        {"bfOffBits inside header", [](Bytes& b) { write32(b, 10, 40); }},
        {"bfOffBits past data", [](Bytes& b) { write32(b, 10, 60); }},
        {"info size", [](Bytes& b) { write32(b, 14, 56); }},
        {"zero width", [](Bytes& b) { write32(b, 18, 0); }},
        {"negative width", [](Bytes& b) { write32(b, 18, 0xFFFFFFFDu); }},
        {"zero height", [](Bytes& b) { write32(b, 22, 0); }},
        {"height too large", [](Bytes& b) { write32(b, 22, 3); }},
        {"two planes", [](Bytes& b) { b[26] = 2; }},
        {"32 bits per pixel", [](Bytes& b) { b[28] = 32; }},
        {"compressed", [](Bytes& b) { write32(b, 30, 1); }},
        {"wrong image size", [](Bytes& b) { write32(b, 34, 7); }},
        {"bfSize too small", [](Bytes& b) { write32(b, 2, static_cast<std::uint32_t>(b.size() - 1)); }},
    };
    for (const auto& damage : damages) {
        Bytes bad = good;
        damage.second(bad);
        Picture out = flatPicture(1, 1, 42);
        EXPECT_FALSE(sample::decodeBmp(bad, out)) << damage.first;
        EXPECT_EQ(out.width, 1) << damage.first;
        EXPECT_EQ(out.rgb, Bytes(3, 42)) << damage.first;
    }
    Picture out;
    EXPECT_TRUE(sample::decodeBmp(good, out));  // the damage, not the base file, is refused
}

// ---- file helpers ----

TEST(SamplePictureFiles, WriteThenReadGivesSameBytesAndFailuresAreReported) {
    const std::string path = ::testing::TempDir() + "sample_picture_test.bmp";
    const Bytes bytes = sample::encodeBmp(sample::makeNoisyPicture(300, 200, 2));
    ASSERT_TRUE(sample::writeFile(path, bytes));
    Bytes back = {1, 2, 3};
    ASSERT_TRUE(sample::readFile(path, back));
    EXPECT_EQ(back, bytes);
    std::remove(path.c_str());

    EXPECT_FALSE(sample::readFile(path, back));
    EXPECT_EQ(back, bytes);  // untouched on failure
    EXPECT_FALSE(sample::writeFile(::testing::TempDir() + "no-such-dir/x.bmp", bytes));
}

}  // namespace
