// Where the output lands when names are links: never on the input's file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::runProgram;
using testing_support::TemporaryFolder;
using namespace testing_support::texts;

namespace {

const std::string RENAMED_IS_INPUT =
    "\n_2を付けた出力ファイル名も入力ファイルと同じファイルを指しています。処理を中止します。\n";

std::vector<std::uint8_t> picture(std::uint32_t seed) {
    return sample::encodeBmp(sample::makeNoisyPicture(12, 10, seed));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string renamingNotice(const std::string& renamed) {
    return console("入力ファイル名と出力ファイル名が同名です。\n出力ファイル名を" + renamed + "に変更します。\n");
}

}  // namespace

TEST(RenamedOutput, ALinkNamedLikeTheRenamedOutputIsRefused) {
    // The input is photo_2.bmp; "photo" leads to it, so the output becomes
    // photo_2, which is the input itself, or leads to it again.
    struct Case {
        std::string output;      // as typed
        std::string link, to;    // the link that leads back (made in the folder)
        bool hard;
    } cases[] = {
        {"photo", "photo.bmp", "photo_2.bmp", false},
        {"photo", "photo.bmp", "photo_2.bmp", true},
        {"./photo", "photo.bmp", "photo_2.bmp", false},
        {"sub/photo", "sub/photo.bmp", "../photo_2.bmp", false},  // and sub/photo_2.bmp below
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        const std::vector<std::uint8_t> input = picture(1);
        ASSERT_TRUE(sample::writeFile(folder.file("photo_2.bmp"), input));
        ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
        const int made = c.hard ? link(folder.file(c.to).c_str(), folder.file(c.link).c_str())
                                : symlink(c.to.c_str(), folder.file(c.link).c_str());
        ASSERT_EQ(made, 0) << c.link;
        if (c.output == "sub/photo") {
            ASSERT_EQ(symlink("../photo_2.bmp", folder.file("sub/photo_2.bmp").c_str()), 0);
        }
        const std::vector<std::string> before = folder.entries();
        const auto result = runProgram(folder.path(), "photo_2 " + c.output + " 0");
        EXPECT_EQ(result.exit_status, 1) << c.output;
        EXPECT_TRUE(endsWith(result.output, renamingNotice(c.output + "_2") + console(RENAMED_IS_INPUT)))
            << c.output << (c.hard ? " (hard link)" : "");
        EXPECT_EQ(contents(folder.file("photo_2.bmp")), input) << c.output;
        EXPECT_EQ(folder.entries(), before) << c.output;
    }
}

TEST(RenamedOutput, ARenamedNameOfAnotherFileIsStillWritten) {
    // "alias" leads to the input, alias_2.bmp is another file: it is replaced.
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = picture(2);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    ASSERT_EQ(symlink("in.bmp", folder.file("alias.bmp").c_str()), 0);
    ASSERT_TRUE(sample::writeFile(folder.file("alias_2.bmp"), {'o', 'l', 'd'}));
    const auto result = runProgram(folder.path(), "in alias 9");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_NE(result.output.find(renamingNotice("alias_2")), std::string::npos);
    EXPECT_TRUE(endsWith(result.output, console(DONE)));
    EXPECT_EQ(contents(folder.file("alias_2.bmp")), input);
    EXPECT_EQ(contents(folder.file("in.bmp")), input);
}
