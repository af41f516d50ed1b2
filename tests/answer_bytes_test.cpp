// What the formatted reads see of standard input's bytes, and how a typed
// name's last part is found: the pieces under the dialogue, in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "front/answer_bytes.h"
#include "front/platform_names.h"
#include "test_support.h"

using testing_support::shiftJis;

namespace {

// Standard input for one pass, and how often it was read.
const std::string* raw_text = nullptr;
std::size_t raw_at = 0;
int raw_reads = 0;

int nextRawByte() {
    ++raw_reads;
    return raw_at < raw_text->size() ? static_cast<unsigned char>((*raw_text)[raw_at++]) : EOF;
}

void startReading(const std::string& raw) {
    raw_text = &raw;
    raw_at = 0;
    raw_reads = 0;
}

// Everything the reads see of `raw`, to its end.
std::string seen(const std::string& raw) {
    startReading(raw);
    AnswerBytes state{};
    std::string bytes;
    for (int byte; (byte = nextAnswerByte(&state, nextRawByte)) != EOF;) bytes.push_back(char(byte));
    return bytes;
}

const std::string BOM = "\xEF\xBB\xBF";

}  // namespace

TEST(AnswerBytes, AsciiAnswersPassUnchangedAndAreReadNoFurtherThanAsked) {
    const std::string answers = "in out\n3\n  4 0x1p-3\t-inf\r\nnan(12) 1e999 +7 x\n";
    EXPECT_EQ(seen(answers), answers);
    // One raw byte per byte seen: nothing typed is taken before a read asks
    // for it, and the end is read once.
    startReading(answers);
    AnswerBytes state{};
    for (std::size_t i = 0; i < answers.size(); ++i) {
        ASSERT_EQ(nextAnswerByte(&state, nextRawByte), static_cast<unsigned char>(answers[i]));
        ASSERT_EQ(raw_reads, int(i) + 1);
    }
    EXPECT_EQ(nextAnswerByte(&state, nextRawByte), EOF);
    EXPECT_EQ(nextAnswerByte(&state, nextRawByte), EOF);
    EXPECT_EQ(raw_reads, int(answers.size()) + 1);
}

TEST(AnswerBytes, OneByteOrderMarkAtTheVeryStartIsSkipped) {
    EXPECT_EQ(seen(BOM + "in out 0\n"), "in out 0\n");
    EXPECT_EQ(seen(BOM), "");
    EXPECT_EQ(seen(BOM + BOM + "in"), BOM + "in");      // one only
    EXPECT_EQ(seen(" " + BOM + "in"), " " + BOM + "in");  // only at the very start
    EXPECT_EQ(seen("in " + BOM + "out"), "in " + BOM + "out");
    EXPECT_EQ(seen("in out " + BOM + "3"), "in out " + BOM + "3");
    // The start of other characters, or a mark cut short, stays as typed.
    for (const std::string& start : {std::string("\xEF\xBB\xB0x"), std::string("\xEF\xBBx"), std::string("\xEF"),
                                     std::string("\xEF\xBB"), std::string("\xEF\xBC\x93 out 3")})
        EXPECT_EQ(seen(start), start);
}

TEST(AnswerBytes, FullWidthNumbersAfterTheNamesReadAsAscii) {
    const std::string utf8 = "０１２３４５６７８９＋－．";
    const std::string ascii = "0123456789+-.";
    EXPECT_EQ(seen("in out " + utf8), "in out " + ascii);
    EXPECT_EQ(seen("in out " + shiftJis(utf8)), "in out " + ascii);
    // Mixed with ASCII and with each other, on lines of their own.
    EXPECT_EQ(seen("in\nout\n３\n４\n０．０５\n" + shiftJis("０．") + "00３\n"),
              "in\nout\n3\n4\n0.05\n0.003\n");
    EXPECT_EQ(seen("a b ２0 －1e" + shiftJis("－３")), "a b 20 -1e-3");
}

TEST(AnswerBytes, NamesPassAsTypedFullWidthDigitsAndAll) {
    const std::string input = "写真３", output = shiftJis("写真４");
    EXPECT_EQ(seen(input + " " + output + " ３"), input + " " + output + " 3");
    EXPECT_EQ(seen("\n\t " + input + "\n\n" + output + "\n３"), "\n\t " + input + "\n\n" + output + "\n3");
    // Until the second name has ended nothing is read as a number.
    EXPECT_EQ(seen("３ ４"), "３ ４");
}

TEST(AnswerBytes, OtherCharactersAndCutFormsStayAsTheyAre) {
    const std::string kept[] = {
        "Ａｅ　ー−",                           // full-width letters and space, long vowel mark, U+2212
        shiftJis("Ａｅ　ー"),                   //  (0x8260 0x8285 0x8140 0x815B in Shift-JIS)
        "\xEF\xBC\x8F\xEF\xBC\x9A",           // U+FF0F, U+FF1A: either side of the digits
        "\x82\x4E\x82\x59\x81\x7A\x81\x7D\x81\x43\x81\x45",  // Shift-JIS neighbours of each form
        "\xEF\xBC",                           // cut short by the end
        "\x82",
        "\xEF\xBB\xBF",                       // the mark, this late
    };
    for (const std::string& text : kept) EXPECT_EQ(seen("in out " + text), "in out " + text) << text;
    // A form cut short is read as it stands; what follows it is still read.
    EXPECT_EQ(seen("in out \xEF\xBC" "5\xEF\xBC\x95"), "in out \xEF\xBC" "55");
    EXPECT_EQ(seen("in out \x82\x82\x4F"), "in out \x82" "0");
}

TEST(PlatformNames, ANameEndingInAFolderSeparatorHasNoLastPart) {
    for (const char* empty : {"", "/", "sub/", "a/b/", "sub//", "./"}) EXPECT_TRUE(lastPartIsEmpty(empty)) << empty;
    for (const char* named : {"in", "sub/in", "/in", "sub/.", "..", "a.bmp", "表"})
        EXPECT_FALSE(lastPartIsEmpty(named)) << named;
    // Only Windows takes a backslash for a separator, and "C:" for a drive's folder.
#ifdef _WIN32
    for (const char* empty : {"sub\\", "C:", "C:\\"}) EXPECT_TRUE(lastPartIsEmpty(empty)) << empty;
#else
    for (const char* named : {"sub\\", "C:"}) EXPECT_FALSE(lastPartIsEmpty(named)) << named;
#endif
}
