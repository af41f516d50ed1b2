// blend_table: writes the original blend (filter mode 2) for every (median,
// centre) pair, so that builds for different platforms can be compared byte
// for byte. The layer that calls pow is the one whose last bit may differ
// between C runtimes; what matters is whether any output byte does.
//
// Usage: blend_table BYTES_FILE [POW_BITS_FILE]
//   BYTES_FILE gets, per pair in (median, centre) order: powerLayer, the
//   blend of a flat window (spread at the rule's limit) and of a busy one.
//   POW_BITS_FILE gets the raw pow result per pair, 8 bytes little-endian,
//   to count how often the runtimes disagree in the last bit at all.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "filters/mode_steps.h"

namespace {

constexpr int LEVELS = 256;
constexpr double BUSY_SPREAD_PERCENT = 50.0;

// The same expression powerLayer evaluates, kept unrounded.
double powerBeforeRounding(int median, int centre) {
    const double base = double(centre) / 255.0;
    const double exponent = median < 128 ? double(255 - median) / 128.0 : 128.0 / double(median);
    return std::pow(base, exponent);
}

bool writeBlendBytes(std::FILE* file) {
    for (int median = 0; median < LEVELS; ++median) {
        for (int centre = 0; centre < LEVELS; ++centre) {
            const std::uint8_t m = std::uint8_t(median);
            const std::uint8_t c = std::uint8_t(centre);
            const std::uint8_t row[3] = {
                powerLayer(median, centre),
                originalBlendValue(m, c, FLAT_SPREAD_PERCENT),
                originalBlendValue(m, c, BUSY_SPREAD_PERCENT),
            };
            if (std::fwrite(row, 1, sizeof row, file) != sizeof row) return false;
        }
    }
    return true;
}

bool writePowBits(std::FILE* file) {
    for (int median = 0; median < LEVELS; ++median) {
        for (int centre = 0; centre < LEVELS; ++centre) {
            const double power = powerBeforeRounding(median, centre);
            std::uint64_t bits;
            std::memcpy(&bits, &power, sizeof bits);
            std::uint8_t bytes[8];
            for (int i = 0; i < 8; ++i) bytes[i] = std::uint8_t(bits >> (8 * i));
            if (std::fwrite(bytes, 1, sizeof bytes, file) != sizeof bytes) return false;
        }
    }
    return true;
}

bool writeTable(const char* path, bool (*write)(std::FILE*)) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = write(file);
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: blend_table BYTES_FILE [POW_BITS_FILE]\n", stderr);
        return 2;
    }
    if (!writeTable(argv[1], writeBlendBytes)) return 1;
    if (argc == 3 && !writeTable(argv[2], writePowBits)) return 1;
    return 0;
}
