#include "lane_path.h"

#include "lanes.h"

const char* fastLanePathName() {
#if defined(FAST_LANES_SSE2)
    return "SSE2";
#else
    return "one-byte";
#endif
}
