// The fast filters against the plain ones, byte for byte in the picture and
// in the console text: random pictures of every small size, pictures made to
// sit on the decisions' boundaries, every mode over a wide parameter range,
// and the large sample picture; each on every lane path the build has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "filters/fast/neighbourhood.h"
#include "filters/mode_steps.h"
#include "filters/neighbourhood.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

using testing_support::FilterOutcome;
using testing_support::filtered;

// Returns whether they agreed, so that loops can stop at the first case.
bool fastMatchesPlain(const LanePath& path, const sample::Picture& picture, const FilterSettings& settings,
                      const std::string& what) {
    const FilterOutcome plain = filtered(testing_support::runPlainFilter, picture, settings);
    const FilterOutcome fast = filtered(testing_support::lanePathFilter(path), picture, settings);
    const bool same_console = plain.console == fast.console;
    const bool same_image = plain.image == fast.image;
    EXPECT_TRUE(same_console) << path.name << " lanes, " << what;
    EXPECT_TRUE(same_image) << path.name << " lanes, " << what;
    if (!same_image) {
        for (std::size_t i = 0; i < plain.image.size(); ++i) {
            if (plain.image[i] != fast.image[i]) {
                ADD_FAILURE() << path.name << " lanes, " << what << ": first difference at row " << i / ROW_STRIDE << ", byte "
                              << i % ROW_STRIDE << ": plain " << int(plain.image[i]) << ", fast "
                              << int(fast.image[i]);
                break;
            }
        }
    }
    return same_console && same_image;
}

std::string describe(const sample::Picture& p, const FilterSettings& s, const std::string& kind) {
    char text[200];
    std::snprintf(text, sizeof text, "%s %dx%d mode %d coefficient %.17g thresholds %.17g/%.17g", kind.c_str(),
                  p.width, p.height, s.filter_mode, s.removal_coefficient, s.max_threshold, s.min_threshold);
    return text;
}

// Exactly on, and just either side of, the spread of some whole-number
// squared deviation sums: where a comparison flips.
std::vector<double> coefficientsOnSpreadBoundaries() {
    std::vector<double> values;
    for (int squares : {1, 650, 651, 3600, 23065, 100000}) {
        const double percent = spreadPercentOf(squares);
        values.push_back(percent);
        values.push_back(std::nextafter(percent, -INF));
        values.push_back(std::nextafter(percent, INF));
    }
    return values;
}

std::vector<FilterSettings> everySetting() {
    std::vector<FilterSettings> settings{{FILTER_MODE_SMOOTHING, 0, 0, 0}, {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0}};
    std::vector<double> coefficients{0, 11.9115, 12, 20, 49.96, 50, -1, NaN, INF, -INF, 100, 1e300};
    for (double c : coefficientsOnSpreadBoundaries()) coefficients.push_back(c);
    for (double c : coefficients) settings.push_back({FILTER_MODE_MEDIAN, c, 0, 0});
    const double thresholds[][2] = {
        {0.05, 0.003}, {0.2, 0.0},        {0.01, 0.005},        {0.003, 0.05},  {1, 0},     {0, 1},
        {NaN, 0.0},    {0.5, NaN},        {INF, -INF},          {-1, -2},       {2, -1},    {0.3, 0.1},
        {12 / 255.0, 3 / 255.0},          {std::nextafter(12 / 255.0, INF), std::nextafter(3 / 255.0, -INF)},
    };
    for (const auto& t : thresholds) settings.push_back({FILTER_MODE_CRISP_SMOOTH_BLEND, 0, t[0], t[1]});
    return settings;
}

sample::Picture pictureOf(int width, int height, const std::function<int(int, int, int)>& value) {
    sample::Picture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(std::size_t(width) * height * 3);
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) p.rgb[(std::size_t(r) * width + x) * 3 + c] = std::uint8_t(value(r, x, c));
    return p;
}

