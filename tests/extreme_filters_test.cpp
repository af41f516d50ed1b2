// Every filter, through the table the program uses, on the pictures and
// parameters furthest from ordinary photos: flat black and white, the
// largest possible spread, pictures as wide or as tall as the store, and
// the parameter values a formatted read can produce (nan, infinities).
// Meant for the sanitizer build as much as for the ordinary one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "image/filter_stage.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// Exactly the store's size, so a stray access past it ends the test.
testing_support::StoreImage image;

using Pattern = std::function<std::uint8_t(int row, int column, int channel)>;

struct Extreme {
    const char* name;
    Pattern value;
};

const Extreme EXTREMES[] = {
    {"all 0", [](int, int, int) { return std::uint8_t(0); }},
    {"all 255", [](int, int, int) { return std::uint8_t(255); }},
    {"checkerboard", [](int r, int x, int) { return std::uint8_t((r + x) % 2 ? 255 : 0); }},
    {"checkerboard per channel", [](int r, int x, int c) { return std::uint8_t((r + x + c) % 2 ? 255 : 0); }},
    {"vertical stripes", [](int, int x, int) { return std::uint8_t(x % 2 ? 255 : 0); }},
    {"horizontal stripes", [](int r, int, int) { return std::uint8_t(r % 2 ? 0 : 255); }},
};

// The store beside and below the picture holds this, so writes there show.
constexpr std::uint8_t OUTSIDE = 0x5A;

// The rows a stray write would reach first: the picture's and two more.
std::size_t rowsWatched(PictureSize size) {
    return std::size_t(size.height + 2 < MAX_IMAGE_ROWS ? size.height + 2 : MAX_IMAGE_ROWS);
}

std::vector<std::uint8_t> watched(PictureSize size) {
    return std::vector<std::uint8_t>(image.begin(), image.begin() + rowsWatched(size) * ROW_STRIDE);
}

void paint(PictureSize size, const Pattern& value) {
    std::fill(image.begin(), image.begin() + rowsWatched(size) * ROW_STRIDE, OUTSIDE);
    for (int r = 0; r < size.height; ++r)
        for (int x = 0; x < size.width; ++x)
            for (int c = 0; c < CHANNELS_PER_PIXEL; ++c) image[pixelIndex(r, x, c)] = value(r, x, c);
}

void filter(PictureSize size, const FilterSettings& settings) {
    std::FILE* console = std::fopen("/dev/null", "w");
    ASSERT_NE(console, nullptr);
    runFilterStage(image.data(), size, settings, console);
    std::fclose(console);
}

bool isInterior(PictureSize size, int r, int x) {
    return r >= 2 && r < size.height - 2 && x >= 2 && x < size.width - 2;
}

// Everything but the interior is as it was: the two-pixel frame and the
// store beside and below the picture.
void expectOnlyInteriorChanged(PictureSize size, const std::vector<std::uint8_t>& before, const std::string& what) {
    for (int r = 0; r < int(rowsWatched(size)); ++r) {
        const std::uint8_t* now = image.data() + pixelIndex(r, 0, 0);
        const std::uint8_t* was = before.data() + pixelIndex(r, 0, 0);
        if (!isInterior(size, r, 2)) {
            ASSERT_EQ(std::memcmp(now, was, ROW_STRIDE), 0) << what << ": row " << r;
            continue;
        }
        const std::size_t right = pixelIndex(0, size.width - 2, 0);
        ASSERT_EQ(std::memcmp(now, was, pixelIndex(0, 2, 0)), 0) << what << ": left frame, row " << r;
        ASSERT_EQ(std::memcmp(now + right, was + right, ROW_STRIDE - right), 0) << what << ": right of row " << r;
    }
}

bool pictureIsFlat(PictureSize size, std::uint8_t value) {
    for (int r = 0; r < size.height; ++r)
        for (int x = 0; x < size.width; ++x)
            for (int c = 0; c < CHANNELS_PER_PIXEL; ++c)
                if (image[pixelIndex(r, x, c)] != value) return false;
    return true;
}

FilterSettings mode(int filter_mode, double coefficient = 0, double max_threshold = 0, double min_threshold = 0) {
    return FilterSettings{filter_mode, coefficient, max_threshold, min_threshold};
}

