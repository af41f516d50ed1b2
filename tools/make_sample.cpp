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
    "[--header 40|108|124] [--top-down] OUTPUT.bmp [CLEAN.bmp]\n";

struct Options {
    int width = 640;
    int height = 480;
    std::uint32_t seed = 1;
    std::string kind = "noisy";
    int header = 40;
    bool topDown = false;
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
        } else if (arg == "--width" || arg == "--height" || arg == "--seed" || arg == "--kind" || arg == "--header") {
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
    if (!o.cleanOutput.empty() && o.kind != "noisy") return fail("a clean copy only makes sense with --kind noisy");
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

sample::Picture generate(const Options& o) {
    if (o.kind == "clean") return sample::makeCleanPicture(o.width, o.height, o.seed);
    if (o.kind == "random") return sample::makeRandomPicture(o.width, o.height, o.seed);
    return sample::makeNoisyPicture(o.width, o.height, o.seed);
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
