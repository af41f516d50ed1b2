// The fast neighbourhood pass, the lane walk: a band's rows walked side by
// side a pixel at a time, each row a lag behind the one above, with a
// mode's lane step deciding each pixel. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <array>
#include <cstdint>
#include <utility>

#include "../../image/image_store.h"
#include "lane_window.h"
#include "lanes.h"
#include "row_buffers.h"
#include "row_order.h"

namespace {

// In local indices, a band's rows as filterRowBand lays them out are each the
// next slot, start at the same local index and point a lag short of the next
// picture row: each row's buffers move with its chunks, a lag behind the
// row above.
template <int CHUNK>
constexpr int BAND_ROW_STEP = ROW_STRIDE - fast_rows::BAND_LAG_BYTES<CHUNK>;

#if defined(FAST_LANES_SSE2)
template <class Step, class Walk>
void inLanesOf(const Step& step, Walk walk) {
    walk(lanesFor(step));
}

template <int ROW_STEP>
bool segmentsInStep(const fast_rows::Segment* segments, int count) {
    for (int a = 1; a < count; ++a) {
        if (segments[a].slot != segments[0].slot + a || segments[a].row != segments[0].row + a * ROW_STEP ||
            segments[a].first != segments[0].first)
            return false;
    }
    return true;
}

// The visits at k of a band's rows, each a lag behind the one above.
template <int ROW_STEP, std::size_t... ROW>
FAST_LANES_INLINE std::array<PixelWindow, sizeof...(ROW)> windowsInBand(RowBuffers* top_buffers,
                                                                      const std::uint8_t* top_row, int k,
                                                                      const PixelChains* chains,
                                                                      std::index_sequence<ROW...>) {
    return {PixelWindow{top_buffers[ROW], top_row + int(ROW) * ROW_STEP, k, chains[ROW]}...};
}

// Segments in step: every row's buffers, bytes and visit then lie a fixed
// distance from the top row's, so all rows are addressed from one place.
template <int ROW_STEP, int ROWS, class Lanes>
FAST_LANES_INLINE void walkRowsTogether(const Lanes& lanes, const fast_rows::Segment* segments, int count) {
    RowBuffers* const top_buffers = &row_buffers[segments[0].slot];
    std::uint8_t* const top_row = segments[0].row;
    const int top_first = segments[0].first;
    static_assert(ROWS <= 6, "the loop over the rows below is written out for at most 6");
    PixelChains chains[ROWS];
    for (int a = 0; a < ROWS; ++a) chains[a] = pixelChainsBefore(segments[a].row, segments[a].first);
    for (int k = top_first; k < top_first + count; k += CHANNELS_PER_PIXEL) {
        // The loops over the rows are written out (left as loops, the
        // rows' chains went through memory on every visit).
        const auto windows = windowsInBand<ROW_STEP>(top_buffers, top_row, k, chains, std::make_index_sequence<ROWS>{});
        __m128i results[ROWS];
        lanes.template walkStep<ROWS>(windows.data(), results);
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a)
            storePixel(top_row + a * ROW_STEP, k, results[a], chains[a]);
    }
}

template <int ROW_STEP, int ROWS, class Lanes>
FAST_LANES_INLINE void walkTogetherInLanes(const Lanes& lanes, const fast_rows::Segment* segments, int count) {
    walkRowsTogether<ROW_STEP, ROWS>(lanes, segments, count);
}

// The band's rows walked together, however many of them there are.
template <int ROW_STEP, int ROWS, class Lanes>
void walkTogetherCounted(const Lanes& lanes, const fast_rows::Segment* segments, int rows, int together) {
    if constexpr (ROWS > 1) {
        if (rows < ROWS) {
            walkTogetherCounted<ROW_STEP, ROWS - 1>(lanes, segments, rows, together);
            return;
        }
    }
    walkTogetherInLanes<ROW_STEP, ROWS>(lanes, segments, together);
}
#endif

}  // namespace
