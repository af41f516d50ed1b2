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
                  const RunLimits& limits, int go_pipe, int typed_side) {
    const int in = typed_side >= 0         ? typed_side
                   : limits.console_in >= 0 ? limits.console_in
                                            : open(input_path.c_str(), O_RDONLY);
    const int out = limits.console_out >= 0 ? limits.console_out
                                            : open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
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

// A pseudo-terminal: its controlling side, and the side the program reads
// as its console.
int openTerminal(int* typed_side) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
        throw std::runtime_error("no pseudo-terminal");
    *typed_side = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    if (*typed_side < 0) throw std::runtime_error("cannot open the pseudo-terminal");
    return terminal;
}

void typeAt(int terminal, const std::string& keys) {
    for (std::size_t done = 0; done < keys.size();) {
        const ssize_t written = write(terminal, keys.data() + done, keys.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw std::runtime_error("cannot type at the pseudo-terminal");
        done += std::size_t(written);
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
    const std::string program = !limits.program.empty()                 ? limits.program
                                : limits.unprivileged && geteuid() == 0 ? programReachableByAnyone()
                                                                        : std::string(DENOISE_PROGRAM);
    int go[2] = {-1, -1};
    if (limits.before_start && pipe(go) != 0) throw std::runtime_error("pipe failed");
    int typed_side = -1;
    if (limits.typed_at_terminal) terminal_ = openTerminal(&typed_side);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (go[1] >= 0) close(go[1]);
        if (terminal_ >= 0) close(terminal_);
        prepareChild(folder, input_path, output_path, limits, go[0], typed_side);
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
    if (terminal_ >= 0) {
        close(typed_side);
        const char end_of_input = 0x04;  // Ctrl-D at the start of a line
        typeAt(terminal_, answers + end_of_input);
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
    if (terminal_ >= 0) close(terminal_);
    terminal_ = -1;
    RunResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.end_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.output = slurp(io_.file("stdout"));
    return result;
}

RunResult runProgram(const std::string& folder, const std::string& answers, const RunLimits& limits) {
    return StartedProgram(folder, answers, limits).wait();
}

LiveRun::LiveRun(const std::string& folder, RunLimits limits) {
    // A write to a run that has ended must fail, not end the tests.
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    limits.console_in = in[0];
    limits.console_out = out[1];
    program_ = std::make_unique<StartedProgram>(folder, "", limits);
    close(in[0]);
    close(out[1]);
    answers_ = in[1];
    console_in_ = out[0];
}

LiveRun::~LiveRun() {
    endAnswers();
    closeConsole();
}

void LiveRun::answer(const std::string& text) {
    for (std::size_t done = 0; answers_ >= 0 && done < text.size();) {
        const ssize_t written = write(answers_, text.data() + done, text.size() - done);
        if (written <= 0) break;
        done += std::size_t(written);
    }
}

void LiveRun::endAnswers() {
    if (answers_ >= 0) close(answers_);
    answers_ = -1;
}

void LiveRun::readUpTo(std::size_t count) {
    char buffer[4096];
    while (console_in_ >= 0 && console_.size() < count) {
        const ssize_t got = read(console_in_, buffer, std::min(sizeof buffer, count - console_.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        console_.append(buffer, std::size_t(got));
    }
}

bool LiveRun::readUntil(const std::string& text) {
    char c;
    while (console_.size() < text.size() || console_.compare(console_.size() - text.size(), text.size(), text) != 0) {
        if (console_in_ < 0 || read(console_in_, &c, 1) != 1) return false;
        console_.push_back(c);
    }
    return true;
}

void LiveRun::closeConsole() {
    if (console_in_ >= 0) close(console_in_);
    console_in_ = -1;
}

RunResult LiveRun::wait() {
    endAnswers();
    readToEnd();
    RunResult result = program_->wait();
    result.output = console_;
    return result;
}

}  // namespace testing_support
