// Deterministic test pictures and a plain 24-bit BMP writer/reader.
//
// Everything here uses integer arithmetic only, so a given seed yields the
// same bytes on every platform and compiler (including 32-bit builds).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

// rgb holds `height` rows of `width` pixels, top row first, three bytes per
// pixel (red, green, blue), no padding: index (row * width + x) * 3 + channel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// A photo-like scene: sky and ground gradients, a soft diagonal stripe and
// a few hard-edged rectangles and discs. The picture generators return an
// empty Picture (0 x 0) for non-positive sizes.
Picture makeCleanPicture(int width, int height, std::uint32_t seed);

// Adds approximately gaussian noise with standard deviation
// sigma_times_10 / 10 to every channel value, clamped to 0..255.
void addGaussianNoise(Picture& picture, int sigma_times_10, std::uint32_t seed);

// Turns about per_mille / 1000 of the pixels fully black or fully white
// (all three channels), half of each.
void addSaltAndPepper(Picture& picture, int per_mille, std::uint32_t seed);

// The standard sample: clean picture + gaussian noise (sigma 12) +
// salt-and-pepper on 2% of the pixels.
Picture makeNoisyPicture(int width, int height, std::uint32_t seed);

// Uniformly random bytes, for comparing implementations on arbitrary input.
Picture makeRandomPicture(int width, int height, std::uint32_t seed);

struct BmpOptions {
    int info_header_size = 40;    // 40, 108 (V4) or 124 (V5)
    bool top_down = false;        // negative height, top row stored first
    std::uint32_t extra_gap = 0;  // zero bytes between headers and pixels
};

// A standard Windows 24-bit BMP. Returns an empty vector if the picture is
// inconsistent (non-positive size, wrong rgb length) or the header size is
// not one of 40, 108, 124.
std::vector<std::uint8_t> encodeBmp(const Picture& picture, const BmpOptions& options = {});

// Reads an uncompressed 24-bit BMP with a 40, 108 or 124 byte info header,
// honouring bfOffBits, row padding and top-down storage. bfSize must match
// the data length. Returns false (leaving `out` untouched) on anything
// malformed.
bool decodeBmp(const std::vector<std::uint8_t>& file, Picture& out);

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace sample
