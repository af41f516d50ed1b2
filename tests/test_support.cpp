#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// A file removed when closed. On Windows tmpfile() makes its file in the
// root of the drive, under names that test programs running side by side
// share, and fails when another has one of them open: a name of the
// temporary folder's own is made instead.
std::FILE* scratchFile() {
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"dnt", 0, name) == 0) return nullptr;
    return _wfopen(name, L"w+bD");
#else
    return std::tmpfile();
#endif
}

#ifdef _WIN32
std::size_t pageBytes() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
#else
std::size_t pageBytes() { return std::size_t(sysconf(_SC_PAGESIZE)); }
#endif

}  // namespace

#ifdef _WIN32

StoreImage::StoreImage() {
    static_assert(IMAGE_BYTES % 65536 == 0, "the store ends on a page boundary");
    const std::size_t guard = pageBytes();
    // Reserved with a page on each side that is never committed: a stray
    // read or write beside the store faults.
    void* mapping = VirtualAlloc(nullptr, IMAGE_BYTES + 2 * guard, MEM_RESERVE, PAGE_NOACCESS);
    if (mapping == nullptr) throw std::runtime_error("no room for a store");
    bytes_ = static_cast<std::uint8_t*>(mapping) + guard;
    if (VirtualAlloc(bytes_, IMAGE_BYTES, MEM_COMMIT, PAGE_READWRITE) == nullptr)
        throw std::runtime_error("store not writable");
}

StoreImage::~StoreImage() { VirtualFree(bytes_ - pageBytes(), 0, MEM_RELEASE); }

// Pages committed again read as zero.
void StoreImage::clear() {
    if (VirtualFree(bytes_, IMAGE_BYTES, MEM_DECOMMIT) == 0 ||
        VirtualAlloc(bytes_, IMAGE_BYTES, MEM_COMMIT, PAGE_READWRITE) == nullptr)
        std::fill(begin(), end(), std::uint8_t{0});
}

#else

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

#endif

std::string captureConsole(const std::function<void(std::FILE* console)>& write) {
    std::FILE* console = scratchFile();
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

// UTF-8 text in Shift-JIS, converted by the platform's own tables (iconv,
// or Windows' code page 932), independently of the program's.
std::string shiftJis(const std::string& utf8) {
#if defined(_WIN32)
    const int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(wide_length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), wide_length);
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(932, 0, wide.data(), wide_length, nullptr, 0, nullptr, &lossy);
    std::string out(std::size_t(length), '\0');
    WideCharToMultiByte(932, 0, wide.data(), wide_length, out.data(), length, nullptr, &lossy);
    if ((wide_length == 0 && !utf8.empty()) || lossy) throw std::runtime_error("text not representable in CP932: " + utf8);
    return out;
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

std::string console(const std::string& utf8) {
#ifdef DENOISE_UTF8_CONSOLE
    return utf8;
#else
    return shiftJis(utf8);
#endif
}

std::vector<std::uint8_t> contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(bool(in)) << "cannot read " << path;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool exists(const std::string& path) {
    std::error_code unreadable;
    return std::filesystem::exists(path, unreadable);
}

}  // namespace testing_support
