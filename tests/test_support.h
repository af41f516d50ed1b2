// What the tests share, on every platform the suite is built for: running
// the filters in memory (picture stores, captured console text, the plain or
// the program's form of a mode), the console's texts as bytes, and reading
// files. Running the built program as a user would is in program_runner.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "filters/fast/lane_path.h"
#include "image/image_store.h"
#include "sample_picture.h"

namespace testing_support {

// ---- the filters in memory

// The picture in the filters' layout: its rows of ROW_STRIDE bytes, zero
// beside the picture.
std::vector<std::uint8_t> storeOf(const sample::Picture& picture);

constexpr PictureSize sizeOf(const sample::Picture& picture) { return PictureSize{picture.height, picture.width}; }

// A zero store exactly as large as the program's (IMAGE_BYTES, 192 MiB),
// for tests that hand the reader or the filters the whole store, with a
// page no access may reach on either side: a stray access past it ends
// the test. Pages are made as a test first writes them, and clear() gives
// them back rather than writing zeros, so a test pays for the rows it
// uses, not for the whole store.
class StoreImage {
public:
    StoreImage();
    ~StoreImage();
    StoreImage(const StoreImage&) = delete;
    StoreImage& operator=(const StoreImage&) = delete;
    std::uint8_t* data() const { return bytes_; }
    std::uint8_t* begin() const { return bytes_; }
    std::uint8_t* end() const { return bytes_ + IMAGE_BYTES; }
    std::uint8_t& operator[](std::size_t i) const { return bytes_[i]; }
    void clear();  // every byte zero again

private:
    std::uint8_t* bytes_;
};

// What `write` prints to the console it is given.
std::string captureConsole(const std::function<void(std::FILE* console)>& write);

// The filter of settings.filter_mode with its start message, by the modes'
// table: in its plain form (the reference), or in the form the program's
// filter stage runs. A number no mode has runs nothing and prints nothing.
void runPlainFilter(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
void runProgramFilter(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);

// A picture filtered by one of the two, with what it printed.
struct FilterOutcome {
    std::vector<std::uint8_t> image;
    std::string console;
};
using FilterRun =
    std::function<void(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console)>;
FilterOutcome filtered(const FilterRun& run, const sample::Picture& picture, const FilterSettings& settings);

// ---- the lane paths

// The fast form of settings.filter_mode as lane path `path` runs it, with
// the start message: what runProgramFilter runs where `path` is chosen.
FilterRun lanePathFilter(const LanePath& path);

// Every lane path the build has, for tests run once on each.
std::vector<const LanePath*> lanePaths();

// The path's name as a test's name may carry it ("one-byte" is "one_byte").
std::string testNameOf(const LanePath& path);

// Console text as the program prints it: Shift-JIS unless built for UTF-8.
// Converted here with iconv, independently of the program's own tables.
std::string console(const std::string& utf8);

// UTF-8 text in Shift-JIS (code page 932), whatever the build.
std::string shiftJis(const std::string& utf8);

bool exists(const std::string& path);

bool endsWith(const std::string& text, const std::string& end);

// A file's bytes; a failed read fails the test and gives no bytes.
std::vector<std::uint8_t> contents(const std::string& path);

// The program's run texts as a user reads them (UTF-8), spelled out here
// independently of its own message table; console() turns them into bytes.
namespace texts {
inline const std::string WAIT = "しばらくお待ちください\n";
inline const std::string DONE = "フィルタ処理完了!!\n";
inline const std::string READ_OPEN_FAILED = "readBmp: ファイル名が間違っているか、存在しません!\n\n\n\n\n\n";
inline const std::string WRITE_OPEN_FAILED = "writeBmp: Open error!\n";
}  // namespace texts

}  // namespace testing_support

// Names a lane path in a test's parameters, rather than its address.
inline void PrintTo(const LanePath* path, std::ostream* out) { *out << path->name << " lanes"; }
