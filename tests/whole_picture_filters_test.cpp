// The program's filters against the plain forms on the largest picture, in
// every mode of the modes' table: rows as long as the store allows, and
// every band and chunk boundary the fast forms have. Slow (the plain pass
// takes seconds), so one setting per mode, and one test per mode so that
// they can run side by side.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

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

class WholePictureFilters : public ::testing::TestWithParam<FilterMode> {};

}  // namespace

// Names the mode in the test's name, rather than its bytes.
void PrintTo(const FilterMode& mode, std::ostream* out) { *out << "mode " << mode.number; }

TEST_P(WholePictureFilters, ProgramMatchesPlainFormsOnTheLargestPicture) {
    const FilterMode& mode = GetParam();
    const FilterSettings* setting = nullptr;
    for (const FilterSettings& s : SETTINGS)
        if (s.filter_mode == mode.number) setting = &s;
    ASSERT_NE(setting, nullptr) << "no setting for mode " << mode.number;
    const sample::Picture picture = sample::makeNoisyPicture(MAX_IMAGE_COLUMNS, MAX_IMAGE_ROWS, 2024);
    const testing_support::FilterOutcome program =
        testing_support::filtered(testing_support::runProgramFilter, picture, *setting);
    const testing_support::FilterOutcome plain =
        testing_support::filtered(testing_support::runPlainFilter, picture, *setting);
    EXPECT_TRUE(program.image == plain.image);
    EXPECT_EQ(program.console, plain.console);
    EXPECT_FALSE(plain.console.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryMode, WholePictureFilters, ::testing::ValuesIn(FILTER_MODES),
                         [](const ::testing::TestParamInfo<FilterMode>& info) {
                             return "mode" + std::to_string(info.param.number);
                         });