// Every mode, with the parameters at their edges.
const FilterSettings EDGE_SETTINGS[] = {
    mode(0),
    mode(1, 0),       mode(1, 20),     mode(1, -1),  mode(1, -INF), mode(1, INF), mode(1, NaN),
    mode(2),
    mode(3, 0, 1.0, 0.0), mode(3, 0, 2, -1), mode(3, 0, 0.2, 0.0), mode(3, 0, INF, -INF), mode(3, 0, NaN, 0),
    mode(3, 0, 1.0, NaN),
};

std::string describe(const char* picture, PictureSize size, const FilterSettings& s) {
    return std::string(picture) + " " + std::to_string(size.width) + "x" + std::to_string(size.height) + " mode " +
           std::to_string(s.filter_mode) + " (" + std::to_string(s.removal_coefficient) + ", " +
           std::to_string(s.max_threshold) + ", " + std::to_string(s.min_threshold) + ")";
}

}  // namespace

TEST(ExtremeFilters, OnlyTheInteriorChangesWhateverThePictureAndParameters) {
    const PictureSize sizes[] = {{9, 12}, {5, 5}, {4, 4}, {1, 1}, {5, MAX_IMAGE_COLUMNS}, {MAX_IMAGE_ROWS, 5}};
    for (const PictureSize size : sizes)
        for (const Extreme& extreme : EXTREMES)
            for (const FilterSettings& settings : EDGE_SETTINGS) {
                // The store-sized strips cost most: one picture each is enough there.
                const bool strip = size.width == MAX_IMAGE_COLUMNS || size.height == MAX_IMAGE_ROWS;
                if (strip && std::strcmp(extreme.name, "checkerboard per channel") != 0) continue;
                paint(size, extreme.value);
                const std::vector<std::uint8_t> before = watched(size);
                filter(size, settings);
                expectOnlyInteriorChanged(size, before, describe(extreme.name, size, settings));
            }
}

TEST(ExtremeFilters, FlatPicturesStayFlat) {
    const PictureSize size{9, 11};
    for (const std::uint8_t value : {0, 1, 128, 254, 255}) {
        for (const FilterSettings& settings : EDGE_SETTINGS) {
            if (settings.filter_mode == FILTER_MODE_ORIGINAL_BLEND) continue;  // blends a value with itself
            paint(size, [&](int, int, int) { return value; });
            filter(size, settings);
            EXPECT_TRUE(pictureIsFlat(size, value)) << describe("flat", size, settings) << " value " << int(value);
        }
    }
    // The original blend of black with black and white with white: every
    // layer is 0 (or 255) and the weights add up to the divisor.
    for (const std::uint8_t value : {0, 255}) {
        paint(size, [&](int, int, int) { return value; });
        filter(size, mode(2));
        EXPECT_TRUE(pictureIsFlat(size, value)) << "original blend of flat " << int(value);
    }
}

TEST(ExtremeFilters, MedianKeepsTwoLevelPatternsWhoseCentreIsAlwaysTheMajority) {
    // In a 5x5 window of a one-pixel checkerboard the centre's level holds
    // 13 of 25 places, of one-pixel stripes 15: the median is always the
    // centre, so even a filter that always replaces changes nothing.
    const PictureSize size{10, 13};
    for (const Extreme& extreme : EXTREMES) {
        for (const double coefficient : {-1.0, -INF, 0.0}) {
            paint(size, extreme.value);
            const std::vector<std::uint8_t> before = watched(size);
            filter(size, mode(1, coefficient));
            EXPECT_EQ(watched(size), before) << extreme.name << " coefficient " << coefficient;
        }
    }
}

TEST(ExtremeFilters, ParametersThatNoComparisonPassesChangeNothing) {
    // A random picture has a spread everywhere; still nothing may change when
    // the coefficient is nan or +inf, or a threshold is nan.
    const PictureSize size{12, 14};
    const sample::Picture random = sample::makeRandomPicture(size.width, size.height, 99);
    const auto randomValue = [&](int r, int x, int c) { return random.rgb[std::size_t((r * size.width + x) * 3 + c)]; };
    for (const FilterSettings& settings :
         {mode(1, NaN), mode(1, INF), mode(3, 0, NaN, 0), mode(3, 0, 1, NaN), mode(3, 0, NaN, NaN), mode(3, 0, 0, 0),
          mode(3, 0, 0.1, 0.5), mode(4), mode(-1), mode(std::numeric_limits<std::int32_t>::min())}) {
        paint(size, randomValue);
        const std::vector<std::uint8_t> before = watched(size);
        filter(size, settings);
        EXPECT_EQ(watched(size), before) << describe("random", size, settings);
    }
}

