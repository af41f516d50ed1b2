// The lane type of the AVX2 and AVX-512 builds: 32 byte lanes in one
// 256-bit register, so a band of 32 rows. Every intrinsic of these paths is
// here; wave_*.h write the wavefront once in these names. The AVX-512 build
// compiles the same code with its own flags (the compiler then has 32
// registers and the EVEX forms).
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace fast_wave {
inline namespace FAST_LANES_PATH {

constexpr int LANES = 32;

struct Bytes {
    __m256i v;
};
// 16-bit lanes in two registers, 32-bit lanes in four, in the order the
// unpacks give them (lanes 0-7 and 16-23 first); the packs take them back.
struct Words {
    __m256i low, high;
};
struct Dwords {
    __m256i a, b, c, d;
};
// Doubles four at a time: a Dwords holds eight groups of them.
using Doubles = __m256d;
constexpr int DOUBLE_GROUPS = 8;
// The fused operations work mode 3's quotient out without the divider.
constexpr bool FUSED_MULTIPLY_ADD = true;
// Mode 1 runs in the wavefront on these lanes. With 16 lanes or fewer the
// row walk's mode 1, which walks only to the visits that may replace their
// value, was faster on small pictures (docs/speed.md), and stays.
#define FAST_LANES_WAVE_MEDIAN 1

// ---- bytes
FAST_LANES_INLINE Bytes loadBytes(const std::uint8_t* p) { return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))}; }
FAST_LANES_INLINE void storeBytes(std::uint8_t* p, Bytes b) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), b.v); }
FAST_LANES_INLINE Bytes zeroBytes() { return {_mm256_setzero_si256()}; }
FAST_LANES_INLINE Bytes everyByte(int v) { return {_mm256_set1_epi8(char(v))}; }
FAST_LANES_INLINE Bytes minimum(Bytes a, Bytes b) { return {_mm256_min_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes maximum(Bytes a, Bytes b) { return {_mm256_max_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes lessOrZero(Bytes a, Bytes b) { return {_mm256_subs_epu8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes equal(Bytes a, Bytes b) { return {_mm256_cmpeq_epi8(a.v, b.v)}; }
FAST_LANES_INLINE Bytes both(Bytes a, Bytes b) { return {_mm256_and_si256(a.v, b.v)}; }
FAST_LANES_INLINE Bytes either(Bytes a, Bytes b) { return {_mm256_or_si256(a.v, b.v)}; }
FAST_LANES_INLINE Bytes butNot(Bytes a, Bytes b) { return {_mm256_andnot_si256(b.v, a.v)}; }
FAST_LANES_INLINE Bytes select(Bytes mask, Bytes set, Bytes clear) { return {_mm256_blendv_epi8(clear.v, set.v, mask.v)}; }
FAST_LANES_INLINE bool any(Bytes mask) { return !_mm256_testz_si256(mask.v, mask.v); }
FAST_LANES_INLINE Bytes laneNumbers() {
    return {_mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                             24, 25, 26, 27, 28, 29, 30, 31)};
}

// Lane l takes lane l - 1's byte, lane 0 the byte at `first`, which has 31
// readable bytes before it.
FAST_LANES_INLINE Bytes lanesMovedUp(Bytes b, const std::uint8_t* first) {
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first - 31));
    return {_mm256_alignr_epi8(b.v, _mm256_permute2x128_si256(before, b.v, 0x21), 15)};
}

// x[c][r] becomes x[r][c], a 32 x 32 byte square: each 16 x 16 quarter by
// unpacks, then the quarters crossed.
FAST_LANES_INLINE void transposeHalves(Bytes* x) {
    __m256i s1[16], s2[16], s3[16];
    for (int p = 0; p < 8; ++p) {
        s1[2 * p] = _mm256_unpacklo_epi8(x[2 * p].v, x[2 * p + 1].v);
        s1[2 * p + 1] = _mm256_unpackhi_epi8(x[2 * p].v, x[2 * p + 1].v);
    }
    for (int q = 0; q < 4; ++q)
        for (int h = 0; h < 2; ++h) {
            s2[4 * q + 2 * h] = _mm256_unpacklo_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
            s2[4 * q + 2 * h + 1] = _mm256_unpackhi_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
        }
    for (int o = 0; o < 2; ++o)
        for (int g = 0; g < 4; ++g) {
            s3[8 * o + 2 * g] = _mm256_unpacklo_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
            s3[8 * o + 2 * g + 1] = _mm256_unpackhi_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
        }
    for (int m = 0; m < 8; ++m) {
        x[2 * m].v = _mm256_unpacklo_epi64(s3[m], s3[8 + m]);
        x[2 * m + 1].v = _mm256_unpackhi_epi64(s3[m], s3[8 + m]);
    }
}
FAST_LANES_INLINE void transposeSquare(Bytes* x) {
    transposeHalves(x);
    transposeHalves(x + 16);
    for (int c = 0; c < 16; ++c) {
        const __m256i first = x[c].v, second = x[16 + c].v;
        x[c].v = _mm256_permute2x128_si256(first, second, 0x20);
        x[16 + c].v = _mm256_permute2x128_si256(first, second, 0x31);
    }
}

// Byte k of x[j] to target[k * stride + j], j < 4: four rows made columns.
template <int STRIDE>
FAST_LANES_INLINE void transposeFour(const Bytes* x, std::uint8_t* target) {
    const __m256i a = _mm256_unpacklo_epi8(x[0].v, x[1].v), b = _mm256_unpackhi_epi8(x[0].v, x[1].v);
    const __m256i c = _mm256_unpacklo_epi8(x[2].v, x[3].v), d = _mm256_unpackhi_epi8(x[2].v, x[3].v);
    // k in [0-3 | 16-19], [4-7 | 20-23], [8-11 | 24-27], [12-15 | 28-31].
    alignas(32) std::uint32_t quads[4][8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(quads[0]), _mm256_unpacklo_epi16(a, c));
    _mm256_store_si256(reinterpret_cast<__m256i*>(quads[1]), _mm256_unpackhi_epi16(a, c));
    _mm256_store_si256(reinterpret_cast<__m256i*>(quads[2]), _mm256_unpacklo_epi16(b, d));
    _mm256_store_si256(reinterpret_cast<__m256i*>(quads[3]), _mm256_unpackhi_epi16(b, d));
#pragma GCC unroll 32
    for (int k = 0; k < LANES; ++k) __builtin_memcpy(target + k * STRIDE, &quads[(k % 16) / 4][k / 16 * 4 + k % 4], 4);
}

// ---- 16-bit lanes
FAST_LANES_INLINE Words widen(Bytes b) {
    return {_mm256_unpacklo_epi8(b.v, _mm256_setzero_si256()), _mm256_unpackhi_epi8(b.v, _mm256_setzero_si256())};
}
// (high << 8) | low in every 16-bit lane.
FAST_LANES_INLINE Words bytePairs(Bytes low, Bytes high) {
    return {_mm256_unpacklo_epi8(low.v, high.v), _mm256_unpackhi_epi8(low.v, high.v)};
}
// Signed saturation: masks stay masks. Unsigned: values held within 0..255.
FAST_LANES_INLINE Bytes narrowMask(Words w) { return {_mm256_packs_epi16(w.low, w.high)}; }
FAST_LANES_INLINE Bytes narrowHeld(Words w) { return {_mm256_packus_epi16(w.low, w.high)}; }
FAST_LANES_INLINE Words everyWord(int v) { return {_mm256_set1_epi16(short(v)), _mm256_set1_epi16(short(v))}; }
#define FAST_LANES_WORDS(name, op) \
    FAST_LANES_INLINE Words name(Words a, Words b) { return {op(a.low, b.low), op(a.high, b.high)}; }
FAST_LANES_WORDS(operator+, _mm256_add_epi16)
FAST_LANES_WORDS(operator-, _mm256_sub_epi16)
FAST_LANES_WORDS(mulLow, _mm256_mullo_epi16)
FAST_LANES_WORDS(mulHigh, _mm256_mulhi_epu16)
FAST_LANES_WORDS(addHeld, _mm256_adds_epu16)
FAST_LANES_WORDS(lessOrZero, _mm256_subs_epu16)
FAST_LANES_WORDS(equal, _mm256_cmpeq_epi16)
FAST_LANES_WORDS(greater, _mm256_cmpgt_epi16)
FAST_LANES_WORDS(either, _mm256_or_si256)
#undef FAST_LANES_WORDS
template <int N>
FAST_LANES_INLINE Words shiftedRight(Words w) {
    return {_mm256_srli_epi16(w.low, N), _mm256_srli_epi16(w.high, N)};
}
// The words in lane order, for a table looked up lane by lane.
FAST_LANES_INLINE void storeInLaneOrder(std::uint16_t* target, Words w) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), _mm256_permute2x128_si256(w.low, w.high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + 16), _mm256_permute2x128_si256(w.low, w.high, 0x31));
}

