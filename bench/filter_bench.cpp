// Times every filter mode, fast and plain, on noisy sample pictures of
// 500, 1000 and 2000 pixels square and of a 48 MP phone photo's 8064 x
// 6048, and OpenCV's single-threaded 5x5 medianBlur and filter2D on the
// same pictures when OpenCV is there; then prints the ratios, and each fast
// form's cost per pixel at the photo's size against 2000 x 2000's. Each
// figure is the fastest of a few repetitions, interleaved with the other
// benchmarks': the machine is shared, and the fastest run is the one least
// disturbed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "filters/fast/lane_path.h"
#include "filters/filter_modes.h"
#include "image/image_store.h"
#include "sample_picture.h"

#if defined(DENOISE_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct BenchSize {
    int width;
    int height;
    int pixels() const { return width * height; }
};

// Squares, and the largest common photo size that the store holds.
constexpr BenchSize SIZES[] = {{500, 500}, {1000, 1000}, {2000, 2000}, {8064, 6048}};
constexpr BenchSize PER_PIXEL_BASE = {2000, 2000};  // what the photo's cost per pixel is held against
constexpr BenchSize PHOTO = {8064, 6048};
constexpr int PLAIN_NEIGHBOURHOOD_LARGEST = 500;  // about 1 s a run already
constexpr int PLAIN_SMOOTHING_LARGEST = 1000;
constexpr int REPETITIONS = 5;
constexpr int PATHS_SMALLEST = 500;  // each lane path timed from this width on

// "2000" for a square, "8064x6048" otherwise.
std::string sizeName(BenchSize n) {
    return n.width == n.height ? std::to_string(n.width) : std::to_string(n.width) + "x" + std::to_string(n.height);
}

std::FILE* null_console = nullptr;

struct Picture {
    sample::Picture rgb;
    std::vector<std::uint8_t> store;  // rows of ROW_STRIDE bytes, as the filters take them
};

const Picture& pictureOfSize(BenchSize n) {
    static std::map<std::string, Picture> pictures;
    Picture& p = pictures[sizeName(n)];
    if (p.store.empty()) {
        p.rgb = sample::makeNoisyPicture(n.width, n.height, 1);
        p.store.assign(std::size_t(n.height) * ROW_STRIDE, 0);
        for (int r = 0; r < n.height; ++r)
            std::copy_n(&p.rgb.rgb[std::size_t(r) * n.width * 3], std::size_t(n.width) * 3, &p.store[pixelIndex(r, 0, 0)]);
    }
    return p;
}

using Filter = std::function<void(std::uint8_t*, PictureSize)>;

// The filters work in place: every run starts from a fresh copy, untimed.
void timeFilter(benchmark::State& state, BenchSize n, const Filter& filter) {
    const Picture& picture = pictureOfSize(n);
    std::vector<std::uint8_t> image = picture.store;
    for (auto _ : state) {
        state.PauseTiming();
        image = picture.store;
        state.ResumeTiming();
        filter(image.data(), PictureSize{n.height, n.width});
        benchmark::ClobberMemory();
    }
}

FilterSettings settingsOfMode(int mode) {
    switch (mode) {
        case FILTER_MODE_MEDIAN: return {mode, 20.0, 0.0, 0.0};
        case FILTER_MODE_CRISP_SMOOTH_BLEND: return {mode, 0.0, 0.05, 0.003};  // the first preset
        default: return {mode, 0.0, 0.0, 0.0};
    }
}

// One of the mode's two forms, as the program runs it (start message first).
Filter filterOf(const FilterMode& mode, FilterForm form, FilterSettings settings) {
    return [&mode, form, settings](std::uint8_t* image, PictureSize size) {
        runFilterForm(mode, form, image, size, settings, null_console);
    };
}

Filter filterOf(const FilterMode& mode, FilterForm form) {
    return filterOf(mode, form, settingsOfMode(mode.number));
}

std::string nameOf(const std::string& what, BenchSize n) { return what + "/" + sizeName(n); }

