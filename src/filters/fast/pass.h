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

// A segment of a row in its buffers' local indices: the row pointer moved
// by the buffers' origin, so that row[k] and the buffers' [k] meet.
fast_rows::Segment localSegment(int slot, std::uint8_t* row, int first, int end) {
    const int origin = row_buffers[slot].origin;
    return fast_rows::Segment{slot, row + origin, first - origin, end - origin};
}

template <class Step>
struct NeighbourhoodRows {
    static constexpr int CHUNK_BYTES = Step::CHUNK_BYTES;
    static constexpr int ROW_STEP = BAND_ROW_STEP<CHUNK_BYTES>;
    const Step& step;
    int row_bytes;

    void prepare(int slot, std::uint8_t* row, int first, int end) {
        RowBuffers& b = row_buffers[slot];
        moveToChunk(b, first);
        const fast_rows::Segment local = localSegment(slot, row, first, end);
        const int local_row_bytes = row_bytes - b.origin;
        prepareVisits(b, local.row, local_row_bytes, local.first, local.end, step.preparationFor(b));
        step.prepare(b, local.row, local_row_bytes, local.first, local.end);
    }
    void walk(int slot, std::uint8_t* row, int first, int end) {
        const fast_rows::Segment local = localSegment(slot, row, first, end);
        if constexpr (Step::WALKS_CANDIDATES) {
            // Only a whole chunk, as its candidates were found for.
            if (local.first == CHUNK_MARGIN && fewCandidates(&local, 1)) {
                walkCandidates(row_buffers[slot], local.row, local.first, local.end, step);
                return;
            }
        }
        walkLocal(local);
    }
    void walkLocal(const fast_rows::Segment& segment) {
        if (segment.end <= segment.first) return;
#if defined(FAST_LANES_SSE2)
        if constexpr (Step::IN_PIXEL_LANES) {
            inLanesOf(step, [&](const auto& lanes) {
                walkTogetherInLanes<ROW_STEP, 1>(lanes, &segment, segment.end - segment.first);
            });
            return;
        }
#endif
        RowBuffers& b = row_buffers[segment.slot];
        Chains chains = chainsBefore(segment.row, segment.first);
        for (int k = segment.first; k < segment.end; k += CHANNELS_PER_PIXEL)
            visitPixel(b, segment.row, k, chains, step);
    }
    void walkBand(const fast_rows::Segment* segments, int count) {
        fast_rows::Segment local[fast_rows::BAND_ROWS] = {};  // a band has at least one row; GCC cannot tell
        for (int a = 0; a < count; ++a)
            local[a] = localSegment(segments[a].slot, segments[a].row, segments[a].first, segments[a].end);
        if constexpr (Step::WALKS_CANDIDATES) {
            if (fewCandidates(local, count)) {
                for (int a = 0; a < count; ++a)
                    walkCandidates(row_buffers[local[a].slot], local[a].row, local[a].first, local[a].end, step);
                return;
            }
        }
#if defined(FAST_LANES_SSE2)
        if constexpr (Step::IN_PIXEL_LANES) {
            int together = local[0].end - local[0].first;
            for (int a = 1; a < count; ++a) together = std::min(together, local[a].end - local[a].first);
            if (!segmentsInStep<ROW_STEP>(local, count)) together = 0;
            if (together > 0)
                inLanesOf(step, [&](const auto& lanes) {
                    walkTogetherCounted<ROW_STEP, fast_rows::BAND_ROWS>(lanes, local, count, together);
                });
            // One segment may be longer: the row's last chunk takes in its
            // short end.
            for (int a = 0; a < count; ++a) {
                local[a].first += together;
                walkLocal(local[a]);
            }
            return;
        }
#endif
        for (int a = 0; a < count; ++a) walkLocal(local[a]);
    }
    void walkBoth(std::uint8_t* upper, int upper_first, std::uint8_t* lower, int lower_first, int count) {
        const fast_rows::Segment u = localSegment(fast_rows::UPPER, upper, upper_first, upper_first + count);
        const fast_rows::Segment l = localSegment(fast_rows::LOWER, lower, lower_first, lower_first + count);
        RowBuffers& upper_buffers = row_buffers[fast_rows::UPPER];
        RowBuffers& lower_buffers = row_buffers[fast_rows::LOWER];
        Chains upper_chains = chainsBefore(u.row, u.first);
        Chains lower_chains = chainsBefore(l.row, l.first);
        for (int i = 0; i < count; i += CHANNELS_PER_PIXEL) {
            visitPixel(upper_buffers, u.row, u.first + i, upper_chains, step);
            visitPixel(lower_buffers, l.row, l.first + i, lower_chains, step);
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
