// make_seeds FOLDER: writes the fuzzer's starting corpus with the project's
// own picture generator: small pictures of every layout the reader accepts,
// each followed by the settings bytes of one filter mode.
#include <cstdio>
#include <string>
#include <vector>

#include "sample_picture.h"

namespace {

struct Seed {
    int width, height, info_header_size;
    bool top_down;
    std::uint32_t gap;
    bool random;
};

constexpr Seed SEEDS[] = {
    {1, 1, 40, false, 0, true},    {2, 3, 40, false, 0, true},   {3, 2, 40, true, 0, true},
    {5, 5, 40, false, 0, false},   {6, 7, 40, true, 0, false},   {7, 6, 108, false, 0, true},
    {9, 9, 108, true, 0, false},   {10, 5, 124, false, 0, true}, {11, 8, 124, true, 0, false},
    {8, 8, 40, false, 13, false},  {13, 6, 124, true, 256, true}, {16, 16, 40, false, 0, false},
    {33, 17, 108, false, 2, false}, {64, 64, 40, false, 0, false}, {100, 3, 40, true, 0, true},
    {7, 40, 40, false, 0, false},  {12, 37, 40, true, 0, true},  {16, 48, 124, false, 0, false},
};

// Mode, then coefficient and thresholds in the fuzzer's one-byte codes
// (value = (code - 16) * scale): coefficient 20 %, max 0.2, min 0.05.
constexpr std::uint8_t SETTINGS[4][4] = {
    {0, 96, 42, 22},
    {1, 96, 42, 22},
    {2, 96, 42, 22},
    {3, 96, 42, 22},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    int written = 0;
    for (const Seed& seed : SEEDS) {
        const std::uint32_t picture_seed = std::uint32_t(seed.width * 131 + seed.height);
        const sample::Picture picture = seed.random ? sample::makeRandomPicture(seed.width, seed.height, picture_seed)
                                                    : sample::makeNoisyPicture(seed.width, seed.height, picture_seed);
        const std::vector<std::uint8_t> file =
            sample::encodeBmp(picture, sample::BmpOptions{seed.info_header_size, seed.top_down, seed.gap});
        if (file.empty()) return 1;
        for (const auto& settings : SETTINGS) {
            std::vector<std::uint8_t> bytes = file;
            bytes.insert(bytes.end(), settings, settings + 4);
            const std::string name = std::string(argv[1]) + "/seed-" + std::to_string(written++) + ".bmp";
            if (!sample::writeFile(name, bytes)) {
                std::fprintf(stderr, "make_seeds: cannot write %s\n", name.c_str());
                return 1;
            }
        }
    }
    return 0;
}
