// Running the built program as a user would: in a folder of its own, with
// answers on standard input, capturing what it prints. POSIX only (fork,
// exec, resource limits, another user): the test files that include this are
// listed in tests/CMakeLists.txt and built into the Linux suite alone.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

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

}  // namespace testing_support
