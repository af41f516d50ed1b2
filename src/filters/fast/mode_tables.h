// The tables modes 2 and 3 look their values up in: mode 2's blend of every
// (median, centre) pair, mode 3's spread ratio for every squared deviation
// sum. Every lane path's pass reads the same two, so they are made here once,
// with the plain build's instructions, rather than once in every path's file.
#pragma once

#include <cstdint>

#include "neighbourhood.h"

namespace fast_tables {

// blend_table[median][centre]: what mode 2's blend gives where the window
// is not flat (the flat case reads blend_table[centre][centre]).
extern std::uint8_t blend_table[256][256];
// crisp_ratio_by_squares[s]: sqrt(s / 25) / 128, as crispBlendValue is given it.
alignas(16) extern double crisp_ratio_by_squares[MAX_SQUARED_DEVIATION_SUM + 1];

// Each fills its table in whole the first time it is called (a millisecond
// or two). Every entry is a function of its index alone, so a table once
// made holds for every later picture.
void makeBlendTable();
void makeCrispRatios();

}  // namespace fast_tables