// ---- 32-bit lanes
FAST_LANES_INLINE Dwords widen(Words w) {
    const __m256i zero = _mm256_setzero_si256();
    return {_mm256_unpacklo_epi16(w.low, zero), _mm256_unpackhi_epi16(w.low, zero), _mm256_unpacklo_epi16(w.high, zero),
            _mm256_unpackhi_epi16(w.high, zero)};
}
// Signed saturation to 16 bits.
FAST_LANES_INLINE Words narrow(const Dwords& d) {
    return {_mm256_packs_epi32(d.a, d.b), _mm256_packs_epi32(d.c, d.d)};
}
FAST_LANES_INLINE Dwords everyDword(int v) {
    const __m256i all = _mm256_set1_epi32(v);
    return {all, all, all, all};
}
#define FAST_LANES_DWORDS(name, op)                                                            \
    FAST_LANES_INLINE Dwords name(const Dwords& a, const Dwords& b) {                          \
        return {op(a.a, b.a), op(a.b, b.b), op(a.c, b.c), op(a.d, b.d)};                      \
    }
FAST_LANES_DWORDS(operator+, _mm256_add_epi32)
FAST_LANES_DWORDS(operator-, _mm256_sub_epi32)
FAST_LANES_DWORDS(greater, _mm256_cmpgt_epi32)
#undef FAST_LANES_DWORDS
// a * b + c * d in 32-bit lanes, from signed 16-bit lanes.
FAST_LANES_INLINE Dwords pairProducts(Words a, Words b, Words c, Words d) {
    auto dot = [](__m256i a, __m256i b, __m256i c, __m256i d, bool high) {
        return high ? _mm256_madd_epi16(_mm256_unpackhi_epi16(a, c), _mm256_unpackhi_epi16(b, d))
                    : _mm256_madd_epi16(_mm256_unpacklo_epi16(a, c), _mm256_unpacklo_epi16(b, d));
    };
    return {dot(a.low, b.low, c.low, d.low, false), dot(a.low, b.low, c.low, d.low, true),
            dot(a.high, b.high, c.high, d.high, false), dot(a.high, b.high, c.high, d.high, true)};
}

