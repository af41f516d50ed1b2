#include "progress.h"

#include <cstring>

#include "../messages/messages.h"

namespace {

constexpr std::size_t PROGRESS_BLOCK_BYTES = 1 << 16;
char progress_block[PROGRESS_BLOCK_BYTES];

double progressPercent(int row, int height) {
    const int row_times_hundred = row * 100;  // whole number first, then the double division
    return double(row_times_hundred) / double(height);
}

}  // namespace

void printProgressLines(std::FILE* console, int row, int height, long count) {
    if (count <= 0) return;
    char line[64];
    const int length = std::snprintf(line, sizeof line, kProgressFormat, progressPercent(row, height));
    if (length <= 0 || std::size_t(length) >= sizeof line) return;

    const std::size_t lines_per_block = PROGRESS_BLOCK_BYTES / std::size_t(length);
    const std::size_t block_lines = std::size_t(count) < lines_per_block ? std::size_t(count) : lines_per_block;
    // Fill the block by doubling what is already there: a few large copies
    // instead of thousands of line-sized ones.
    std::memcpy(progress_block, line, std::size_t(length));
    const std::size_t block_bytes = block_lines * std::size_t(length);
    for (std::size_t filled = std::size_t(length); filled < block_bytes;) {
        const std::size_t copied = filled < block_bytes - filled ? filled : block_bytes - filled;
        std::memcpy(progress_block + filled, progress_block, copied);
        filled += copied;
    }

    std::size_t remaining = std::size_t(count);
    while (remaining > 0) {
        const std::size_t lines = remaining < block_lines ? remaining : block_lines;
        std::fwrite(progress_block, std::size_t(length), lines, console);
        remaining -= lines;
    }
}
