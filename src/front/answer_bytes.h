// What the dialogue's formatted reads are given of standard input: its bytes
// as they come, but
//  - without one UTF-8 byte-order mark at its very start (EF BB BF, which
//    an editor may put before the first answer of an answer file), and
//  - once the two names have gone by, with the full-width digits, plus,
//    minus and decimal point that a Japanese input method types read as
//    their ASCII forms ("３" as "3", "０．０５" as "0.05"), in Shift-JIS
//    and in UTF-8 alike.
// The formatted reads themselves stay the C library's: they see exactly the
// bytes they saw before wherever no full-width character was typed.
#pragma once

// One pass over standard input. Zero-initialised: at the very start.
struct AnswerBytes {
    int stage;         // AnswerStage (answer_bytes.cpp)
    int names_passed;  // words ended so far, while the names go by
    bool in_word;
    int ahead[3];  // raw bytes (or EOF) read but not yet given, oldest first
    int ahead_count;
};

// The next byte the formatted reads see (0..255), or EOF. `raw_byte` gives
// standard input's next byte or EOF; it is asked only for what is needed to
// decide this byte: one byte, or up to three where a full-width character
// or the byte-order mark may begin.
int nextAnswerByte(AnswerBytes* state, int (*raw_byte)());
