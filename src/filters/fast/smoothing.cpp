#include "smoothing.h"

#include <cstring>

#include "../progress.h"
#include "lanes.h"
#include "row_order.h"

namespace {

using fast_rows::REACH;

using fast_rows::NEAR;
constexpr unsigned SMOOTHING_DIVISOR = 35;

// What a row needs while it is filtered; one set for each row of a pair.
struct RowBuffers {
    // For every byte column, rows r-2 and r+2 having weight 1 throughout and
    // rows r-1 and r+1 weight 1 at the window's ends and 2 inside: the
    // column's weighted sum as an end column and as an inner one.
    std::uint16_t end_columns[ROW_STRIDE];
    std::uint16_t inner_columns[ROW_STRIDE];
    int columns_end;  // columns made so far: [0, columns_end)
    // For every visit: the weighted sum of all but its two left neighbours
    // in its own row. At most 32 * 255 = 8160.
    std::uint16_t settled_sum[ROW_STRIDE];
};

RowBuffers row_buffers[2];

void sumColumnsAt(RowBuffers& b, const std::uint8_t* centre_row, int p) {
    const int outer = centre_row[p - 2 * ROW_STRIDE] + centre_row[p + 2 * ROW_STRIDE];
    const int inner = centre_row[p - ROW_STRIDE] + centre_row[p + ROW_STRIDE];
    b.end_columns[p] = std::uint16_t(outer + inner);
    b.inner_columns[p] = std::uint16_t(outer + 2 * inner);
}

void sumSettledAt(RowBuffers& b, const std::uint8_t* centre_row, int j) {
    const int columns = b.end_columns[j - REACH] + b.inner_columns[j - NEAR] + b.inner_columns[j] +
                        b.inner_columns[j + NEAR] + b.end_columns[j + REACH];
    const int own_row = 3 * centre_row[j] + 2 * centre_row[j + NEAR] + centre_row[j + REACH];
    b.settled_sum[j] = std::uint16_t(columns + own_row);
}

#if defined(FAST_LANES_SSE2)
inline __m128i loadWords(const std::uint16_t* source) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
}
inline __m128i eightBytesWide(const std::uint8_t* source) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)), _mm_setzero_si128());
}

// Sixteen columns from p on.
void sumColumns16(RowBuffers& b, const std::uint8_t* centre_row, int p) {
    const __m128i zero = _mm_setzero_si128();
    auto bytesAt = [&](int offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre_row + offset * ROW_STRIDE + p));
    };
    const __m128i rows[4] = {bytesAt(-2), bytesAt(2), bytesAt(-1), bytesAt(1)};
    for (int half = 0; half < 2; ++half) {
        __m128i wide[4];
        for (int i = 0; i < 4; ++i)
            wide[i] = half == 0 ? _mm_unpacklo_epi8(rows[i], zero) : _mm_unpackhi_epi8(rows[i], zero);
        const __m128i outer = _mm_add_epi16(wide[0], wide[1]);
        const __m128i inner = _mm_add_epi16(wide[2], wide[3]);
        const __m128i end_column = _mm_add_epi16(outer, inner);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.end_columns + p + 8 * half), end_column);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.inner_columns + p + 8 * half), _mm_add_epi16(end_column, inner));
    }
}

// Eight visits from j on.
void sumSettled8(RowBuffers& b, const std::uint8_t* centre_row, int j) {
    const __m128i columns = _mm_add_epi16(
        _mm_add_epi16(_mm_add_epi16(loadWords(b.end_columns + j - REACH), loadWords(b.inner_columns + j - NEAR)),
                      _mm_add_epi16(loadWords(b.inner_columns + j), loadWords(b.inner_columns + j + NEAR))),
        loadWords(b.end_columns + j + REACH));
    const __m128i own = eightBytesWide(centre_row + j);
    const __m128i own_near = eightBytesWide(centre_row + j + NEAR);
    const __m128i twice = _mm_add_epi16(own, own_near);
    const __m128i own_row =
        _mm_add_epi16(_mm_add_epi16(twice, twice), _mm_add_epi16(own, eightBytesWide(centre_row + j + REACH)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b.settled_sum + j), _mm_add_epi16(columns, own_row));
}
#endif

void sumColumns(RowBuffers& b, const std::uint8_t* centre_row, int end) {
    int p = b.columns_end;
#if defined(FAST_LANES_SSE2)
    for (; p + 16 <= end; p += 16) sumColumns16(b, centre_row, p);
#endif
    for (; p < end; ++p) sumColumnsAt(b, centre_row, p);
    if (end > b.columns_end) b.columns_end = end;
}

void sumSettled(RowBuffers& b, const std::uint8_t* centre_row, int first, int end) {
    int j = first;
#if defined(FAST_LANES_SSE2)
    for (; j + 8 <= end; j += 8) sumSettled8(b, centre_row, j);
#endif
    for (; j < end; ++j) sumSettledAt(b, centre_row, j);
}

// Each visit adds the two values its channel's chain rewrote just before
// it, with weights 1 and 2.
using Chains = fast_rows::Chains<unsigned>;
constexpr auto chainsBefore = fast_rows::chainsBefore<unsigned>;

inline void visitPixel(const RowBuffers& b, std::uint8_t* row, int k, Chains& c) {
    for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
        const unsigned value = (b.settled_sum[k + channel] + c.far[channel] + 2 * c.near[channel]) / SMOOTHING_DIVISOR;
        row[k + channel] = std::uint8_t(value);
        c.far[channel] = c.near[channel];
        c.near[channel] = value;
    }
}

