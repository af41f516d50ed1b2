// The headings and progress lines every filter prints.
#pragma once

#include <cstdio>

// "進行度" line for `row` of a picture `height` rows high, `count` times.
// Mode 0 prints the same line once per pixel, so millions of them: the line
// is formatted once and written in large blocks.
void printProgressLines(std::FILE* console, int row, int height, long count);
