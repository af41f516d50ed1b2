// What the tests share: running the built program as a user would (in a
// folder of its own, with answers on standard input, capturing what it
// prints), and running the filters in memory (picture stores, captured
// console text, the plain or the program's form of a mode).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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

// ---- the program as a user runs it

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const;  // sorted names

private:
    std::string path_;
};

struct RunResult {
    int exit_status = -1;  // -1 when the program did not exit normally
    int end_signal = 0;    // the signal that ended it, if one did
    std::string output;    // standard output, as bytes
};

struct RunLimits {
    long file_size_limit_bytes = -1;       // RLIMIT_FSIZE
    bool file_size_signal_ignored = true;  // SIGXFSZ ignored, or at its default (kills)
    // As user nobody when the tests run as root, from a copy of the program
    // that nobody can reach wherever the build lies.
    bool unprivileged = false;
    // Standard input a pseudo-terminal, the answers typed at it (a line is
    // taken at its line feed), followed by an end-of-input keystroke so a
    // program that wants more ends instead of waiting.
    bool typed_at_terminal = false;
    // Called with the program's process number before it starts; the
    // program waits until this returns.
    std::function<void(pid_t)> before_start;
    // Descriptors the program takes as standard input and output instead of
    // the answers and a captured file, for a test that holds the other ends
    // (made close-on-exec); the result's output is then empty.
    int console_in = -1;
    int console_out = -1;
    // The program to run, if not the one built (a copy another user can reach).
    std::string program;
};

// A run under way: started by startProgram, finished by wait().
class StartedProgram {
public:
    StartedProgram(const std::string& folder, const std::string& answers, const RunLimits& limits = {});
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    pid_t pid() const { return pid_; }
    RunResult wait();

private:
    TemporaryFolder io_;
    pid_t pid_ = -1;
    int terminal_ = -1;  // the pseudo-terminal's controlling side, when typed at one
    bool waited_ = false;
};

RunResult runProgram(const std::string& folder, const std::string& answers, const RunLimits& limits = {});

// A run whose answers the test gives as it goes and whose console it reads,
// through pipes: the test chooses the moment of each answer, and may close
// the console as a reader that has gone would.
class LiveRun {
public:
    explicit LiveRun(const std::string& folder, RunLimits limits = {});
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;
    pid_t pid() const { return program_->pid(); }
    void answer(const std::string& text);  // dropped if the run has ended
    void endAnswers();
    // Reads the console until `count` bytes have come in all, or it ends.
    void readUpTo(std::size_t count);
    // Reads until what has come ends with `text`; false if the console ended first.
    bool readUntil(const std::string& text);
    void readToEnd() { readUpTo(std::string::npos); }
    void closeConsole();
    const std::string& console() const { return console_; }
    // Ends the answers, reads the console to its end unless it was closed,
    // and waits: the result's output is what was read.
    RunResult wait();

private:
    int answers_ = -1;
    int console_in_ = -1;
    std::string console_;
    std::unique_ptr<StartedProgram> program_;
};

// The user the unprivileged runs take when the tests run as root.
constexpr uid_t UNPRIVILEGED_ID = 65534;

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
