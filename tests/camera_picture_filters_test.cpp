// The fast filters against the plain forms on a whole phone photo, 4032 x
// 3024 (12 MP), one test per mode: rows twice as long as 2000 x 2000's
// with every chunk, band and block boundary they bring, 95 bands of the
// wavefront, and some twelve million progress lines from mode 0. The plain
// pass takes minutes at this size, so it runs once per mode and every lane
// path this processor has is compared with it. Labelled slow_camera
// (tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "filters/filter_modes.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

constexpr int PHOTO_WIDTH = 4032;
constexpr int PHOTO_HEIGHT = 3024;

FilterSettings settingsOf(int mode) {
    switch (mode) {
        case FILTER_MODE_MEDIAN: return {mode, 8.0, 0, 0};
        case FILTER_MODE_CRISP_SMOOTH_BLEND: return {mode, 0, 0.2, 0.0};
        default: return {mode, 0, 0, 0};
    }
}

class CameraPictureFilters : public ::testing::TestWithParam<FilterMode> {};

}  // namespace

// Names the mode in the test's parameter, rather than its bytes.
static void PrintTo(const FilterMode& mode, std::ostream* out) { *out << "mode " << mode.number; }

TEST_P(CameraPictureFilters, FastFormsMatchPlainFormsOnAPhoneSizedPicture) {
    const FilterMode& mode = GetParam();
    const FilterSettings settings = settingsOf(mode.number);
    const sample::Picture picture = sample::makeNoisyPicture(PHOTO_WIDTH, PHOTO_HEIGHT, 2025);
    const testing_support::FilterOutcome plain =
        testing_support::filtered(testing_support::runPlainFilter, picture, settings);
    ASSERT_FALSE(plain.console.empty());
    int compared = 0;
    for (const LanePath* path : testing_support::lanePaths()) {
        if (!path->runs_here()) continue;
        const testing_support::FilterOutcome fast =
            testing_support::filtered(testing_support::lanePathFilter(*path), picture, settings);
        EXPECT_TRUE(fast.image == plain.image) << path->name << " lanes";
        EXPECT_TRUE(fast.console == plain.console) << path->name << " lanes";
        ++compared;
        // Mode 0 has one fast form, whatever the path.
        if (mode.lane_path_form == nullptr) break;
    }
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, CameraPictureFilters, ::testing::ValuesIn(FILTER_MODES),
                         [](const ::testing::TestParamInfo<FilterMode>& info) {
                             return "mode" + std::to_string(info.param.number);
                         });
