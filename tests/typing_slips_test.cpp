// The whole program under the slips real hands make: a name typed with a
// blank at a console, numbers typed full-width with a Japanese input method
// on, an answer file that starts with a byte-order mark, a name that ends
// in a folder separator. Each either runs exactly as its plain counterpart
// or is refused before any file is touched.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::exists;
using testing_support::runProgram;
using testing_support::shiftJis;
using testing_support::TemporaryFolder;
using namespace testing_support::texts;

namespace {

const std::string INPUT_PROMPT = "入力ファイル名(英数字のみ・拡張子不要)：";
const std::string OUTPUT_PROMPT = "\n出力ファイル名(英数字のみ・拡張子不要)：";
const std::string INPUT_HAS_BLANK =
    "\n入力ファイル名に空白は使えません(名前は1行に1つ、空白なしで入力してください)。処理を中止します。\n";
const std::string OUTPUT_HAS_BLANK =
    "\n出力ファイル名に空白は使えません(名前は1行に1つ、空白なしで入力してください)。処理を中止します。\n";
const std::string INPUT_ENDS_IN_FOLDER =
    "\n入力ファイル名がフォルダの区切りで終わっていて、ファイル名がありません。処理を中止します。\n";
const std::string OUTPUT_ENDS_IN_FOLDER =
    "\n出力ファイル名がフォルダの区切りで終わっていて、ファイル名がありません。処理を中止します。\n";

std::vector<std::uint8_t> picture(int seed) { return sample::encodeBmp(sample::makeNoisyPicture(14, 12, seed)); }

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct Outcome {
    int exit_status;
    std::string transcript;
    std::vector<std::uint8_t> output;  // out.bmp, empty when none was written
};

// One run in a fresh folder holding in.bmp, writing out.bmp.
Outcome run(const std::string& answers, bool typed_at_terminal = false) {
    TemporaryFolder folder;
    EXPECT_TRUE(sample::writeFile(folder.file("in.bmp"), picture(21)));
    testing_support::RunLimits limits;
    limits.typed_at_terminal = typed_at_terminal;
    const auto result = runProgram(folder.path(), answers, limits);
    Outcome outcome{result.exit_status, result.output, {}};
    if (exists(folder.file("out.bmp"))) outcome.output = contents(folder.file("out.bmp"));
    return outcome;
}

// Each typed form must run exactly as its plain ASCII counterpart: same
// exit status, transcript and output file.
void expectSameRuns(const std::string& typed, const std::string& plain) {
    const Outcome expected = run(plain);
    const Outcome actual = run(typed);
    EXPECT_EQ(actual.exit_status, expected.exit_status) << typed;
    EXPECT_EQ(actual.transcript, expected.transcript) << typed << " vs " << plain;
    EXPECT_EQ(actual.output, expected.output) << typed << " vs " << plain;
}

// Full-width answers as typed (UTF-8), after the names, with their ASCII forms.
struct FullWidthCase {
    std::string typed, plain;
};

// Each case in UTF-8 and in Shift-JIS: both builds read both.
void expectSameRunsInBothEncodings(const std::vector<FullWidthCase>& cases) {
    for (const FullWidthCase& c : cases) {
        expectSameRuns("in out " + c.typed, "in out " + c.plain);
        expectSameRuns("in out " + shiftJis(c.typed), "in out " + c.plain);
    }
}

}  // namespace

TEST(FullWidthAnswers, NumbersRunAsTheirAsciiForms) {
    expectSameRunsInBothEncodings({
        {"３ １", "3 1"},                                   // mode 3, not the smoothing filter
        {"２", "2"},
        {"１ ２０", "1 20"},                                // coefficient 20, not 0
        {"３\n４\n０．０５\n０．００３\n", "3\n4\n0.05\n0.003\n"},  // thresholds, not 0
        {"１ ２0", "1 20"},                                 // mixed with ASCII
        {"３ 4 0.０５ ０.003", "3 4 0.05 0.003"},
        {"１ －１", "1 -1"},                                // signs
        {"＋１ ＋２０", "+1 +20"},
        {"１ ２ｅ１", "1 2"},                               // the read stops where it stopped
        {"３ ４２９４９６７２９７", "3 4294967297"},        // beyond 32 bits, as in ASCII
    });
    // And the runs compared are not all alike.
    EXPECT_NE(run("in out 3 1").transcript, run("in out 0").transcript);
    EXPECT_NE(run("in out 1 20").output, run("in out 1 0").output);
}