#if defined(FAST_LANES_SSE2)
// The two rows of a pair walked in one set of 16-bit lanes: lanes 0 to 2
// hold the upper row's pixel's channels, lanes 4 to 6 the lower row's (lanes
// 3 and 7 carry the next pixels' first channels along, never stored). Six
// chains then take the instructions of one.
//
// sum / 35 for every sum a visit makes (at most 35 * 255): 14980 / 2^19
// exceeds 1/35 by less than 1 / (35 * 8925).
constexpr int SMOOTHING_MULTIPLIER = 14980;
constexpr bool divisionByMultiplyHolds() {
    for (unsigned sum = 0; sum <= SMOOTHING_DIVISOR * 255; ++sum)
        if (((sum * SMOOTHING_MULTIPLIER) >> 19) != sum / SMOOTHING_DIVISOR) return false;
    return true;
}
static_assert(divisionByMultiplyHolds(), "the division by multiplication must be the truncated quotient");

inline __m128i twoPixelsWide(const std::uint8_t* upper, const std::uint8_t* lower) {
    std::int32_t upper_bytes, lower_bytes;
    std::memcpy(&upper_bytes, upper, sizeof upper_bytes);
    std::memcpy(&lower_bytes, lower, sizeof lower_bytes);
    const __m128i both = _mm_unpacklo_epi32(_mm_cvtsi32_si128(upper_bytes), _mm_cvtsi32_si128(lower_bytes));
    return _mm_unpacklo_epi8(both, _mm_setzero_si128());
}

// Three bytes only: the fourth is the next visit's, read again by it.
inline void storeThreeBytes(std::uint8_t* target, std::uint32_t bytes) {
    const std::uint16_t first_two = std::uint16_t(bytes);
    std::memcpy(target, &first_two, sizeof first_two);
    target[2] = std::uint8_t(bytes >> 16);
}

void walkPairInLanes(const RowBuffers& u, std::uint8_t* upper, int upper_first, const RowBuffers& l,
                     std::uint8_t* lower, int lower_first, int count) {
    __m128i far = twoPixelsWide(upper + upper_first - REACH, lower + lower_first - REACH);
    __m128i near = twoPixelsWide(upper + upper_first - NEAR, lower + lower_first - NEAR);
    const __m128i multiplier = _mm_set1_epi16(SMOOTHING_MULTIPLIER);
    for (int i = 0; i < count; i += CHANNELS_PER_PIXEL) {
        const int k = upper_first + i;
        const int m = lower_first + i;
        const __m128i settled =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u.settled_sum + k)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(l.settled_sum + m)));
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(settled, far), _mm_add_epi16(near, near));
        const __m128i value = _mm_srli_epi16(_mm_mulhi_epu16(sum, multiplier), 3);
        const __m128i bytes = _mm_packus_epi16(value, value);
        storeThreeBytes(upper + k, std::uint32_t(_mm_cvtsi128_si32(bytes)));
        storeThreeBytes(lower + m, std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4))));
        far = near;
        near = value;
    }
}
#endif

struct SmoothingRows {
    static constexpr int CHUNK_BYTES = fast_rows::CHUNK_BYTES;
    int row_bytes;

    void prepare(int slot, std::uint8_t* row, int first, int end) {
        RowBuffers& b = row_buffers[slot];
        if (first == REACH) b.columns_end = 0;
        const int columns_needed = end + REACH;
        sumColumns(b, row, columns_needed < row_bytes ? columns_needed : row_bytes);
        sumSettled(b, row, first, end);
    }
    void walk(int slot, std::uint8_t* row, int first, int end) {
        const RowBuffers& b = row_buffers[slot];
        Chains chains = chainsBefore(row, first);
        for (int k = first; k < end; k += CHANNELS_PER_PIXEL) visitPixel(b, row, k, chains);
    }
    void walkBoth(std::uint8_t* upper, int upper_first, std::uint8_t* lower, int lower_first, int count) {
        const RowBuffers& u = row_buffers[fast_rows::UPPER];
        const RowBuffers& l = row_buffers[fast_rows::LOWER];
#if defined(FAST_LANES_SSE2)
        walkPairInLanes(u, upper, upper_first, l, lower, lower_first, count);
#else
        Chains upper_chains = chainsBefore(upper, upper_first);
        Chains lower_chains = chainsBefore(lower, lower_first);
        for (int i = 0; i < count; i += CHANNELS_PER_PIXEL) {
            visitPixel(u, upper, upper_first + i, upper_chains);
            visitPixel(l, lower, lower_first + i, lower_chains);
        }
#endif
    }
};

}  // namespace

void smoothFast(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    SmoothingRows rows{size.width * CHANNELS_PER_PIXEL};
    for (int row = 2; row <= size.height - 3; row += 2) {
        const bool pair = row + 1 <= size.height - 3;
        if (size.width < 5) continue;
        std::uint8_t* centre_row = image + pixelIndex(row, 0, 0);
        if (pair)
            fast_rows::filterRowPair(rows, centre_row, centre_row + ROW_STRIDE, rows.row_bytes);
        else
            fast_rows::filterSingleRow(rows, centre_row, rows.row_bytes);
        // The plain form prints one line per pixel; nothing comes between them.
        printProgressLines(console, row, size.height, size.width - 4);
        if (pair) printProgressLines(console, row + 1, size.height, size.width - 4);
    }
}
