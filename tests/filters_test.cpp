// The plain filters against values worked out by hand: in-place order,
// window statistics, and the double-precision cases that sit just below a
// whole number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "filters/filter_modes.h"
#include "filters/mode_steps.h"
#include "filters/neighbourhood.h"
#include "test_support.h"

namespace {

testing_support::StoreImage image;

void fillPicture(int height, int width, std::uint8_t value) {
    image.clear();
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) image[pixelIndex(r, x, c)] = value;
}

std::uint8_t& at(int r, int x, int c) { return image[pixelIndex(r, x, c)]; }

using testing_support::captureConsole;
using testing_support::runPlainFilter;

// The plain filters, as the modes' table runs them (start message first).
std::string smooth(int height, int width) {
    return captureConsole([&](std::FILE* console) {
        runPlainFilter(image.data(), PictureSize{height, width}, FilterSettings{FILTER_MODE_SMOOTHING, 0, 0, 0},
                       console);
    });
}

std::string neighbourhood(int height, int width, FilterSettings settings) {
    return captureConsole(
        [&](std::FILE* console) { runPlainFilter(image.data(), PictureSize{height, width}, settings, console); });
}

FilterSettings medianSettings(double coefficient) { return FilterSettings{FILTER_MODE_MEDIAN, coefficient, 0.0, 0.0}; }

std::string progressLine(const char* value) {
    return testing_support::console(std::string("進行度：") + value + "％\n");
}

std::string repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// A sorted window with its statistics, from values listed as (value, count).
WindowStatistics statisticsOf(std::vector<std::pair<int, int>> counts, int centre) {
    std::vector<std::uint8_t> window;
    for (auto [value, count] : counts) window.insert(window.end(), std::size_t(count), std::uint8_t(value));
    window.push_back(std::uint8_t(centre));
    EXPECT_EQ(window.size(), 25u);
    std::sort(window.begin(), window.end());
    WindowStatistics s;
    computeStatistics(window.data(), std::uint8_t(centre), &s);
    return s;
}

}  // namespace

TEST(Smoothing, WorksInPlaceSoEarlierResultsFeedLaterVisits) {
    fillPicture(7, 7, 0);
    at(3, 3, 0) = 255;
    smooth(7, 7);
    const int expected[3][3] = {{14, 15, 15}, {16, 25, 4}, {3, 4, 3}};
    for (int r = 0; r < 7; ++r)
        for (int x = 0; x < 7; ++x) {
            const bool inside = r >= 2 && r <= 4 && x >= 2 && x <= 4;
            EXPECT_EQ(at(r, x, 0), inside ? expected[r - 2][x - 2] : 0) << r << "," << x;
            EXPECT_EQ(at(r, x, 1), 0);
            EXPECT_EQ(at(r, x, 2), 0);
        }
}

TEST(Smoothing, FlatStaysFlatAndALoneSpikeIsAveraged) {
    fillPicture(9, 9, 77);
    smooth(9, 9);
    for (int r = 0; r < 9; ++r)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(at(r, x, 1), 77);

    fillPicture(5, 5, 0);
    at(2, 2, 2) = 255;
    smooth(5, 5);
    EXPECT_EQ(at(2, 2, 2), 765 / 35);
}

TEST(Smoothing, PrintsOneProgressLinePerInteriorPixel) {
    fillPicture(7, 10, 9);
    // Rows 2..4 of 7, six interior pixels each: 28.6, 42.9, 57.1 percent.
    EXPECT_EQ(smooth(7, 10), testing_support::console("平滑化フィルタの処理中\n") + repeat(progressLine("28.6"), 6) +
                                 repeat(progressLine("42.9"), 6) + repeat(progressLine("57.1"), 6));
    // A picture without interior pixels prints the heading alone.
    EXPECT_EQ(smooth(4, 100), testing_support::console("平滑化フィルタの処理中\n"));
    EXPECT_EQ(smooth(100, 4), testing_support::console("平滑化フィルタの処理中\n"));
}

