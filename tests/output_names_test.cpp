// Where the output lands when names are links, and when the folders on its
// path change while the run waits for an answer: never on the input's file,
// and only in the folder whose names were checked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::exists;
using testing_support::LiveRun;
using testing_support::RunLimits;
using testing_support::runProgram;
using testing_support::TemporaryFolder;
using namespace testing_support::texts;

namespace {

const std::string RENAMED_IS_INPUT =
    "\n_2を付けた出力ファイル名も入力ファイルと同じファイルを指しています。処理を中止します。\n";
const std::string WOULD_REPLACE_INPUT =
    "writeBmp: 出力先が入力ファイルと同じファイルになっています。書き込みを中止しました!\n";
const std::string MODE_PROMPT_END = "(★★★★★)\n\t\t：";

std::vector<std::uint8_t> picture(std::uint32_t seed) {
    return sample::encodeBmp(sample::makeNoisyPicture(12, 10, seed));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string renamingNotice(const std::string& renamed) {
    return console("入力ファイル名と出力ファイル名が同名です。\n出力ファイル名を" + renamed + "に変更します。\n");
}

bool isLink(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The program where another user can run it: the build may lie under a home
// folder that only its owner may enter.
class ReachableProgram {
public:
    ReachableProgram() {
        chmod(folder_.path().c_str(), 0755);
        std::filesystem::copy_file(DENOISE_PROGRAM, path());
        chmod(path().c_str(), 0755);
    }
    std::string path() const { return folder_.file("denoise"); }

private:
    TemporaryFolder folder_;
};

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

TEST(SwappedFolders, TheOutputGoesToTheFolderThatWasChecked) {
    // sub/in.bmp is checked against in.bmp while sub is a folder of its own;
    // then, while the run waits for the mode, sub becomes a link to the
    // input's folder. The write must go to the folder that was checked.
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = picture(3);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    LiveRun run(folder.path());
    run.answer("in sub/in\n");
    ASSERT_TRUE(run.readUntil(console(MODE_PROMPT_END))) << run.console();
    ASSERT_EQ(rename(folder.file("sub").c_str(), folder.file("checked").c_str()), 0);
    ASSERT_EQ(symlink(".", folder.file("sub").c_str()), 0);
    run.answer("0\n");
    const auto result = run.wait();
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(endsWith(result.output, console(DONE)));
    EXPECT_EQ(contents(folder.file("in.bmp")), input) << "the input was replaced";
    EXPECT_TRUE(exists(folder.file("checked/in.bmp")));
    EXPECT_NE(contents(folder.file("checked/in.bmp")), input);  // filtered: mode 0 changes the picture
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"checked", "in.bmp", "sub"}));
    EXPECT_EQ(entriesOf(folder.file("checked")), std::vector<std::string>{"in.bmp"});
}

TEST(SwappedFolders, AnOutputThatComesToBeTheInputIsRefusedBeforeTheRename) {
    // Each change is made while the run waits for the mode, after the names
    // were checked: the output's name then leads to the file that is read.
    struct Case {
        const char* what;
        const char* answers;
        void (*change)(const TemporaryFolder&);
    } cases[] = {
        // The input's folder swapped: sub/in.bmp is read from the output's place.
        {"input folder swapped", "sub/in in\n",
         [](const TemporaryFolder& f) {
             ASSERT_EQ(rename(f.file("sub").c_str(), f.file("moved").c_str()), 0);
             ASSERT_EQ(symlink(".", f.file("sub").c_str()), 0);
         }},
        {"hard link at the output", "in out\n",
         [](const TemporaryFolder& f) { ASSERT_EQ(link(f.file("in.bmp").c_str(), f.file("out.bmp").c_str()), 0); }},
        {"link at the output", "in out\n",
         [](const TemporaryFolder& f) { ASSERT_EQ(symlink("in.bmp", f.file("out.bmp").c_str()), 0); }},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        const std::vector<std::uint8_t> input = picture(4);
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
        ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
        ASSERT_TRUE(sample::writeFile(folder.file("sub/in.bmp"), picture(5)));
        LiveRun run(folder.path());
        run.answer(c.answers);
        ASSERT_TRUE(run.readUntil(console(MODE_PROMPT_END))) << c.what;
        const std::vector<std::string> before = folder.entries();
        c.change(folder);
        const std::vector<std::string> changed = folder.entries();
        run.answer("0\n");
        const auto result = run.wait();
        EXPECT_EQ(result.exit_status, 1) << c.what;
        EXPECT_TRUE(endsWith(result.output, console(WOULD_REPLACE_INPUT))) << c.what;
        EXPECT_EQ(contents(folder.file("in.bmp")), input) << c.what;
        EXPECT_EQ(folder.entries(), changed) << c.what << ": a file was left or removed";
    }
}

