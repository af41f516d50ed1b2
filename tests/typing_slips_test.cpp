// The whole program under the slips real hands make: numbers typed
// full-width with a Japanese input method on, an answer file that starts
// with a byte-order mark. Each runs exactly as its plain counterpart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::exists;
using testing_support::runProgram;
using testing_support::shiftJis;
using testing_support::TemporaryFolder;
using namespace testing_support::texts;

namespace {

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
Outcome run(const std::string& answers) {
    TemporaryFolder folder;
    EXPECT_TRUE(sample::writeFile(folder.file("in.bmp"), picture(21)));
    const auto result = runProgram(folder.path(), answers);
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