TEST(FullWidthAnswers, WhatIsStillNotANumberActsAsInAscii) {
    // A failed read leaves in the stream what it leaves of the ASCII form:
    // here what follows a lone sign or point is the smallest threshold.
    expectSameRunsInBothEncodings({
        {"３ ４ － ０．１", "3 4 - 0.1"},
        {"３ ４ ． ０．２", "3 4 . 0.2"},
        {"３ ４ ＋． ０．２", "3 4 +. 0.2"},
        {"１ －－２", "1 --2"},
        {"ｘ", "x"},                      // a full-width letter is no number either
        {"３ ４ ０．５ 　０．１", "3 4 0.5 x"},  // nor a full-width space
    });
}

TEST(FullWidthAnswers, NamesAreTakenAsTyped) {
    for (bool in_shift_jis : {false, true}) {
        const auto encoded = [&](const std::string& utf8) { return in_shift_jis ? shiftJis(utf8) : utf8; };
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file(encoded("写真３.bmp")), picture(1)));
        ASSERT_TRUE(sample::writeFile(folder.file(encoded("写真3.bmp")), picture(2)));
        const auto result = runProgram(folder.path(), encoded("写真３ 結果２ ９"));
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(contents(folder.file(encoded("結果２.bmp"))), picture(1)) << in_shift_jis;
        EXPECT_EQ(folder.entries().size(), 3u) << in_shift_jis;
    }
}

TEST(ByteOrderMark, OneMarkBeforeTheFirstAnswerIsSkipped) {
    const std::string mark = "\xEF\xBB\xBF";
    expectSameRuns(mark + "in\nout\n9\n", "in\nout\n9\n");
    expectSameRuns(mark + "in\r\nout\r\n3\r\n2\r\n", "in\nout\n3\n2\n");
    EXPECT_EQ(run(mark + "in out 9").output, picture(21));
    // Only one, and only at the very start: elsewhere it is part of a name.
    for (const std::string& answers : {mark + mark + "in out 9", " " + mark + "in out 9"}) {
        const Outcome outcome = run(answers);
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_TRUE(endsWith(outcome.transcript, console(WAIT + READ_OPEN_FAILED)));
        EXPECT_NE(outcome.transcript.find(mark + "in.bmp"), std::string::npos);
    }
}

TEST(FolderNames, ANameWithNothingAfterItsLastSlashIsRefusedBeforeAnyFileIsTouched) {
    const struct {
        std::string answers, refusal;
    } cases[] = {
        {"in sub/ 9", OUTPUT_ENDS_IN_FOLDER},
        {"in sub// 0", OUTPUT_ENDS_IN_FOLDER},
        {"in / 9", OUTPUT_ENDS_IN_FOLDER},
        {"sub/ out 9", INPUT_ENDS_IN_FOLDER},  // although sub/.bmp is there
        {"./ out 9", INPUT_ENDS_IN_FOLDER},
    };
    for (const auto& c : cases) {
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture(3)));
        ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0700), 0);
        ASSERT_TRUE(sample::writeFile(folder.file("sub/.bmp"), picture(4)));
        const auto result = runProgram(folder.path(), c.answers);
        EXPECT_EQ(result.exit_status, 1) << c.answers;
        EXPECT_TRUE(endsWith(result.output, console(c.refusal))) << c.answers;
        EXPECT_EQ(result.output.find(console(WAIT)), std::string::npos) << c.answers;
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "sub"})) << c.answers;
        EXPECT_EQ(contents(folder.file("sub/.bmp")), picture(4)) << c.answers;
        EXPECT_FALSE(exists(folder.file("sub/out.bmp"))) << c.answers;
    }
    // A name in the folder is still a name.
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture(3)));
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0700), 0);
    EXPECT_EQ(runProgram(folder.path(), "in sub/out 9").exit_status, 0);
    EXPECT_EQ(contents(folder.file("sub/out.bmp")), picture(3));
}

