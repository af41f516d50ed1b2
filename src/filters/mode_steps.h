// The per-visit decisions of filter modes 1 to 3, as pure functions of the
// visit's statistics so that each can be checked on its own.
#pragma once

#include <cstdint>

// Mode 1: the median replaces the channel when the window's spread exceeds
// the coefficient. Returns whether it does.
bool medianReplaces(double spread_percent, double removal_coefficient);

// Mode 2, original blend: the layers and their weighted combination.
constexpr double FLAT_SPREAD_PERCENT = 2.0;
std::uint8_t overlayLayer(int median, int centre);
std::uint8_t screenLayer(int median, int centre);
std::uint8_t powerLayer(int median, int centre);
std::uint8_t combineLayers(int median, int centre, int overlay, int screen, int power);
std::uint8_t originalBlendValue(std::uint8_t median, std::uint8_t centre_value, double spread_percent);

// Mode 3, crisp smooth blend: whether the gate lets the visit through, and
// the blended value (truncated, then held within 0..255).
bool crispGatePasses(double pixel_deviation, double min_threshold, double max_threshold);
std::uint8_t crispBlendValue(std::uint8_t median, std::uint8_t centre_value, double spread_ratio);
