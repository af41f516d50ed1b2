#include "fast_neighbourhood.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "../front/messages.h"
#include "fast_lanes.h"
#include "fast_rows.h"
#include "mode_steps.h"
#include "neighbourhood.h"
#include "progress.h"

namespace {

using fast_lanes::Lane1;
using fast_lanes::WideLanes;
using fast_rows::REACH;

using fast_rows::NEAR;

// What a row needs while it is filtered; one set for each row of a pair.
struct RowBuffers {
    // For every byte column: the values of rows r-2, r-1, r+1 and r+2
    // sorted, the same with the row's own value put in, and their sums.
    std::uint8_t column_four[4][ROW_STRIDE];
    std::uint8_t column_five[5][ROW_STRIDE];
    std::uint16_t column_sum[ROW_STRIDE];
    std::uint32_t column_squares[ROW_STRIDE];
    std::uint16_t column_sum_with_centre[ROW_STRIDE];
    std::uint32_t column_squares_with_centre[ROW_STRIDE];
    int columns_end;  // columns sorted so far: [0, columns_end)
    int sums_end;     // columns summed so far, as far as asked for
    // For every visit: the 11th, 12th and 13th smallest of the 23 values
    // that do not depend on the row's own results, their sum and their sum
    // of squares.
    std::uint8_t rank_low[ROW_STRIDE];
    std::uint8_t rank_mid[ROW_STRIDE];
    std::uint8_t rank_high[ROW_STRIDE];
    std::uint16_t rest_sum[ROW_STRIDE];
    std::uint32_t rest_squares[ROW_STRIDE];
    // Mode 2: set where the 23 values alone already spread too far for the
    // window to be flat, whatever the two rewritten ones turn out to be.
    std::uint8_t surely_unflat[ROW_STRIDE];
    // Mode 1 seldom needs a median: ranks are found as first asked for,
    // sixteen visits at a time, within the visits last prepared.
    std::uint8_t ranked[ROW_STRIDE];
    int prepared_end;
    // Mode 2: whether the last stretch prepared needed the window sums.
    bool sums_wanted;
};

RowBuffers row_buffers[fast_rows::BAND_ROWS];

// Mode 2's blend of every (median, centre) pair, made whole the first time
// mode 2 runs (about a millisecond): the walk then looks values up without
// asking whether they are made. Each entry is a pure function of its index,
// so the table holds for every later picture too.
std::uint8_t blend_table[256][256];
bool blend_table_made = false;

// Mode 3's spread ratio for every squared deviation sum, as crispBlendValue
// is given it, made whole the first time mode 3 runs (about 3 MB, a
// millisecond or two): the walk then looks ratios up with no test on the
// way, so the rows' visits can run side by side.
alignas(16) double crisp_ratio_by_squares[MAX_SQUARED_DEVIATION_SUM + 1];
bool crisp_ratios_made = false;

// Runs `at` over [first, end) in wide lanes, or one byte at a time where a
// row is too short for them. The last wide step may end at `end` and so
// start before `first`, redoing a few bytes. Redone columns there may take
// in the row's own values as since rewritten, but only the centred columns
// do, and those are read only by visits at or right of their own byte,
// which have all been walked; redone ranks and sums likewise belong to
// visits already walked. The settled rows' columns come out the same.
template <class At>
void inLanes(int lowest, int first, int end, At at) {
    if (end <= first) return;
    int p = first;
    if (end - lowest >= WideLanes::COUNT) {
        if (end - p < WideLanes::COUNT) p = end - WideLanes::COUNT;
        for (; p + WideLanes::COUNT <= end; p += WideLanes::COUNT) at(WideLanes{}, p);
        if (p < end) at(WideLanes{}, end - WideLanes::COUNT);
        return;
    }
    for (; p < end; ++p) at(Lane1{}, p);
}

// ---- the row's columns -----------------------------------------------------

template <class V>
void sortColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p) {
    using fast_lanes::exchange;
    using fast_lanes::load;
    V v0 = load<V>(centre_row - 2 * ROW_STRIDE + p);
    V v1 = load<V>(centre_row - ROW_STRIDE + p);
    V v3 = load<V>(centre_row + ROW_STRIDE + p);
    V v4 = load<V>(centre_row + 2 * ROW_STRIDE + p);
    exchange(v0, v1);
    exchange(v3, v4);
    exchange(v0, v3);
    exchange(v1, v4);
    exchange(v1, v3);
    const V sorted[4] = {v0, v1, v3, v4};
    // The row's own value goes in by insertion.
    V carried = load<V>(centre_row + p);
    for (int i = 0; i < 4; ++i) {
        storeLanes(b.column_four[i] + p, sorted[i]);
        storeLanes(b.column_five[i] + p, lower(sorted[i], carried));
        carried = upper(sorted[i], carried);
    }
    storeLanes(b.column_five[4] + p, carried);
}

void sumColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p, Lane1) {
    const std::uint32_t v0 = centre_row[p - 2 * ROW_STRIDE], v1 = centre_row[p - ROW_STRIDE], v2 = centre_row[p],
                        v3 = centre_row[p + ROW_STRIDE], v4 = centre_row[p + 2 * ROW_STRIDE];
    const std::uint32_t sum = v0 + v1 + v3 + v4;
    const std::uint32_t squares = v0 * v0 + v1 * v1 + v3 * v3 + v4 * v4;
    b.column_sum[p] = std::uint16_t(sum);
    b.column_squares[p] = squares;
    b.column_sum_with_centre[p] = std::uint16_t(sum + v2);
    b.column_squares_with_centre[p] = squares + v2 * v2;
}

