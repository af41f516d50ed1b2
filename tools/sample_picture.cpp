#include "sample_picture.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace sample {
namespace {

// Separate streams so that e.g. the noise of seed 1 is not correlated with
// the scene layout of seed 1.
constexpr std::uint64_t kSceneStream = 0x5343454e45ULL;
constexpr std::uint64_t kGaussStream = 0x4741555353ULL;
constexpr std::uint64_t kSaltStream = 0x53414c54ULL;
constexpr std::uint64_t kRandomStream = 0x52414e44ULL;

// splitmix64: tiny, well mixed and identical everywhere, unlike the
// standard library distributions.
class Rng {
public:
    Rng(std::uint32_t seed, std::uint64_t stream)
        : state_((seed * 0x9E3779B97F4A7C15ULL) ^ stream) {}

    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Value in [0, n) for n >= 1 by multiply-shift; the tiny bias is harmless here.
    int below(int n) {
        const std::uint64_t high = next() >> 32;
        return static_cast<int>((high * static_cast<std::uint64_t>(n)) >> 32);
    }

private:
    std::uint64_t state_;
};

struct Rgb {
    int r, g, b;
};

int clampByte(long long v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

int blend(int a, int b, long long t, long long den) {
    return a + static_cast<int>((b - a) * t / den);
}

Rgb blend(const Rgb& a, const Rgb& b, long long t, long long den) {
    return {blend(a.r, b.r, t, den), blend(a.g, b.g, t, den), blend(a.b, b.b, t, den)};
}

std::size_t indexOf(const Picture& p, int x, int y) {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)) * 3;
}

Rgb getPixel(const Picture& p, int x, int y) {
    const std::size_t i = indexOf(p, x, y);
    return {p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
}

void setPixel(Picture& p, int x, int y, const Rgb& c) {
    const std::size_t i = indexOf(p, x, y);
    p.rgb[i] = static_cast<std::uint8_t>(clampByte(c.r));
    p.rgb[i + 1] = static_cast<std::uint8_t>(clampByte(c.g));
    p.rgb[i + 2] = static_cast<std::uint8_t>(clampByte(c.b));
}

bool consistent(const Picture& p) {
    return p.width > 0 && p.height > 0 &&
           p.rgb.size() == static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 3;
}

Picture allocate(int width, int height) {
    Picture p;
    if (width <= 0 || height <= 0) return p;
    p.width = width;
    p.height = height;
    p.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
    return p;
}

// One statement per draw: the order of draws must not depend on how a
// compiler sequences initialiser lists or function arguments.
Rgb randomColour(Rng& rng, const Rgb& low, const Rgb& spread) {
    Rgb c;
    c.r = low.r + rng.below(spread.r);
    c.g = low.g + rng.below(spread.g);
    c.b = low.b + rng.below(spread.b);
    return c;
}

// Sky above a horizon, ground below, with a slight left-right light falloff.
void paintBackground(Picture& p, Rng& rng) {
    const int horizon = p.height * (40 + rng.below(25)) / 100;
    const Rgb skyTop = randomColour(rng, {30, 60, 150}, {30, 40, 60});
    const Rgb skyLow = randomColour(rng, {170, 195, 225}, {40, 30, 25});
    const Rgb groundFar = randomColour(rng, {80, 120, 50}, {40, 40, 30});
    const Rgb groundNear = randomColour(rng, {30, 60, 20}, {30, 30, 20});
    const int tilt = rng.below(41) - 20;
    const long long skyRows = horizon > 1 ? horizon - 1 : 1;
    const long long groundRows = p.height - 1 - horizon > 0 ? p.height - 1 - horizon : 1;
    const long long span = p.width > 1 ? p.width - 1 : 1;

    for (int y = 0; y < p.height; ++y) {
        const Rgb base = y < horizon ? blend(skyTop, skyLow, y, skyRows)
                                     : blend(groundFar, groundNear, y - horizon, groundRows);
        for (int x = 0; x < p.width; ++x) {
            const int shade = static_cast<int>(tilt * (2LL * x - span) / span);
            setPixel(p, x, y, {base.r + shade, base.g + shade, base.b + shade});
        }
    }
}

// A diagonal band of warm light whose strength falls off linearly from its
// centre line, so it has no hard edge.
void paintSoftStripe(Picture& p, Rng& rng) {
    const bool rising = rng.below(2) == 1;
    const int extent = p.width + p.height - 1;
    const int centre = rng.below(extent);
    const int half = extent / 16 > 2 ? extent / 16 : 2;
    const Rgb warm{250, 225, 170};

    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const int along = rising ? x + (p.height - 1 - y) : x + y;
            const int distance = along > centre ? along - centre : centre - along;
            const int weight = half - distance;
            if (weight <= 0) continue;
            setPixel(p, x, y, blend(getPixel(p, x, y), warm, weight, 2LL * half));
        }
    }
}

void fillRect(Picture& p, int x0, int y0, int x1, int y1, const Rgb& c) {
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > p.width) x1 = p.width;
    if (y1 > p.height) y1 = p.height;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) setPixel(p, x, y, c);
}

