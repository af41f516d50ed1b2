// Where the dialogue reads its answers, and what it asks of the line a name
// was typed on.
#pragma once

#include <cstdio>

// The stream every answer is read from, with the formatted reads: standard
// input as answer_bytes.h gives it, or standard input itself where no such
// stream can be made. Opened at the first call.
std::FILE* answers();

// True when a person typing at a console put more than the name just read
// on its line ("my photo" for a photo named with a blank). Reads the rest
// of that line: blanks before its end are fine. Answers from a file or a
// pipe are left as they are and never hold more: there several answers on
// a line are as good as one a line.
bool moreTypedOnTheNamesLine();