#if defined(FAST_LANES_SSE2)
// Sums in 16-bit lanes; squares (each fits 16 bits) added in pairs into
// 32-bit lanes.
void sumColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p, fast_lanes::Lane16) {
    const __m128i zero = _mm_setzero_si128();
    __m128i bytes[5];
    for (int i = 0; i < 5; ++i)
        bytes[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre_row + (i - 2) * ROW_STRIDE + p));
    for (int half = 0; half < 2; ++half) {
        __m128i v[5];
        for (int i = 0; i < 5; ++i)
            v[i] = half == 0 ? _mm_unpacklo_epi8(bytes[i], zero) : _mm_unpackhi_epi8(bytes[i], zero);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(v[0], v[1]), _mm_add_epi16(v[3], v[4]));
        const int q = p + 8 * half;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_sum + q), sum);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_sum_with_centre + q), _mm_add_epi16(sum, v[2]));
        for (int quarter = 0; quarter < 2; ++quarter) {
            auto interleave = [&](__m128i x, __m128i y) {
                return quarter == 0 ? _mm_unpacklo_epi16(x, y) : _mm_unpackhi_epi16(x, y);
            };
            const __m128i above = interleave(v[0], v[1]);
            const __m128i below = interleave(v[3], v[4]);
            const __m128i centre = interleave(v[2], zero);
            const __m128i squares = _mm_add_epi32(_mm_madd_epi16(above, above), _mm_madd_epi16(below, below));
            const int r = q + 4 * quarter;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_squares + r), squares);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_squares_with_centre + r),
                             _mm_add_epi32(squares, _mm_madd_epi16(centre, centre)));
        }
    }
}
#endif

// Sorted, and summed too if `sum_now`: both in one pass where a mode needs
// both everywhere.
void makeColumns(RowBuffers& b, const std::uint8_t* centre_row, int end, bool sum_now) {
    const int first = b.columns_end;
    if (end <= first) return;
    if (sum_now) {
        inLanes(0, first, end, [&](auto lanes, int p) {
            sortColumnAt<decltype(lanes)>(b, centre_row, p);
            sumColumnAt(b, centre_row, p, lanes);
        });
        b.sums_end = end;
    } else {
        inLanes(0, first, end, [&](auto lanes, int p) { sortColumnAt<decltype(lanes)>(b, centre_row, p); });
    }
    b.columns_end = end;
}

// ---- the visits' 23 settled values ----------------------------------------

template <class V, std::size_t N>
FAST_LANES_INLINE std::array<V, N> loadColumn(const std::uint8_t (*column)[ROW_STRIDE], int p) {
    std::array<V, N> values{};
    for (std::size_t i = 0; i < N; ++i) values[i] = fast_lanes::load<V>(column[i] + p);
    return values;
}

// Values FROM to FROM + COUNT - 1 of an ascending list.
template <std::size_t FROM, std::size_t COUNT, class V, std::size_t N>
FAST_LANES_INLINE std::array<V, COUNT> middleOf(const std::array<V, N>& sorted) {
    static_assert(FROM + COUNT <= N, "within the list");
    std::array<V, COUNT> middle{};
    for (std::size_t i = 0; i < COUNT; ++i) middle[i] = sorted[FROM + i];
    return middle;
}

// The 11th to 13th smallest of the 23. Of the 18 values left of the last
// column, the 5 smallest have at most 9 of the 23 below them and those from
// the 14th on at least 13, so only their 6th to 13th can be among the three:
// merging those 8 with the last column's 5 takes fewer exchanges than
// merging all 18.
template <class V>
void rankRestAt(RowBuffers& b, int j) {
    using fast_lanes::mergeSorted;
    const auto left = mergeSorted<V>(loadColumn<V, 4>(b.column_four, j - REACH),
                                     loadColumn<V, 4>(b.column_four, j - NEAR));
    const auto middle = mergeSorted<V>(loadColumn<V, 5>(b.column_five, j),
                                       loadColumn<V, 5>(b.column_five, j + NEAR));
    const auto eighteen = mergeSorted<V>(left, middle);
    const auto last = mergeSorted<V>(middleOf<5, 8>(eighteen), loadColumn<V, 5>(b.column_five, j + REACH));
    // last[i] is the (i + 5)th smallest of the 23, counting from 0.
    storeLanes(b.rank_low + j, last[5]);
    storeLanes(b.rank_mid + j, last[6]);
    storeLanes(b.rank_high + j, last[7]);
}

void sumRest(RowBuffers& b, int first, int end) {
    for (int j = first; j < end; ++j) {
        b.rest_sum[j] = std::uint16_t(b.column_sum[j - REACH] + b.column_sum[j - NEAR] + b.column_sum_with_centre[j] +
                                      b.column_sum_with_centre[j + NEAR] + b.column_sum_with_centre[j + REACH]);
        b.rest_squares[j] = b.column_squares[j - REACH] + b.column_squares[j - NEAR] +
                            b.column_squares_with_centre[j] + b.column_squares_with_centre[j + NEAR] +
                            b.column_squares_with_centre[j + REACH];
    }
}

// Everything the visits [first, end) need but the two values to their left:
// the ranks only when asked for if `rank_now` is false, the sums only when
// asked for (sumVisits) if `sum_now` is false.
void prepareVisits(RowBuffers& b, const std::uint8_t* centre_row, int row_bytes, int first, int end,
                   bool rank_now, bool sum_now) {
    if (first == REACH) b.columns_end = b.sums_end = 0;
    const int columns_needed = end + REACH;
    makeColumns(b, centre_row, columns_needed < row_bytes ? columns_needed : row_bytes, sum_now);
    if (rank_now)
        inLanes(REACH, first, end, [&](auto lanes, int j) { rankRestAt<decltype(lanes)>(b, j); });
    else
        std::fill(b.ranked + first, b.ranked + end, std::uint8_t(0));
    b.prepared_end = end;
    if (sum_now) sumRest(b, first, end);
}

// The sums and sums of squares of the visits [first, end). Where earlier
// visits did not ask for them, the columns' sums are made from the reach
// left of `first` on: left of `first` only the sums without the row's own
// value are read, and those take nothing from this row.
void sumVisits(RowBuffers& b, const std::uint8_t* centre_row, int row_bytes, int first, int end) {
    const int from = std::max(b.sums_end, first - REACH);
    const int to = std::min(end + REACH, row_bytes);
    if (from < to) inLanes(0, from, to, [&](auto lanes, int p) { sumColumnAt(b, centre_row, p, lanes); });
    b.sums_end = std::max(b.sums_end, to);
    sumRest(b, first, end);
}

