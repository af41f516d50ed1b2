#include "answers.h"

#include "answer_bytes.h"
#include "platform_console.h"

namespace {

AnswerBytes standard_input_bytes;  // zero: at the very start
std::FILE* answer_stream = nullptr;

int nextStandardAnswerByte(int (*raw_byte)()) { return nextAnswerByte(&standard_input_bytes, raw_byte); }

// Blank as the end of a typed line may hold it: spaces, tabs, a CR.
bool isBlank(int byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\v' || byte == '\f'; }

}  // namespace

std::FILE* answers() {
    if (answer_stream == nullptr) answer_stream = openStandardInputThrough(nextStandardAnswerByte);
    // Untranslated answers rather than none.
    if (answer_stream == nullptr) answer_stream = stdin;
    return answer_stream;
}

bool moreTypedOnTheNamesLine() {
    if (!standardInputIsConsole()) return false;
    for (int byte; (byte = std::getc(answers())) != EOF && byte != '\n';)
        if (!isBlank(byte)) return true;
    return false;
}
