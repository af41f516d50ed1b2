#include "mode_steps.h"

#include <cmath>

namespace {

constexpr double FULL_SCALE = 255.0;
constexpr int HALF_SCALE = 128;

// Weights of the original blend; they add up to the divisor.
constexpr double MEDIAN_WEIGHT = 0.3;
constexpr double CENTRE_WEIGHT = 1.0;
constexpr double POWER_WEIGHT = 0.2;
constexpr double SCREEN_WEIGHT = 0.7;
constexpr double OVERLAY_WEIGHT = 1.3;
constexpr double BLEND_DIVISOR = 3.5;

constexpr double CRISP_WEIGHT_SCALE = 3.0;

// Every value handed here is known to lie within 0..255 already.
std::uint8_t truncateToByte(double value) { return std::uint8_t(int(value)); }

}  // namespace

bool medianReplaces(double spread_percent, double removal_coefficient) {
    return spread_percent > removal_coefficient;
}

std::uint8_t overlayLayer(int median, int centre) {
    if (centre < HALF_SCALE) return truncateToByte(double((median + median) * centre) / FULL_SCALE);
    const double lightened = double(median + centre) - double(median * centre) / FULL_SCALE;
    return truncateToByte(lightened * 2.0 - FULL_SCALE);
}

std::uint8_t screenLayer(int median, int centre) {
    return std::uint8_t(median + centre - (median * centre) / 255);
}

std::uint8_t powerLayer(int median, int centre) {
    const double base = double(centre) / FULL_SCALE;
    const double exponent = median < HALF_SCALE ? double(255 - median) / double(HALF_SCALE)
                                                : double(HALF_SCALE) / double(median);
    const double power = std::pow(base, exponent);
    return truncateToByte(power * FULL_SCALE);
}

std::uint8_t combineLayers(int median, int centre, int overlay, int screen, int power) {
    const double s1 = double(median) * MEDIAN_WEIGHT + double(centre) * CENTRE_WEIGHT;
    const double s2 = double(power) * POWER_WEIGHT + double(screen) * SCREEN_WEIGHT;
    const double s3 = s2 + double(overlay) * OVERLAY_WEIGHT;
    const double total = s1 + s3;
    return truncateToByte(total / BLEND_DIVISOR);
}

std::uint8_t originalBlendValue(std::uint8_t median, std::uint8_t centre_value, double spread_percent) {
    // In a nearly flat window the value is blended with itself, not the median.
    const int m = spread_percent <= FLAT_SPREAD_PERCENT ? centre_value : median;
    const int p = centre_value;
    return combineLayers(m, p, overlayLayer(m, p), screenLayer(m, p), powerLayer(m, p));
}

bool crispGatePasses(double pixel_deviation, double min_threshold, double max_threshold) {
    return min_threshold < pixel_deviation && pixel_deviation < max_threshold;
}

std::uint8_t crispBlendValue(std::uint8_t median, std::uint8_t centre_value, double spread_ratio) {
    double a = double(centre_value) * spread_ratio;
    a = a * CRISP_WEIGHT_SCALE;
    double b = spread_ratio * CRISP_WEIGHT_SCALE;
    b = 1.0 - b;
    b = b * double(median);
    const double value = a + b;
    // A busy window pushes the value past the centre and can leave 0..255:
    // drop the fraction first, then hold it at the ends of the scale.
    // |value| stays below 1000, so the conversion to int is always defined.
    const int whole = int(value);
    return std::uint8_t(whole < 0 ? 0 : whole > 255 ? 255 : whole);
}
