// The choice of lane path: the program runs the widest path this processor
// has, reports it by name, and its filters give that path's bytes. (Each
// path's bytes against the plain forms: fast_filters_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "filters/fast/lane_path.h"
#include "filters/filter_modes.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

const LanePath* pathNamed(const char* name) {
    for (int i = 0; i < LANE_PATH_COUNT; ++i)
        if (std::strcmp(LANE_PATHS[i].name, name) == 0) return &LANE_PATHS[i];
    return nullptr;
}

}  // namespace

TEST(LanePaths, TheLastRunsEverywhereAndEveryPathHasEveryMode) {
    ASSERT_GE(LANE_PATH_COUNT, 1);
    EXPECT_TRUE(LANE_PATHS[LANE_PATH_COUNT - 1].runs_here());
    for (int i = 0; i < LANE_PATH_COUNT; ++i) {
        const LanePath& path = LANE_PATHS[i];
        EXPECT_NE(path.median_replacement, nullptr) << path.name;
        EXPECT_NE(path.original_blend, nullptr) << path.name;
        EXPECT_NE(path.crisp_smooth_blend, nullptr) << path.name;
        for (int j = 0; j < i; ++j) EXPECT_STRNE(path.name, LANE_PATHS[j].name);
    }
}

TEST(LanePaths, AnX86BuildHasTheWiderPaths) {
#if defined(__x86_64__) && !defined(DENOISE_SCALAR_LANES)
    EXPECT_NE(pathNamed("AVX-512"), nullptr);
    EXPECT_NE(pathNamed("AVX2"), nullptr);
    EXPECT_NE(pathNamed("SSE2"), nullptr);
#elif defined(__SSE2__) && !defined(DENOISE_SCALAR_LANES)
    EXPECT_NE(pathNamed("SSE2"), nullptr);
#else
    EXPECT_NE(pathNamed("one-byte"), nullptr);
#endif
}

TEST(LanePaths, TheProgramRunsTheWidestPathThisProcessorHas) {
    const LanePath* widest = nullptr;
    for (int i = 0; i < LANE_PATH_COUNT && widest == nullptr; ++i)
        if (LANE_PATHS[i].runs_here()) widest = &LANE_PATHS[i];
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(&chosenLanePath(), widest);
    EXPECT_STREQ(fastLanePathName(), widest->name);
#if defined(__x86_64__) || defined(__i386__)
    // Asked of the processor here too, not only through the table.
    const bool fma = __builtin_cpu_supports("fma");
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vl") && fma;
    const bool avx2 = __builtin_cpu_supports("avx2") && fma;
    if (pathNamed("AVX-512") != nullptr && avx512) {
        EXPECT_STREQ(fastLanePathName(), "AVX-512");
    } else if (pathNamed("AVX2") != nullptr && avx2) {
        EXPECT_STREQ(fastLanePathName(), "AVX2");
    }
    if (!avx512) {
        EXPECT_STRNE(fastLanePathName(), "AVX-512");
    }
    if (!avx2) {
        EXPECT_STRNE(fastLanePathName(), "AVX2");
    }
#endif
    std::printf("lane paths built: ");
    for (int i = 0; i < LANE_PATH_COUNT; ++i)
        std::printf("%s%s%s", i ? ", " : "", LANE_PATHS[i].name, LANE_PATHS[i].runs_here() ? "" : " (not here)");
    std::printf("; the program runs %s\n", fastLanePathName());
}

TEST(LanePaths, TheProgramsFiltersGiveTheChosenPathsBytes) {
    const sample::Picture picture = sample::makeNoisyPicture(230, 17, 99);
    const FilterSettings settings[] = {{FILTER_MODE_SMOOTHING, 0, 0, 0},
                                       {FILTER_MODE_MEDIAN, 8, 0, 0},
                                       {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0},
                                       {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0}};
    for (const FilterSettings& s : settings) {
        const auto program = testing_support::filtered(testing_support::runProgramFilter, picture, s);
        const auto chosen = testing_support::filtered(testing_support::lanePathFilter(chosenLanePath()), picture, s);
        const auto plain = testing_support::filtered(testing_support::runPlainFilter, picture, s);
        EXPECT_TRUE(program.image == chosen.image) << "mode " << s.filter_mode;
        EXPECT_EQ(program.console, chosen.console) << "mode " << s.filter_mode;
        EXPECT_TRUE(program.image == plain.image) << "mode " << s.filter_mode;
    }
}