// Pictures made to land on the decisions' edges.
std::vector<std::pair<std::string, sample::Picture>> adversarialPictures(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return int(random() % std::uint32_t(n)); };
    const int w = 19 + pick(30);
    const int h = 6 + pick(6);
    std::vector<std::pair<std::string, sample::Picture>> pictures;
    const int level = pick(256);
    pictures.push_back({"all equal", pictureOf(w, h, [&](int, int, int) { return level; })});
    pictures.push_back({"all black", pictureOf(w, h, [&](int, int, int) { return 0; })});
    pictures.push_back({"all white", pictureOf(w, h, [&](int, int, int) { return 255; })});
    pictures.push_back({"salt and pepper", pictureOf(w, h, [&](int, int, int) { return pick(2) * 255; })});
    pictures.push_back({"sparse salt", pictureOf(w, h, [&](int, int, int) { return pick(9) == 0 ? 255 : 0; })});
    const int low = pick(256);
    const int high = pick(256);
    pictures.push_back({"two levels", pictureOf(w, h, [&](int, int, int) { return pick(2) ? low : high; })});
    pictures.push_back({"two neighbouring levels", pictureOf(w, h, [&](int, int, int) {
                            return low == 255 ? 254 + pick(2) : low + pick(2);
                        })});
    // Squared deviation sums around 650 (spread near 2 %) and distances of
    // a few steps between mean and centre, where the gates sit.
    for (int amplitude : {3, 5, 6, 7, 9, 13}) {
        const int base = pick(256 - amplitude);
        pictures.push_back({"small noise " + std::to_string(amplitude),
                            pictureOf(w, h, [&](int, int, int) { return base + pick(amplitude + 1); })});
    }
    pictures.push_back({"stripes", pictureOf(w, h, [&](int, int x, int c) { return (x + c) % 3 == 0 ? 255 : 0; })});
    pictures.push_back({"ramp", pictureOf(w, h, [&](int r, int x, int c) { return (7 * x + 13 * r + 50 * c) % 256; })});
    return pictures;
}

// Every differential test below runs once on each lane path the build has;
// a path this processor cannot run is skipped, by name.
class LanePathFilters : public ::testing::TestWithParam<const LanePath*> {
protected:
    void SetUp() override {
        if (!path().runs_here()) GTEST_SKIP() << path().name << " lanes: this processor does not have them";
    }
    const LanePath& path() const { return *GetParam(); }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(EveryPath, LanePathFilters, ::testing::ValuesIn(testing_support::lanePaths()),
                         [](const ::testing::TestParamInfo<const LanePath*>& info) {
                             return testing_support::testNameOf(*info.param);
                         });

TEST_P(LanePathFilters, MatchPlainOnRandomPicturesOfEverySmallSize) {
    const std::vector<FilterSettings> settings = everySetting();
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 70; ++trial) {
        // Below 5 either way nothing is inside the frame; past 10 pixels a
        // row has full lanes and a tail; past about 70 the lower row of a
        // pair walks beside the upper one, in several chunks.
        const int width = trial < 20 ? 1 + trial % 10 : trial < 45 ? 1 + int(random() % 45) : 60 + int(random() % 200);
        const int height = trial < 20 ? 1 + trial / 2 : 1 + int(random() % (trial < 45 ? 12 : 8));
        const std::uint32_t seed = random();
        const sample::Picture picture = trial % 2 == 0 ? sample::makeRandomPicture(width, height, seed)
                                                       : sample::makeNoisyPicture(width, height, seed);
        for (const FilterSettings& s : settings)
            if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "random"))) return;
    }
}

TEST_P(LanePathFilters, MatchPlainOnPicturesAtTheDecisionBoundaries) {
    const std::vector<FilterSettings> settings = everySetting();
    for (std::uint32_t seed = 1; seed <= 6; ++seed)
        for (const auto& [kind, picture] : adversarialPictures(seed))
            for (const FilterSettings& s : settings)
                if (!fastMatchesPlain(path(), picture, s, describe(picture, s, kind))) return;
}

TEST_P(LanePathFilters, MatchPlainOnTheLargeSamplePicture) {
    // The whole picture for smoothing; for the neighbourhood modes, whose
    // plain form takes seconds per mode at this size, a full-width strip.
    const sample::Picture full = sample::makeNoisyPicture(2000, 2000, 7);
    EXPECT_TRUE(fastMatchesPlain(path(), full, {FILTER_MODE_SMOOTHING, 0, 0, 0}, "2000x2000 smoothing"));
    sample::Picture strip = full;
    strip.height = 24;
    strip.rgb.resize(std::size_t(strip.width) * strip.height * 3);
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_MEDIAN, 20, 0, 0}, "strip median"));
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0}, "strip original blend"));
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.05, 0.003}, "strip crisp blend"));
}

