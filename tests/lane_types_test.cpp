// The wavefront's lane types do the same in every lane: each operation of
// the SSE2 lanes against the one-byte lanes' form of it applied lane by
// lane, on random values and on the edges of each width (where saturation,
// wrap-around and signed compares show). The one-byte form is what a
// processor without SSE2 runs; on x86 the portable build alone runs it.
#include <gtest/gtest.h>

#if defined(__SSE2__)

#include <array>
#include <cstdint>
#include <cstring>
#include <random>

// Both lane types in one file, each in its own namespace, as lane_type.h
// would name them.
#define FAST_LANES_INLINE inline __attribute__((always_inline))
#define FAST_LANES_PATH one_byte
#include "filters/fast/lanes_one_byte.h"
#undef FAST_LANES_PATH
#define FAST_LANES_PATH sse2
#include "filters/fast/lanes_sse2.h"
#undef FAST_LANES_PATH

namespace {

namespace one = fast_wave::one_byte;
namespace wide = fast_wave::sse2;
constexpr int N = wide::LANES;

// A wide value's lanes, in lane order (each type's registers hold them so).
template <class T, class Wide>
std::array<T, N> lanesOf(const Wide& w) {
    static_assert(sizeof(Wide) == N * sizeof(T), "a wide value is its lanes");
    std::array<T, N> lanes;
    std::memcpy(lanes.data(), &w, sizeof w);
    return lanes;
}
template <class Wide, class T>
Wide wideOf(const std::array<T, N>& lanes) {
    Wide w;
    std::memcpy(&w, lanes.data(), sizeof w);
    return w;
}

// Random lanes, a third of them the width's edges.
template <class T>
std::array<T, N> randomLanes(std::mt19937& random, std::array<T, 6> edges) {
    std::array<T, N> lanes;
    for (T& v : lanes) v = random() % 3 == 0 ? edges[random() % 6] : T(random());
    return lanes;
}

using ByteLanes = std::array<std::uint8_t, N>;
using WordLanes = std::array<std::uint16_t, N>;
using DwordLanes = std::array<std::int32_t, N>;

// A mask in every lane, or in none, as compares give them.
ByteLanes randomMask(std::mt19937& random) {
    ByteLanes m;
    for (auto& v : m) v = random() % 2 ? 0xFF : 0;
    return m;
}

}  // namespace

TEST(LaneTypes, ByteOperationsAreTheOneByteFormInEveryLane) {
    std::mt19937 random(16);
    for (int trial = 0; trial < 2000; ++trial) {
        const ByteLanes a = randomLanes<std::uint8_t>(random, {0, 1, 127, 128, 254, 255});
        const ByteLanes b = randomLanes<std::uint8_t>(random, {0, 1, 127, 128, 254, 255});
        const ByteLanes m = randomMask(random);
        const auto wa = wideOf<wide::Bytes>(a), wb = wideOf<wide::Bytes>(b), wm = wideOf<wide::Bytes>(m);
        const auto minimum = lanesOf<std::uint8_t>(wide::minimum(wa, wb));
        const auto maximum = lanesOf<std::uint8_t>(wide::maximum(wa, wb));
        const auto less = lanesOf<std::uint8_t>(wide::lessOrZero(wa, wb));
        const auto equal = lanesOf<std::uint8_t>(wide::equal(wa, wb));
        const auto but_not = lanesOf<std::uint8_t>(wide::butNot(wa, wb));
        const auto selected = lanesOf<std::uint8_t>(wide::select(wm, wa, wb));
        const auto moved = lanesOf<std::uint8_t>(wide::lanesMovedUp(wa, &b[5]));
        const auto pairs = lanesOf<std::uint16_t>(wide::bytePairs(wa, wb));
        for (int l = 0; l < N; ++l) {
            const one::Bytes x{a[l]}, y{b[l]};
            ASSERT_EQ(minimum[l], one::minimum(x, y).v);
            ASSERT_EQ(maximum[l], one::maximum(x, y).v);
            ASSERT_EQ(less[l], one::lessOrZero(x, y).v);
            ASSERT_EQ(equal[l], one::equal(x, y).v);
            ASSERT_EQ(but_not[l], one::butNot(x, y).v);
            ASSERT_EQ(selected[l], one::select(one::Bytes{m[l]}, x, y).v);
            ASSERT_EQ(moved[l], l == 0 ? one::lanesMovedUp(x, &b[5]).v : a[l - 1]);
            ASSERT_EQ(pairs[l], one::bytePairs(x, y).v);
        }
        ASSERT_EQ(wide::any(wm), m != ByteLanes{});
    }
}

