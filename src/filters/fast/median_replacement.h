// Filter mode 1, median replacement, in the wavefront: every row's squared
// deviation sum compared at once with the first that replaces, and the
// median taken where one does.
#pragma once

#include "lane_type.h"
#include "wave_columns.h"
#include "wave_sums.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

struct MedianReplacement {
    Dwords last_keeping;  // the largest squared deviation sum that keeps the value
    bool every;           // every window replaces (a negative coefficient): no sums needed

    FAST_LANES_INLINE void keepColumn(int u, const Column& c) const {
        if (!every) keepColumnSums(u, c);
    }

    FAST_LANES_INLINE Bytes value(const Visit& v) const {
        if (every) return v.median();
        const Bytes replacing = both(byteMaskOf(greater(spreadOf(v).squared_deviations, last_keeping)), v.active);
        // Mostly no row replaces, and the median is not needed.
        if (!any(replacing)) return v.centre;
        return select(replacing, v.median(), v.centre);
    }
};

inline MedianReplacement medianReplacementFor(int first_replacing) {
    return {everyDword(first_replacing - 1), first_replacing <= 0};
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
