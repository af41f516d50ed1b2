#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <iconv.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

#include "filters/filter_modes.h"
#include "image/filter_stage.h"

namespace testing_support {

std::vector<std::uint8_t> storeOf(const sample::Picture& picture) {
    std::vector<std::uint8_t> store(std::size_t(picture.height) * ROW_STRIDE, 0);
    for (int r = 0; r < picture.height; ++r)
        std::copy_n(&picture.rgb[std::size_t(r) * picture.width * 3], std::size_t(picture.width) * 3,
                    &store[pixelIndex(r, 0, 0)]);
    return store;
}

namespace {

std::size_t pageBytes() { return std::size_t(sysconf(_SC_PAGESIZE)); }

}  // namespace

StoreImage::StoreImage() {
    // IMAGE_BYTES is a whole number of pages: the guard after it starts a page.
    static_assert(IMAGE_BYTES % 65536 == 0, "the store ends on a page boundary");
    const std::size_t guard = pageBytes();
    void* mapping = mmap(nullptr, IMAGE_BYTES + 2 * guard, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::runtime_error("no room for a store");
    bytes_ = static_cast<std::uint8_t*>(mapping) + guard;
    if (mprotect(bytes_, IMAGE_BYTES, PROT_READ | PROT_WRITE) != 0) throw std::runtime_error("store not writable");
}

StoreImage::~StoreImage() { munmap(bytes_ - pageBytes(), IMAGE_BYTES + 2 * pageBytes()); }

// A private anonymous mapping reads as zero again once its pages are dropped.
void StoreImage::clear() {
    if (madvise(bytes_, IMAGE_BYTES, MADV_DONTNEED) != 0) std::fill(begin(), end(), std::uint8_t{0});
}

std::string captureConsole(const std::function<void(std::FILE* console)>& write) {
    std::FILE* console = std::tmpfile();
    EXPECT_NE(console, nullptr);
    if (console == nullptr) return "";
    write(console);
    // In blocks: mode 0 prints a line per pixel, some 180 MB for a phone photo.
    std::string text;
    std::rewind(console);
    char block[1 << 16];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, console)) > 0;) text.append(block, got);
    std::fclose(console);
    return text;
}

void runPlainFilter(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    const FilterMode* mode = filterModeOf(settings.filter_mode);
    if (mode != nullptr) runFilterForm(*mode, mode->plain, image, size, settings, console);
}

void runProgramFilter(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    runFilterStage(image, size, settings, console);
}

FilterOutcome filtered(const FilterRun& run, const sample::Picture& picture, const FilterSettings& settings) {
    FilterOutcome outcome{storeOf(picture), {}};
    outcome.console =
        captureConsole([&](std::FILE* console) { run(outcome.image.data(), sizeOf(picture), settings, console); });
    return outcome;
}

FilterRun lanePathFilter(const LanePath& path) {
    return [&path](std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
        const FilterMode* mode = filterModeOf(settings.filter_mode);
        if (mode != nullptr) runFilterForm(*mode, fastFormIn(*mode, path), image, size, settings, console);
    };
}

std::vector<const LanePath*> lanePaths() {
    std::vector<const LanePath*> paths;
    for (int i = 0; i < LANE_PATH_COUNT; ++i) paths.push_back(&LANE_PATHS[i]);
    return paths;
}

std::string testNameOf(const LanePath& path) {
    std::string name = path.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

TemporaryFolder::TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/denoise-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

namespace {

// In the child, before exec: only calls that are safe after fork.
void prepareChild(const std::string& folder, const std::string& input_path, const std::string& output_path,
                  const RunLimits& limits, int go_pipe) {
    const int in = open(input_path.c_str(), O_RDONLY);
    const int out = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || chdir(folder.c_str()) != 0) _exit(127);
    signal(SIGXFSZ, limits.file_size_signal_ignored ? SIG_IGN : SIG_DFL);
    for (int interruption : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPIPE}) signal(interruption, SIG_DFL);
    if (limits.file_size_limit_bytes >= 0) {
        const rlimit limit{rlim_t(limits.file_size_limit_bytes), rlim_t(limits.file_size_limit_bytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (limits.unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(UNPRIVILEGED_ID) != 0 || setuid(UNPRIVILEGED_ID) != 0))
        _exit(127);
    if (go_pipe >= 0) {
        char go;
        if (read(go_pipe, &go, 1) != 1) _exit(127);
        close(go_pipe);
    }
}

}  // namespace

StartedProgram::StartedProgram(const std::string& folder, const std::string& answers, const RunLimits& limits) {
    const std::string input_path = io_.file("stdin");
    const std::string output_path = io_.file("stdout");
    {
        std::ofstream in(input_path, std::ios::binary);
        in << answers;
    }
    // The unprivileged user must be able to reach both files.
    chmod(io_.path().c_str(), 0755);
    int go[2] = {-1, -1};
    if (limits.before_start && pipe(go) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (go[1] >= 0) close(go[1]);
        prepareChild(folder, input_path, output_path, limits, go[0]);
        execl(DENOISE_PROGRAM, DENOISE_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (go[0] >= 0) {
        close(go[0]);
        limits.before_start(pid_);
        const char start = 'g';
        const bool released = write(go[1], &start, 1) == 1;
        close(go[1]);
        if (!released) throw std::runtime_error("could not start the program");
    }
}

StartedProgram::~StartedProgram() {
    if (!waited_) wait();
}

RunResult StartedProgram::wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    RunResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.end_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.output = slurp(io_.file("stdout"));
    return result;
}

RunResult runProgram(const std::string& folder, const std::string& answers, const RunLimits& limits) {
    return StartedProgram(folder, answers, limits).wait();
}

std::string console(const std::string& utf8) {
#ifdef DENOISE_UTF8_CONSOLE
    return utf8;
#else
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == iconv_t(-1)) throw std::runtime_error("no CP932 converter");
    std::string in = utf8;
    std::string out(in.size() * 2 + 16, '\0');
    char* in_pointer = in.data();
    size_t in_left = in.size();
    char* out_pointer = out.data();
    size_t out_left = out.size();
    const size_t converted = iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left);
    iconv_close(converter);
    if (converted == size_t(-1)) throw std::runtime_error("text not representable in CP932: " + utf8);
    out.resize(out.size() - out_left);
    return out;
#endif
}

std::vector<std::uint8_t> contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(bool(in)) << "cannot read " << path;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace testing_support