void addBenchmark(const std::string& name, std::function<void(benchmark::State&)> body) {
    benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(REPETITIONS)
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ReportAggregatesOnly(true);
}

#if defined(DENOISE_BENCH_OPENCV)
void timeOpenCv(benchmark::State& state, BenchSize n, bool median) {
    const Picture& picture = pictureOfSize(n);
    const cv::Mat source(n.height, n.width, CV_8UC3, const_cast<std::uint8_t*>(picture.rgb.rgb.data()));
    cv::Mat target;
    float weights[25] = {1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 2, 3, 2, 1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1};
    for (float& w : weights) w /= 35.0f;
    const cv::Mat kernel(5, 5, CV_32F, weights);
    for (auto _ : state) {
        if (median)
            cv::medianBlur(source, target, 5);
        else
            cv::filter2D(source, target, -1, kernel);
        benchmark::DoNotOptimize(target.data);
    }
}
#endif

std::string pathBenchmarkName(const LanePath& path, int mode, BenchSize n) {
    return nameOf(std::string("path/") + path.name + "/mode" + std::to_string(mode), n);
}

// Modes 1 to 3 on each lane path this processor runs, not only the chosen
// one, so that the paths' ratios come from one run.
void registerLanePaths(BenchSize n) {
    for (int i = 0; i < LANE_PATH_COUNT; ++i) {
        const LanePath& path = LANE_PATHS[i];
        if (!path.runs_here()) continue;
        for (const FilterMode& mode : FILTER_MODES) {
            if (mode.lane_path_form == nullptr) continue;
            const FilterForm form = fastFormIn(mode, path);
            addBenchmark(pathBenchmarkName(path, mode.number, n),
                         [n, &mode, form](benchmark::State& s) { timeFilter(s, n, filterOf(mode, form)); });
        }
    }
}

void registerAll() {
    for (BenchSize n : SIZES) {
        for (const FilterMode& mode : FILTER_MODES) {
            const std::string mode_name = "mode" + std::to_string(mode.number);
            addBenchmark(nameOf("fast/" + mode_name, n),
                         [n, &mode](benchmark::State& s) { timeFilter(s, n, filterOf(mode, mode.fast)); });
            // Mode 1 where most medians replace their values: walked whole,
            // not to its candidates.
            if (mode.number == FILTER_MODE_MEDIAN)
                addBenchmark(nameOf("fast/mode1-coefficient2", n), [n, &mode](benchmark::State& s) {
                    timeFilter(s, n, filterOf(mode, mode.fast, {FILTER_MODE_MEDIAN, 2.0, 0.0, 0.0}));
                });
            const int plain_largest =
                mode.number == FILTER_MODE_SMOOTHING ? PLAIN_SMOOTHING_LARGEST : PLAIN_NEIGHBOURHOOD_LARGEST;
            if (n.width <= plain_largest)
                addBenchmark(nameOf("plain/" + mode_name, n),
                             [n, &mode](benchmark::State& s) { timeFilter(s, n, filterOf(mode, mode.plain)); });
        }
        if (n.width >= PATHS_SMALLEST) registerLanePaths(n);
#if defined(DENOISE_BENCH_OPENCV)
        addBenchmark(nameOf("opencv/medianBlur", n), [n](benchmark::State& s) { timeOpenCv(s, n, true); });
        addBenchmark(nameOf("opencv/filter2D", n), [n](benchmark::State& s) { timeOpenCv(s, n, false); });
#endif
    }
}

// Keeps the fastest repetition of each benchmark for the table of ratios,
// in time and in processor time (which other work on the machine disturbs
// less: it leaves out the time slices the run waited through).
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name != "min") continue;
            fastest[run.run_name.function_name] = run.GetAdjustedRealTime();
            fastest_processor[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> fastest;            // milliseconds
    std::map<std::string, double> fastest_processor;  // milliseconds of processor time
};

std::function<double(const std::string&)> finderIn(const std::map<std::string, double>& ms) {
    return [&ms](const std::string& name) {
        const auto it = ms.find(name);
        return it == ms.end() ? -1.0 : it->second;
    };
}