// The ranks of visit k and of the visits after it (or before, near the end
// of what was prepared), for those that wait to be asked.
void rankAround(RowBuffers& b, int k) {
    const int end = b.prepared_end;
    if (end - REACH < WideLanes::COUNT) {
        rankRestAt<Lane1>(b, k);
        b.ranked[k] = 1;
        return;
    }
    const int group = k < end - WideLanes::COUNT ? k : end - WideLanes::COUNT;
    rankRestAt<WideLanes>(b, group);
    std::fill(b.ranked + group, b.ranked + group + WideLanes::COUNT, std::uint8_t(1));
}

// ---- mode 2's cheap flat test ----------------------------------------------

// The spread (largest less smallest) of each of a visit's five columns, as
// its sorted columns give it.
template <class V>
FAST_LANES_INLINE std::array<V, 5> columnSpreads(const RowBuffers& b, int j) {
    using fast_lanes::load;
    using fast_lanes::lessOrZero;
    return {lessOrZero(load<V>(b.column_four[3] + j - REACH), load<V>(b.column_four[0] + j - REACH)),
            lessOrZero(load<V>(b.column_four[3] + j - NEAR), load<V>(b.column_four[0] + j - NEAR)),
            lessOrZero(load<V>(b.column_five[4] + j), load<V>(b.column_five[0] + j)),
            lessOrZero(load<V>(b.column_five[4] + j + NEAR), load<V>(b.column_five[0] + j + NEAR)),
            lessOrZero(load<V>(b.column_five[4] + j + REACH), load<V>(b.column_five[0] + j + REACH))};
}

// surely_unflat[j] = 1 where the columns' squared spreads add up to at
// least twice_limit, else 0.
void columnsUnflatAt(RowBuffers& b, int j, int twice_limit, fast_lanes::Lane1) {
    int sum = 0;
    for (const fast_lanes::Lane1 spread : columnSpreads<fast_lanes::Lane1>(b, j)) sum += spread.value * spread.value;
    b.surely_unflat[j] = sum >= twice_limit;
}

#if defined(FAST_LANES_SSE2)
// Squared spreads (at most 255^2) in 16-bit lanes, added with saturation:
// a sum held at 65535 still says whether it reaches any limit below that.
void columnsUnflatAt(RowBuffers& b, int j, int twice_limit, fast_lanes::Lane16) {
    if (twice_limit > 65535) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_setzero_si128());
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const auto spreads = columnSpreads<fast_lanes::Lane16>(b, j);
    __m128i sum_low = zero;
    __m128i sum_high = zero;
    for (const fast_lanes::Lane16 spread : spreads) {
        const __m128i low = _mm_unpacklo_epi8(spread.value, zero);
        const __m128i high = _mm_unpackhi_epi8(spread.value, zero);
        sum_low = _mm_adds_epu16(sum_low, _mm_mullo_epi16(low, low));
        sum_high = _mm_adds_epu16(sum_high, _mm_mullo_epi16(high, high));
    }
    // Nonzero exactly where the sum reaches the limit.
    const __m128i below = _mm_set1_epi16(std::int16_t(twice_limit - 1));
    const __m128i short_low = _mm_cmpeq_epi16(_mm_subs_epu16(sum_low, below), zero);
    const __m128i short_high = _mm_cmpeq_epi16(_mm_subs_epu16(sum_high, below), zero);
    const __m128i short_bytes = _mm_packs_epi16(short_low, short_high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_andnot_si128(short_bytes, _mm_set1_epi8(1)));
}
#endif

// ---- the walk along the row ------------------------------------------------

// The 13th smallest of the 25: the two rewritten values can only move it
// within the 11th to 13th smallest of the other 23. That is the middle of
// (far, near, mid) held within [low, high], which is near held within
// [max(low, min(far, mid)), min(high, max(far, mid))]: both bounds contain
// mid, so the two holds make one. The bounds are known a visit early (far
// is the previous visit's near), so the chain through near is two steps.
FAST_LANES_INLINE int medianWith(int far, int near, int low, int mid, int high) {
    const int smaller = far < mid ? far : mid;
    const int larger = far < mid ? mid : far;
    const int lowest = low < smaller ? smaller : low;
    const int highest = high < larger ? high : larger;
    const int median = near < highest ? near : highest;
    return median < lowest ? lowest : median;
}

// The sum of (mean - value)^2 over the window, in whole numbers.
FAST_LANES_INLINE int squaredDeviationSumOf(int mean, int sum, int squares) {
    return squares - mean * (2 * sum - WINDOW_SIZE * mean);
}

// sqrt(sum / 25) / 128, the window's sigma over 128, by the plain filter's
// own operations: the lanes round each one as the one-lane instruction does.
void makeCrispRatios() {
    if (crisp_ratios_made) return;
    int squares = 0;
#if defined(FAST_LANES_SSE2)
    for (; squares + 1 <= MAX_SQUARED_DEVIATION_SUM; squares += 2) {
        const __m128d sums = _mm_cvtepi32_pd(_mm_setr_epi32(squares, squares + 1, 0, 0));
        const __m128d sigma = _mm_sqrt_pd(_mm_div_pd(sums, _mm_set1_pd(25.0)));
        _mm_store_pd(crisp_ratio_by_squares + squares, _mm_div_pd(sigma, _mm_set1_pd(128.0)));
    }
#endif
    for (; squares <= MAX_SQUARED_DEVIATION_SUM; ++squares)
        crisp_ratio_by_squares[squares] = std::sqrt(double(squares) / 25.0) / 128.0;
    crisp_ratios_made = true;
}

// Any spread above the flat limit: the blend then takes the median given.
constexpr double UNFLAT_SPREAD_PERCENT = 100.0;

