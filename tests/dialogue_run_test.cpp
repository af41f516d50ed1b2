// The whole program, run as a user runs it: answers typed on standard input,
// the console transcript and the files left behind checked byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"

using testing_support::console;
using testing_support::contents;
using namespace testing_support::texts;
using testing_support::exists;
using testing_support::runProgram;
using testing_support::TemporaryFolder;

namespace {

const std::string STARS = "☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆\n";

// The banner's credit line is free text between these two pieces.
const std::string CREDIT_START = "☆\t2006/9/6\t";
const std::string CREDIT_END = "\t☆\n";

std::string names(const std::string& input, const std::string& output) {
    return "入力ファイル名(英数字のみ・拡張子不要)：入力ファイル名 : " + input +
           ".bmp\n\nファイルの上書き注意！(別名で保存しましょう）\n出力ファイル名(英数字のみ・拡張子不要)：出力ファイル名: " +
           output + ".bmp\n";
}

const std::string MODE_MENU =
    "\nフィルタモード\tお勧め度(★)\n\t\t0:平滑化フィルタ\t(★☆☆☆☆)\n\t\t1:メディアン・フィルタ\t(★★★☆☆)"
    "\t\t\n\t\t2:オリジナルブレンド\t(★★★★☆)\n\t\t3:くっきり滑らかブレンド(★★★★★)\n\t\t：";
const std::string COEFFICIENT_PROMPTS =
    "ノイズ除去係数を入力してください （20％を目安に)\n除去強度（高い）<-------------->　除去強度（低い）\n"
    "     0[％]                            100[％] :";
const std::string NOISE_MODE_MENU =
    "\nノイズ除去モードを入力してください\n\nノイズ除去モード 1:シャープに、ノイズを除去\n\t\t 2:全てをまったいらに\n"
    "\t\t 3:控えめ除去\n\t\t 4:任意入力\n\t\t :";
const std::string THRESHOLD_PROMPTS = "最大閾値と最小閾値を入力してください(0から1までの間)\n最大値:\n最小値:";

// Splits off the banner after checking it, and returns what follows.
std::string afterBanner(const std::string& output) {
    const std::string head = console(STARS + "☆\tザルフェン　ver1.1a\t\t☆\n" + CREDIT_START);
    EXPECT_EQ(output.compare(0, head.size(), head), 0) << "banner start";
    const std::string tail = console(CREDIT_END + STARS + "\n\n");
    const std::size_t end = output.find(tail, head.size());
    EXPECT_NE(end, std::string::npos) << "banner end";
    return end == std::string::npos ? std::string() : output.substr(end + tail.size());
}

std::vector<std::uint8_t> writeSample(const TemporaryFolder& folder, const std::string& name, int width, int height,
                                      sample::BmpOptions options = {}) {
    std::vector<std::uint8_t> bytes =
        sample::encodeBmp(sample::makeNoisyPicture(width, height, std::uint32_t(width + height)), options);
    EXPECT_TRUE(sample::writeFile(folder.file(name), bytes));
    return bytes;
}

}  // namespace

TEST(Run, ModeOutsideTheMenuCopiesThePictureWithTheWholeTranscript) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = writeSample(folder, "photo.bmp", 13, 9);
    const auto result = runProgram(folder.path(), "photo\nclean\n9\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(afterBanner(result.output), console(names("photo", "clean") + MODE_MENU + WAIT + DONE));
    EXPECT_EQ(contents(folder.file("clean.bmp")), input);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"clean.bmp", "photo.bmp"}));
}

TEST(Run, EqualNamesWriteBesideTheInputNeverOverIt) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = writeSample(folder, "photo.bmp", 6, 5);
    const auto result = runProgram(folder.path(), "photo photo -1");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(afterBanner(result.output),
              console(names("photo", "photo") +
                      "入力ファイル名と出力ファイル名が同名です。\n出力ファイル名をphoto_2に変更します。\n" + MODE_MENU +
                      WAIT + DONE));
    EXPECT_EQ(contents(folder.file("photo.bmp")), input);
    EXPECT_EQ(contents(folder.file("photo_2.bmp")), input);
}

TEST(Run, NamesDifferingInCaseAreDifferentNames) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = writeSample(folder, "Photo.bmp", 4, 4);
    const auto result = runProgram(folder.path(), "Photo photo 5");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(afterBanner(result.output), console(names("Photo", "photo") + MODE_MENU + WAIT + DONE));
    EXPECT_EQ(contents(folder.file("photo.bmp")), input);
    EXPECT_FALSE(exists(folder.file("photo_2.bmp")));
}