TEST_P(LanePathFilters, MatchPlainWhenBandsOfRowsEndPartway) {
    // Modes 1 to 3 walk several rows at once, each two chunks behind the
    // one above: interior heights that leave 1 to 4 rows for the last band,
    // on rows of many chunks; for mode 1 coefficients under which the median
    // replaces most values, some, or none, and for mode 3 thresholds that
    // pass most visits, some, or none.
    const double thresholds[][2] = {{0.05, 0.003}, {0.2, 0.0}, {0.01, 0.005}, {1, -1}, {0, 0}};
    std::mt19937 random(8122026);
    for (int height = 9; height <= 16; ++height) {
        const int width = 140 + int(random() % 160);
        const sample::Picture picture = height % 2 == 0 ? sample::makeNoisyPicture(width, height, random())
                                                        : sample::makeRandomPicture(width, height, random());
        const FilterSettings blend{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0};
        if (!fastMatchesPlain(path(), picture, blend, describe(picture, blend, "band"))) return;
        for (double coefficient : {0.0, 8.0, 20.0, 101.0}) {
            const FilterSettings s{FILTER_MODE_MEDIAN, coefficient, 0, 0};
            if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "band"))) return;
        }
        for (const auto& t : thresholds) {
            const FilterSettings s{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, t[0], t[1]};
            if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "band"))) return;
        }
    }
}

TEST_P(LanePathFilters, MedianMatchesPlainAcrossItsLongChunks) {
    // Mode 1 takes its rows in longer chunks than the other modes (128
    // pixels): rows of one to four of them, each exactly whole, one pixel
    // over, or with the longest last chunk a row can have, and band heights
    // whose last band is short; coefficients under which the median
    // replaces most values, some, or none.
    std::mt19937 random(9122026);
    for (int chunks = 1; chunks <= 4; ++chunks) {
        for (int extra : {4, 5, 131}) {
            const int width = 128 * chunks + extra;
            const int height = 7 + int(random() % 8);
            const sample::Picture picture = chunks % 2 == 0 ? sample::makeNoisyPicture(width, height, random())
                                                            : sample::makeRandomPicture(width, height, random());
            for (double coefficient : {0.0, 8.0, 20.0, 101.0}) {
                const FilterSettings s{FILTER_MODE_MEDIAN, coefficient, 0, 0};
                if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "long chunks"))) return;
            }
        }
    }
}

TEST(FastFilters, SpreadThresholdsAgreeWithThePlainStatistics) {
    // Windows of every spread, run through the plain statistics: the whole-
    // number threshold must make the same call as the double comparison.
    std::vector<double> coefficients{0, 2.0, 11.9115, 20, 50, 99.99, -1, NaN, INF};
    for (double c : coefficientsOnSpreadBoundaries()) coefficients.push_back(c);
    std::vector<int> thresholds;
    for (double c : coefficients) thresholds.push_back(firstReplacingSquaredSum(c));
    const int first_unflat = firstUnflatSquaredSum();

    std::mt19937 random(5);
    bool saw_last_flat = false;
    bool saw_first_unflat = false;
    for (int trial = 0; trial < 200000; ++trial) {
        std::uint8_t window[WINDOW_SIZE];
        const int base = int(random() % 256);
        const int amplitude = 1 + int(random() % (trial % 4 == 0 ? 256 : 12));
        for (std::uint8_t& v : window) v = std::uint8_t(std::min(255, base + int(random() % std::uint32_t(amplitude))));
        const std::uint8_t centre = window[12];
        sortWindow(window);
        WindowStatistics s;
        computeStatistics(window, centre, &s);
        const int squares = int(s.squared_deviation_sum);
        ASSERT_EQ(double(squares), s.squared_deviation_sum);
        ASSERT_LE(squares, MAX_SQUARED_DEVIATION_SUM);
        ASSERT_EQ(spreadPercentOf(squares), s.spread_percent);
        for (std::size_t i = 0; i < coefficients.size(); ++i)
            ASSERT_EQ(medianReplaces(s.spread_percent, coefficients[i]), squares >= thresholds[i])
                << "coefficient " << coefficients[i] << ", squares " << squares;
        ASSERT_EQ(s.spread_percent <= FLAT_SPREAD_PERCENT, squares < first_unflat) << squares;
        saw_last_flat |= squares == first_unflat - 1;
        saw_first_unflat |= squares == first_unflat;
    }
    EXPECT_TRUE(saw_last_flat && saw_first_unflat) << "the flat limit was never met from both sides";
    EXPECT_EQ(firstReplacingSquaredSum(NaN), MAX_SQUARED_DEVIATION_SUM + 1);
    EXPECT_EQ(firstReplacingSquaredSum(-1), 0);
}