void makeBlendTable() {
    if (blend_table_made) return;
    for (int median = 0; median < 256; ++median)
        for (int centre = 0; centre < 256; ++centre)
            blend_table[median][centre] =
                originalBlendValue(std::uint8_t(median), std::uint8_t(centre), UNFLAT_SPREAD_PERCENT);
    blend_table_made = true;
}

int blendOf(int median, int centre) { return blend_table[median][centre]; }

// What a mode step may ask of a visit. The median is worked out only when
// asked: mode 1 seldom needs it.
struct Visit {
    RowBuffers& buffers;
    int k;
    int far;
    int near;
    int centre;

    int median() const {
        return medianWith(far, near, buffers.rank_low[k], buffers.rank_mid[k], buffers.rank_high[k]);
    }
    int sum() const { return buffers.rest_sum[k] + far + near; }
    int squares() const { return int(buffers.rest_squares[k]) + far * far + near * near; }
    int mean() const { return sum() / WINDOW_SIZE; }
    int squaredDeviationSum() const { return squaredDeviationSumOf(mean(), sum(), squares()); }
};

// Every mode walks a pixel's three channels side by side where SSE2 gives
// the lanes, and one channel at a time elsewhere.
#if defined(FAST_LANES_SSE2)
constexpr bool WALK_IN_PIXEL_LANES = true;
#else
constexpr bool WALK_IN_PIXEL_LANES = false;
#endif

// Mode 1 and mode 2's flat test are branches: in most pictures they go the
// same way for long stretches, and a predicted branch lets the next visit
// start before this one is decided.
struct MedianReplacement {
    static constexpr bool RANKS_EVERY_VISIT = false;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    int first_replacing;
    bool sumsWithColumns(const RowBuffers&) const { return true; }
    void prepare(RowBuffers&, const std::uint8_t*, int, int, int) const {}
    int operator()(const Visit& v) const {
        if (v.squaredDeviationSum() < first_replacing) return v.centre;
        if (v.buffers.ranked[v.k] == 0) rankAround(v.buffers, v.k);
        return v.median();
    }
};

struct OriginalBlend {
    static constexpr bool RANKS_EVERY_VISIT = true;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    int first_unflat;

    // A window's squares about any centre add up to at least half the sum,
    // over its columns, of (largest - smallest)^2: each column's largest and
    // smallest alone add that much. In most pictures with any noise that
    // already shows nearly every window unflat, and the window sums are
    // then made only for the stretches where some window is not. Quiet
    // stretches come in runs: after one, the sums are made with the columns
    // in one pass, until they show a stretch all unflat again.
    bool sumsWithColumns(const RowBuffers& b) const { return b.sums_wanted; }
    void prepare(RowBuffers& b, const std::uint8_t* row, int row_bytes, int first, int end) const {
        if (b.sums_wanted) {
            std::fill(b.surely_unflat + first, b.surely_unflat + end, std::uint8_t(0));
            markUnflatBySums(b, first, end);
            b.sums_wanted = !allSet(b.surely_unflat + first, end - first);
            return;
        }
        if (markUnflatByColumns(b, first, end)) return;
        sumVisits(b, row, row_bytes, first, end);
        markUnflatBySums(b, first, end);
        b.sums_wanted = true;
    }

    static bool allSet(const std::uint8_t* flags, int count) {
        return std::memchr(flags, 0, std::size_t(count)) == nullptr;
    }

    // Whether every window of [first, end) is surely not flat.
    bool markUnflatByColumns(RowBuffers& b, int first, int end) const {
        const int twice_limit = 2 * first_unflat;
        inLanes(REACH, first, end, [&](auto lanes, int j) { columnsUnflatAt(b, j, twice_limit, lanes); });
        return allSet(b.surely_unflat + first, end - first);
    }

    // About any centre, the 23 values' squared deviations add up to at
    // least those about their own mean, which is their sum of squares less
    // sum^2 / 23; the two rewritten values only add to that.
    void markUnflatBySums(RowBuffers& b, int first, int end) const {
        const std::int32_t limit = 23 * first_unflat;
        int j = first;
#if defined(FAST_LANES_SSE2)
        // Eight at a time; every product fits 32 bits, sum^2 is a 16-bit one.
        const __m128i zero = _mm_setzero_si128();
        const __m128i below_limit = _mm_set1_epi32(limit - 1);
        for (; j + 8 <= end; j += 8) {
            const __m128i sums = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.rest_sum + j));
            __m128i unflat[2];
            for (int half = 0; half < 2; ++half) {
                const __m128i sum = half == 0 ? _mm_unpacklo_epi16(sums, zero) : _mm_unpackhi_epi16(sums, zero);
                const __m128i squares =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.rest_squares + j + 4 * half));
                const __m128i squares23 = _mm_sub_epi32(
                    _mm_add_epi32(_mm_slli_epi32(squares, 4), _mm_slli_epi32(squares, 3)), squares);
                const __m128i spread = _mm_sub_epi32(squares23, _mm_madd_epi16(sum, sum));
                unflat[half] = _mm_cmpgt_epi32(spread, below_limit);
            }
            const __m128i words = _mm_packs_epi32(unflat[0], unflat[1]);
            const __m128i bytes = _mm_and_si128(_mm_packs_epi16(words, words), _mm_set1_epi8(1));
            const __m128i known = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b.surely_unflat + j));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_or_si128(known, bytes));
        }
#endif
        for (; j < end; ++j) {
            const std::int32_t sum = b.rest_sum[j];
            const std::int32_t spread = 23 * std::int32_t(b.rest_squares[j]) - sum * sum;
            b.surely_unflat[j] |= std::uint8_t(spread >= limit);
        }
    }
    int operator()(const Visit& v) const {
        // In a flat window the value is blended with itself.
        if (!v.buffers.surely_unflat[v.k] && v.squaredDeviationSum() < first_unflat)
            return blendOf(v.centre, v.centre);
        return blendOf(v.median(), v.centre);
    }
};

// The gate compares |window mean - centre| / 255, which grows with the
// distance, against both thresholds: the distances it passes are one run,
// [nearest, farthest], or none (then both are 256). Noise makes the gate
// unforeseeable, so it is a choice without a branch.
FAST_LANES_INLINE int choose(bool first, int a, int b) { return b ^ ((a ^ b) & -int(first)); }