TEST(Smoothing, ProgressValuesRoundLikeTheConsoleShowsThem) {
    fillPicture(100, 5, 9);
    const std::string text = smooth(100, 5);
    EXPECT_EQ(text.find(progressLine(" 2.0")), std::string::npos);  // width 2 is a minimum, not padding here
    EXPECT_NE(text.find(progressLine("2.0")), std::string::npos);
    EXPECT_NE(text.find(progressLine("97.0")), std::string::npos);
    EXPECT_EQ(text.find(progressLine("98.0")), std::string::npos);  // the last visited row is height - 3

    fillPicture(16, 5, 9);
    const std::string ties = smooth(16, 5);
    EXPECT_NE(ties.find(progressLine("18.8")), std::string::npos);  // row 3: 18.75
    EXPECT_NE(ties.find(progressLine("31.2")), std::string::npos);  // row 5: 31.25
}

TEST(WindowStatisticsTest, MatchTheWorkedWindows) {
    const WindowStatistics spike = statisticsOf({{100, 24}}, 255);
    EXPECT_EQ(spike.median, 100);
    EXPECT_EQ(spike.window_sum, 2655);
    EXPECT_EQ(spike.window_mean, 106.0);
    EXPECT_EQ(spike.squared_deviation_sum, 23065.0);
    EXPECT_NEAR(spike.spread_percent, 11.9115, 5e-5);
    EXPECT_NEAR(spike.spread_ratio, 0.2373, 5e-5);
    EXPECT_NEAR(spike.pixel_deviation, 0.5843, 5e-5);

    const WindowStatistics widest = statisticsOf({{0, 12}, {255, 12}}, 255);
    EXPECT_EQ(widest.window_mean, 132.0);
    EXPECT_EQ(widest.squared_deviation_sum, 405765.0);
    EXPECT_NEAR(widest.spread_percent, 49.9605, 5e-5);
    EXPECT_LT(widest.spread_percent, 50.0);
    EXPECT_NEAR(widest.spread_ratio, 0.9953, 5e-5);

    std::vector<std::pair<int, int>> ramp;
    for (int v = 0; v < 24; ++v) ramp.push_back({v, 1});
    const WindowStatistics counted = statisticsOf(ramp, 24);
    EXPECT_EQ(counted.median, 12);
    EXPECT_EQ(counted.window_mean, 12.0);
    EXPECT_EQ(counted.squared_deviation_sum, 1300.0);

    const WindowStatistics flat = statisticsOf({{40, 24}}, 40);
    EXPECT_EQ(flat.spread_percent, 0.0);
    EXPECT_EQ(flat.pixel_deviation, 0.0);
}

TEST(WindowSort, SortsAnyWindowAscending) {
    std::uint32_t state = 12345;
    for (int trial = 0; trial < 2000; ++trial) {
        std::uint8_t window[WINDOW_SIZE];
        for (std::uint8_t& v : window) {
            state = state * 1664525u + 1013904223u;
            v = std::uint8_t(trial % 3 == 0 ? (state >> 24) % 4 : state >> 24);  // many ties too
        }
        std::vector<std::uint8_t> expected(window, window + WINDOW_SIZE);
        std::sort(expected.begin(), expected.end());
        sortWindow(window);
        ASSERT_EQ(std::vector<std::uint8_t>(window, window + WINDOW_SIZE), expected);
    }
}

TEST(MedianReplacement, ReplacesOnlyWhenTheSpreadExceedsTheCoefficient) {
    fillPicture(7, 7, 100);
    at(3, 3, 0) = 255;
    neighbourhood(7, 7, medianSettings(11));
    EXPECT_EQ(at(3, 3, 0), 100);

    fillPicture(7, 7, 100);
    at(3, 3, 0) = 255;
    neighbourhood(7, 7, medianSettings(12));
    EXPECT_EQ(at(3, 3, 0), 255);

    // Equality keeps the value.
    const WindowStatistics spike = statisticsOf({{100, 24}}, 255);
    EXPECT_FALSE(medianReplaces(spike.spread_percent, spike.spread_percent));
    EXPECT_TRUE(medianReplaces(spike.spread_percent, std::nextafter(spike.spread_percent, 0.0)));
    EXPECT_FALSE(medianReplaces(49.9605, 50.0));
}

