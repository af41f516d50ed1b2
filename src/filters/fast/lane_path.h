// The lane paths of the fast neighbourhood pass (modes 1 to 3) and the one
// point that picks among them. The pass is built once for each path the
// build has, each in its own file with its own instructions; every path
// gives the same bytes. The program runs the widest path this processor
// has, chosen once; the tests and the benchmark may run each path directly.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"

using NeighbourhoodForm = void (*)(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                                   std::FILE* console);

struct LanePath {
    const char* name;      // "AVX-512", "AVX2", "SSE2" or "one-byte", as the benchmark and the tests print it
    bool (*runs_here)();   // whether this processor has the path's instructions
    NeighbourhoodForm median_replacement;  // mode 1
    NeighbourhoodForm original_blend;      // mode 2
    NeighbourhoodForm crisp_smooth_blend;  // mode 3
};

// Every path this build has, widest first; the last runs everywhere.
extern const LanePath LANE_PATHS[];
extern const int LANE_PATH_COUNT;

// The path the fast forms run in: the first of LANE_PATHS this processor
// runs, found the first time it is asked for.
const LanePath& chosenLanePath();

// The chosen path's name: what the benchmark and the tests print beside
// their figures.
const char* fastLanePathName();

// Each path's entry points: wave_pass.cpp defines the wavefront's (every
// mode on the AVX paths, modes 2 and 3 on SSE2 and one-byte lanes),
// neighbourhood.cpp the row walk's mode 1 (sse2_rows, one_byte_rows).
#define FAST_PATH_ENTRY(name) \
    void name(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console)
namespace fast_paths {
namespace avx512 {
FAST_PATH_ENTRY(medianReplacement);
FAST_PATH_ENTRY(originalBlend);
FAST_PATH_ENTRY(crispSmoothBlend);
}  // namespace avx512
namespace avx2 {
FAST_PATH_ENTRY(medianReplacement);
FAST_PATH_ENTRY(originalBlend);
FAST_PATH_ENTRY(crispSmoothBlend);
}  // namespace avx2
namespace sse2 {
FAST_PATH_ENTRY(originalBlend);
FAST_PATH_ENTRY(crispSmoothBlend);
}  // namespace sse2
namespace sse2_rows {
FAST_PATH_ENTRY(medianReplacement);
}  // namespace sse2_rows
namespace one_byte {
FAST_PATH_ENTRY(originalBlend);
FAST_PATH_ENTRY(crispSmoothBlend);
}  // namespace one_byte
namespace one_byte_rows {
FAST_PATH_ENTRY(medianReplacement);
}  // namespace one_byte_rows
}  // namespace fast_paths
#undef FAST_PATH_ENTRY