TEST(OutputLinks, ALinkToAWritableFileIsReplacedAndItsTargetLeftAlone) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = picture(6);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::vector<std::uint8_t> target = {'t', 'a', 'r', 'g', 'e', 't'};
    ASSERT_TRUE(sample::writeFile(folder.file("target.bmp"), target));
    ASSERT_EQ(chmod(folder.file("target.bmp").c_str(), 0640), 0);
    ASSERT_EQ(symlink("target.bmp", folder.file("out.bmp").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.bmp", folder.file("dangling.bmp").c_str()), 0);
    for (const std::string output : {"out", "dangling"}) {
        const auto result = runProgram(folder.path(), "in " + output + " 9");
        EXPECT_EQ(result.exit_status, 0) << output;
        EXPECT_FALSE(isLink(folder.file(output + ".bmp"))) << output;
        EXPECT_EQ(contents(folder.file(output + ".bmp")), input) << output;
    }
    // The link's target keeps its bytes; its permissions are the new file's.
    EXPECT_EQ(contents(folder.file("target.bmp")), target);
    EXPECT_EQ(modeOf(folder.file("out.bmp")), 0640u);
    EXPECT_FALSE(exists(folder.file("nowhere.bmp")));
}

TEST(OutputLinks, ALinkToAFolderOrToWhatTheUserMayNotWriteIsRefused) {
    TemporaryFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    const std::vector<std::uint8_t> input = picture(7);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    ASSERT_EQ(chmod(folder.file("in.bmp").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub", folder.file("to_folder.bmp").c_str()), 0);
    const auto to_folder = runProgram(folder.path(), "in to_folder 0");
    EXPECT_EQ(to_folder.exit_status, 1);
    EXPECT_TRUE(endsWith(to_folder.output, console(WRITE_OPEN_FAILED)));
    EXPECT_TRUE(isLink(folder.file("to_folder.bmp")));
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "sub", "to_folder.bmp"}));

    if (geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as another user who may not write";
    ReachableProgram program;
    const std::vector<std::uint8_t> locked = {'r', 'o'};
    ASSERT_TRUE(sample::writeFile(folder.file("locked.bmp"), locked));
    ASSERT_EQ(chmod(folder.file("locked.bmp").c_str(), 0644), 0);  // root's: others may not write
    std::vector<std::string> outputs = {"to_file"};
    ASSERT_EQ(symlink("locked.bmp", folder.file("to_file.bmp").c_str()), 0);
    for (const char* device : {"/dev/kmsg", "/dev/console", "/dev/tty0"}) {
        struct stat info;
        if (stat(device, &info) != 0 || (info.st_mode & S_IWOTH) != 0 || info.st_uid != 0) continue;
        ASSERT_EQ(symlink(device, folder.file("to_device.bmp").c_str()), 0);
        outputs.push_back("to_device");
        break;
    }
    const std::vector<std::string> before = folder.entries();
    RunLimits unprivileged;
    unprivileged.unprivileged = true;
    unprivileged.program = program.path();
    for (const std::string& output : outputs) {
        const auto result = runProgram(folder.path(), "in " + output + " 0", unprivileged);
        EXPECT_EQ(result.exit_status, 1) << output << ": " << result.output;
        EXPECT_TRUE(endsWith(result.output, console(WRITE_OPEN_FAILED))) << output;
        EXPECT_TRUE(isLink(folder.file(output + ".bmp"))) << output;
        EXPECT_EQ(folder.entries(), before) << output;
    }
    EXPECT_EQ(contents(folder.file("locked.bmp")), locked);
    if (outputs.size() == 1) std::printf("no device here that others may not write: only the file was tried\n");
}