struct CrispBlend {
    static constexpr bool RANKS_EVERY_VISIT = true;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    int nearest;
    int farthest;
    bool sumsWithColumns(const RowBuffers&) const { return true; }
    void prepare(RowBuffers&, const std::uint8_t*, int, int, int) const {}
    int operator()(const Visit& v) const {
        const int sum = v.sum();
        const int mean = sum / WINDOW_SIZE;
        const int distance = mean < v.centre ? v.centre - mean : mean - v.centre;
        const bool passes = unsigned(distance - nearest) <= unsigned(farthest - nearest);
        const double ratio = crisp_ratio_by_squares[squaredDeviationSumOf(mean, sum, v.squares())];
        return choose(passes, crispBlendInWalk(v.median(), v.centre, ratio), v.centre);
    }
};

CrispBlend crispBlendFor(const FilterSettings& settings) {
    CrispBlend blend{256, 256};
    for (int distance = 255; distance >= 0; --distance) {
        const double window_mean = double(distance);
        const double pixel_deviation = std::fabs((window_mean - 0.0) / 255.0);
        if (!crispGatePasses(pixel_deviation, settings.min_threshold, settings.max_threshold)) continue;
        if (blend.farthest == 256) blend.farthest = distance;
        blend.nearest = distance;
    }
    return blend;
}

// One visit, given the two values its channel's chain rewrote just before.
template <class Step>
FAST_LANES_INLINE int visitValue(RowBuffers& b, const std::uint8_t* row, int k, int far, int near,
                                 const Step& step) {
    return step(Visit{b, k, far, near, row[k]});
}

using Chains = fast_rows::Chains<int>;
constexpr auto chainsBefore = fast_rows::chainsBefore<int>;

template <class Step>
FAST_LANES_INLINE void visitPixel(RowBuffers& b, std::uint8_t* row, int k, Chains& c, const Step& step) {
    for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
        const int value = visitValue(b, row, k + channel, c.far[channel], c.near[channel], step);
        row[k + channel] = std::uint8_t(value);
        c.far[channel] = c.near[channel];
        c.near[channel] = value;
    }
}

#if defined(FAST_LANES_SSE2)
// Modes 2 and 3 a pixel at a time: its three channels' visits side by side
// in the lanes, which takes a third of the instructions. Whole numbers sit
// in 16-bit lanes 0 to 2 (lane 3 carries something along unused, never
// stored), the squared deviation sums in 32-bit lanes.
struct PixelChains {
    __m128i far;   // 16-bit lanes
    __m128i near;
};

FAST_LANES_INLINE __m128i fourBytesWide(const std::uint8_t* source) {
    std::int32_t bytes;
    std::memcpy(&bytes, source, sizeof bytes);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128());
}

FAST_LANES_INLINE PixelChains pixelChainsBefore(const std::uint8_t* row, int k) {
    return PixelChains{fourBytesWide(row + k - REACH), fourBytesWide(row + k - NEAR)};
}

// sum / 25 for every sum of 25 bytes: 5243 / 2^17 exceeds 1/25 by less
// than 1 / (25 * 6375).
constexpr int MEAN_MULTIPLIER = 5243;
constexpr bool meanByMultiplyHolds() {
    for (int sum = 0; sum <= 25 * 255; ++sum)
        if (((sum * MEAN_MULTIPLIER) >> 17) != sum / WINDOW_SIZE) return false;
    return true;
}
static_assert(meanByMultiplyHolds(), "the mean by multiplication must be the truncated mean");

// As medianWith, in 16-bit lanes.
FAST_LANES_INLINE __m128i medianInLanes(__m128i far, __m128i near, __m128i low, __m128i mid, __m128i high) {
    const __m128i lowest = _mm_max_epi16(low, _mm_min_epi16(far, mid));
    const __m128i highest = _mm_min_epi16(high, _mm_max_epi16(far, mid));
    return _mm_max_epi16(lowest, _mm_min_epi16(near, highest));
}

// A pixel's three visits once the two values left of each are in. Each
// figure is worked out where a mode asks for it, so that a walk that runs
// its rows stage by stage holds only what the next stage needs.
struct PixelWindow {
    const RowBuffers& b;
    const std::uint8_t* row;
    int k;
    const PixelChains& c;

    FAST_LANES_INLINE __m128i centre() const { return fourBytesWide(row + k); }
    FAST_LANES_INLINE __m128i median() const {
        return medianInLanes(c.far, c.near, fourBytesWide(b.rank_low + k), fourBytesWide(b.rank_mid + k),
                             fourBytesWide(b.rank_high + k));
    }
    FAST_LANES_INLINE __m128i sum() const {
        const __m128i rest_sum = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b.rest_sum + k));
        return _mm_add_epi16(_mm_add_epi16(rest_sum, c.far), c.near);
    }
    FAST_LANES_INLINE __m128i mean(__m128i sum) const {
        return _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(MEAN_MULTIPLIER)), 1);
    }
    // squares - mean * (2 * sum - 25 * mean), as squaredDeviationSumOf;
    // every factor fits 16 bits. In 32-bit lanes.
    FAST_LANES_INLINE __m128i deviationSum(__m128i sum, __m128i mean) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128i rest_squares = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.rest_squares + k));
        const __m128i two_values = _mm_unpacklo_epi16(c.far, c.near);
        const __m128i squares = _mm_add_epi32(rest_squares, _mm_madd_epi16(two_values, two_values));
        const __m128i spread = _mm_sub_epi16(_mm_add_epi16(sum, sum), _mm_mullo_epi16(mean, _mm_set1_epi16(25)));
        return _mm_sub_epi32(squares,
                             _mm_madd_epi16(_mm_unpacklo_epi16(mean, zero), _mm_unpacklo_epi16(spread, zero)));
    }
    FAST_LANES_INLINE __m128i deviationSum() const {
        const __m128i s = sum();
        return deviationSum(s, mean(s));
    }
};

