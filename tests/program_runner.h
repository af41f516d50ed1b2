// Running the built program as a user would: in a folder of its own, with
// answers on standard input, capturing what it prints. POSIX only (fork,
// exec, resource limits, another user): the test files that include this are
// listed in tests/CMakeLists.txt and built into the Linux suite alone.
#pragma once

#include <sys/types.h>

#include <functional>
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
    // Called with the program's process number before it starts; the
    // program waits until this returns.
    std::function<void(pid_t)> before_start;
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
    bool waited_ = false;
};

RunResult runProgram(const std::string& folder, const std::string& answers, const RunLimits& limits = {});

// The user the unprivileged runs take when the tests run as root.
constexpr uid_t UNPRIVILEGED_ID = 65534;

}  // namespace testing_support
