// The largest picture the store holds, 8192 x 8192 (a 192 MiB file), through
// the built program as a user runs it: with a mode that filters nothing the
// output is the input byte for byte, every row of the store read and
// written. The file lives in a temporary folder, removed with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

TEST(LargestPictureRun, ACopyOfThe8192SquarePictureIsByteForByte) {
    testing_support::TemporaryFolder folder;
    std::vector<std::uint8_t> input =
        sample::encodeBmp(sample::makeRandomPicture(MAX_IMAGE_COLUMNS, MAX_IMAGE_ROWS, 8192));
    ASSERT_EQ(input.size(), 54 + IMAGE_BYTES);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const testing_support::RunResult result = testing_support::runProgram(folder.path(), "in out 9");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_NE(result.output.find(testing_support::console(testing_support::texts::DONE)), std::string::npos);
    std::vector<std::uint8_t> output;
    ASSERT_TRUE(sample::readFile(folder.file("out.bmp"), output));
    EXPECT_TRUE(output == input) << "the copy differs (" << output.size() << " bytes against " << input.size() << ")";
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}