void fillDisc(Picture& p, int cx, int cy, int radius, const Rgb& c) {
    const long long limit = static_cast<long long>(radius) * radius;
    const int y0 = cy - radius > 0 ? cy - radius : 0;
    const int y1 = cy + radius < p.height - 1 ? cy + radius : p.height - 1;
    const int x0 = cx - radius > 0 ? cx - radius : 0;
    const int x1 = cx + radius < p.width - 1 ? cx + radius : p.width - 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const long long dx = x - cx;
            const long long dy = y - cy;
            if (dx * dx + dy * dy <= limit) setPixel(p, x, y, c);
        }
    }
}

void paintShapes(Picture& p, Rng& rng) {
    const int small = p.width < p.height ? p.width : p.height;

    // A sun high in the sky.
    const int sunX = rng.below(p.width);
    const int sunY = rng.below(p.height / 4 + 1);
    fillDisc(p, sunX, sunY, 1 + small / 12, {255, 240, 200});

    const int count = 3 + rng.below(4);
    for (int i = 0; i < count; ++i) {
        const Rgb colour = randomColour(rng, {20, 20, 20}, {216, 216, 216});
        const int cx = rng.below(p.width);
        const int cy = rng.below(p.height);
        if (rng.below(2) == 0) {
            const int w = 1 + small / 8 + rng.below(small / 4 + 1);
            const int h = 1 + small / 8 + rng.below(small / 4 + 1);
            fillRect(p, cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h, colour);
        } else {
            fillDisc(p, cx, cy, 1 + small / 16 + rng.below(small / 6 + 1), colour);
        }
    }
}

// Sum of twelve 12-bit uniforms minus their mean: roughly normal with a
// standard deviation of 4096 (variance 12 * (4096^2 - 1) / 12).
int gaussianSample(Rng& rng) {
    int sum = 0;
    for (int draw = 0; draw < 3; ++draw) {
        std::uint64_t bits = rng.next();
        for (int k = 0; k < 4; ++k) {
            sum += static_cast<int>(bits & 0xFFF);
            bits >>= 16;
        }
    }
    return sum - 12 * 4095 / 2;
}

// Rounds half away from zero, so positive and negative noise are symmetric.
long long divideRounded(long long num, long long den) {
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Two's complement, written out explicitly.
void putSigned32(std::vector<std::uint8_t>& out, std::int32_t v) { put32(out, static_cast<std::uint32_t>(v)); }

void putZeros(std::vector<std::uint8_t>& out, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) out.push_back(0);
}

std::uint32_t get16(const std::vector<std::uint8_t>& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8);
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return get16(in, at) | (get16(in, at + 2) << 16);
}

long long getSigned32(const std::vector<std::uint8_t>& in, std::size_t at) {
    const std::uint32_t v = get32(in, at);
    return v >= 0x80000000u ? static_cast<long long>(v) - 0x100000000LL : static_cast<long long>(v);
}

std::uint64_t paddedRowSize(std::uint64_t width) { return (width * 3 + 3) / 4 * 4; }

bool knownInfoSize(std::uint32_t size) { return size == 40 || size == 108 || size == 124; }

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi
constexpr std::uint32_t kColourSpaceSrgb = 0x73524742;  // 'sRGB'
constexpr std::uint32_t kIntentImages = 4;              // LCS_GM_IMAGES

void putInfoHeader(std::vector<std::uint8_t>& out, const Picture& p, const BmpOptions& options,
                   std::uint32_t imageSize) {
    put32(out, static_cast<std::uint32_t>(options.info_header_size));
    putSigned32(out, p.width);
    putSigned32(out, options.top_down ? -p.height : p.height);
    put16(out, 1);   // planes
    put16(out, 24);  // bits per pixel
    put32(out, 0);   // BI_RGB, uncompressed
    put32(out, imageSize);
    putSigned32(out, kPixelsPerMetre);
    putSigned32(out, kPixelsPerMetre);
    put32(out, 0);  // colours used
    put32(out, 0);  // important colours
    if (options.info_header_size < 108) return;
    putZeros(out, 16);  // red, green, blue, alpha masks (unused with BI_RGB)
    put32(out, kColourSpaceSrgb);
    putZeros(out, 36 + 12);  // endpoints and gamma, ignored for sRGB
    if (options.info_header_size < 124) return;
    put32(out, kIntentImages);
    put32(out, 0);  // profile data offset
    put32(out, 0);  // profile size
    put32(out, 0);  // reserved
}

void putPixelRows(std::vector<std::uint8_t>& out, const Picture& p, bool topDown) {
    const std::uint64_t padding = paddedRowSize(static_cast<std::uint64_t>(p.width)) - 3ULL * p.width;
    for (int i = 0; i < p.height; ++i) {
        const int row = topDown ? i : p.height - 1 - i;
        for (int x = 0; x < p.width; ++x) {
            const std::size_t at = indexOf(p, x, row);
            out.push_back(p.rgb[at + 2]);
            out.push_back(p.rgb[at + 1]);
            out.push_back(p.rgb[at]);
        }
        putZeros(out, padding);
    }
}

}  // namespace