TEST(FastFilters, LargestSquaredDeviationSumIsWithinTheBound) {
    // Twelve whites and thirteen blacks spread a window the most.
    std::uint8_t window[WINDOW_SIZE] = {};
    for (int i = 0; i < 12; ++i) window[i] = 255;
    sortWindow(window);
    WindowStatistics s;
    computeStatistics(window, 0, &s);
    EXPECT_LE(s.squared_deviation_sum, double(MAX_SQUARED_DEVIATION_SUM));
    EXPECT_GT(s.squared_deviation_sum, 400000.0);
}

TEST(FastFilters, QuotientBy25FromTheInverseIsTheDivisionsForEverySum) {
    // The AVX paths' mode 3 divides by 25 without the divider: the product
    // with the rounded inverse, its remainder by a fused multiply-add, and
    // one fused correction. It must round as the division does for every
    // squared deviation sum a window can have.
    const double inverse = 1.0 / 25.0;
    for (int squares = 0; squares <= MAX_SQUARED_DEVIATION_SUM; ++squares) {
        const double x = double(squares);
        const double product = x * inverse;
        const double remainder = std::fma(-product, 25.0, x);
        ASSERT_EQ(std::fma(remainder, inverse, product), x / 25.0) << "squared deviation sum " << squares;
    }
}

namespace {

// A 5 x 5 picture whose one inside visit (every channel alike) sees a window
// with exactly `squares` as its squared deviation sum and a median other
// than its centre, found by nudging random values one step at a time.
sample::Picture windowPictureWithSquares(int squares, std::mt19937& random) {
    for (;;) {
        std::uint8_t window[WINDOW_SIZE];
        const int base = 40 + int(random() % 150);
        for (std::uint8_t& v : window) v = std::uint8_t(base + int(random() % 9));
        for (int step = 0; step < 20000; ++step) {
            std::uint8_t sorted[WINDOW_SIZE];
            std::copy(window, window + WINDOW_SIZE, sorted);
            sortWindow(sorted);
            WindowStatistics s;
            computeStatistics(sorted, window[12], &s);
            const int found = int(s.squared_deviation_sum);
            if (found == squares) {
                if (s.median == s.centre_value) break;
                return pictureOf(5, 5, [&](int r, int x, int) { return window[5 * r + x]; });
            }
            // Away from the mean raises the sum, towards it lowers it.
            std::uint8_t& v = window[random() % WINDOW_SIZE];
            const bool above = double(v) >= s.window_mean;
            const bool raise = found < squares;
            if (raise == above && v < 255) ++v;
            if (raise != above && v > 0) --v;
        }
    }
}

}  // namespace

TEST_P(LanePathFilters, MatchPlainOnWindowsRightAtTheSpreadLimits) {
    std::mt19937 random(11);
    const int first_unflat = firstUnflatSquaredSum();
    for (int squares : {first_unflat - 1, first_unflat}) {
        for (int trial = 0; trial < 8; ++trial) {
            const sample::Picture picture = windowPictureWithSquares(squares, random);
            ASSERT_TRUE(fastMatchesPlain(path(), picture, {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0}, "flat limit"));
        }
    }
    for (int limit : {1200, 3000, 6000}) {
        // The coefficient is the spread one below the limit: the median
        // replaces the value from the limit on.
        const double coefficient = spreadPercentOf(limit - 1);
        ASSERT_EQ(firstReplacingSquaredSum(coefficient), limit);
        for (int squares : {limit - 1, limit})
            for (int trial = 0; trial < 4; ++trial)
                ASSERT_TRUE(fastMatchesPlain(path(), windowPictureWithSquares(squares, random),
                                             {FILTER_MODE_MEDIAN, coefficient, 0, 0}, "median limit"));
    }
}

