// Filter mode 3, crisp smooth blend, in the wavefront: the gate on the
// distance between the window's mean and the centre, then crispBlendValue's
// double operations in their very order, a lane type's doubles at a time.
#pragma once

#include <cmath>
#include <cstdint>

#include "../../image/image_store.h"
#include "../mode_steps.h"
#include "lane_type.h"
#include "mode_tables.h"
#include "wave_columns.h"
#include "wave_sums.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

struct CrispBlend {
    // The gate compares |window mean - centre| / 255, which grows with the
    // distance, against both thresholds: the distances it passes are one
    // run, [nearest, farthest], or none (then both are 256).
    Words nearest;
    Words farthest;

    FAST_LANES_INLINE void keepColumn(int u, const Column& c) const { keepColumnSums(u, c); }

    // sqrt(squares / 25) / 128, as crispBlendValue is given it. With fused
    // operations the quotient comes without the divider (which the square
    // root needs): the product with the rounded inverse, its exact
    // remainder, and one correction; the tests check it is the division's
    // for every squared deviation sum. The last step is a multiplication by
    // its exact inverse. Without them, mode_tables.h's table. (A template
    // over the double type, so that the fused names are looked up only
    // where they are used.)
    template <class D = Doubles>
    static FAST_LANES_INLINE D ratiosOf(const Dwords& squares, int g) {
        if constexpr (FUSED_MULTIPLY_ADD) {
            const D x = toDoubles(squares, g);
            const D inverse = everyDouble(1.0 / 25.0);
            const D product = x * inverse;
            const D quotient = fusedPlusProduct(fusedLessProduct(product, everyDouble(25.0), x), inverse, product);
            return squareRoot(quotient) * everyDouble(1.0 / 128.0);
        } else {
            return doublesAt(fast_tables::crisp_ratio_by_squares, squares, g);
        }
    }

    FAST_LANES_INLINE Bytes value(const Visit& v) const {
        const Spread spread = spreadOf(v);
        const Words centre = widen(v.centre);
        const Words distance = either(lessOrZero(spread.mean, centre), lessOrZero(centre, spread.mean));
        const Bytes fails = narrowMask(either(greater(nearest, distance), greater(distance, farthest)));
        // Where the gate fails every lane the band keeps, as a narrow gate
        // mostly does, the doubles are left out.
        if (!any(butNot(v.active, fails))) return v.centre;
        const Dwords centres = widen(centre);
        const Dwords medians = widen(widen(v.median()));
        const Doubles three = everyDouble(3.0);
        Dwords values;
#pragma GCC unroll 8
        for (int g = 0; g < DOUBLE_GROUPS; ++g) {
            // centre * ratio * 3 + (1 - ratio * 3) * median, truncated.
            const Doubles ratio = ratiosOf(spread.squared_deviations, g);
            const Doubles from_centre = (toDoubles(centres, g) * ratio) * three;
            const Doubles weight = everyDouble(1.0) - ratio * three;
            setTruncated(values, g, from_centre + weight * toDoubles(medians, g));
        }
        // Held within 0..255 by the packs (|value| < 1000).
        return select(fails, v.centre, narrowHeld(narrow(values)));
    }
};

inline CrispBlend crispBlendFor(const FilterSettings& settings) {
    int nearest = 256, farthest = 256;
    for (int distance = 255; distance >= 0; --distance) {
        const double pixel_deviation = std::fabs((double(distance) - 0.0) / 255.0);
        if (!crispGatePasses(pixel_deviation, settings.min_threshold, settings.max_threshold)) continue;
        if (farthest == 256) farthest = distance;
        nearest = distance;
    }
    return {everyWord(nearest), everyWord(farthest)};
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