TEST(MedianReplacement, WorksInPlace) {
    // The first visit clears its 255 with the median; the second then sees
    // only one 255, whose spread is below the coefficient, and keeps it.
    fillPicture(5, 7, 0);
    at(2, 2, 0) = 255;
    at(2, 3, 0) = 255;
    neighbourhood(5, 7, medianSettings(20));
    EXPECT_EQ(at(2, 2, 0), 0);
    EXPECT_EQ(at(2, 3, 0), 255);
    EXPECT_EQ(at(2, 4, 0), 0);
}

TEST(FilterModes, TableHoldsEveryMenuModeOnceWithItsStartMessage) {
    const std::string smoothing = testing_support::console("平滑化フィルタの処理中\n");
    const std::string median = testing_support::console("メディアン・フィルタの処理中\n");
    int next = 0;
    for (const FilterMode& mode : FILTER_MODES) {
        EXPECT_EQ(mode.number, next++) << "the menu's order";
        EXPECT_EQ(mode.start_message, mode.number == FILTER_MODE_SMOOTHING ? smoothing : median) << mode.number;
        EXPECT_NE(mode.plain, nullptr);
        EXPECT_NE(mode.fast, nullptr);
        EXPECT_NE(mode.plain, mode.fast) << "the program must not check a form against itself";
        EXPECT_EQ(filterModeOf(mode.number), &mode);
    }
    EXPECT_EQ(next, 4);
    for (const int missing : {-1, 4, 7, 1 << 30}) EXPECT_EQ(filterModeOf(missing), nullptr) << missing;
}

TEST(NeighbourhoodPass, PrintsOneLinePerRowAndLeavesTheFrame) {
    const std::string heading = testing_support::console("メディアン・フィルタの処理中\n");
    fillPicture(4, 9, 50);
    EXPECT_EQ(neighbourhood(4, 9, medianSettings(0)), heading);
    // Rows without interior pixels still report progress.
    fillPicture(6, 3, 50);
    EXPECT_EQ(neighbourhood(6, 3, medianSettings(0)), heading + progressLine("33.3") + progressLine("50.0"));
    // Modes outside 0..3 run nothing and print nothing.
    EXPECT_EQ(neighbourhood(6, 6, FilterSettings{7, 0, 0, 0}), "");

    // The picture's rows whole, and the rows below it, where a stray
    // write would land first.
    const std::size_t watched = pixelIndex(12, 0, 0);
    std::uint32_t state = 99;
    for (int mode = FILTER_MODE_MEDIAN; mode <= FILTER_MODE_CRISP_SMOOTH_BLEND; ++mode) {
        for (std::size_t i = 0; i < watched; ++i) image[i] = std::uint8_t((state = state * 1103515245u + 12345u) >> 23);
        const std::vector<std::uint8_t> before(image.begin(), image.begin() + watched);
        neighbourhood(9, 11, FilterSettings{mode, 0.0, 1.0, -1.0});
        for (int r = 0; r < 9; ++r)
            for (int x = 0; x < 11; ++x) {
                if (r >= 2 && r <= 6 && x >= 2 && x <= 8) continue;
                for (int c = 0; c < 3; ++c) ASSERT_EQ(at(r, x, c), before[pixelIndex(r, x, c)]) << mode;
            }
        EXPECT_FALSE(std::equal(before.begin(), before.end(), image.begin())) << mode;
        // Nothing beyond the picture is touched.
        EXPECT_TRUE(std::equal(image.begin() + pixelIndex(9, 0, 0), image.begin() + watched,
                               before.begin() + pixelIndex(9, 0, 0)));
    }
}

