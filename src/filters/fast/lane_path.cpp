#include "lane_path.h"

#include "lanes.h"
#include "neighbourhood.h"

namespace {

bool everywhere() { return true; }

#if defined(DENOISE_AVX2_PATH)
// The compiler's check asks the operating system too: it says AVX2 only
// where the 256-bit registers are saved across task switches. Both AVX
// paths also use fused multiply-adds (mode 3's exact quotient).
bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

#if defined(DENOISE_AVX512_PATH)
// Byte and word operations (BW) on 128- and 256-bit registers too (VL);
// likewise only where the operating system saves the 512-bit state.
bool hasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("fma");
}
#endif
}  // namespace

const LanePath LANE_PATHS[] = {
#if defined(DENOISE_AVX512_PATH)
    {"AVX-512", hasAvx512, fast_paths::avx512::medianReplacement, fast_paths::avx512::originalBlend,
     fast_paths::avx512::crispSmoothBlend},
#endif
#if defined(DENOISE_AVX2_PATH)
    {"AVX2", hasAvx2, fast_paths::avx2::medianReplacement, fast_paths::avx2::originalBlend,
     fast_paths::avx2::crispSmoothBlend},
#endif
// Mode 1 walks rows on the narrower paths (neighbourhood.cpp says why).
#if defined(FAST_LANES_SSE2)
    {"SSE2", everywhere, fast_paths::sse2_rows::medianReplacement, fast_paths::sse2::originalBlend,
     fast_paths::sse2::crispSmoothBlend},
#else
    {"one-byte", everywhere, fast_paths::one_byte_rows::medianReplacement, fast_paths::one_byte::originalBlend,
     fast_paths::one_byte::crispSmoothBlend},
#endif
};
const int LANE_PATH_COUNT = int(sizeof LANE_PATHS / sizeof LANE_PATHS[0]);

const LanePath& chosenLanePath() {
    static const LanePath* const chosen = [] {
        for (const LanePath& path : LANE_PATHS)
            if (path.runs_here()) return &path;
        return &LANE_PATHS[LANE_PATH_COUNT - 1];
    }();
    return *chosen;
}

const char* fastLanePathName() { return chosenLanePath().name; }

void medianReplacementFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console) {
    chosenLanePath().median_replacement(image, size, settings, console);
}

void originalBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    chosenLanePath().original_blend(image, size, settings, console);
}

void crispSmoothBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                          std::FILE* console) {
    chosenLanePath().crisp_smooth_blend(image, size, settings, console);
}
