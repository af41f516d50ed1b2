// The program's filters against the plain forms on the largest picture, in
// every mode: rows as long as the store allows, and every band and chunk
// boundary the fast forms have. Slow (the plain pass takes seconds), so one
// setting per mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "filters/neighbourhood.h"
#include "filters/smoothing.h"
#include "image/filter_stage.h"
#include "sample_picture.h"

namespace {

std::vector<std::uint8_t> storeOf(const sample::Picture& picture) {
    std::vector<std::uint8_t> store(IMAGE_BYTES);
    for (int r = 0; r < picture.height; ++r)
        std::memcpy(store.data() + pixelIndex(r, 0, 0), picture.rgb.data() + std::size_t(r) * picture.width * 3,
                    std::size_t(picture.width) * 3);
    return store;
}

std::string consoleText(std::FILE* console) {
    std::string text;
    std::rewind(console);
    for (int ch; (ch = std::fgetc(console)) != EOF;) text.push_back(char(ch));
    std::fclose(console);
    return text;
}

}  // namespace

TEST(WholePictureFilters, ProgramMatchesPlainFormsOnTheLargestPicture) {
    const sample::Picture picture = sample::makeNoisyPicture(MAX_IMAGE_COLUMNS, MAX_IMAGE_ROWS, 2024);
    const PictureSize size{picture.height, picture.width};
    const FilterSettings settings[] = {
        {FILTER_MODE_SMOOTHING, 0, 0, 0},
        {FILTER_MODE_MEDIAN, 8.0, 0, 0},
        {FILTER_MODE_ORIGINAL_BLEND, 0, 0, 0},
        {FILTER_MODE_CRISP_SMOOTH_BLEND, 0, 0.2, 0.0},
    };
    for (const FilterSettings& setting : settings) {
        std::vector<std::uint8_t> program = storeOf(picture);
        std::vector<std::uint8_t> plain = program;
        std::FILE* program_console = std::tmpfile();
        std::FILE* plain_console = std::tmpfile();
        runFilterStage(program.data(), size, setting, program_console);
        if (setting.filter_mode == FILTER_MODE_SMOOTHING)
            smoothPlain(plain.data(), size, plain_console);
        else
            neighbourhoodPassPlain(plain.data(), size, setting, plain_console);
        EXPECT_TRUE(program == plain) << "mode " << setting.filter_mode;
        EXPECT_EQ(consoleText(program_console), consoleText(plain_console)) << "mode " << setting.filter_mode;
    }
}
