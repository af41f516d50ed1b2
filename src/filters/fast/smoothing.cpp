#include "smoothing.h"

#include "../progress.h"
#include "row_order.h"

namespace {

using fast_rows::REACH;

using fast_rows::NEAR;
constexpr unsigned SMOOTHING_DIVISOR = 35;

// What a row needs while it is filtered; one set for each row of a pair.
struct RowBuffers {
    // For every byte column: rows r-2 and r+2 (weight 1 throughout), and
    // rows r-1 and r+1 (weight 1 at the window's ends, 2 inside).
    std::uint16_t outer_rows[ROW_STRIDE];
    std::uint16_t inner_rows[ROW_STRIDE];
    int columns_end;  // columns made so far: [0, columns_end)
    // For every visit: the weighted sum of all but its two left neighbours
    // in its own row. At most 32 * 255 = 8160.
    std::uint16_t settled_sum[ROW_STRIDE];
};

RowBuffers row_buffers[2];

void sumColumns(RowBuffers& b, const std::uint8_t* centre_row, int end) {
    const std::uint8_t* above_far = centre_row - 2 * ROW_STRIDE;
    const std::uint8_t* above = centre_row - ROW_STRIDE;
    const std::uint8_t* below = centre_row + ROW_STRIDE;
    const std::uint8_t* below_far = centre_row + 2 * ROW_STRIDE;
    for (int p = b.columns_end; p < end; ++p) {
        b.outer_rows[p] = std::uint16_t(above_far[p] + below_far[p]);
        b.inner_rows[p] = std::uint16_t(above[p] + below[p]);
    }
    if (end > b.columns_end) b.columns_end = end;
}

void sumSettled(RowBuffers& b, const std::uint8_t* centre_row, int first, int end) {
    const std::uint16_t* outer = b.outer_rows;
    const std::uint16_t* inner = b.inner_rows;
    for (int j = first; j < end; ++j) {
        const int box = outer[j - REACH] + outer[j - NEAR] + outer[j] + outer[j + NEAR] + outer[j + REACH] +
                        inner[j - REACH] + inner[j - NEAR] + inner[j] + inner[j + NEAR] + inner[j + REACH];
        const int inner_box = inner[j - NEAR] + inner[j] + inner[j + NEAR];
        const int own_row = 3 * centre_row[j] + 2 * centre_row[j + NEAR] + centre_row[j + REACH];
        b.settled_sum[j] = std::uint16_t(box + inner_box + own_row);
    }
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

struct SmoothingRows {
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
        Chains upper_chains = chainsBefore(upper, upper_first);
        Chains lower_chains = chainsBefore(lower, lower_first);
        for (int i = 0; i < count; i += CHANNELS_PER_PIXEL) {
            visitPixel(u, upper, upper_first + i, upper_chains);
            visitPixel(l, lower, lower_first + i, lower_chains);
        }
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
