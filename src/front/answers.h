// Where the dialogue reads its answers, and what it asks of the line a name
// was typed on.
#pragma once

#include <cstdio>

// The stream every answer is read from, with the formatted reads: standard
// input as answer_bytes.h gives it, or standard input itself where no such
// stream can be made. Opened at the first call.
std::FILE* answers();

