// The lane type of the SSE2 build (every x86-64 processor, and the 32-bit
// Windows program): 16 byte lanes in one 128-bit register, so a band of 16
// rows. Every intrinsic of this path is here. SSE2 has no byte blend, no
// test of a whole register and no fused operations: a mask selects by
// and/andnot/or, `any` asks movemask, and mode 3 looks its ratios up in
// mode_tables.h's table.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace fast_wave {
inline namespace FAST_LANES_PATH {

constexpr int LANES = 16;

struct Bytes {
    __m128i v;
};
// 16-bit lanes in two registers (lanes 0-7, 8-15), 32-bit lanes in four
// (0-3, 4-7, 8-11, 12-15), as the unpacks give them.
struct Words {
    __m128i low, high;
};
struct Dwords {
    __m128i a, b, c, d;
};
// Doubles two at a time: a Dwords holds eight groups of them.
using Doubles = __m128d;
constexpr int DOUBLE_GROUPS = 8;
constexpr bool FUSED_MULTIPLY_ADD = false;

// ---- bytes
FAST_LANES_INLINE Bytes loadBytes(const std::uint8_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
FAST_LANES_INLINE void storeBytes(std::uint8_t* p, Bytes b) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b.v); }
FAST_LANES_INLINE Bytes zeroBytes() { return {_mm_setzero_si128()}; }
FAST_LANES_INLINE Bytes everyByte(int v) { return {_mm_set1_epi8(char(v))}; }
FAST_LANES_INLINE Bytes minimum(Bytes a, Bytes b) { return {_mm_min_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes maximum(Bytes a, Bytes b) { return {_mm_max_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes lessOrZero(Bytes a, Bytes b) { return {_mm_subs_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes equal(Bytes a, Bytes b) { return {_mm_cmpeq_epi8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes both(Bytes a, Bytes b) { return {_mm_and_si128(a.v, b.v)}; }
FAST_LANES_INLINE Bytes either(Bytes a, Bytes b) { return {_mm_or_si128(a.v, b.v)}; }
FAST_LANES_INLINE Bytes butNot(Bytes a, Bytes b) { return {_mm_andnot_si128(b.v, a.v)}; }
FAST_LANES_INLINE Bytes select(Bytes mask, Bytes set, Bytes clear) {
    return {_mm_or_si128(_mm_and_si128(mask.v, set.v), _mm_andnot_si128(mask.v, clear.v))};
}
FAST_LANES_INLINE bool any(Bytes mask) { return _mm_movemask_epi8(mask.v) != 0; }
FAST_LANES_INLINE Bytes laneNumbers() { return {_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)}; }

// Lane l takes lane l - 1's byte, lane 0 the byte at `first`.
FAST_LANES_INLINE Bytes lanesMovedUp(Bytes b, const std::uint8_t* first) {
    return {_mm_or_si128(_mm_slli_si128(b.v, 1), _mm_cvtsi32_si128(*first))};
}

// x[c][r] becomes x[r][c], a 16 x 16 byte square, by four rounds of unpacks.
FAST_LANES_INLINE void transposeSquare(Bytes* x) {
    __m128i s1[16], s2[16], s3[16];
    for (int p = 0; p < 8; ++p) {
        s1[2 * p] = _mm_unpacklo_epi8(x[2 * p].v, x[2 * p + 1].v);
        s1[2 * p + 1] = _mm_unpackhi_epi8(x[2 * p].v, x[2 * p + 1].v);
    }
    for (int q = 0; q < 4; ++q)
        for (int h = 0; h < 2; ++h) {
            s2[4 * q + 2 * h] = _mm_unpacklo_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
            s2[4 * q + 2 * h + 1] = _mm_unpackhi_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
        }
    for (int o = 0; o < 2; ++o)
        for (int g = 0; g < 4; ++g) {
            s3[8 * o + 2 * g] = _mm_unpacklo_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
            s3[8 * o + 2 * g + 1] = _mm_unpackhi_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
        }
    for (int m = 0; m < 8; ++m) {
        x[2 * m].v = _mm_unpacklo_epi64(s3[m], s3[8 + m]);
        x[2 * m + 1].v = _mm_unpackhi_epi64(s3[m], s3[8 + m]);
    }
}

// Byte k of x[j] to target[k * STRIDE + j], j < 4: four rows made columns.
template <int STRIDE>
FAST_LANES_INLINE void transposeFour(const Bytes* x, std::uint8_t* target) {
    const __m128i a = _mm_unpacklo_epi8(x[0].v, x[1].v), b = _mm_unpackhi_epi8(x[0].v, x[1].v);
    const __m128i c = _mm_unpacklo_epi8(x[2].v, x[3].v), d = _mm_unpackhi_epi8(x[2].v, x[3].v);
    // k in 0-3, 4-7, 8-11, 12-15.
    alignas(16) std::uint32_t quads[4][4];
    _mm_store_si128(reinterpret_cast<__m128i*>(quads[0]), _mm_unpacklo_epi16(a, c));
    _mm_store_si128(reinterpret_cast<__m128i*>(quads[1]), _mm_unpackhi_epi16(a, c));
    _mm_store_si128(reinterpret_cast<__m128i*>(quads[2]), _mm_unpacklo_epi16(b, d));
    _mm_store_si128(reinterpret_cast<__m128i*>(quads[3]), _mm_unpackhi_epi16(b, d));
#pragma GCC unroll 16
    for (int k = 0; k < LANES; ++k) __builtin_memcpy(target + k * STRIDE, &quads[k / 4][k % 4], 4);
}

// ---- 16-bit lanes
FAST_LANES_INLINE Words widen(Bytes b) {
    return {_mm_unpacklo_epi8(b.v, _mm_setzero_si128()), _mm_unpackhi_epi8(b.v, _mm_setzero_si128())};
}
// (high << 8) | low in every 16-bit lane.
FAST_LANES_INLINE Words bytePairs(Bytes low, Bytes high) {
    return {_mm_unpacklo_epi8(low.v, high.v), _mm_unpackhi_epi8(low.v, high.v)};
}
// Signed saturation: masks stay masks. Unsigned: values held within 0..255.
FAST_LANES_INLINE Bytes narrowMask(Words w) { return {_mm_packs_epi16(w.low, w.high)}; }
FAST_LANES_INLINE Bytes narrowHeld(Words w) { return {_mm_packus_epi16(w.low, w.high)}; }
FAST_LANES_INLINE Words everyWord(int v) { return {_mm_set1_epi16(short(v)), _mm_set1_epi16(short(v))}; }
#define FAST_LANES_WORDS(name, op) \
    FAST_LANES_INLINE Words name(Words a, Words b) { return {op(a.low, b.low), op(a.high, b.high)}; }
FAST_LANES_WORDS(operator+, _mm_add_epi16)
FAST_LANES_WORDS(operator-, _mm_sub_epi16)
FAST_LANES_WORDS(mulLow, _mm_mullo_epi16)
FAST_LANES_WORDS(mulHigh, _mm_mulhi_epu16)
FAST_LANES_WORDS(addHeld, _mm_adds_epu16)
FAST_LANES_WORDS(lessOrZero, _mm_subs_epu16)
FAST_LANES_WORDS(equal, _mm_cmpeq_epi16)
FAST_LANES_WORDS(greater, _mm_cmpgt_epi16)
FAST_LANES_WORDS(either, _mm_or_si128)
#undef FAST_LANES_WORDS
template <int N>
FAST_LANES_INLINE Words shiftedRight(Words w) {
    return {_mm_srli_epi16(w.low, N), _mm_srli_epi16(w.high, N)};
}
// The words in lane order, for a table looked up lane by lane.
FAST_LANES_INLINE void storeInLaneOrder(std::uint16_t* target, Words w) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), w.low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 8), w.high);
}

// ---- 32-bit lanes
FAST_LANES_INLINE Dwords widen(Words w) {
    const __m128i zero = _mm_setzero_si128();
    return {_mm_unpacklo_epi16(w.low, zero), _mm_unpackhi_epi16(w.low, zero), _mm_unpacklo_epi16(w.high, zero),
            _mm_unpackhi_epi16(w.high, zero)};
}
// Signed saturation to 16 bits.
FAST_LANES_INLINE Words narrow(const Dwords& d) { return {_mm_packs_epi32(d.a, d.b), _mm_packs_epi32(d.c, d.d)}; }
FAST_LANES_INLINE Dwords everyDword(int v) {
    const __m128i all = _mm_set1_epi32(v);
    return {all, all, all, all};
}
#define FAST_LANES_DWORDS(name, op)                                       \
    FAST_LANES_INLINE Dwords name(const Dwords& a, const Dwords& b) {     \
        return {op(a.a, b.a), op(a.b, b.b), op(a.c, b.c), op(a.d, b.d)}; \
    }
FAST_LANES_DWORDS(operator+, _mm_add_epi32)
FAST_LANES_DWORDS(operator-, _mm_sub_epi32)
FAST_LANES_DWORDS(greater, _mm_cmpgt_epi32)
#undef FAST_LANES_DWORDS
// a * b + c * d in 32-bit lanes, from signed 16-bit lanes.
FAST_LANES_INLINE Dwords pairProducts(Words a, Words b, Words c, Words d) {
    auto dot = [](__m128i a, __m128i b, __m128i c, __m128i d, bool high) {
        return high ? _mm_madd_epi16(_mm_unpackhi_epi16(a, c), _mm_unpackhi_epi16(b, d))
                    : _mm_madd_epi16(_mm_unpacklo_epi16(a, c), _mm_unpacklo_epi16(b, d));
    };
    return {dot(a.low, b.low, c.low, d.low, false), dot(a.low, b.low, c.low, d.low, true),
            dot(a.high, b.high, c.high, d.high, false), dot(a.high, b.high, c.high, d.high, true)};
}

// ---- doubles: group g is lanes 2g and 2g + 1, half g % 2 of register g / 2
FAST_LANES_INLINE __m128i& registerOf(Dwords& d, int r) { return r == 0 ? d.a : r == 1 ? d.b : r == 2 ? d.c : d.d; }
FAST_LANES_INLINE __m128i registerOf(const Dwords& d, int r) { return r == 0 ? d.a : r == 1 ? d.b : r == 2 ? d.c : d.d; }
FAST_LANES_INLINE __m128i groupOf(const Dwords& d, int g) {
    const __m128i r = registerOf(d, g / 2);
    return g % 2 ? _mm_srli_si128(r, 8) : r;
}
FAST_LANES_INLINE Doubles toDoubles(const Dwords& d, int g) { return _mm_cvtepi32_pd(groupOf(d, g)); }
// Truncated, as a conversion to int truncates; a register's groups are set
// in order, its low half first.
FAST_LANES_INLINE void setTruncated(Dwords& d, int g, Doubles v) {
    const __m128i whole = _mm_cvttpd_epi32(v);
    __m128i& r = registerOf(d, g / 2);
    r = g % 2 ? _mm_unpacklo_epi64(r, whole) : whole;
}
// table[index] for the group's lanes.
FAST_LANES_INLINE Doubles doublesAt(const double* table, const Dwords& index, int g) {
    const __m128i i = groupOf(index, g);
    const int first = _mm_cvtsi128_si32(i);
    const int second = _mm_cvtsi128_si32(_mm_srli_si128(i, 4));
    return _mm_loadh_pd(_mm_load_sd(table + first), table + second);
}
FAST_LANES_INLINE Doubles everyDouble(double v) { return _mm_set1_pd(v); }

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
