// A console that goes away (`denoise | head -c N`) is an oddity the run goes
// on through: the output is written whole and the run ends as finished. An
// interruption after the output is in place leaves it there. A console that
// goes after any byte of a whole run: broken_console_every_byte_test.cpp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::LiveRun;
using testing_support::RunLimits;
using testing_support::StartedProgram;
using testing_support::TemporaryFolder;
using namespace testing_support::texts;

TEST(BrokenConsole, AReaderThatGoesWhileTheProgressFillsThePipeLeavesAFinishedRun) {
    // Mode 0 prints a line per pixel: far more than a pipe holds, so the
    // program is blocked writing when the reader goes.
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = sample::encodeBmp(sample::makeNoisyPicture(120, 100, 42));
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    for (std::size_t keep : {std::size_t(0), std::size_t(700), std::size_t(100000)}) {
        LiveRun run(folder.path());
        run.answer("in out 0\n");
        run.readUpTo(keep);
        run.closeConsole();
        const auto result = run.wait();
        EXPECT_EQ(result.end_signal, 0) << keep;
        EXPECT_EQ(result.exit_status, 0) << keep;
        EXPECT_EQ(result.output.size(), keep);
        EXPECT_NE(contents(folder.file("out.bmp")), input) << keep;
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << keep;
    }
}

namespace {

// A terminal whose output the test can stop, so that the program's next
// console write waits until the test lets it go.
class StoppableTerminal {
public:
    StoppableTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        terminal_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw;
        if (terminal_ < 0 || tcgetattr(terminal_, &raw) != 0) return;
        cfmakeraw(&raw);
        tcsetattr(terminal_, TCSANOW, &raw);
    }
    ~StoppableTerminal() {
        if (terminal_ >= 0) {
            tcflow(terminal_, TCOON);
            close(terminal_);
        }
        if (master_ >= 0) close(master_);
    }
    int terminal() const { return terminal_; }
    bool readUntil(const std::string& text) {
        char c;
        while (shown_.find(text) == std::string::npos) {
            if (read(master_, &c, 1) != 1) return false;
            shown_.push_back(c);
        }
        return true;
    }
    bool stop() { return tcflow(terminal_, TCOOFF) == 0; }

private:
    int master_ = -1;
    int terminal_ = -1;
    std::string shown_;
};

bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

}  // namespace

TEST(Interruptions, ACtrlCAfterTheRenameLeavesTheNewOutputAndEndsByTheSignal) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = sample::encodeBmp(sample::makeNoisyPicture(50, 40, 43));
    const std::vector<std::uint8_t> previous(300, 'p');
    ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
    // The input comes through a pipe, so that the test chooses when it ends.
    ASSERT_EQ(mkfifo(folder.file("in.bmp").c_str(), 0600), 0);
    StoppableTerminal terminal;
    ASSERT_GE(terminal.terminal(), 0);
    RunLimits limits;
    limits.console_out = terminal.terminal();
    StartedProgram run(folder.path(), "in out 9\n", limits);
    // All that the run prints before the output is in place is out; then
    // the completion message waits on the stopped terminal.
    ASSERT_TRUE(terminal.readUntil(console(WAIT)));
    ASSERT_TRUE(terminal.stop());
    {
        const int pipe_in = open(folder.file("in.bmp").c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(pipe_in, 0);
        ASSERT_EQ(write(pipe_in, input.data(), input.size()), ssize_t(input.size()));
        close(pipe_in);
    }
    const auto started = std::chrono::steady_clock::now();
    while (contents(folder.file("out.bmp")) != input &&
           std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(contents(folder.file("out.bmp")), input);
    EXPECT_FALSE(hasEnded(run.pid())) << "the run ended before its completion message could be shown";
    kill(run.pid(), SIGINT);
    const auto result = run.wait();
    EXPECT_EQ(result.end_signal, SIGINT);
    EXPECT_EQ(contents(folder.file("out.bmp")), input);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}
