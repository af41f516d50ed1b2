// The fast filters against the plain forms on a whole 2000 x 2000 picture,
// in every mode of the modes' table and on every lane path the build has:
// every band and chunk boundary the fast forms have. Slow (the plain pass
// takes seconds), so one setting per mode, and one test per mode and path
// so that they can run side by side. Camera-sized pictures are
// camera_picture_filters_test.cpp's.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "filters/filter_modes.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

const FilterSettings SETTINGS[] = {
    {FILTER_MODE_SMOOTHING, 0, 0, 0},
    {FILTER_MODE_MEDIAN, 8.0, 0, 0},
    {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0},
    {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0},
};

struct ModeOnPath {
    FilterMode mode;
    const LanePath* path;
};

// Every mode on every path; mode 0 has one fast form, run on the last
// path, which every processor runs (on the first, the widest, it would be
// skipped wherever that path is missing).
std::vector<ModeOnPath> modesOnPaths() {
    std::vector<ModeOnPath> cases;
    for (const FilterMode& mode : FILTER_MODES) {
        if (mode.lane_path_form == nullptr) {
            cases.push_back({mode, testing_support::lanePaths().back()});
            continue;
        }
        for (const LanePath* path : testing_support::lanePaths()) cases.push_back({mode, path});
    }
    return cases;
}

class WholePictureFilters : public ::testing::TestWithParam<ModeOnPath> {};

// Names the mode and path in the test's name, rather than their bytes.
void PrintTo(const ModeOnPath& c, std::ostream* out) { *out << "mode " << c.mode.number << ", " << c.path->name; }

}  // namespace

TEST_P(WholePictureFilters, FastFormsMatchPlainFormsOnA2000SquarePicture) {
    const FilterMode& mode = GetParam().mode;
    const LanePath& path = *GetParam().path;
    // Mode 0's one fast form runs whatever path is listed first.
    if (mode.lane_path_form != nullptr && !path.runs_here())
        GTEST_SKIP() << path.name << " lanes: this processor does not have them";
    const FilterSettings* setting = nullptr;
    for (const FilterSettings& s : SETTINGS)
        if (s.filter_mode == mode.number) setting = &s;
    ASSERT_NE(setting, nullptr) << "no setting for mode " << mode.number;
    const sample::Picture picture = sample::makeNoisyPicture(2000, 2000, 2024);
    const testing_support::FilterOutcome program =
        testing_support::filtered(testing_support::lanePathFilter(path), picture, *setting);
    const testing_support::FilterOutcome plain =
        testing_support::filtered(testing_support::runPlainFilter, picture, *setting);
    EXPECT_TRUE(program.image == plain.image);
    EXPECT_EQ(program.console, plain.console);
    EXPECT_FALSE(plain.console.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndPath, WholePictureFilters, ::testing::ValuesIn(modesOnPaths()),
                         [](const ::testing::TestParamInfo<ModeOnPath>& info) {
                             std::string name = "mode" + std::to_string(info.param.mode.number);
                             if (info.param.mode.lane_path_form != nullptr)
                                 name += "_" + testing_support::testNameOf(*info.param.path);
                             return name;
                         });