TEST(Run, EachModeAsksOnlyItsOwnParameters) {
    // A 4x4 picture has no interior: each filter prints its heading alone.
    const std::string smoothing = "平滑化フィルタの処理中\n";
    const std::string neighbourhood = "メディアン・フィルタの処理中\n";
    struct Case {
        std::string answers;
        std::string dialogue_and_filter;
    } cases[] = {
        {"a b 0", MODE_MENU + WAIT + smoothing},
        {"a b x", MODE_MENU + WAIT + smoothing},  // not a number: mode stays 0
        {"a b 2", MODE_MENU + WAIT + neighbourhood},
        {"a b 1 20", MODE_MENU + COEFFICIENT_PROMPTS + WAIT + neighbourhood},
        {"a b 3 2", MODE_MENU + NOISE_MODE_MENU + WAIT + neighbourhood},
        {"a b 3 7", MODE_MENU + NOISE_MODE_MENU + WAIT + neighbourhood},
        {"a b 3 4 0.5 0.1", MODE_MENU + NOISE_MODE_MENU + THRESHOLD_PROMPTS + WAIT + neighbourhood},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        const std::vector<std::uint8_t> input = writeSample(folder, "a.bmp", 4, 4);
        const auto result = runProgram(folder.path(), c.answers);
        EXPECT_EQ(result.exit_status, 0) << c.answers;
        EXPECT_EQ(afterBanner(result.output), console(names("a", "b") + c.dialogue_and_filter + DONE)) << c.answers;
        EXPECT_EQ(contents(folder.file("b.bmp")), input) << c.answers;
    }
}

TEST(Run, EveryLayoutComesOutAsAByteForByteCopy) {
    struct Case {
        int width, height, info_header_size;
        bool top_down;
    } cases[] = {
        {1, 1, 40, false},    {2, 3, 40, false},     {3, 7, 40, false},  {5, 5, 40, true},  {7, 2, 108, false},
        {13, 11, 124, false}, {13, 11, 124, true},   {4, 2, 40, false},  {2000, 2000, 40, false},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        sample::BmpOptions options;
        options.info_header_size = c.info_header_size;
        options.top_down = c.top_down;
        const std::vector<std::uint8_t> input = writeSample(folder, "in.bmp", c.width, c.height, options);
        const auto result = runProgram(folder.path(), "in out 4");
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(contents(folder.file("out.bmp")), input) << c.width << "x" << c.height;
    }
}

TEST(Run, MissingInputEndsTheRunBeforeAnyFileIsMade) {
    TemporaryFolder folder;
    const auto result = runProgram(folder.path(), "nothere out 0");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(afterBanner(result.output), console(names("nothere", "out") + MODE_MENU + WAIT + READ_OPEN_FAILED));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(Run, BrokenFilesAreRefusedAndTheOldOutputSurvives) {
    const std::vector<std::uint8_t> good = sample::encodeBmp(sample::makeNoisyPicture(8, 8, 3));
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"truncated pixels", std::vector<std::uint8_t>(good.begin(), good.end() - 5)},
        {"truncated header", std::vector<std::uint8_t>(good.begin(), good.begin() + 30)},
        {"not a bmp", std::vector<std::uint8_t>(100, 'x')},
        {"32 bits", [&] { auto f = good; f[28] = 32; return f; }()},
        {"too wide", [&] { auto f = good; f[18] = 0x01; f[19] = 0x20; return f; }()},  // 8193
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), c.file));
        const std::vector<std::uint8_t> previous(10, 'p');
        ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
        const auto result = runProgram(folder.path(), "in out 0");
        EXPECT_EQ(result.exit_status, 1) << c.what;
        const std::string tail = afterBanner(result.output);
        const std::string before = console(names("in", "out") + MODE_MENU + WAIT);
        EXPECT_EQ(tail.compare(0, before.size(), before), 0) << c.what;
        EXPECT_EQ(tail.compare(before.size(), 9, "readBmp: "), 0) << c.what << ": " << tail;
        EXPECT_EQ(contents(folder.file("out.bmp")), previous) << c.what;
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << c.what;
    }
}

