#include "program_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

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

// The unprivileged user may not reach the build folder (a clone under a
// home folder that only its owner may enter), so it runs a copy of the
// program kept in a folder that anyone may enter, made once per test program.
const std::string& programReachableByAnyone() {
    static TemporaryFolder folder;
    static const std::string copy = [] {
        const std::string path = folder.file("denoise");
        std::filesystem::copy_file(DENOISE_PROGRAM, path);
        if (chmod(folder.path().c_str(), 0755) != 0 || chmod(path.c_str(), 0755) != 0)
            throw std::runtime_error("cannot open the program's copy to other users");
        return path;
    }();
    return copy;
}

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
    const std::string program =
        limits.unprivileged && geteuid() == 0 ? programReachableByAnyone() : std::string(DENOISE_PROGRAM);
    int go[2] = {-1, -1};
    if (limits.before_start && pipe(go) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (go[1] >= 0) close(go[1]);
        prepareChild(folder, input_path, output_path, limits, go[0]);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
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

}  // namespace testing_support