// Writes the pixel's three new values and moves its chains on.
FAST_LANES_INLINE void storePixel(std::uint8_t* row, int k, __m128i result, PixelChains& c) {
    // Three bytes only: the fourth is the next visit's, read again by it.
    const std::uint32_t bytes = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(result, result)));
    const std::uint16_t first_two = std::uint16_t(bytes);
    std::memcpy(row + k, &first_two, sizeof first_two);
    row[k + 2] = std::uint8_t(bytes >> 16);
    c.far = c.near;
    c.near = result;
}

// ---- mode 2 in lanes

struct OriginalBlendLanes {
    __m128i first_unflat;  // 32-bit lanes

    // What the window's value is blended with: itself where the window is
    // flat. Most windows are known not to be flat before the walk: a
    // predicted branch then leaves the test off the chains.
    FAST_LANES_INLINE __m128i blendedWith(const PixelWindow& w, __m128i centre) const {
        std::uint32_t unflat;
        std::memcpy(&unflat, w.b.surely_unflat + w.k, sizeof unflat);
        const __m128i median = w.median();
        if ((unflat & 0xFFFFFF) == 0x010101) return median;
        const __m128i flat = _mm_cmpgt_epi32(first_unflat, w.deviationSum());
        const __m128i flat16 = _mm_packs_epi32(flat, flat);
        return _mm_or_si128(_mm_and_si128(flat16, centre), _mm_andnot_si128(flat16, median));
    }

    // Each stage for every row before the next, so that the rows' chains
    // stand side by side in the instruction stream.
    template <int ROWS>
    FAST_LANES_INLINE void walkStep(const PixelWindow* w, __m128i* out) const {
        int index[ROWS][CHANNELS_PER_PIXEL];
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) {
            // blend_table[blended_with][centre]
            const __m128i centre = w[a].centre();
            const __m128i at = _mm_or_si128(_mm_slli_epi16(blendedWith(w[a], centre), 8), centre);
            index[a][0] = _mm_extract_epi16(at, 0);
            index[a][1] = _mm_extract_epi16(at, 1);
            index[a][2] = _mm_extract_epi16(at, 2);
        }
        const std::uint8_t* entries = &blend_table[0][0];
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) {
            const __m128i first = _mm_cvtsi32_si128(entries[index[a][0]]);
            const __m128i second = _mm_insert_epi16(first, entries[index[a][1]], 1);
            out[a] = _mm_insert_epi16(second, entries[index[a][2]], 2);
        }
    }
};

OriginalBlendLanes lanesFor(const OriginalBlend& blend) { return {_mm_set1_epi32(blend.first_unflat)}; }

// ---- mode 1 in lanes: the spread decides; the ranks are found only where
// some channel's median replaces its value, and the median is worked out
// again from them then.
struct MedianReplacementLanes {
    __m128i last_keeping;  // 32-bit lanes: the largest sum that keeps the value

    FAST_LANES_INLINE __m128i operator()(const PixelWindow& w) const {
        const __m128i replaces = _mm_cmpgt_epi32(w.deviationSum(), last_keeping);
        const __m128i centre = w.centre();
        if (__builtin_expect((_mm_movemask_ps(_mm_castsi128_ps(replaces)) & 7) == 0, 1)) return centre;
        RowBuffers& b = const_cast<RowBuffers&>(w.b);
        for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel)
            if (b.ranked[w.k + channel] == 0) rankAround(b, w.k + channel);
        const __m128i replaces16 = _mm_packs_epi32(replaces, replaces);
        return _mm_or_si128(_mm_and_si128(replaces16, w.median()), _mm_andnot_si128(replaces16, centre));
    }

    // Row by row: a visit is short, and where a median is asked for the
    // ranks may have to be found first.
    template <int ROWS>
    FAST_LANES_INLINE void walkStep(const PixelWindow* w, __m128i* out) const {
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) out[a] = (*this)(w[a]);
    }
};

// first_replacing is 0 at the least, so one below it fits.
MedianReplacementLanes lanesFor(const MedianReplacement& replacement) {
    return {_mm_set1_epi32(replacement.first_replacing - 1)};
}

// ---- mode 3 in lanes: crispBlendValue's double operations two lanes at a
// time, each lane rounding as the one-lane instruction does.

template <bool NARROW_GATE>
struct CrispBlendLanes {
    __m128i nearest;  // 16-bit lanes
    __m128i farthest;

    // Two stages, each for every row before the next: a visit's chain is
    // long (sums, a table, doubles), and only side by side do the rows'
    // chains overlap.
    template <int ROWS>
    FAST_LANES_INLINE void walkStep(const PixelWindow* w, __m128i* out) const {
        __m128i fails[ROWS];
        __m128d ratio_low[ROWS];   // channels 0 and 1
        __m128d ratio_high[ROWS];  // channel 2
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) {
            const __m128i centre = w[a].centre();
            const __m128i sum = w[a].sum();
            const __m128i mean = w[a].mean(sum);
            const __m128i distance = _mm_or_si128(_mm_subs_epu16(mean, centre), _mm_subs_epu16(centre, mean));
            fails[a] = _mm_or_si128(_mm_cmpgt_epi16(nearest, distance), _mm_cmpgt_epi16(distance, farthest));
            const __m128i sums = w[a].deviationSum(sum, mean);
            const unsigned sum0 = unsigned(_mm_cvtsi128_si32(sums));
            const unsigned sum1 = unsigned(_mm_cvtsi128_si32(_mm_shuffle_epi32(sums, 1)));
            const unsigned sum2 = unsigned(_mm_cvtsi128_si32(_mm_shuffle_epi32(sums, 2)));
            ratio_low[a] = _mm_loadh_pd(_mm_load_sd(crisp_ratio_by_squares + sum0), crisp_ratio_by_squares + sum1);
            ratio_high[a] = _mm_load_sd(crisp_ratio_by_squares + sum2);
        }
        const __m128i zero = _mm_setzero_si128();
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d three = _mm_set1_pd(3.0);
        // centre * ratio * 3 + (1 - ratio * 3) * median
        auto value = [&](__m128i centre, __m128i median, __m128d ratio) {
            const __m128d from_centre = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(centre), ratio), three);
            const __m128d weight = _mm_sub_pd(one, _mm_mul_pd(ratio, three));
            return _mm_add_pd(from_centre, _mm_mul_pd(weight, _mm_cvtepi32_pd(median)));
        };
        // Truncated, then held within 0..255 (|value| < 1000 passes the
        // 16-bit narrowing unchanged); the centre where the gate fails.
        auto hold = [&](__m128i whole, __m128i fails, __m128i centre) {
            const __m128i held =
                _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(whole, whole), zero), _mm_set1_epi16(255));
            return _mm_or_si128(_mm_and_si128(fails, centre), _mm_andnot_si128(fails, held));
        };
        // Rows two at a time: channels 0 and 1 of each in double lanes of
        // their own, channel 2 of both together. An odd last row goes with
        // itself.