TEST(Run, PicturesPastTheStoreAreRefusedWithItsLimit) {
    // One pixel past 8192 either way, rows stored either way up; the
    // header alone decides, before any pixel is read.
    const std::vector<std::uint8_t> good = sample::encodeBmp(sample::makeNoisyPicture(8, 8, 3));
    const auto withField = [&](int offset, std::uint32_t value) {
        std::vector<std::uint8_t> file = good;
        for (int i = 0; i < 4; ++i) file[std::size_t(offset + i)] = std::uint8_t(value >> (8 * i));
        return file;
    };
    const std::vector<std::uint8_t> files[] = {withField(18, 8193), withField(22, 8193),
                                               withField(22, std::uint32_t(-8193))};
    for (const std::vector<std::uint8_t>& file : files) {
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), file));
        const auto result = runProgram(folder.path(), "in out 9");
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(afterBanner(result.output),
                  console(names("in", "out") + MODE_MENU + WAIT +
                          "readBmp: 画像が大きすぎます(幅・高さとも8192画素まで)!\n"));
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.bmp"});
    }
}

TEST(Run, InputThatIsAFolderIsRefused) {
    TemporaryFolder folder;
    ASSERT_EQ(mkdir(folder.file("in.bmp").c_str(), 0700), 0);
    const auto result = runProgram(folder.path(), "in out 0");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_NE(result.output.find("readBmp: "), std::string::npos);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.bmp"});
}

TEST(Run, OutputThatCannotBeCreatedLeavesNothingBehind) {
    for (const char* output : {"missing/out", "taken"}) {
        TemporaryFolder folder;
        writeSample(folder, "in.bmp", 5, 5);
        ASSERT_EQ(mkdir(folder.file("taken.bmp").c_str(), 0700), 0);
        const auto result = runProgram(folder.path(), std::string("in ") + output + " 9");
        EXPECT_EQ(result.exit_status, 1) << output;
        EXPECT_EQ(afterBanner(result.output), console(names("in", output) + MODE_MENU + WAIT + WRITE_OPEN_FAILED))
            << output;
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "taken.bmp"})) << output;
    }
}

TEST(Run, ALinkPlantedAtATemporaryNameIsLeftAlone) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = writeSample(folder, "in.bmp", 5, 5);
    std::string planted;
    testing_support::RunLimits limits;
    limits.before_start = [&](pid_t pid) {
        planted = "out.bmp." + std::to_string(pid) + "-0.tmp";
        ASSERT_EQ(symlink("victim.bmp", folder.file(planted).c_str()), 0);
    };
    const auto result = runProgram(folder.path(), "in out 9", limits);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(contents(folder.file("out.bmp")), input);
    EXPECT_FALSE(exists(folder.file("victim.bmp")));
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp", planted}));
}

TEST(Run, AFailedWriteKeepsTheExistingOutputWhole) {
    TemporaryFolder folder;
    writeSample(folder, "in.bmp", 100, 100);
    const std::vector<std::uint8_t> previous(500, 'p');
    ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
    testing_support::RunLimits limits;
    limits.file_size_limit_bytes = 4096;  // the picture needs about 30 KB
    const auto result = runProgram(folder.path(), "in out 9", limits);
    EXPECT_EQ(result.exit_status, 1);
    const std::string tail = afterBanner(result.output);
    const std::string before = console(names("in", "out") + MODE_MENU + WAIT);
    EXPECT_EQ(tail.compare(0, before.size(), before), 0);
    EXPECT_EQ(tail.compare(before.size(), 10, "writeBmp: "), 0) << tail;
    EXPECT_EQ(contents(folder.file("out.bmp")), previous);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}

TEST(Run, NamesThatDoNotFitAreRefusedBeforeAnyFileIsTouched) {
    const std::string longest(95, 'n');
    struct Case {
        std::string answers;
        bool refused;
    } cases[] = {
        {std::string(96, 'i') + " out 9", true},
        {std::string(1000000, 'i') + " out 9", true},
        {"in " + std::string(96, 'o') + " 9", true},
        {std::string(94, 's') + " " + std::string(94, 's') + " 9", true},  // no room for "_2"
        {std::string(93, 's') + " " + std::string(93, 's') + " 9", false},
        {"in " + longest + " 9", false},
        {"", true},     // standard input ends before the first name
        {"in", true},   // ... or before the second
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        writeSample(folder, "in.bmp", 5, 5);
        writeSample(folder, std::string(93, 's') + ".bmp", 5, 5);
        const std::vector<std::string> before = folder.entries();
        const auto result = runProgram(folder.path(), c.answers);
        const std::string shown = c.answers.substr(0, 40);
        if (c.refused) {
            EXPECT_EQ(result.exit_status, 1) << shown;
            EXPECT_EQ(result.output.find(console(WAIT)), std::string::npos) << shown;
            EXPECT_EQ(folder.entries(), before) << shown;
        } else {
            EXPECT_EQ(result.exit_status, 0) << shown;
            EXPECT_EQ(folder.entries().size(), before.size() + 1) << shown;
        }
    }
}