TEST(LaneTypes, WordAndDwordOperationsAreTheOneByteFormInEveryLane) {
    std::mt19937 random(17);
    for (int trial = 0; trial < 2000; ++trial) {
        const WordLanes a = randomLanes<std::uint16_t>(random, {0, 1, 255, 0x7FFF, 0x8000, 0xFFFF});
        const WordLanes b = randomLanes<std::uint16_t>(random, {0, 1, 256, 0x7FFF, 0x8001, 0xFFFF});
        const auto wa = wideOf<wide::Words>(a), wb = wideOf<wide::Words>(b);
        const WordLanes results[] = {
            lanesOf<std::uint16_t>(wa + wb),          lanesOf<std::uint16_t>(wa - wb),
            lanesOf<std::uint16_t>(wide::mulLow(wa, wb)), lanesOf<std::uint16_t>(wide::mulHigh(wa, wb)),
            lanesOf<std::uint16_t>(wide::addHeld(wa, wb)), lanesOf<std::uint16_t>(wide::lessOrZero(wa, wb)),
            lanesOf<std::uint16_t>(wide::equal(wa, wb)),   lanesOf<std::uint16_t>(wide::greater(wa, wb)),
            lanesOf<std::uint16_t>(wide::shiftedRight<1>(wa))};
        const auto mask = lanesOf<std::uint8_t>(wide::narrowMask(wa));
        const auto held = lanesOf<std::uint8_t>(wide::narrowHeld(wa));
        const auto widened = lanesOf<std::int32_t>(wide::widen(wa));
        const auto products = lanesOf<std::int32_t>(wide::pairProducts(wa, wb, wb, wb));
        WordLanes in_order;
        wide::storeInLaneOrder(in_order.data(), wa);
        for (int l = 0; l < N; ++l) {
            const one::Words x{a[l]}, y{b[l]};
            const std::uint16_t expected[] = {(x + y).v,
                                              (x - y).v,
                                              one::mulLow(x, y).v,
                                              one::mulHigh(x, y).v,
                                              one::addHeld(x, y).v,
                                              one::lessOrZero(x, y).v,
                                              one::equal(x, y).v,
                                              one::greater(x, y).v,
                                              one::shiftedRight<1>(x).v};
            for (int op = 0; op < 9; ++op) ASSERT_EQ(results[op][l], expected[op]) << "operation " << op;
            ASSERT_EQ(mask[l], one::narrowMask(x).v);
            ASSERT_EQ(held[l], one::narrowHeld(x).v);
            ASSERT_EQ(widened[l], one::widen(x).v);
            ASSERT_EQ(products[l], one::pairProducts(x, y, y, y).v);
            ASSERT_EQ(in_order[l], a[l]);
        }

        const DwordLanes c = randomLanes<std::int32_t>(random, {0, 1, -1, 65535, INT32_MAX, INT32_MIN});
        const DwordLanes d = randomLanes<std::int32_t>(random, {0, 1, -1, -32769, 32768, INT32_MIN});
        const auto wc = wideOf<wide::Dwords>(c), wd = wideOf<wide::Dwords>(d);
        const auto sum = lanesOf<std::int32_t>(wc + wd), difference = lanesOf<std::int32_t>(wc - wd);
        const auto greater = lanesOf<std::int32_t>(wide::greater(wc, wd));
        const auto narrowed = lanesOf<std::uint16_t>(wide::narrow(wc));
        for (int l = 0; l < N; ++l) {
            const one::Dwords x{c[l]}, y{d[l]};
            ASSERT_EQ(sum[l], (x + y).v);
            ASSERT_EQ(difference[l], (x - y).v);
            ASSERT_EQ(greater[l], one::greater(x, y).v);
            ASSERT_EQ(narrowed[l], one::narrow(x).v);
        }
    }
}

TEST(LaneTypes, DoubleGroupsTakeAndSetTheirLanesInOrder) {
    std::mt19937 random(18);
    static double table[1000];
    for (int i = 0; i < 1000; ++i) table[i] = i * 0.5 - 3.25;
    for (int trial = 0; trial < 500; ++trial) {
        DwordLanes index;
        for (auto& v : index) v = int(random() % 1000);
        const auto wi = wideOf<wide::Dwords>(index);
        wide::Dwords truncated = wi;
        for (int g = 0; g < wide::DOUBLE_GROUPS; ++g) {
            const wide::Doubles looked_up = wide::doublesAt(table, wi, g);
            const wide::Doubles converted = wide::toDoubles(wi, g);
            constexpr int PER_GROUP = N / wide::DOUBLE_GROUPS;
            for (int i = 0; i < PER_GROUP; ++i) {
                const int l = g * PER_GROUP + i;
                ASSERT_EQ(looked_up[i], one::doublesAt(table, one::Dwords{index[l]}, 0));
                ASSERT_EQ(converted[i], one::toDoubles(one::Dwords{index[l]}, 0));
            }
            wide::setTruncated(truncated, g, looked_up);
        }
        const auto whole = lanesOf<std::int32_t>(truncated);
        for (int l = 0; l < N; ++l) {
            one::Dwords expected{};
            one::setTruncated(expected, 0, table[index[l]]);
            ASSERT_EQ(whole[l], expected.v) << "lane " << l;
        }
    }
}

TEST(LaneTypes, TransposesMakeRowsColumns) {
    wide::Bytes square[N];
    std::uint8_t values[N][N];
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) values[r][c] = std::uint8_t(r * N + c);
    for (int r = 0; r < N; ++r) square[r] = wide::loadBytes(values[r]);
    wide::transposeSquare(square);
    for (int r = 0; r < N; ++r) {
        const auto row = lanesOf<std::uint8_t>(square[r]);
        for (int c = 0; c < N; ++c) ASSERT_EQ(row[c], values[c][r]) << "row " << r << ", column " << c;
    }
    // Four of the rows back into columns, STRIDE bytes apart.
    constexpr int STRIDE = 7;
    std::uint8_t target[N * STRIDE] = {};
    wide::transposeFour<STRIDE>(square, target);
    for (int k = 0; k < N; ++k)
        for (int j = 0; j < 4; ++j) ASSERT_EQ(target[k * STRIDE + j], values[k][j]) << "byte " << k << " of row " << j;
}

#endif
