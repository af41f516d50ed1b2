#include "neighbourhood.h"

#include <cmath>

#include "mode_steps.h"
#include "progress.h"

void gatherWindow(const std::uint8_t* image, int row, int column, int channel, std::uint8_t* window) {
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b) window[5 * a + b] = image[pixelIndex(row - 2 + a, column - 2 + b, channel)];
}

void sortWindow(std::uint8_t* window) {
    for (int pass = 0; pass < WINDOW_SIZE - 1; ++pass) {
        for (int n = 0; n < WINDOW_SIZE - 1; ++n) {
            if (window[n + 1] < window[n]) {
                const std::uint8_t held = window[n];
                window[n] = window[n + 1];
                window[n + 1] = held;
            }
        }
    }
}

void computeStatistics(const std::uint8_t* sorted_window, std::uint8_t centre_value, WindowStatistics* s) {
    for (int i = 0; i < WINDOW_SIZE; ++i) s->window[i] = sorted_window[i];
    s->median = sorted_window[MEDIAN_INDEX];
    s->window_sum = 0;
    for (int i = 0; i < WINDOW_SIZE; ++i) s->window_sum += sorted_window[i];
    s->window_mean = double(s->window_sum / WINDOW_SIZE);
    s->centre_value = centre_value;
    s->pixel_deviation = std::fabs((s->window_mean - double(centre_value)) / 255.0);
    s->squared_deviation_sum = 0.0;
    for (int i = 0; i < WINDOW_SIZE; ++i) {
        const double deviation = s->window_mean - double(sorted_window[i]);
        s->squared_deviation_sum += deviation * deviation;
    }
    s->window_sigma = std::sqrt(s->squared_deviation_sum / 25.0);
    s->spread_percent = s->window_sigma * 100.0 / 255.0;
    s->spread_ratio = s->window_sigma / 128.0;
}

namespace {

using ModeStep = void (*)(std::uint8_t* value, const WindowStatistics& statistics, const FilterSettings& settings);

void medianReplacementStep(std::uint8_t* value, const WindowStatistics& s, const FilterSettings& settings) {
    if (medianReplaces(s.spread_percent, settings.removal_coefficient)) *value = s.median;
}

void originalBlendStep(std::uint8_t* value, const WindowStatistics& s, const FilterSettings&) {
    *value = originalBlendValue(s.median, s.centre_value, s.spread_percent);
}

void crispSmoothBlendStep(std::uint8_t* value, const WindowStatistics& s, const FilterSettings& settings) {
    if (crispGatePasses(s.pixel_deviation, settings.min_threshold, settings.max_threshold))
        *value = crispBlendValue(s.median, s.centre_value, s.spread_ratio);
}

// Every interior channel in raster order, each gathered, sorted and handed
// with its statistics to the mode's step.
void neighbourhoodPass(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console,
                       ModeStep step) {
    std::uint8_t window[WINDOW_SIZE];
    WindowStatistics statistics;
    for (int row = 2; row <= size.height - 3; ++row) {
        for (int column = 2; column <= size.width - 3; ++column) {
            for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
                gatherWindow(image, row, column, channel, window);
                sortWindow(window);
                std::uint8_t* value = &image[pixelIndex(row, column, channel)];
                computeStatistics(window, *value, &statistics);
                step(value, statistics, settings);
            }
        }
        printProgressLines(console, row, size.height, 1);
    }
}

}  // namespace

void medianReplacementPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                            std::FILE* console) {
    neighbourhoodPass(image, size, settings, console, medianReplacementStep);
}

void originalBlendPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    neighbourhoodPass(image, size, settings, console, originalBlendStep);
}

void crispSmoothBlendPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console) {
    neighbourhoodPass(image, size, settings, console, crispSmoothBlendStep);
}