namespace {

// A folder holding my.bmp and photo.bmp, as when "my photo" was meant as one name.
struct TwoPictures {
    TemporaryFolder folder;
    TwoPictures() {
        EXPECT_TRUE(sample::writeFile(folder.file("my.bmp"), picture(5)));
        EXPECT_TRUE(sample::writeFile(folder.file("photo.bmp"), picture(6)));
    }
    bool untouched() const {
        return folder.entries() == std::vector<std::string>{"my.bmp", "photo.bmp"} &&
               contents(folder.file("my.bmp")) == picture(5) && contents(folder.file("photo.bmp")) == picture(6);
    }
};

testing_support::RunResult typedAtTerminal(const TemporaryFolder& folder, const std::string& keys) {
    testing_support::RunLimits limits;
    limits.typed_at_terminal = true;
    return runProgram(folder.path(), keys, limits);
}

}  // namespace

TEST(TypedNames, ANameWithABlankTypedAtAConsoleIsRefusedBeforeAnyFileIsTouched) {
    {
        TwoPictures pictures;
        const auto result = typedAtTerminal(pictures.folder, "my photo\n9\n");
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_TRUE(endsWith(result.output, console(INPUT_PROMPT + INPUT_HAS_BLANK)));
        EXPECT_TRUE(pictures.untouched());
    }
    {
        TwoPictures pictures;
        const auto result = typedAtTerminal(pictures.folder, "my\nmy photo\n9\n");
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_TRUE(endsWith(result.output, console("入力ファイル名 : my.bmp\n\nファイルの上書き注意！(別名で保存しましょう）" +
                                                    OUTPUT_PROMPT + OUTPUT_HAS_BLANK)));
        EXPECT_TRUE(pictures.untouched());
    }
    // Two answers on one line are two words on a name's line too.
    for (const char* keys : {"my photo", "my\tphoto 9", "my \t photo", "my\nphoto 9", "my\nphoto x"}) {
        TwoPictures pictures;
        const auto result = typedAtTerminal(pictures.folder, std::string(keys) + "\n");
        EXPECT_EQ(result.exit_status, 1) << keys;
        EXPECT_EQ(result.output.find(console(WAIT)), std::string::npos) << keys;
        EXPECT_TRUE(pictures.untouched()) << keys;
    }
}

TEST(TypedNames, BlanksAfterANameTypedAtAConsoleAreFine) {
    TwoPictures pictures;
    const auto result = typedAtTerminal(pictures.folder, "\n  my \t \nphoto  \n\n 9\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(contents(pictures.folder.file("photo.bmp")), picture(5));
    // Typed, with full-width digits, exactly as from a file.
    const Outcome typed = run("in\nout\n３\n" + shiftJis("４") + "\n０．５\n０．０１\n", true);
    const Outcome plain = run("in out 3 4 0.5 0.01");
    EXPECT_EQ(typed.exit_status, 0);
    EXPECT_EQ(typed.transcript, plain.transcript);
    EXPECT_EQ(typed.output, plain.output);
}

TEST(TypedNames, FromAFileOrAPipeSeveralAnswersOnALineWorkAsBefore) {
    // There the answers are read word by word, as they always were: "my
    // photo" is the input and the output name.
    TwoPictures pictures;
    const auto result = runProgram(pictures.folder.path(), "my photo 9\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(endsWith(result.output, console(DONE)));
    EXPECT_EQ(contents(pictures.folder.file("photo.bmp")), picture(5));
}