TEST(OriginalBlend, OverlayAndScreenLayers) {
    struct Case {
        int m, p, overlay, screen;
    } cases[] = {{100, 60, 47, 137}, {100, 200, 188, 222}, {0, 128, 1, 128},   {255, 127, 254, 255},
                 {100, 100, 78, 161}, {100, 255, 255, 255}, {100, 0, 0, 100}, {2, 66, 1, 68},
                 {255, 255, 255, 255}};
    for (const Case& c : cases) {
        EXPECT_EQ(overlayLayer(c.m, c.p), c.overlay) << c.m << "," << c.p;
        EXPECT_EQ(screenLayer(c.m, c.p), c.screen) << c.m << "," << c.p;
    }
    for (int p = 0; p < 256; ++p) {
        EXPECT_EQ(screenLayer(255, p), 255);
        EXPECT_EQ(screenLayer(0, p), p);
    }
}

TEST(OriginalBlend, OverlayIsTheFloorOfTheExactValue) {
    for (int m = 0; m < 256; ++m)
        for (int p = 0; p < 256; ++p) {
            // Exact in integers: floor(2mp/255) and floor(2(m+p) - 255 - 2mp/255).
            const int exact = p < 128 ? (2 * m * p) / 255 : (2 * (m + p) * 255 - 255 * 255 - 2 * m * p) / 255;
            ASSERT_EQ(overlayLayer(m, p), exact) << m << "," << p;
        }
}

TEST(OriginalBlend, PowerLayerFollowsItsTwoBranches) {
    for (int m = 0; m < 256; ++m)
        for (int p = 0; p < 256; ++p) {
            const long double exponent = m < 128 ? (255 - m) / 128.0L : 128.0L / m;
            const long double scaled = std::pow(p / 255.0L, exponent) * 255.0L;
            const long double whole = std::floor(scaled);
            if (scaled - whole < 1e-9L || whole + 1 - scaled < 1e-9L) continue;  // too close to call
            ASSERT_EQ(powerLayer(m, p), int(whole)) << m << "," << p;
        }
}

TEST(OriginalBlend, CombinationRoundsEveryStepInOrder) {
    EXPECT_EQ(combineLayers(100, 200, 188, 222, 0), 179);
    EXPECT_EQ(combineLayers(100, 200, 188, 222, 255), 194);
    EXPECT_EQ(combineLayers(255, 255, 255, 255, 255), 255);
    EXPECT_EQ(combineLayers(2, 66, 1, 68, 0), 32);  // the exact quotient is 33
    EXPECT_EQ(combineLayers(100, 100, 78, 161, 0), 98);
    EXPECT_EQ(combineLayers(100, 255, 255, 255, 0), 227);
    EXPECT_EQ(combineLayers(100, 0, 0, 100, 0), 28);
}

TEST(OriginalBlend, FlatWindowsBlendTheValueWithItself) {
    // squared_deviation_sum 650 counts as flat, 651 does not.
    const WindowStatistics flat = statisticsOf({{100, 21}, {118, 1}, {82, 1}, {99, 1}}, 101);
    ASSERT_EQ(flat.window_sum, 2500);
    ASSERT_EQ(flat.squared_deviation_sum, 650.0);
    EXPECT_EQ(originalBlendValue(flat.median, flat.centre_value, flat.spread_percent),
              combineLayers(101, 101, 80, 162, powerLayer(101, 101)));

    const WindowStatistics busy = statisticsOf({{100, 20}, {118, 1}, {82, 1}, {99, 1}, {101, 1}}, 101);
    ASSERT_EQ(busy.window_sum, 2501);
    ASSERT_EQ(busy.squared_deviation_sum, 651.0);
    ASSERT_EQ(busy.median, 100);
    EXPECT_EQ(originalBlendValue(busy.median, busy.centre_value, busy.spread_percent),
              combineLayers(100, 101, 79, 162, powerLayer(100, 101)));

    // Even a perfectly flat area changes tone.
    fillPicture(5, 5, 100);
    neighbourhood(5, 5, FilterSettings{FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0});
    EXPECT_EQ(at(2, 2, 0), combineLayers(100, 100, 78, 161, powerLayer(100, 100)));
    EXPECT_NE(at(2, 2, 0), 100);
}

