// Each filter mode from the dialogue to the written file: the answers must
// reach the filter, and the file must hold what the plain filter makes of
// the same picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "memory_source.h"
#include "sample_picture.h"
#include "program_runner.h"

namespace {

testing_support::StoreImage image;
KeptBytes kept;

// What the plain filter writes for `file` with `settings`.
std::vector<std::uint8_t> filteredPlainly(const std::vector<std::uint8_t>& file, const FilterSettings& settings) {
    image.clear();
    MemoryFile memory{file.data(), file.size()};
    ImageGeometry geometry{};
    EXPECT_EQ(loadBmp(memorySource(&memory), &kept, &geometry, image.data()), BmpStatus::ok);
    const PixelLayout layout = pixelLayoutOf(geometry);
    const PictureSize size{layout.height, layout.width};
    testing_support::captureConsole(
        [&](std::FILE* console) { testing_support::runPlainFilter(image.data(), size, settings, console); });
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(saveBmp(vectorSink(&bytes), kept, geometry, image.data()));
    return bytes;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

}  // namespace

TEST(ModesRun, EveryAnswerReachesItsFilter) {
    struct Case {
        std::string answers;
        FilterSettings settings;
    } cases[] = {
        {"0", {0, 0, 0, 0}},
        {"abc", {0, 0, 0, 0}},  // not a number: smoothing
        {"1 20", {1, 20, 0, 0}},
        {"1 8.5", {1, 8.5, 0, 0}},
        {"1 x", {1, 0, 0, 0}},
        {"2", {2, 0, 0, 0}},
        {"3 1", {3, 0, 0.05, 0.003}},
        {"3 2", {3, 0, 0.2, 0.0}},
        {"3 3", {3, 0, 0.01, 0.005}},
        {"3 4 0.3 0.01", {3, 0, 0.3, 0.01}},
        {"3 7", {3, 0, 0, 0}},
    };
    for (bool top_down : {false, true}) {
        sample::BmpOptions options;
        options.top_down = top_down;
        const int width = 23, height = 17;
        const std::vector<std::uint8_t> input = sample::encodeBmp(sample::makeNoisyPicture(width, height, 11), options);
        for (const Case& c : cases) {
            testing_support::TemporaryFolder folder;
            ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
            const auto result = testing_support::runProgram(folder.path(), "in out " + c.answers + "\n");
            ASSERT_EQ(result.exit_status, 0) << c.answers;
            std::vector<std::uint8_t> output;
            ASSERT_TRUE(sample::readFile(folder.file("out.bmp"), output));
            EXPECT_EQ(output, filteredPlainly(input, c.settings)) << c.answers << " top_down " << top_down;

            const std::size_t lines = countOf(result.output, testing_support::console("進行度："));
            const bool smoothing = c.settings.filter_mode == FILTER_MODE_SMOOTHING;
            EXPECT_EQ(lines, smoothing ? std::size_t((height - 4) * (width - 4)) : std::size_t(height - 4)) << c.answers;
            EXPECT_EQ(countOf(result.output, testing_support::console(smoothing ? "平滑化フィルタの処理中\n"
                                                                                 : "メディアン・フィルタの処理中\n")),
                      1u);
        }
    }
}

TEST(ModesRun, FiltersChangeTheInteriorOnly) {
    const int width = 31, height = 12;
    const sample::Picture picture = sample::makeNoisyPicture(width, height, 4);
    const std::vector<std::uint8_t> input = sample::encodeBmp(picture);
    for (const char* answers : {"0", "1 5", "2", "3 2"}) {
        testing_support::TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
        ASSERT_EQ(testing_support::runProgram(folder.path(), std::string("in out ") + answers).exit_status, 0);
        std::vector<std::uint8_t> file;
        sample::Picture result;
        ASSERT_TRUE(sample::readFile(folder.file("out.bmp"), file));
        ASSERT_TRUE(sample::decodeBmp(file, result));
        int changed = 0;
        for (int r = 0; r < height; ++r)
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const std::size_t i = std::size_t((r * width + x) * 3 + c);
                    const bool frame = r < 2 || r >= height - 2 || x < 2 || x >= width - 2;
                    if (frame) {
                        ASSERT_EQ(result.rgb[i], picture.rgb[i]) << answers;
                    }
                    changed += result.rgb[i] != picture.rgb[i];
                }
            }
        EXPECT_GT(changed, 0) << answers;
        EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 54),
                  std::vector<std::uint8_t>(input.begin(), input.begin() + 54));
    }
}