TEST(ExtremeFilters, InfiniteParametersActLikeTheWidestFiniteOnes) {
    const PictureSize size{12, 14};
    const sample::Picture random = sample::makeRandomPicture(size.width, size.height, 7);
    const auto randomValue = [&](int r, int x, int c) { return random.rgb[std::size_t((r * size.width + x) * 3 + c)]; };
    const struct {
        FilterSettings infinite, finite;
    } pairs[] = {
        {mode(1, -INF), mode(1, -1)},               // spreads are never negative
        {mode(3, 0, INF, -INF), mode(3, 0, 2, -1)},  // deviations lie within 0..1
    };
    for (const auto& pair : pairs) {
        paint(size, randomValue);
        filter(size, pair.finite);
        const std::vector<std::uint8_t> finite = watched(size);
        paint(size, randomValue);
        filter(size, pair.infinite);
        EXPECT_EQ(watched(size), finite) << describe("random", size, pair.infinite);
        paint(size, randomValue);
        EXPECT_NE(watched(size), finite) << "the finite run must have changed something";
    }
}

TEST(ExtremeFilters, CrispBlendHoldsValuesBeyondTheScaleAtItsEnds) {
    // A 5x5 picture has one interior pixel, visited once per channel on the
    // untouched window. Around a centre of 100, 13 white and 11 black:
    //   sum 3415, mean 136, deviation 36/255, squared deviations 388845,
    //   sigma 124.72, ratio 0.9743, median 255,
    //   value 100*3r + (1 - 3r)*255 = -198.07: below the scale, so 0
    //   (kept as a byte without the hold it would read 58).
    // Around 150, 13 black and 11 white:
    //   sum 2955, mean 118, deviation 32/255, squared deviations 388495,
    //   sigma 124.66, ratio 0.9739, median 0,
    //   value 150*3r = 438.3: above the scale, so 255 (not 182).
    // The third channel is flat at 77: a zero spread leaves the median.
    const PictureSize size{5, 5};
    const auto window = [](int r, int x, int c) -> std::uint8_t {
        if (c == 2) return 77;
        if (r == 2 && x == 2) return c == 0 ? 100 : 150;
        const int place = r * 5 + x - (r * 5 + x > 12 ? 1 : 0);  // 0..23 around the centre
        const bool majority = place < 13;
        if (c == 0) return majority ? 255 : 0;
        return majority ? 0 : 255;
    };
    for (const auto& thresholds : {std::pair<double, double>{1.0, 0.0}, {2.0, -1.0}}) {
        paint(size, window);
        filter(size, mode(3, 0, thresholds.first, thresholds.second));
        const std::string what = "thresholds " + std::to_string(thresholds.first) + ", " +
                                 std::to_string(thresholds.second);
        EXPECT_EQ(image[pixelIndex(2, 2, 0)], 0) << what;
        EXPECT_EQ(image[pixelIndex(2, 2, 1)], 255) << what;
        EXPECT_EQ(image[pixelIndex(2, 2, 2)], 77) << what;
    }
    // A gate that shuts both windows out leaves them alone.
    paint(size, window);
    filter(size, mode(3, 0, 0.1, 0.0));
    EXPECT_EQ(image[pixelIndex(2, 2, 0)], 100);
    EXPECT_EQ(image[pixelIndex(2, 2, 1)], 150);
}

TEST(ExtremeFilters, CrispBlendOfBlackAndWhiteStaysNearTheEnds) {
    // On a picture of 0 and 255 only, a visit whose centre differs from the
    // median lands beyond the scale (the spread of any mixed window is at
    // about 50, so 3r * 255 > 255) and is held back at its own level; a
    // black centre with a black median blends to exactly 0. Only a white
    // centre with a white median can come out a hair below 255.
    const PictureSize size{11, 12};
    for (const Extreme& extreme : EXTREMES) {
        paint(size, extreme.value);
        const std::vector<std::uint8_t> before = watched(size);
        filter(size, mode(3, 0, 2, -1));
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x)
                for (int c = 0; c < CHANNELS_PER_PIXEL; ++c) {
                    const std::uint8_t was = before[pixelIndex(r, x, c)];
                    const std::uint8_t now = image[pixelIndex(r, x, c)];
                    if (was == 0) {
                        ASSERT_EQ(now, 0) << extreme.name << " at " << r << "," << x << "," << c;
                    } else {
                        ASSERT_GE(now, 254) << extreme.name << " at " << r << "," << x << "," << c;
                    }
                }
    }
}