TEST(CrispSmoothBlend, GatePassesExactlyThePresetBands) {
    struct Band {
        double max_threshold, min_threshold;
        int first, last;
    } bands[] = {{0.05, 0.003, 1, 12}, {0.2, 0.0, 1, 50}, {0.01, 0.005, 2, 2}};
    for (const Band& band : bands)
        for (int k = 0; k <= 255; ++k)
            for (int sign : {1, -1}) {
                const double deviation = std::fabs(double(sign * k) / 255.0);
                EXPECT_EQ(crispGatePasses(deviation, band.min_threshold, band.max_threshold),
                          k >= band.first && k <= band.last)
                    << band.max_threshold << " k=" << k;
            }
    // Reversed thresholds let nothing through.
    for (int k = 0; k <= 255; ++k) EXPECT_FALSE(crispGatePasses(k / 255.0, 0.5, 0.1));
}

TEST(CrispSmoothBlend, BlendRoundsEveryStepInOrder) {
    const WindowStatistics spike = statisticsOf({{100, 24}}, 255);
    EXPECT_FALSE(crispGatePasses(spike.pixel_deviation, 0.0, 0.2));
    EXPECT_TRUE(crispGatePasses(spike.pixel_deviation, 0.0, 1.0));
    EXPECT_EQ(crispBlendValue(spike.median, spike.centre_value, spike.spread_ratio), 210);

    const WindowStatistics levels = statisticsOf({{100, 12}, {140, 12}}, 150);
    EXPECT_EQ(levels.squared_deviation_sum, 10465.0);
    EXPECT_EQ(crispBlendValue(levels.median, levels.centre_value, levels.spread_ratio), 144);

    // Just below a whole number: the byte is one less than the exact value.
    const WindowStatistics below100 = statisticsOf({{100, 22}, {0, 1}, {231, 1}}, 100);
    ASSERT_EQ(below100.squared_deviation_sum, 27124.0);
    EXPECT_EQ(crispBlendValue(below100.median, below100.centre_value, below100.spread_ratio), 99);

    const WindowStatistics below20 = statisticsOf({{20, 22}, {0, 1}, {26, 1}}, 20);
    ASSERT_EQ(below20.squared_deviation_sum, 433.0);
    EXPECT_EQ(crispBlendValue(below20.median, below20.centre_value, below20.spread_ratio), 19);
}

TEST(CrispSmoothBlend, ValuesBeyondTheScaleAreHeldAtItsEnds) {
    const WindowStatistics high = statisticsOf({{0, 1}, {200, 12}, {255, 11}}, 255);
    ASSERT_EQ(high.median, 200);
    EXPECT_EQ(crispBlendValue(high.median, high.centre_value, high.spread_ratio), 255);  // 267.150

    const WindowStatistics low = statisticsOf({{255, 1}, {55, 12}, {0, 11}}, 0);
    ASSERT_EQ(low.median, 55);
    EXPECT_EQ(crispBlendValue(low.median, low.centre_value, low.spread_ratio), 0);  // -12.153
}

TEST(CrispSmoothBlend, QuietWindowsAndFailedGatesKeepTheirValues) {
    fillPicture(5, 5, 100);
    neighbourhood(5, 5, FilterSettings{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0});
    EXPECT_EQ(at(2, 2, 0), 100);

    fillPicture(5, 5, 100);
    at(2, 2, 1) = 255;
    neighbourhood(5, 5, FilterSettings{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0});
    EXPECT_EQ(at(2, 2, 1), 255);
    neighbourhood(5, 5, FilterSettings{FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 1.0, 0.0});
    EXPECT_EQ(at(2, 2, 1), 210);
}
