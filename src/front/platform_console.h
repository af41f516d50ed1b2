// The two calls about standard input that standard C++ cannot make: whether
// a person is typing at a console, and a stream that hands the formatted
// reads standard input's bytes as a filter makes them. POSIX and Windows
// forms live in platform_console.cpp alone.
#pragma once

#include <cstdio>

// True when standard input is a console or terminal, not a file or a pipe.
bool standardInputIsConsole();

// Gives the stream's next byte or EOF, taking standard input's raw bytes
// from `raw_byte` (each a byte or EOF) as it needs them.
using ByteFilter = int (*)(int (*raw_byte)());

// A stream whose bytes are `filter`'s, one after another, to EOF; nullptr
// where none can be made. Standard input is then read through it alone.
// The stream reads standard input as stdin would: on Windows in the same
// text mode, so a line's CR LF still reads as LF. On POSIX the filter is
// asked for a byte only when a read needs one; on Windows a thread of its
// own reads ahead, a line at a time from a console.
std::FILE* openStandardInputThrough(ByteFilter filter);