Picture makeCleanPicture(int width, int height, std::uint32_t seed) {
    Picture p = allocate(width, height);
    if (!consistent(p)) return p;
    Rng rng(seed, kSceneStream);
    paintBackground(p, rng);
    paintSoftStripe(p, rng);
    paintShapes(p, rng);
    return p;
}

void addGaussianNoise(Picture& picture, int sigma_times_10, std::uint32_t seed) {
    if (sigma_times_10 <= 0) return;
    Rng rng(seed, kGaussStream);
    for (std::uint8_t& value : picture.rgb) {
        const long long delta = divideRounded(static_cast<long long>(gaussianSample(rng)) * sigma_times_10, 4096LL * 10);
        value = static_cast<std::uint8_t>(clampByte(value + delta));
    }
}

void addSaltAndPepper(Picture& picture, int per_mille, std::uint32_t seed) {
    if (per_mille <= 0 || !consistent(picture)) return;
    Rng rng(seed, kSaltStream);
    for (std::size_t i = 0; i < picture.rgb.size(); i += 3) {
        if (rng.below(1000) >= per_mille) continue;
        const std::uint8_t value = rng.below(2) == 0 ? 0 : 255;
        picture.rgb[i] = picture.rgb[i + 1] = picture.rgb[i + 2] = value;
    }
}

Picture makeNoisyPicture(int width, int height, std::uint32_t seed) {
    Picture p = makeCleanPicture(width, height, seed);
    addGaussianNoise(p, 120, seed);
    addSaltAndPepper(p, 20, seed);
    return p;
}

Picture makeRandomPicture(int width, int height, std::uint32_t seed) {
    Picture p = allocate(width, height);
    Rng rng(seed, kRandomStream);
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < p.rgb.size(); ++i) {
        if (i % 8 == 0) bits = rng.next();
        p.rgb[i] = static_cast<std::uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    return p;
}

std::vector<std::uint8_t> encodeBmp(const Picture& picture, const BmpOptions& options) {
    std::vector<std::uint8_t> out;
    if (!consistent(picture) || !knownInfoSize(static_cast<std::uint32_t>(options.info_header_size))) return out;

    const std::uint64_t imageSize = paddedRowSize(static_cast<std::uint64_t>(picture.width)) * picture.height;
    const std::uint64_t offBits = kFileHeaderSize + static_cast<std::uint64_t>(options.info_header_size) + options.extra_gap;
    const std::uint64_t fileSize = offBits + imageSize;
    if (fileSize > 0xFFFFFFFFULL) return out;  // not representable in bfSize

    out.reserve(static_cast<std::size_t>(fileSize));
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(fileSize));
    put32(out, 0);  // two reserved words
    put32(out, static_cast<std::uint32_t>(offBits));
    putInfoHeader(out, picture, options, static_cast<std::uint32_t>(imageSize));
    putZeros(out, options.extra_gap);
    putPixelRows(out, picture, options.top_down);
    return out;
}

bool decodeBmp(const std::vector<std::uint8_t>& file, Picture& out) {
    if (file.size() < kFileHeaderSize + 40) return false;
    if (file[0] != 'B' || file[1] != 'M') return false;
    if (get32(file, 2) != file.size()) return false;

    const std::uint32_t offBits = get32(file, 10);
    const std::uint32_t infoSize = get32(file, 14);
    if (!knownInfoSize(infoSize) || file.size() < kFileHeaderSize + infoSize) return false;
    if (offBits < kFileHeaderSize + infoSize) return false;

    const long long width = getSigned32(file, 18);
    const long long rawHeight = getSigned32(file, 22);
    if (width <= 0 || rawHeight == 0 || rawHeight == -0x80000000LL) return false;
    if (get16(file, 26) != 1 || get16(file, 28) != 24 || get32(file, 30) != 0) return false;

    const bool topDown = rawHeight < 0;
    const long long height = topDown ? -rawHeight : rawHeight;
    const std::uint64_t rowSize = paddedRowSize(static_cast<std::uint64_t>(width));
    const std::uint64_t imageSize = rowSize * static_cast<std::uint64_t>(height);
    const std::uint32_t declaredImageSize = get32(file, 34);
    if (declaredImageSize != 0 && declaredImageSize != imageSize) return false;
    if (offBits + imageSize > file.size()) return false;

    Picture result = allocate(static_cast<int>(width), static_cast<int>(height));
    for (int i = 0; i < result.height; ++i) {
        const int row = topDown ? i : result.height - 1 - i;
        std::size_t at = static_cast<std::size_t>(offBits + rowSize * static_cast<std::uint64_t>(i));
        for (int x = 0; x < result.width; ++x, at += 3) {
            setPixel(result, x, row, {file[at + 2], file[at + 1], file[at]});
        }
    }
    out = std::move(result);
    return true;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::remove(path.c_str());  // don't leave a half-written picture behind
    return ok;
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
    const bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) return false;
    bytes = std::move(data);
    return true;
}

}  // namespace sample
