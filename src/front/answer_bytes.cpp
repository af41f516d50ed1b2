#include "answer_bytes.h"

#include <cstdio>

namespace {

enum AnswerStage { AT_START = 0, IN_NAMES, IN_NUMBERS };

// The dialogue asks two names (input, output), each one word as "%s" reads
// it; every answer after them is a number. Names are file names and pass
// untouched, full-width digits and all. A run whose names are not two such
// words is refused before any number is read.
constexpr int NAME_ANSWERS = 2;

constexpr int BYTE_ORDER_MARK[] = {0xEF, 0xBB, 0xBF};

// A run of full-width characters that end in consecutive bytes and stand
// for consecutive ASCII characters: `lead` then one byte from `low` to
// `high` reads as `first` plus that byte's distance from `low`.
struct FullWidthRun {
    int lead[2];
    int lead_length;
    int low, high;
    char first;
};

// Both encodings in both builds: the build fixes the console's output, not
// what is typed (a UTF-8 terminal or "chcp 65001" with the Shift-JIS build).
// Neither encoding's forms can begin a character of valid text in the other
// except after a byte no number takes (0x81 and 0x82 are UTF-8 continuation
// bytes; EF BC is no Shift-JIS character), and the read stops there first.
constexpr FullWidthRun FULL_WIDTH_RUNS[] = {
    {{0xEF, 0xBC}, 2, 0x90, 0x99, '0'},  // UTF-8: U+FF10..U+FF19 ０..９
    {{0xEF, 0xBC}, 2, 0x8B, 0x8B, '+'},  //        U+FF0B ＋
    {{0xEF, 0xBC}, 2, 0x8D, 0x8D, '-'},  //        U+FF0D －
    {{0xEF, 0xBC}, 2, 0x8E, 0x8E, '.'},  //        U+FF0E ．
    {{0x82, 0}, 1, 0x4F, 0x58, '0'},     // Shift-JIS: 824F..8258 ０..９
    {{0x81, 0}, 1, 0x7B, 0x7B, '+'},     //            817B ＋
    {{0x81, 0}, 1, 0x7C, 0x7C, '-'},     //            817C －
    {{0x81, 0}, 1, 0x44, 0x44, '.'},     //            8144 ．
};

// White space as "%s" and the number reads skip it (the C locale's).
constexpr bool isAnswerSpace(int byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

// The raw byte `index` places ahead, read from standard input when first asked for.
int peek(AnswerBytes* state, int (*raw_byte)(), int index) {
    while (state->ahead_count <= index) {
        const bool ended = state->ahead_count > 0 && state->ahead[state->ahead_count - 1] == EOF;
        state->ahead[state->ahead_count++] = ended ? EOF : raw_byte();
    }
    return state->ahead[index];
}

void drop(AnswerBytes* state, int count) {
    for (int i = count; i < state->ahead_count; ++i) state->ahead[i - count] = state->ahead[i];
    state->ahead_count -= count;
}

bool startsWithByteOrderMark(AnswerBytes* state, int (*raw_byte)()) {
    for (int i = 0; i < 3; ++i)
        if (peek(state, raw_byte, i) != BYTE_ORDER_MARK[i]) return false;
    return true;
}

// The ASCII character a full-width one at the front stands for, with its
// length in bytes; 0 where none begins there. A byte is read ahead only
// while the bytes before it still match a form.
char fullWidthAtFront(AnswerBytes* state, int (*raw_byte)(), int* length) {
    for (const FullWidthRun& run : FULL_WIDTH_RUNS) {
        int i = 0;
        while (i < run.lead_length && peek(state, raw_byte, i) == run.lead[i]) ++i;
        if (i < run.lead_length) continue;
        const int last = peek(state, raw_byte, i);
        if (last < run.low || last > run.high) continue;
        *length = run.lead_length + 1;
        return char(run.first + (last - run.low));
    }
    return 0;
}

void countNames(AnswerBytes* state, int byte) {
    if (!isAnswerSpace(byte)) {
        state->in_word = true;
        return;
    }
    if (!state->in_word) return;
    state->in_word = false;
    if (++state->names_passed == NAME_ANSWERS) state->stage = IN_NUMBERS;
}

}  // namespace

int nextAnswerByte(AnswerBytes* state, int (*raw_byte)()) {
    if (state->stage == AT_START) {
        state->stage = IN_NAMES;
        if (startsWithByteOrderMark(state, raw_byte)) drop(state, 3);
    }
    if (state->stage == IN_NUMBERS) {
        int length = 0;
        const char ascii = fullWidthAtFront(state, raw_byte, &length);
        if (ascii != 0) {
            drop(state, length);
            return static_cast<unsigned char>(ascii);
        }
    }
    const int byte = peek(state, raw_byte, 0);
    if (byte == EOF) return EOF;
    drop(state, 1);
    if (state->stage == IN_NAMES) countNames(state, byte);
    return byte;
}