// Each lane path's time against the last path's (the one every processor
// runs), from the same run.
template <class Find>
void printLanePathRatios(const Find& find) {
    const LanePath& baseline = LANE_PATHS[LANE_PATH_COUNT - 1];
    std::printf("\n%-6s %9s", "mode", "size");
    for (int i = 0; i < LANE_PATH_COUNT; ++i) std::printf(" %10s", (std::string(LANE_PATHS[i].name) + " ms").c_str());
    std::printf("   each / %s\n", baseline.name);
    for (const FilterMode& mode : FILTER_MODES) {
        if (mode.lane_path_form == nullptr) continue;
        for (BenchSize n : SIZES) {
            const double base = find(pathBenchmarkName(baseline, mode.number, n));
            if (base < 0) continue;  // not timed at this size, or filtered out
            std::printf("%-6d %9s", mode.number, sizeName(n).c_str());
            for (int i = 0; i < LANE_PATH_COUNT; ++i) {
                const double ms = find(pathBenchmarkName(LANE_PATHS[i], mode.number, n));
                if (ms < 0)
                    std::printf(" %10s", "-");
                else
                    std::printf(" %10.2f", ms);
            }
            for (int i = 0; i < LANE_PATH_COUNT - 1; ++i) {
                const double ms = find(pathBenchmarkName(LANE_PATHS[i], mode.number, n));
                if (ms > 0) std::printf("   %s %.3f", LANE_PATHS[i].name, ms / base);
            }
            std::printf("\n");
        }
    }
}

// Nanoseconds per pixel of every fast form (each lane path's too) and of
// OpenCV at the photo's size against 2000 x 2000's, from the same run: in
// time, and in processor time.
void printPerPixelCosts(const std::map<std::string, double>& ms, const std::map<std::string, double>& processor_ms) {
    const auto find = finderIn(ms);
    const auto find_processor = finderIn(processor_ms);
    std::vector<std::string> names;
    for (const FilterMode& mode : FILTER_MODES) {
        names.push_back("fast/mode" + std::to_string(mode.number));
        if (mode.number == FILTER_MODE_MEDIAN) names.push_back("fast/mode1-coefficient2");
    }
    for (int i = 0; i < LANE_PATH_COUNT; ++i)
        for (const FilterMode& mode : FILTER_MODES)
            if (mode.lane_path_form != nullptr)
                names.push_back(std::string("path/") + LANE_PATHS[i].name + "/mode" + std::to_string(mode.number));
    names.push_back("opencv/filter2D");
    names.push_back("opencv/medianBlur");
    const std::string base_name = sizeName(PER_PIXEL_BASE);
    const std::string photo_name = sizeName(PHOTO);
    std::printf("\n%-26s %10s %10s %6s   %10s %10s %6s\n", "ns per pixel", base_name.c_str(), photo_name.c_str(),
                "ratio", (base_name + " cpu").c_str(), (photo_name + " cpu").c_str(), "ratio");
    auto perPixel = [](double ms, BenchSize n) { return ms * 1e6 / n.pixels(); };
    for (const std::string& name : names) {
        const double base = find(nameOf(name, PER_PIXEL_BASE));
        const double photo = find(nameOf(name, PHOTO));
        if (base < 0 || photo < 0) continue;  // not timed, or filtered out
        const double base_cpu = perPixel(find_processor(nameOf(name, PER_PIXEL_BASE)), PER_PIXEL_BASE);
        const double photo_cpu = perPixel(find_processor(nameOf(name, PHOTO)), PHOTO);
        std::printf("%-26s %10.3f %10.3f %6.3f   %10.3f %10.3f %6.3f\n", name.c_str(), perPixel(base, PER_PIXEL_BASE),
                    perPixel(photo, PHOTO), photo / PHOTO.pixels() / (base / PER_PIXEL_BASE.pixels()), base_cpu,
                    photo_cpu, photo_cpu / base_cpu);
    }
}

