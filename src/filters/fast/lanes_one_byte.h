// The portable lane type: one byte lane, so a band of one row, in plain
// whole numbers. What the program runs on a processor without SSE2, and
// what DENOISE_SCALAR_LANES builds on x86 to check it. Each operation is
// the one its wider forms do in every lane: the same wrap-around, the same
// saturation, the same signed or unsigned compare.
#pragma once

#include <cstdint>
#include <cstring>

namespace fast_wave {
inline namespace FAST_LANES_PATH {

constexpr int LANES = 1;

struct Bytes {
    std::uint8_t v;
};
struct Words {
    std::uint16_t v;
};
struct Dwords {
    std::int32_t v;
};
using Doubles = double;
constexpr int DOUBLE_GROUPS = 1;
constexpr bool FUSED_MULTIPLY_ADD = false;

// ---- bytes
FAST_LANES_INLINE Bytes loadBytes(const std::uint8_t* p) { return {*p}; }
FAST_LANES_INLINE void storeBytes(std::uint8_t* p, Bytes b) { *p = b.v; }
FAST_LANES_INLINE Bytes zeroBytes() { return {0}; }
FAST_LANES_INLINE Bytes everyByte(int v) { return {std::uint8_t(v)}; }
FAST_LANES_INLINE Bytes minimum(Bytes a, Bytes b) { return {a.v < b.v ? a.v : b.v}; }
FAST_LANES_INLINE Bytes maximum(Bytes a, Bytes b) { return {a.v < b.v ? b.v : a.v}; }
FAST_LANES_INLINE Bytes lessOrZero(Bytes a, Bytes b) { return {std::uint8_t(a.v > b.v ? a.v - b.v : 0)}; }
FAST_LANES_INLINE Bytes equal(Bytes a, Bytes b) { return {std::uint8_t(a.v == b.v ? 0xFF : 0)}; }
FAST_LANES_INLINE Bytes both(Bytes a, Bytes b) { return {std::uint8_t(a.v & b.v)}; }
FAST_LANES_INLINE Bytes either(Bytes a, Bytes b) { return {std::uint8_t(a.v | b.v)}; }
FAST_LANES_INLINE Bytes butNot(Bytes a, Bytes b) { return {std::uint8_t(a.v & ~b.v)}; }
FAST_LANES_INLINE Bytes select(Bytes mask, Bytes set, Bytes clear) {
    return {std::uint8_t((mask.v & set.v) | (~mask.v & clear.v))};
}
FAST_LANES_INLINE bool any(Bytes mask) { return mask.v != 0; }
FAST_LANES_INLINE Bytes laneNumbers() { return {0}; }

// The one lane takes the byte at `first`, the row above's.
FAST_LANES_INLINE Bytes lanesMovedUp(Bytes, const std::uint8_t* first) { return {*first}; }

// A square of one byte is its own transpose.
FAST_LANES_INLINE void transposeSquare(Bytes*) {}

// Four rows of one byte made a column: x[j] to target[j], j < 4.
template <int STRIDE>
FAST_LANES_INLINE void transposeFour(const Bytes* x, std::uint8_t* target) {
    for (int j = 0; j < 4; ++j) target[j] = x[j].v;
}

// ---- 16-bit lanes
FAST_LANES_INLINE Words widen(Bytes b) { return {b.v}; }
// (high << 8) | low.
FAST_LANES_INLINE Words bytePairs(Bytes low, Bytes high) { return {std::uint16_t(low.v | high.v << 8)}; }
FAST_LANES_INLINE std::int16_t signedOf(Words w) { return std::int16_t(w.v); }
// Signed saturation: masks stay masks. Unsigned: values held within 0..255.
FAST_LANES_INLINE Bytes narrowMask(Words w) {
    const int s = signedOf(w);
    return {std::uint8_t(s < -128 ? -128 : s > 127 ? 127 : s)};
}
FAST_LANES_INLINE Bytes narrowHeld(Words w) {
    const int s = signedOf(w);
    return {std::uint8_t(s < 0 ? 0 : s > 255 ? 255 : s)};
}
FAST_LANES_INLINE Words everyWord(int v) { return {std::uint16_t(v)}; }
FAST_LANES_INLINE Words operator+(Words a, Words b) { return {std::uint16_t(a.v + b.v)}; }
FAST_LANES_INLINE Words operator-(Words a, Words b) { return {std::uint16_t(a.v - b.v)}; }
FAST_LANES_INLINE Words mulLow(Words a, Words b) { return {std::uint16_t(std::uint32_t(a.v) * b.v)}; }
FAST_LANES_INLINE Words mulHigh(Words a, Words b) { return {std::uint16_t(std::uint32_t(a.v) * b.v >> 16)}; }
FAST_LANES_INLINE Words addHeld(Words a, Words b) {
    const unsigned sum = unsigned(a.v) + b.v;
    return {std::uint16_t(sum > 0xFFFF ? 0xFFFF : sum)};
}
FAST_LANES_INLINE Words lessOrZero(Words a, Words b) { return {std::uint16_t(a.v > b.v ? a.v - b.v : 0)}; }
FAST_LANES_INLINE Words equal(Words a, Words b) { return {std::uint16_t(a.v == b.v ? 0xFFFF : 0)}; }
FAST_LANES_INLINE Words greater(Words a, Words b) { return {std::uint16_t(signedOf(a) > signedOf(b) ? 0xFFFF : 0)}; }
FAST_LANES_INLINE Words either(Words a, Words b) { return {std::uint16_t(a.v | b.v)}; }
template <int N>
FAST_LANES_INLINE Words shiftedRight(Words w) {
    return {std::uint16_t(w.v >> N)};
}
FAST_LANES_INLINE void storeInLaneOrder(std::uint16_t* target, Words w) { *target = w.v; }

// ---- 32-bit lanes
FAST_LANES_INLINE Dwords widen(Words w) { return {w.v}; }
// Signed saturation to 16 bits.
FAST_LANES_INLINE Words narrow(const Dwords& d) {
    return {std::uint16_t(d.v < -32768 ? -32768 : d.v > 32767 ? 32767 : d.v)};
}
FAST_LANES_INLINE Dwords everyDword(int v) { return {v}; }
// Wrapping, as the lanes wrap.
FAST_LANES_INLINE Dwords operator+(const Dwords& a, const Dwords& b) {
    return {std::int32_t(std::uint32_t(a.v) + std::uint32_t(b.v))};
}
FAST_LANES_INLINE Dwords operator-(const Dwords& a, const Dwords& b) {
    return {std::int32_t(std::uint32_t(a.v) - std::uint32_t(b.v))};
}
FAST_LANES_INLINE Dwords greater(const Dwords& a, const Dwords& b) { return {a.v > b.v ? -1 : 0}; }
// a * b + c * d in 32 bits, from signed 16-bit lanes.
FAST_LANES_INLINE Dwords pairProducts(Words a, Words b, Words c, Words d) {
    const std::int64_t sum = std::int64_t(signedOf(a)) * signedOf(b) + std::int64_t(signedOf(c)) * signedOf(d);
    return {std::int32_t(std::uint32_t(sum))};
}

// ---- doubles: one group, the one lane
FAST_LANES_INLINE Doubles toDoubles(const Dwords& d, int) { return double(d.v); }
// Truncated, as a conversion to int truncates.
FAST_LANES_INLINE void setTruncated(Dwords& d, int, Doubles v) { d.v = std::int32_t(v); }
FAST_LANES_INLINE Doubles doublesAt(const double* table, const Dwords& index, int) { return table[index.v]; }
FAST_LANES_INLINE Doubles everyDouble(double v) { return v; }

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