// ---- doubles: group g is lanes 4g to 4g + 3 of a Dwords' registers in turn
FAST_LANES_INLINE __m256i& registerOf(Dwords& d, int r) { return r == 0 ? d.a : r == 1 ? d.b : r == 2 ? d.c : d.d; }
FAST_LANES_INLINE __m256i registerOf(const Dwords& d, int r) { return r == 0 ? d.a : r == 1 ? d.b : r == 2 ? d.c : d.d; }
FAST_LANES_INLINE __m128i quarterOf(const Dwords& d, int g) {
    return g % 2 ? _mm256_extracti128_si256(registerOf(d, g / 2), 1) : _mm256_castsi256_si128(registerOf(d, g / 2));
}
FAST_LANES_INLINE Doubles toDoubles(const Dwords& d, int g) { return _mm256_cvtepi32_pd(quarterOf(d, g)); }
// Truncated, as a conversion to int truncates; a register's groups are set
// in order, its low half first.
FAST_LANES_INLINE void setTruncated(Dwords& d, int g, Doubles v) {
    const __m128i whole = _mm256_cvttpd_epi32(v);
    __m256i& r = registerOf(d, g / 2);
    r = g % 2 ? _mm256_inserti128_si256(r, whole, 1) : _mm256_castsi128_si256(whole);
}
// table[index] for the group's lanes.
FAST_LANES_INLINE Doubles doublesAt(const double* table, const Dwords& index, int g) {
    return _mm256_i32gather_pd(table, quarterOf(index, g), 8);
}
FAST_LANES_INLINE Doubles everyDouble(double v) { return _mm256_set1_pd(v); }
FAST_LANES_INLINE Doubles squareRoot(Doubles v) { return _mm256_sqrt_pd(v); }
// c - a * b, and a * b + c, each rounded once.
FAST_LANES_INLINE Doubles fusedLessProduct(Doubles a, Doubles b, Doubles c) { return _mm256_fnmadd_pd(a, b, c); }
FAST_LANES_INLINE Doubles fusedPlusProduct(Doubles a, Doubles b, Doubles c) { return _mm256_fmadd_pd(a, b, c); }

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