#pragma GCC unroll 3
        for (int a = 0; a < ROWS; a += 2) {
            const int b = a + 1 < ROWS ? a + 1 : a;
            const __m128i centre_a = w[a].centre();
            const __m128i centre_b = w[b].centre();
            // Where a narrow gate fails all three channels of both pixels,
            // as it mostly does, they keep their values. (With a wide one
            // the test costs more than it saves.)
            if (NARROW_GATE && (_mm_movemask_epi8(_mm_and_si128(fails[a], fails[b])) & 0x3F) == 0x3F) {
                out[a] = centre_a;
                out[b] = centre_b;
                continue;
            }
            const __m128i centre32_a = _mm_unpacklo_epi16(centre_a, zero);
            const __m128i median32_a = _mm_unpacklo_epi16(w[a].median(), zero);
            const __m128i centre32_b = _mm_unpacklo_epi16(centre_b, zero);
            const __m128i median32_b = _mm_unpacklo_epi16(w[b].median(), zero);
            const __m128d first_two_a = value(centre32_a, median32_a, ratio_low[a]);
            const __m128d first_two_b = value(centre32_b, median32_b, ratio_low[b]);
            // [a2, b2, a3, b3]: the conversions take the low two.
            const __m128d thirds = value(_mm_unpackhi_epi32(centre32_a, centre32_b),
                                         _mm_unpackhi_epi32(median32_a, median32_b),
                                         _mm_unpacklo_pd(ratio_high[a], ratio_high[b]));
            const __m128i thirds_whole = _mm_cvttpd_epi32(thirds);
            out[a] = hold(_mm_unpacklo_epi64(_mm_cvttpd_epi32(first_two_a), thirds_whole), fails[a], centre_a);
            out[b] = hold(_mm_unpacklo_epi64(_mm_cvttpd_epi32(first_two_b), _mm_srli_si128(thirds_whole, 4)),
                          fails[b], centre_b);
        }
    }
};

// Runs `walk` with the lanes form of the step.
template <class Walk>
void inLanesOf(const CrispBlend& blend, Walk walk) {
    // Passing at most NARROW_GATE_DISTANCES of the 256 distances.
    constexpr int NARROW_GATE_DISTANCES = 4;
    const __m128i nearest = _mm_set1_epi16(std::int16_t(blend.nearest));
    const __m128i farthest = _mm_set1_epi16(std::int16_t(blend.farthest));
    if (blend.farthest - blend.nearest < NARROW_GATE_DISTANCES)
        walk(CrispBlendLanes<true>{nearest, farthest});
    else
        walk(CrispBlendLanes<false>{nearest, farthest});
}

template <class Step, class Walk>
void inLanesOf(const Step& step, Walk walk) {
    walk(lanesFor(step));
}

// Whether the segments are a band's rows as filterRowBand lays them out:
// each the next slot and picture row, a lag behind the one above.
bool segmentsInStep(const fast_rows::Segment* segments, int count) {
    for (int a = 1; a < count; ++a) {
        if (segments[a].slot != segments[0].slot + a || segments[a].row != segments[0].row + a * ROW_STRIDE ||
            segments[a].first != segments[0].first - a * fast_rows::BAND_LAG_BYTES)
            return false;
    }
    return true;
}

// The visits at k of a band's rows, each a lag behind the one above.
template <std::size_t... ROW>
FAST_LANES_INLINE std::array<PixelWindow, sizeof...(ROW)> windowsInBand(RowBuffers* top_buffers,
                                                                      const std::uint8_t* top_row, int k,
                                                                      const PixelChains* chains,
                                                                      std::index_sequence<ROW...>) {
    return {PixelWindow{top_buffers[ROW], top_row + int(ROW) * ROW_STRIDE, k - int(ROW) * fast_rows::BAND_LAG_BYTES,
                        chains[ROW]}...};
}

// Segments in step: every row's buffers, bytes and visit then lie a fixed
// distance from the top row's, so all rows are addressed from one place.
template <int ROWS, class Lanes>
FAST_LANES_INLINE void walkTogetherInLanes(const Lanes& lanes, const fast_rows::Segment* segments, int count) {
    RowBuffers* const top_buffers = &row_buffers[segments[0].slot];
    std::uint8_t* const top_row = segments[0].row;
    const int top_first = segments[0].first;
    static_assert(ROWS <= 6, "the loop over the rows below is written out for at most 6");
    PixelChains chains[ROWS];
    for (int a = 0; a < ROWS; ++a) chains[a] = pixelChainsBefore(segments[a].row, segments[a].first);
    for (int k = top_first; k < top_first + count; k += CHANNELS_PER_PIXEL) {
        // The loops over the rows are written out (left as loops, the
        // rows' chains went through memory on every visit).
        const auto windows = windowsInBand(top_buffers, top_row, k, chains, std::make_index_sequence<ROWS>{});
        __m128i results[ROWS];
        lanes.template walkStep<ROWS>(windows.data(), results);
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a)
            storePixel(top_row + a * ROW_STRIDE, k - a * fast_rows::BAND_LAG_BYTES, results[a], chains[a]);
    }
}

