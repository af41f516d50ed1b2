#include "smoothing.h"

#include "progress.h"

namespace {

constexpr int SMOOTHING_KERNEL[5][5] = {
    {1, 1, 1, 1, 1},
    {1, 2, 2, 2, 1},
    {1, 2, 3, 2, 1},
    {1, 2, 2, 2, 1},
    {1, 1, 1, 1, 1},
};
constexpr int SMOOTHING_DIVISOR = 35;  // sum of the weights

std::uint8_t smoothedValue(const std::uint8_t* image, int row, int column, int channel) {
    int weighted_sum = 0;
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b)
            weighted_sum += SMOOTHING_KERNEL[a][b] * image[pixelIndex(row - 2 + a, column - 2 + b, channel)];
    return std::uint8_t(weighted_sum / SMOOTHING_DIVISOR);
}

}  // namespace

void smoothPlain(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    for (int row = 2; row <= size.height - 3; ++row) {
        for (int column = 2; column <= size.width - 3; ++column) {
            for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel)
                image[pixelIndex(row, column, channel)] = smoothedValue(image, row, column, channel);
            printProgressLines(console, row, size.height, 1);
        }
    }
}
