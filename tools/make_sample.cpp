// make_sample: writes a deterministic test picture as a 24-bit BMP.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "sample_picture.h"

namespace {

const char* const kUsage =
    "usage: make_sample [--width W] [--height H] [--seed S] [--kind noisy|clean|random] "
    "[--gaussian SIGMA] [--salt PERCENT] [--header 40|108|124] [--top-down] OUTPUT.bmp [CLEAN.bmp]\n"
    "  --gaussian and --salt add that noise on top of the kind (sigma and percent with at most one decimal);\n"
    "  the noisy kind is the clean one with --gaussian 12 --salt 2.\n";

struct Options {
    int width = 640;
    int height = 480;
    std::uint32_t seed = 1;
    std::string kind = "noisy";
    int header = 40;
    bool topDown = false;
    int gaussianTenths = 0;  // sigma x 10, as addGaussianNoise takes it
    int saltPerMille = 0;    // percent x 10
    std::string output;
    std::string cleanOutput;
};

bool parseNumber(const char* text, long long min, long long max, long long& value) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}

// A non-negative decimal with at most one digit after the point, in tenths:
// "12" is 120, "2.5" is 25. Whole tenths keep the noise free of floating point.
bool parseTenths(const char* text, long long max, int& tenths) {
    if (!text || !*text) return false;
    const char* point = std::strchr(text, '.');
    const std::string whole = point ? std::string(text, point) : std::string(text);
    long long units = 0;
    long long fraction = 0;
    if (whole.empty() || whole[0] == '-' || whole[0] == '+' || !parseNumber(whole.c_str(), 0, max, units)) return false;
    if (point) {
        if (std::strlen(point + 1) != 1 || point[1] < '0' || point[1] > '9') return false;
        fraction = point[1] - '0';
    }
    if (units * 10 + fraction > max * 10) return false;
    tenths = static_cast<int>(units * 10 + fraction);
    return true;
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "make_sample: %s\n%s", message.c_str(), kUsage);
    return false;
}

bool parseOption(const std::string& name, const char* value, Options& o) {
    if (!value) return fail("missing value for " + name);
    long long n = 0;
    if (name == "--width" || name == "--height") {
        if (!parseNumber(value, 1, 20000, n)) return fail(name + " must be 1..20000");
        (name == "--width" ? o.width : o.height) = static_cast<int>(n);
    } else if (name == "--seed") {
        if (!parseNumber(value, 0, 0xFFFFFFFFLL, n)) return fail("--seed must be 0..4294967295");
        o.seed = static_cast<std::uint32_t>(n);
    } else if (name == "--header") {
        if (!parseNumber(value, 40, 124, n) || (n != 40 && n != 108 && n != 124))
            return fail("--header must be 40, 108 or 124");
        o.header = static_cast<int>(n);
    } else if (name == "--gaussian") {
        if (!parseTenths(value, 255, o.gaussianTenths)) return fail("--gaussian must be 0..255 with at most one decimal");
    } else if (name == "--salt") {
        if (!parseTenths(value, 100, o.saltPerMille)) return fail("--salt must be 0..100 with at most one decimal");
    } else {
        o.kind = value;
        if (o.kind != "noisy" && o.kind != "clean" && o.kind != "random")
            return fail("--kind must be noisy, clean or random");
    }
    return true;
}

bool parseArguments(int argc, char** argv, Options& o) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--top-down") {
            o.topDown = true;
        } else if (arg == "--width" || arg == "--height" || arg == "--seed" || arg == "--kind" || arg == "--header" ||
                   arg == "--gaussian" || arg == "--salt") {
            if (!parseOption(arg, i + 1 < argc ? argv[i + 1] : nullptr, o)) return false;
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option " + arg);
        } else if (files == 0) {
            o.output = arg;
            ++files;
        } else if (files == 1) {
            o.cleanOutput = arg;
            ++files;
        } else {
            return fail("too many file names");
        }
    }
    if (o.output.empty()) return fail("no output file given");
    const bool addsNoise = o.gaussianTenths > 0 || o.saltPerMille > 0;
    if (!o.cleanOutput.empty() && o.kind == "random") return fail("a random picture has no clean copy");
    if (!o.cleanOutput.empty() && o.kind == "clean" && !addsNoise)
        return fail("a clean copy only makes sense with --kind noisy or added noise");
    return true;
}

bool save(const sample::Picture& picture, const std::string& path, const Options& o) {
    sample::BmpOptions bmp;
    bmp.info_header_size = o.header;
    bmp.top_down = o.topDown;
    const std::vector<std::uint8_t> bytes = sample::encodeBmp(picture, bmp);
    if (bytes.empty()) {
        std::fprintf(stderr, "make_sample: picture too large for a BMP file\n");
        return false;
    }
    errno = 0;
    if (!sample::writeFile(path, bytes)) {
        std::fprintf(stderr, "make_sample: cannot write %s: %s\n", path.c_str(),
                     errno ? std::strerror(errno) : "I/O error");
        return false;
    }
    return true;
}

sample::Picture generateKind(const Options& o) {
    if (o.kind == "clean") return sample::makeCleanPicture(o.width, o.height, o.seed);
    if (o.kind == "random") return sample::makeRandomPicture(o.width, o.height, o.seed);
    return sample::makeNoisyPicture(o.width, o.height, o.seed);
}

// Added noise uses the picture's seed, as the noisy kind does, so a clean
// picture with --gaussian 12 --salt 2 is the noisy one byte for byte.
sample::Picture generate(const Options& o) {
    sample::Picture picture = generateKind(o);
    sample::addGaussianNoise(picture, o.gaussianTenths, o.seed);
    sample::addSaltAndPepper(picture, o.saltPerMille, o.seed);
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArguments(argc, argv, o)) return 2;
    try {
        if (!save(generate(o), o.output, o)) return 1;
        if (!o.cleanOutput.empty() && !save(sample::makeCleanPicture(o.width, o.height, o.seed), o.cleanOutput, o))
            return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "make_sample: out of memory\n");
        return 1;
    }
    return 0;
}