TEST_P(LanePathFilters, MatchPlainOnFlatWindowsAtTheWidestRange) {
    // A window whose values span 36 can still be flat (23 values level, the
    // centre 18 above and one value 18 below: squared deviation sum 648);
    // one that spans 37 cannot (685 at least). The AVX paths' exact flat
    // test relies on that edge: the centre at one end, the other end in
    // each of the 24 other places in turn (the near and far values, each
    // column, above and below), so that flat and unflat blends differ.
    const int ends[][2] = {{18, -18}, {-18, 18}, {18, -19}, {-19, 18}, {19, -18}, {17, -19}, {18, -17}};
    for (int level : {40, 200}) {
        for (const auto& end : ends) {
            for (int other = 0; other < WINDOW_SIZE; ++other) {
                if (other == 12) continue;
                const sample::Picture picture = pictureOf(5, 5, [&](int r, int x, int c) {
                    const int at = 5 * r + x;
                    const int shift = c;  // each channel at its own level
                    return level + shift + (at == 12 ? end[0] : at == other ? end[1] : 0);
                });
                const FilterSettings blend{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0};
                ASSERT_TRUE(fastMatchesPlain(path(), picture, blend, describe(picture, blend, "flat range")))
                    << "ends " << end[0] << "/" << end[1] << ", other end at " << other;
            }
        }
    }
}

TEST_P(LanePathFilters, MatchPlainWhereWholeColumnsLieAboveOrBelowTheMiddle) {
    // The 23 settled values' middle ranks are picked from merges that leave
    // out the values that cannot reach them: columns that lie wholly below
    // or above the rest, or straddle them, put those ranks in every column
    // in turn. Mode 1 with a negative coefficient writes every median out.
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = 5 + int(random() % 40);
        const int height = 5 + int(random() % 6);
        std::vector<int> column_kind(std::size_t(width) * 3);
        for (int& kind : column_kind) kind = int(random() % 3);
        const sample::Picture picture = pictureOf(width, height, [&](int, int x, int c) {
            const int kind = column_kind[std::size_t(x) * 3 + std::size_t(c)];
            const int spread = int(random() % 4);
            return kind == 0 ? spread : kind == 1 ? 252 + spread : int(random() % 256);
        });
        for (const FilterSettings& s : {FilterSettings{FILTER_MODE_MEDIAN, -1, 0, 0},
                                        FilterSettings{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0},
                                        FilterSettings{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 1, -1}})
            if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "columns apart"))) return;
    }
}

TEST_P(LanePathFilters, MatchPlainWhereQuietPatchesInterruptNoise) {
    // Mode 2 makes window sums only for stretches of a row where some
    // window may be flat, catching up on the columns left of them: noise
    // (which settles every window unflat without sums) broken by quiet
    // patches of a few pixels, on rows of several stretches, puts those
    // stretches anywhere along the row and next to each other.
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 60; ++trial) {
        const int width = 100 + int(random() % 200);
        const int height = 5 + int(random() % 10);
        std::vector<int> quiet_level(std::size_t(width), -1);
        for (int patches = 1 + int(random() % 4); patches > 0; --patches) {
            const int from = int(random() % std::uint32_t(width));
            const int level = int(random() % 250);
            for (int x = from; x < std::min(width, from + 2 + int(random() % 12)); ++x) quiet_level[x] = level;
        }
        const int quiet_amplitude = 1 + int(random() % 8);
        const sample::Picture picture = pictureOf(width, height, [&](int, int x, int) {
            const int level = quiet_level[std::size_t(x)];
            return level < 0 ? int(random() % 256) : level + int(random() % std::uint32_t(quiet_amplitude));
        });
        const FilterSettings blend{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0};
        if (!fastMatchesPlain(path(), picture, blend, describe(picture, blend, "quiet patches"))) return;
    }
}

TEST_P(LanePathFilters, MatchPlainWhereReplacingStretchesComeAndGo) {
    // Mode 1 walks a chunk either to the visits found beforehand to replace
    // their value (and those whose left values then change) or whole, as
    // the row's chunk before suggests. Stretches of heavy noise, where most
    // medians replace, between smooth stretches with a few lone outliers,
    // each from a few pixels to a few chunks long, make a row switch back
    // and forth, and the outliers' replacements change their neighbours'
    // decisions.
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 40; ++trial) {
        const int width = 100 + int(random() % 300);
        const int height = 5 + int(random() % 12);
        std::vector<char> in_noise(static_cast<std::size_t>(width), 0);
        for (int x = 0; x < width;) {
            const int length = 3 + int(random() % 90);
            const bool stretch_noisy = random() % 2 == 0;
            for (int i = x; i < std::min(width, x + length); ++i) in_noise[std::size_t(i)] = stretch_noisy;
            x += length;
        }
        const int base = 40 + int(random() % 150);
        const sample::Picture picture = pictureOf(width, height, [&](int r, int x, int) {
            if (in_noise[std::size_t(x)]) return int(random() % 256);
            if (random() % 40 == 0) return int(random() % 2) * 255;
            return base + (x + r) % 5;
        });
        for (double coefficient : {2.0, 6.0, 12.0, 20.0}) {
            const FilterSettings settings{FILTER_MODE_MEDIAN, coefficient, 0, 0};
            if (!fastMatchesPlain(path(), picture, settings, describe(picture, settings, "replacing stretches"))) return;
        }
    }
}

