// The wavefront's parts on their own, in the lane type this build's own
// instructions give (SSE2, or one byte): the ranks and median a step finds
// from its five kept columns and its chain's two rewritten values, and the
// window mean and squared deviation sum from the columns' sums, each
// against the plain forms' sorted window and statistics, lane by lane.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "filters/fast/wave_columns.h"
#include "filters/fast/wave_sums.h"
#include "filters/neighbourhood.h"

namespace {

using namespace fast_wave;

// One lane's window: rows -2 to 2 of the columns 2 pixels left to 2 right
// (value[row][column]), the centre row as read, and the two values the
// chain has just rewritten in its two left columns.
struct LaneWindow {
    std::uint8_t value[5][5];
    std::uint8_t far;
    std::uint8_t near;
};

// What the plain pass sees: the two left columns' centre row rewritten.
std::array<std::uint8_t, 25> plainWindow(const LaneWindow& w) {
    std::array<std::uint8_t, 25> values{};
    int i = 0;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) values[i++] = r == 2 && c == 0 ? w.far : r == 2 && c == 1 ? w.near : w.value[r][c];
    return values;
}

Bytes bytesOf(const std::array<std::uint8_t, LANES>& lanes) { return loadBytes(lanes.data()); }
std::array<std::uint8_t, LANES> lanesOf(Bytes b) {
    std::array<std::uint8_t, LANES> lanes{};
    storeBytes(lanes.data(), b);
    return lanes;
}

constexpr int STEP = 300;  // any step: the columns' ring is indexed by it

// The five columns of every lane's window kept as a step keeps them (the
// column at 3c - 6 bytes from the visit in slot STEP + 3c - 6), sums too.
void keepColumns(const std::array<LaneWindow, LANES>& windows) {
    for (int c = 0; c < 5; ++c) {
        const int u = STEP + 3 * c - 6;
        std::array<std::array<std::uint8_t, LANES>, 4> four{};
        std::array<std::array<std::uint8_t, LANES>, 5> five{};
        std::array<std::uint8_t, LANES> centre{};
        for (int l = 0; l < LANES; ++l) {
            std::array<std::uint8_t, 5> column{};
            for (int r = 0; r < 5; ++r) column[r] = windows[l].value[r][c];
            centre[l] = column[2];
            std::array<std::uint8_t, 4> others = {column[0], column[1], column[3], column[4]};
            std::sort(others.begin(), others.end());
            std::sort(column.begin(), column.end());
            for (int i = 0; i < 4; ++i) four[i][l] = others[i];
            for (int i = 0; i < 5; ++i) five[i][l] = column[i];
        }
        Column& kept = column_ring[columnSlot(u)];
        for (int i = 0; i < 4; ++i) kept.four[i] = bytesOf(four[i]);
        for (int i = 0; i < 5; ++i) kept.five[i] = bytesOf(five[i]);
        kept.centre = bytesOf(centre);
        keepColumnSums(u, kept);
    }
}

Visit visitOf(const std::array<LaneWindow, LANES>& windows) {
    std::array<std::uint8_t, LANES> far{}, near{}, centre{}, active{};
    for (int l = 0; l < LANES; ++l) {
        far[l] = windows[l].far;
        near[l] = windows[l].near;
        centre[l] = windows[l].value[2][2];
        active[l] = 0xFF;
    }
    return Visit{STEP, bytesOf(far), bytesOf(near), bytesOf(centre), bytesOf(active)};
}

// Windows of every kind the pass meets: full-range noise, a few values
// with many ties, two far-apart values (the widest spread), and flat.
std::array<LaneWindow, LANES> windowsOfKind(int kind, std::mt19937& random) {
    std::array<LaneWindow, LANES> windows{};
    for (LaneWindow& w : windows) {
        auto next = [&]() -> std::uint8_t {
            switch (kind) {
                case 0: return std::uint8_t(random() % 256);
                case 1: return std::uint8_t(100 + random() % 3);
                case 2: return random() % 2 ? 255 : 0;
                default: return 77;
            }
        };
        for (auto& row : w.value)
            for (auto& v : row) v = next();
        w.far = next();
        w.near = next();
    }
    return windows;
}

const char* const KINDS[] = {"noise", "ties", "two extremes", "flat"};

}  // namespace

TEST(WaveParts, RanksAndMedianAreTheSortedWindows) {
    std::mt19937 random(25);
    for (int kind = 0; kind < 4; ++kind) {
        for (int trial = 0; trial < 300; ++trial) {
            const auto windows = windowsOfKind(kind, random);
            keepColumns(windows);
            const Visit v = visitOf(windows);
            const Ranks ranks = ranksAt(STEP);
            const auto low = lanesOf(ranks.low), mid = lanesOf(ranks.mid), high = lanesOf(ranks.high);
            const auto median = lanesOf(v.median());
            for (int l = 0; l < LANES; ++l) {
                auto window = plainWindow(windows[l]);
                // The 23 settled values: all but the two rewritten ones.
                std::array<std::uint8_t, 23> settled{};
                int i = 0;
                for (int r = 0; r < 5; ++r)
                    for (int c = 0; c < 5; ++c)
                        if (r != 2 || c > 1) settled[i++] = windows[l].value[r][c];
                std::sort(settled.begin(), settled.end());
                sortWindow(window.data());
                const std::string where = std::string(KINDS[kind]) + ", lane " + std::to_string(l);
                ASSERT_EQ(low[l], settled[10]) << where;
                ASSERT_EQ(mid[l], settled[11]) << where;
                ASSERT_EQ(high[l], settled[12]) << where;
                ASSERT_EQ(median[l], window[12]) << where;
            }
        }
    }
}

TEST(WaveParts, MeanAndSquaredDeviationSumAreThePlainStatistics) {
    std::mt19937 random(26);
    for (int kind = 0; kind < 4; ++kind) {
        for (int trial = 0; trial < 300; ++trial) {
            const auto windows = windowsOfKind(kind, random);
            keepColumns(windows);
            const Spread spread = spreadOf(visitOf(windows));
            const auto mean = lanesOf(narrowHeld(spread.mean));
            std::array<int, LANES> expected{};
            for (int l = 0; l < LANES; ++l) {
                auto window = plainWindow(windows[l]);
                sortWindow(window.data());
                WindowStatistics s;
                computeStatistics(window.data(), windows[l].value[2][2], &s);
                ASSERT_EQ(mean[l], int(s.window_mean)) << KINDS[kind] << ", lane " << l;
                expected[l] = int(s.squared_deviation_sum);
                ASSERT_EQ(double(expected[l]), s.squared_deviation_sum);
            }
            // Each lane's sum, told by which lanes exceed every lane's sum
            // and the sum just below it.
            for (int l = 0; l < LANES; ++l) {
                for (int threshold : {expected[l] - 1, expected[l]}) {
                    const auto above = lanesOf(byteMaskOf(greater(spread.squared_deviations, everyDword(threshold))));
                    for (int k = 0; k < LANES; ++k)
                        ASSERT_EQ(above[k] != 0, expected[k] > threshold)
                            << KINDS[kind] << ", lane " << k << ", threshold " << threshold;
                }
            }
        }
    }
}
