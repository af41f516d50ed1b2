// Times each filter mode's fast form on each lane path this processor runs,
// on the 2000 x 2000 noisy sample, without Google Benchmark: Debian packages
// that library for Linux alone, and this program is built for Windows too,
// so that bench/windows_paths.sh can set the Windows build's figures beside
// the Linux build's on the same machine. Each figure is the fastest of
// ROUNDS runs (the machine is shared; the fastest run is the one least
// disturbed), each from a fresh copy of the picture, the copy untimed.
//   path_times [ROUNDS]
// prints one line a mode and path: "MODE PATH MILLISECONDS" (mode 0, whose
// one fast form has no paths, with each kind of console instead).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "filters/fast/lane_path.h"
#include "filters/filter_modes.h"
#include "image/image_store.h"
#include "sample_picture.h"

namespace {

constexpr int SIDE = 2000;

FilterSettings settingsOfMode(int mode) {
    switch (mode) {
        case FILTER_MODE_MEDIAN: return {mode, 20.0, 0.0, 0.0};
        case FILTER_MODE_CRISP_SMOOTH_BLEND: return {mode, 0.0, 0.05, 0.003};  // the first preset
        default: return {mode, 0.0, 0.0, 0.0};
    }
}

// The fastest of `rounds` runs of the form, in milliseconds.
double fastestRun(const FilterMode& mode, FilterForm form, const std::vector<std::uint8_t>& picture, int rounds,
                  std::FILE* console) {
    std::vector<std::uint8_t> image;
    double fastest = 0;
    for (int round = 0; round < rounds; ++round) {
        image = picture;
        const auto start = std::chrono::steady_clock::now();
        runFilterForm(mode, form, image.data(), PictureSize{SIDE, SIDE}, settingsOfMode(mode.number), console);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (round == 0 || took.count() < fastest) fastest = took.count();
    }
    return fastest;
}

}  // namespace

// The console the progress lines go to: where the program's would, but
// nowhere to see. In text mode, as the program's, or in binary mode: on
// Windows text mode turns every LF into CRLF, one character at a time, and
// mode 0 prints a line a pixel (59 MB at 2000 x 2000), so its time there is
// mostly that; binary mode shows the filter's own. Buffered alike on both
// platforms (msvcrt would write to a device such as NUL unbuffered).
std::FILE* nullConsole(bool binary) {
#ifdef _WIN32
    std::FILE* console = std::fopen("NUL", binary ? "wb" : "w");
#else
    std::FILE* console = std::fopen("/dev/null", binary ? "wb" : "w");
#endif
    static char buffers[2][1 << 16];
    if (console != nullptr) std::setvbuf(console, buffers[binary], _IOFBF, sizeof buffers[binary]);
    return console;
}

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::FILE* const text_console = nullConsole(false);
    std::FILE* const binary_console = nullConsole(true);
    if (text_console == nullptr || binary_console == nullptr) return 1;
    const sample::Picture rgb = sample::makeNoisyPicture(SIDE, SIDE, 1);
    std::vector<std::uint8_t> picture(std::size_t(SIDE) * ROW_STRIDE, 0);
    for (int r = 0; r < SIDE; ++r)
        std::copy_n(&rgb.rgb[std::size_t(r) * SIDE * 3], std::size_t(SIDE) * 3, &picture[pixelIndex(r, 0, 0)]);

    for (const FilterMode& mode : FILTER_MODES) {
        // Mode 0 has one fast form whatever the path: timed once with each console.
        if (mode.lane_path_form == nullptr) {
            const FilterForm form = fastFormIn(mode, LANE_PATHS[0]);
            std::printf("%d text-console %.2f\n", mode.number, fastestRun(mode, form, picture, rounds, text_console));
            std::printf("%d binary-console %.2f\n", mode.number, fastestRun(mode, form, picture, rounds, binary_console));
            continue;
        }
        for (int i = 0; i < LANE_PATH_COUNT; ++i) {
            const LanePath& path = LANE_PATHS[i];
            if (!path.runs_here()) continue;
            const double ms = fastestRun(mode, fastFormIn(mode, path), picture, rounds, text_console);
            std::printf("%d %s %.2f\n", mode.number, path.name, ms);
            std::fflush(stdout);
        }
    }
    std::fclose(text_console);
    std::fclose(binary_console);
    return 0;
}
