// Filter mode 3's gate as a run of distances, which every lane path
// decides by. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cmath>

#include "../../image/image_store.h"
#include "../mode_steps.h"

namespace {

// The gate compares |window mean - centre| / 255, which grows with the
// distance, against both thresholds: the distances it passes are one run,
// [nearest, farthest], or none (then both are 256).
struct CrispGate {
    int nearest;
    int farthest;
};

CrispGate crispGateFor(const FilterSettings& settings) {
    CrispGate gate{256, 256};
    for (int distance = 255; distance >= 0; --distance) {
        const double window_mean = double(distance);
        const double pixel_deviation = std::fabs((window_mean - 0.0) / 255.0);
        if (!crispGatePasses(pixel_deviation, settings.min_threshold, settings.max_threshold)) continue;
        if (gate.farthest == 256) gate.farthest = distance;
        gate.nearest = distance;
    }
    return gate;
}

}  // namespace