TEST_P(LanePathFilters, MatchPlainAcrossTallBandsOfRows) {
    // The AVX paths take modes 1 to 3 in bands of 32 rows, each row three
    // pixels behind the one above, and read two rows past the band either
    // way: heights that end a band exactly, one row into the next, or
    // partway through the third; widths where no step has every row at a
    // visit (the band is all slope), a few 32-byte blocks, and the widest
    // row, whose last block ends at the store's row end. Noise, random
    // bytes and quiet pictures (where mode 2's windows may be flat). Mode 1
    // where every row replaces, some do, or none (a step then leaves its
    // median out).
    const double thresholds[][2] = {{0.05, 0.003}, {0.2, 0.0}, {0.01, 0.005}, {1, -1}};
    std::mt19937 random(10122026);
    const int sizes[][2] = {{5, 36}, {6, 37}, {9, 69}, {13, 40}, {37, 36}, {43, 37}, {64, 68}, {75, 100}, {120, 45}};
    for (const auto& size : sizes) {
        for (int kind = 0; kind < 3; ++kind) {
            const int width = size[0];
            const int height = size[1];
            const int level = int(random() % 240);
            const sample::Picture picture =
                kind == 0   ? sample::makeNoisyPicture(width, height, random())
                : kind == 1 ? sample::makeRandomPicture(width, height, random())
                            : pictureOf(width, height, [&](int, int, int) { return level + int(random() % 9); });
            const FilterSettings blend{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0};
            if (!fastMatchesPlain(path(), picture, blend, describe(picture, blend, "tall bands"))) return;
            for (double coefficient : {-1.0, 1.0, 12.0, 20.0, 50.0}) {
                const FilterSettings s{FILTER_MODE_MEDIAN, coefficient, 0, 0};
                if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "tall bands"))) return;
            }
            for (const auto& t : thresholds) {
                const FilterSettings s{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, t[0], t[1]};
                if (!fastMatchesPlain(path(), picture, s, describe(picture, s, "tall bands"))) return;
            }
        }
    }
    // The widest rows, in a strip tall enough for a second band.
    sample::Picture strip = sample::makeNoisyPicture(MAX_IMAGE_COLUMNS, 40, 12);
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_MEDIAN, 12, 0, 0}, "widest rows, median"));
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0}, "widest rows, blend"));
    EXPECT_TRUE(fastMatchesPlain(path(), strip, {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0}, "widest rows, crisp"));
}

TEST_P(LanePathFilters, MatchPlainOnTheWidestAndTallestStrips) {
    // Pictures as wide or as tall as the store: the widest rows (24,576
    // bytes) with one row of visits, and 8188 rows of one visit each, whose
    // last band reads the store's last rows (the picture's store ends
    // there); every mode, mode 1 where the median replaces some values and
    // where it replaces every one. Then mode 0 on the widest rows in two
    // bands.
    const FilterSettings settings[] = {{FILTER_MODE_SMOOTHING, 0, 0, 0},
                                       {FILTER_MODE_MEDIAN, 12, 0, 0},
                                       {FILTER_MODE_MEDIAN, -1, 0, 0},
                                       {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0},
                                       {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0}};
    const sample::Picture strips[] = {sample::makeNoisyPicture(MAX_IMAGE_COLUMNS, 5, 21),
                                      sample::makeNoisyPicture(5, MAX_IMAGE_ROWS, 22)};
    for (const sample::Picture& strip : strips)
        for (const FilterSettings& s : settings)
            if (!fastMatchesPlain(path(), strip, s, describe(strip, s, "strip"))) return;
    // Modes 1 to 3 there are the tall bands' test's.
    const sample::Picture wide = sample::makeNoisyPicture(MAX_IMAGE_COLUMNS, 40, 12);
    EXPECT_TRUE(fastMatchesPlain(path(), wide, settings[0], describe(wide, settings[0], "strip")));
}
