// The fast neighbourhood pass put together: what the row orders of
// row_order.h ask of a pass (prepare, walk, walkBoth, walkBand), and the
// pass over a picture in bands or pairs of rows. Included by
// neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "lane_walk.h"
#include "row_buffers.h"
#include "row_order.h"
#include "scalar_walk.h"
#include "settled.h"

namespace {

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

}  // namespace
