// Another user on the machine watches the output's folder and opens every
// file the moment it appears, as someone after a private picture would: no
// file the run makes may be opened by them before the picture in it is whole,
// and a private output stays private throughout.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

using testing_support::contents;
using testing_support::runProgram;
using testing_support::TemporaryFolder;
using testing_support::UNPRIVILEGED_ID;

namespace {

const char END_MARK[] = "zz-watch-ends";

// What the reader reports, a byte per event: an open that gave it a file
// still being written ('L', a leak), a whole one ('o'), or any file of a
// private output, its temporary files included ('P'); the end mark seen
// ('E'); ready to watch ('R') or unable to ('F').
[[noreturn]] void watchAsAnotherUser(const std::string& folder, std::size_t whole_size, int report) {
    const auto say = [report](char c) { return write(report, &c, 1) == 1; };
    if (setgroups(0, nullptr) != 0 || setgid(UNPRIVILEGED_ID) != 0 || setuid(UNPRIVILEGED_ID) != 0) {
        say('F');
        _exit(1);
    }
    const int events = inotify_init1(IN_CLOEXEC);
    const int watched = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (events < 0 || watched < 0 || inotify_add_watch(events, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        say('F');
        _exit(1);
    }
    say('R');
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = read(events, buffer, sizeof buffer);
        if (got <= 0) _exit(1);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->len == 0) continue;
            if (std::string(event->name) == END_MARK) {
                say('E');
                continue;
            }
            // Kept open, as a reader after the picture would keep it.
            const int file = openat(watched, event->name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            struct stat info;
            if (file < 0 || fstat(file, &info) != 0) continue;
            if (std::string(event->name).compare(0, 7, "private") == 0) say('P');
            else say(std::size_t(info.st_size) < whole_size ? 'L' : 'o');
        }
    }
}

class WatchingReader {
public:
    WatchingReader(const std::string& folder, std::size_t whole_size) : folder_(folder) {
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(report[0]);
            watchAsAnotherUser(folder, whole_size, report[1]);
        }
        close(report[1]);
        report_ = report[0];
        char first = 'F';
        ready_ = pid_ > 0 && read(report_, &first, 1) == 1 && first == 'R';
    }
    ~WatchingReader() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (report_ >= 0) close(report_);
    }
    bool ready() const { return ready_; }
    // Everything reported until the reader has seen the end mark, so that
    // every file made before it has been tried.
    std::string reportsUntilTheEnd() {
        EXPECT_TRUE(sample::writeFile(folder_ + "/" + END_MARK, {'e'}));
        std::string reports;
        char c;
        while (read(report_, &c, 1) == 1 && c != 'E') reports.push_back(c);
        return reports;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    int report_ = -1;
    bool ready_ = false;
};

mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

}  // namespace

TEST(PrivateTemporary, AnotherUserWatchingTheFolderNeverOpensAPictureBeingWritten) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: the reader must be a user other than the run's";
    TemporaryFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);  // others may list it and watch it
    // Large enough that the write takes a while after the file appears.
    const std::vector<std::uint8_t> input = sample::encodeBmp(sample::makeNoisyPicture(400, 300, 31));
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::vector<std::uint8_t> secret(100, 's');
    ASSERT_TRUE(sample::writeFile(folder.file("private.bmp"), secret));
    ASSERT_EQ(chmod(folder.file("private.bmp").c_str(), 0600), 0);

    WatchingReader reader(folder.path(), input.size());
    if (!reader.ready())
        GTEST_SKIP() << "user " << UNPRIVILEGED_ID << " cannot watch " << folder.path()
                     << " (a folder above it is closed to others: set TMPDIR to one that is not)";
    const mode_t mask = umask(0);
    umask(mask);
    constexpr int ROUNDS = 10;
    for (int round = 0; round < ROUNDS; ++round) {
        // A private output replaced, and a new output that everyone may read once whole.
        ASSERT_EQ(runProgram(folder.path(), "in private 9").exit_status, 0);
        ASSERT_EQ(runProgram(folder.path(), "in new" + std::to_string(round) + " 9").exit_status, 0);
        EXPECT_EQ(modeOf(folder.file("private.bmp")), 0600u);
        EXPECT_EQ(modeOf(folder.file("new" + std::to_string(round) + ".bmp")), 0666 & ~mask);
    }
    EXPECT_EQ(contents(folder.file("private.bmp")), input);
    const std::string reports = reader.reportsUntilTheEnd();
    EXPECT_EQ(reports.find('P'), std::string::npos) << "a private picture was opened: " << reports;
    EXPECT_EQ(reports.find('L'), std::string::npos) << "opened while being written: " << reports;
    // Whole new outputs may be read: before their rename, with their final
    // permissions, and after it.
    EXPECT_LE(reports.size(), std::size_t(2 * ROUNDS)) << reports;
    std::printf("the reader opened %zu whole new outputs\n", reports.size());
}