// The band's rows walked together, however many of them there are.
template <int ROWS, class Lanes>
void walkTogetherCounted(const Lanes& lanes, const fast_rows::Segment* segments, int rows, int together) {
    if constexpr (ROWS > 1) {
        if (rows < ROWS) {
            walkTogetherCounted<ROWS - 1>(lanes, segments, rows, together);
            return;
        }
    }
    walkTogetherInLanes<ROWS>(lanes, segments, together);
}
#endif

template <class Step>
struct NeighbourhoodRows {
    const Step& step;
    int row_bytes;

    void prepare(int slot, std::uint8_t* row, int first, int end) {
        prepareVisits(row_buffers[slot], row, row_bytes, first, end, Step::RANKS_EVERY_VISIT,
                      step.sumsWithColumns(row_buffers[slot]));
        step.prepare(row_buffers[slot], row, row_bytes, first, end);
    }
    void walk(int slot, std::uint8_t* row, int first, int end) {
#if defined(FAST_LANES_SSE2)
        if constexpr (Step::IN_PIXEL_LANES) {
            const fast_rows::Segment segment{slot, row, first, end};
            inLanesOf(step, [&](const auto& lanes) { walkTogetherInLanes<1>(lanes, &segment, end - first); });
            return;
        }
#endif
        RowBuffers& b = row_buffers[slot];
        Chains chains = chainsBefore(row, first);
        for (int k = first; k < end; k += CHANNELS_PER_PIXEL) visitPixel(b, row, k, chains, step);
    }
    void walkBand(const fast_rows::Segment* segments, int count) {
#if defined(FAST_LANES_SSE2)
        if constexpr (Step::IN_PIXEL_LANES) {
            int together = segments[0].end - segments[0].first;
            for (int a = 1; a < count; ++a) together = std::min(together, segments[a].end - segments[a].first);
            if (!segmentsInStep(segments, count)) together = 0;
            if (together > 0)
                inLanesOf(step, [&](const auto& lanes) {
                    walkTogetherCounted<fast_rows::BAND_ROWS>(lanes, segments, count, together);
                });
            // One segment may be longer: the others' row ended a chunk short.
            for (int a = 0; a < count; ++a)
                walk(segments[a].slot, segments[a].row, segments[a].first + together, segments[a].end);
            return;
        }
#endif
        for (int a = 0; a < count; ++a) walk(segments[a].slot, segments[a].row, segments[a].first, segments[a].end);
    }
    void walkBoth(std::uint8_t* upper, int upper_first, std::uint8_t* lower, int lower_first, int count) {
        RowBuffers& u = row_buffers[fast_rows::UPPER];
        RowBuffers& l = row_buffers[fast_rows::LOWER];
        Chains upper_chains = chainsBefore(upper, upper_first);
        Chains lower_chains = chainsBefore(lower, lower_first);
        for (int i = 0; i < count; i += CHANNELS_PER_PIXEL) {
            visitPixel(u, upper, upper_first + i, upper_chains, step);
            visitPixel(l, lower, lower_first + i, lower_chains, step);
        }
    }
};

template <class Step>
void runPass(std::uint8_t* image, PictureSize size, const Step& step, std::FILE* console) {
    std::fputs(kMedianStarted, console);
    NeighbourhoodRows<Step> rows{step, size.width * CHANNELS_PER_PIXEL};
    if constexpr (Step::IN_PIXEL_LANES) {
        for (int row = 2; row <= size.height - 3; row += fast_rows::BAND_ROWS) {
            const int band_rows = std::min(fast_rows::BAND_ROWS, size.height - 2 - row);
            if (size.width >= 5)
                fast_rows::filterRowBand(rows, image + pixelIndex(row, 0, 0), ROW_STRIDE, band_rows, rows.row_bytes);
            for (int i = 0; i < band_rows; ++i) printProgressLines(console, row + i, size.height, 1);
        }
        return;
    }
    for (int row = 2; row <= size.height - 3; row += 2) {
        const bool pair = row + 1 <= size.height - 3;
        if (size.width >= 5) {
            std::uint8_t* centre_row = image + pixelIndex(row, 0, 0);
            if (pair)
                fast_rows::filterRowPair(rows, centre_row, centre_row + ROW_STRIDE, rows.row_bytes);
            else
                fast_rows::filterSingleRow(rows, centre_row, rows.row_bytes);
        }
        printProgressLines(console, row, size.height, 1);
        if (pair) printProgressLines(console, row + 1, size.height, 1);
    }
}

template <class Predicate>
int firstSquaredSumWhere(Predicate holds) {
    int low = 0;
    int high = MAX_SQUARED_DEVIATION_SUM + 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (holds(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

}  // namespace

double spreadPercentOf(int squared_deviation_sum) {
    const double window_sigma = std::sqrt(double(squared_deviation_sum) / 25.0);
    return window_sigma * 100.0 / 255.0;
}

int firstReplacingSquaredSum(double removal_coefficient) {
    return firstSquaredSumWhere(
        [=](int squares) { return medianReplaces(spreadPercentOf(squares), removal_coefficient); });
}

int firstUnflatSquaredSum() {
    return firstSquaredSumWhere([](int squares) { return !(spreadPercentOf(squares) <= FLAT_SPREAD_PERCENT); });
}

void neighbourhoodPassFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console) {
    if (settings.filter_mode == FILTER_MODE_MEDIAN) {
        runPass(image, size, MedianReplacement{firstReplacingSquaredSum(settings.removal_coefficient)}, console);
    } else if (settings.filter_mode == FILTER_MODE_ORIGINAL_BLEND) {
        makeBlendTable();
        runPass(image, size, OriginalBlend{firstUnflatSquaredSum()}, console);
    } else if (settings.filter_mode == FILTER_MODE_CRISP_SMOOTH_BLEND) {
        makeCrispRatios();
        runPass(image, size, crispBlendFor(settings), console);
    }
}