void printRatios(const std::map<std::string, double>& ms) {
    const auto find = finderIn(ms);
    std::printf("\n%-6s %9s %10s %10s %12s %10s %11s\n", "mode", "size", "fast ms", "OpenCV ms", "fast/OpenCV",
                "plain ms", "plain/fast");
    for (const FilterMode& filter_mode : FILTER_MODES) {
        const int mode = filter_mode.number;
        for (BenchSize n : SIZES) {
            const double fast = find(nameOf("fast/mode" + std::to_string(mode), n));
            const double opencv = find(nameOf(mode == 0 ? "opencv/filter2D" : "opencv/medianBlur", n));
            const double plain = find(nameOf("plain/mode" + std::to_string(mode), n));
            if (fast < 0) continue;  // left out by --benchmark_filter
            std::printf("%-6d %9s %10.2f ", mode, sizeName(n).c_str(), fast);
            if (opencv > 0)
                std::printf("%10.2f %12.2f ", opencv, fast / opencv);
            else
                std::printf("%10s %12s ", "-", "-");
            if (plain > 0)
                std::printf("%10.1f %11.0f\n", plain, plain / fast);
            else
                std::printf("%10s %11s\n", "-", "-");
        }
    }
    std::printf("(OpenCV: medianBlur 5x5 beside modes 1-3, filter2D with the mode 0 kernel beside mode 0; one thread)\n");
    printLanePathRatios(find);
}

// The processor's name as the kernel reports it, with its family, model
// and stepping (a virtual machine's name may say little more than the maker).
std::string cpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, name, family, model, stepping;
    auto valueOf = [&line]() { return line.substr(line.find(':') + 2); };
    while (std::getline(cpuinfo, line) && !line.empty()) {
        if (line.rfind("model name", 0) == 0) name = valueOf();
        else if (line.rfind("cpu family", 0) == 0) family = valueOf();
        else if (line.rfind("model\t", 0) == 0) model = valueOf();
        else if (line.rfind("stepping", 0) == 0) stepping = valueOf();
    }
    if (name.empty()) return "unknown (no /proc/cpuinfo)";
    return name + " (family " + family + ", model " + model + ", stepping " + stepping + ")";
}

void printMachine() {
    std::printf("CPU: %s\n", cpuModel().c_str());
#if defined(__x86_64__) || defined(__i386__)
    std::printf("CPU has: SSE2 %s, AVX2 %s, FMA %s, AVX-512 (F, BW) %s\n", __builtin_cpu_supports("sse2") ? "yes" : "no",
                __builtin_cpu_supports("avx2") ? "yes" : "no", __builtin_cpu_supports("fma") ? "yes" : "no",
                __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? "yes" : "no");
#endif
    std::printf("Fast forms run in: %s lanes (the path the program picks on this machine)\n", fastLanePathName());
#if defined(DENOISE_BENCH_OPENCV)
    std::printf("OpenCV %s, one thread\n", CV_VERSION);
#else
    std::printf("OpenCV: not found (install libopencv-dev for the ratios)\n");
#endif
}

}  // namespace

int main(int argc, char** argv) {
    null_console = std::fopen("/dev/null", "w");
    if (null_console == nullptr) return 1;
#if defined(DENOISE_BENCH_OPENCV)
    cv::setNumThreads(1);
#endif
    // Every benchmark's repetitions interleaved at random with the others',
    // so that a burst of other work on a shared machine falls on every size
    // alike and the ratios between sizes hold (a flag given still decides).
    static char interleaved[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, interleaved);
    arguments.push_back(nullptr);
    int count = argc + 1;
    benchmark::Initialize(&count, arguments.data());
    printMachine();
    // Debian builds its Google Benchmark without NDEBUG, so the harness says
    // so below; the timed code is this build's own, compiled as Release.
    std::printf("(A \"Library was built as DEBUG\" warning below is about Debian's build of the harness, not the "
                "filters it times, which are built as Release.)\n");
    registerAll();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter.fastest);
    printPerPixelCosts(reporter.fastest, reporter.fastest_processor);
    printMachine();  // again below the table, so the figures and their machine are read together
    benchmark::Shutdown();
    return 0;
}
