// The whole program under hostile answers and a hostile file system. Every
// run must either refuse cleanly (status 1, no file made or changed) or run
// exactly as the formatted reads define it: then it must match, byte for
// byte in transcript and output file, a run with the ordinary answers those
// reads amount to.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"

using testing_support::console;
using testing_support::contents;
using testing_support::endsWith;
using testing_support::RunLimits;
using namespace testing_support::texts;
using testing_support::runProgram;
using testing_support::TemporaryFolder;

namespace {

const std::string READ_FAILED = "readBmp: ファイルを読み込めません!\n";
const std::string NOT_A_BMP = "readBmp: BMPファイルではありません!\n";
const std::string WRITE_FAILED = "writeBmp: 書き込みに失敗しました。出力ファイルは作成されていません!\n";

// Big enough for every filter to change something, small enough to be quick.
const std::vector<std::uint8_t>& picture() {
    static const std::vector<std::uint8_t> bytes = sample::encodeBmp(sample::makeNoisyPicture(14, 12, 21));
    return bytes;
}

struct Outcome {
    int exit_status;
    std::string transcript;
    std::vector<std::uint8_t> output;  // out.bmp, empty when none was written
};

// One run in a fresh folder holding in.bmp, writing out.bmp.
Outcome run(const std::string& answers_after_names) {
    TemporaryFolder folder;
    EXPECT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
    const auto result = runProgram(folder.path(), "in out " + answers_after_names);
    Outcome outcome{result.exit_status, result.output, {}};
    if (testing_support::exists(folder.file("out.bmp"))) outcome.output = contents(folder.file("out.bmp"));
    EXPECT_EQ(folder.entries().size(), outcome.output.empty() ? 1u : 2u) << answers_after_names;
    return outcome;
}

struct Equivalent {
    std::string hostile;   // what is typed after the two names
    std::string ordinary;  // the answers the formatted reads make of it
};

// Each hostile answer must run exactly like its ordinary counterpart.
void expectSameRuns(const std::vector<Equivalent>& cases) {
    for (const Equivalent& c : cases) {
        const Outcome hostile = run(c.hostile);
        const Outcome ordinary = run(c.ordinary);
        ASSERT_EQ(ordinary.exit_status, 0) << c.ordinary;
        EXPECT_EQ(hostile.exit_status, 0) << c.hostile;
        EXPECT_EQ(hostile.transcript, ordinary.transcript) << c.hostile << " vs " << c.ordinary;
        EXPECT_EQ(hostile.output, ordinary.output) << c.hostile << " vs " << c.ordinary;
        EXPECT_TRUE(endsWith(hostile.transcript, console(DONE))) << c.hostile;
    }
}

}  // namespace

TEST(HostileAnswers, NamesOfControlAndHighBytesAreUsedAsTheyAre) {
    std::string control;  // 0x01..0x1f, less what "%s" takes for white space
    for (int b = 0x01; b <= 0x1f; ++b)
        if (b < 0x09 || b > 0x0d) control += char(b);
    std::string high_a, high_b;
    for (int b = 0x80; b <= 0xbf; ++b) high_a += char(b);
    for (int b = 0xc0; b <= 0xff; ++b) high_b += char(b);
    const std::string printf_like = "%s%n%x%999999d%";
    for (const std::string& name : {control + "\x7f", high_a, high_b, printf_like}) {
        // As the input name, as the output name, and as both (renamed with _2).
        const struct {
            std::string answers, written;
        } cases[] = {
            {name + " out 9", "out.bmp"},
            {"in " + name + " 9", name + ".bmp"},
            {name + " " + name + " 9", name + "_2.bmp"},
        };
        for (const auto& c : cases) {
            TemporaryFolder folder;
            ASSERT_TRUE(sample::writeFile(folder.file(name + ".bmp"), picture()));
            if (c.written == name + ".bmp") std::rename(folder.file(name + ".bmp").c_str(), folder.file("in.bmp").c_str());
            const auto result = runProgram(folder.path(), c.answers);
            EXPECT_EQ(result.exit_status, 0);
            EXPECT_EQ(contents(folder.file(c.written)), picture());
            EXPECT_EQ(folder.entries().size(), 2u);
            // Echoed byte for byte: the name is printed as data, never as a format.
            EXPECT_NE(result.output.find(name + ".bmp\n"), std::string::npos);
        }
    }
}

TEST(HostileAnswers, AnswersEndingAtEachPromptKeepTheStartValues) {
    // A read that meets the end of the answers leaves its variable alone:
    // mode 0, coefficient 0, noise mode 0 (no preset: thresholds stay 0).
    expectSameRuns({
        {"", "0"},                 // ends at the mode
        {"1", "1 0"},              // ... at the coefficient
        {"3", "3 0"},              // ... at the noise mode
        {"3 4", "3 4 0 0"},        // ... at the largest threshold
        {"3 4 0.5", "3 4 0.5 0"},  // ... at the smallest
    });
    // And the runs compared are not all copies of the input.
    EXPECT_NE(run("0").output, picture());
    EXPECT_NE(run("1 0").output, picture());
    EXPECT_NE(run("3 4 0.5 0").output, picture());
    EXPECT_EQ(run("3 4 0 0").output, picture());
}

TEST(HostileAnswers, NumbersBeyondIntRunWhatTheStoredValueSelects) {
    // A whole number past the range of int keeps its low 32 bits, as glibc's
    // "%d" leaves it with a 64-bit long; one past 64 bits is read as the
    // largest 64-bit number first. Worked out by hand:
    const struct {
        const char* typed;
        const char* stored;
    } modes[] = {
        {"99999999999", "1215752191"},        // 23 * 2^32 + 1215752191
        {"-99999999999", "-1215752191"},
        {"4294967296", "0"},                  // 2^32: smoothing
        {"4294967297", "1"},                  // median
        {"4294967299", "3"},                  // crisp smooth blend
        {"2147483648", "-2147483648"},
        {"-2147483649", "2147483647"},
        {"9999999999999999999999", "-1"},     // 2^63 - 1: all low bits set
    },
      noise_modes[] = {
          {"4294967297", "1"},
          {"4294967300", "4"},  // asks for the thresholds
          {"-4294967295", "1"},
          {"99999999999", "1215752191"},
      };
    std::vector<Equivalent> cases;
    for (const auto& mode : modes) {
        // What follows is read only if the mode asks: as a coefficient, or as
        // the noise mode and thresholds.
        for (const std::string rest : {" 20", " 4 0.5 0.1"})
            cases.push_back({mode.typed + rest, mode.stored + rest});
    }
    for (const auto& noise_mode : noise_modes)
        cases.push_back({std::string("3 ") + noise_mode.typed + " 0.5 0.1", std::string("3 ") + noise_mode.stored + " 0.5 0.1"});
    expectSameRuns(cases);
}

TEST(HostileAnswers, NonFiniteNumbersActAsTheirComparisonsSay) {
    // Spreads lie within 0..50 % and deviations within 0..1, so 100 and -1,
    // 2 and -1 are as far as finite answers need to go.
    expectSameRuns({
        {"1 nan", "1 100"},       {"1 NAN(123)", "1 100"},  {"1 inf", "1 100"},
        {"1 infinity", "1 100"},  {"1 1e999", "1 100"},     {"1 -inf", "1 -1"},
        {"1 -1e999", "1 -1"},     {"1 1e-999", "1 0"},      {"1 0x14", "1 20"},
        {"3 4 nan 0", "3 4 0 0"}, {"3 4 0.5 nan", "3 4 0 0"}, {"3 4 nan nan", "3 4 0 0"},
        {"3 4 inf -inf", "3 4 2 -1"}, {"3 4 1e999 -1e999", "3 4 2 -1"}, {"3 4 inf 0", "3 4 2 0"},
        {"3 4 -inf inf", "3 4 0 0"},
    });
    // The pairs above differ from each other, so the comparison means something.
    EXPECT_NE(run("1 100").output, run("1 -1").output);
    EXPECT_NE(run("3 4 2 -1").output, run("3 4 0 0").output);
}

namespace {

bool isPlainFile(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string afterWait(const std::string& transcript) {
    const std::string wait = console("しばらくお待ちください\n");
    const std::size_t at = transcript.find(wait);
    return at == std::string::npos ? std::string("(no wait line)") : transcript.substr(at + wait.size());
}

}  // namespace

// Permissions do not stop root: as root, these runs take an ordinary user.
RunLimits asAnOrdinaryUser() {
    RunLimits limits;
    limits.unprivileged = true;
    return limits;
}

TEST(HostileFiles, UnreadableInputIsRefusedLikeAMissingOne) {
    TemporaryFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
    ASSERT_EQ(chmod(folder.file("in.bmp").c_str(), 0), 0);
    const auto result = runProgram(folder.path(), "in out 0", asAnOrdinaryUser());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(afterWait(result.output), console(READ_OPEN_FAILED));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.bmp"});
}

TEST(HostileFiles, OutputFolderThatCannotBeWrittenLeavesNothing) {
    TemporaryFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
    ASSERT_EQ(chmod(folder.file("in.bmp").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(folder.file("locked").c_str(), 0700), 0);
    const std::vector<std::uint8_t> previous(7, 'p');
    ASSERT_TRUE(sample::writeFile(folder.file("locked/out.bmp"), previous));
    ASSERT_EQ(chmod(folder.file("locked").c_str(), 0555), 0);
    const auto result = runProgram(folder.path(), "in locked/out 9", asAnOrdinaryUser());
    ASSERT_EQ(chmod(folder.file("locked").c_str(), 0700), 0);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(afterWait(result.output), console(WRITE_OPEN_FAILED));
    EXPECT_EQ(contents(folder.file("locked/out.bmp")), previous);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "locked"}));
    std::vector<std::string> locked;
    for (const auto& entry : std::filesystem::directory_iterator(folder.file("locked")))
        locked.push_back(entry.path().filename().string());
    EXPECT_EQ(locked, std::vector<std::string>{"out.bmp"});
}

TEST(HostileFiles, InputsThatAreDevicesOrFailToReadAreRefused) {
    struct Case {
        const char* target;
        std::string refusal;
    } cases[] = {
        {"/dev/zero", NOT_A_BMP},        // endless: judged on its first bytes
        {"/proc/self/mem", READ_FAILED},  // the program's own memory: offset 0 is unmapped, reads fail
    };
    for (const Case& c : cases) {
        if (!testing_support::exists(c.target)) continue;
        TemporaryFolder folder;
        ASSERT_EQ(symlink(c.target, folder.file("in.bmp").c_str()), 0);
        const auto result = runProgram(folder.path(), "in out 0");
        EXPECT_EQ(result.exit_status, 1) << c.target;
        EXPECT_EQ(afterWait(result.output), console(c.refusal)) << c.target;
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.bmp"}) << c.target;
    }
}

TEST(HostileFiles, TemporaryNamesInUseAreNeverWrittenThrough) {
    // Leftovers of earlier runs, under other process numbers: never touched.
    {
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
        for (int i = 0; i < 100; ++i)
            ASSERT_TRUE(sample::writeFile(folder.file("out.bmp." + std::to_string(i) + ".tmp"),
                                          std::vector<std::uint8_t>(3, std::uint8_t(i))));
        const auto result = runProgram(folder.path(), "in out 9");
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(contents(folder.file("out.bmp")), picture());
        EXPECT_EQ(folder.entries().size(), 102u);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(contents(folder.file("out.bmp." + std::to_string(i) + ".tmp")),
                      std::vector<std::uint8_t>(3, std::uint8_t(i)));
    }
    // The run's own first name a link to /dev/full, the next 98 files: the
    // next free name is used and nothing else is touched.
    {
        TemporaryFolder folder;
        ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
        std::string first, middle, free_name;
        testing_support::RunLimits limits;
        limits.before_start = [&](pid_t pid) {
            const auto name = [&](int attempt) {
                return "out.bmp." + std::to_string(pid) + "-" + std::to_string(attempt) + ".tmp";
            };
            first = name(0);
            middle = name(50);
            free_name = name(99);
            ASSERT_EQ(symlink("/dev/full", folder.file(first).c_str()), 0);
            for (int i = 1; i < 99; ++i) ASSERT_TRUE(sample::writeFile(folder.file(name(i)), {'t'}));
        };
        const auto result = runProgram(folder.path(), "in out 9", limits);
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(contents(folder.file("out.bmp")), picture());
        EXPECT_FALSE(testing_support::exists(folder.file(free_name)));
        EXPECT_FALSE(isPlainFile(folder.file(first)));
        EXPECT_EQ(contents(folder.file(middle)), std::vector<std::uint8_t>{'t'});
        EXPECT_EQ(folder.entries().size(), 101u);
    }
}

TEST(HostileFiles, AnOutputLinkedToAFullDeviceIsReplacedNotWrittenThrough) {
    // The picture is written to a temporary file and renamed over the name,
    // so the link itself is replaced by the picture; /dev/full never sees a
    // byte (and could not report itself full).
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), picture()));
    ASSERT_EQ(symlink("/dev/full", folder.file("out.bmp").c_str()), 0);
    const auto result = runProgram(folder.path(), "in out 9");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(isPlainFile(folder.file("out.bmp")));
    EXPECT_EQ(contents(folder.file("out.bmp")), picture());
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}

namespace {

// A small file system mounted for one test, seen only by this process and
// the programs it starts (a mount namespace of its own), gone afterwards.
// When it cannot be had, why_not() says which step failed and why.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& where, const char* size) : where_(where) {
        if (mkdir(where.c_str(), 0700) != 0) {
            failed("mkdir " + where);
            return;
        }
        if (unshare(CLONE_NEWNS) != 0) {
            failed("unshare(CLONE_NEWNS), a mount namespace of its own,");
            return;
        }
        // Nothing mounted here may reach the rest of the machine. In a chroot
        // "/" is no mount point: then the folder is made one of its own.
        if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 &&
            (mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
             mount("none", where.c_str(), nullptr, MS_PRIVATE, nullptr) != 0)) {
            failed("making the test's mounts private");
            return;
        }
        mounted_ = mount("tmpfs", where.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
        if (!mounted_) failed("mounting a tmpfs");
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(where_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why_not() const { return why_not_; }

private:
    void failed(const std::string& step) {
        const int error = errno;
        why_not_ = "cannot mount a small file system here: " + step + " failed: " + std::strerror(error) +
                   (error == EPERM ? " (it needs root, or CAP_SYS_ADMIN)" : "");
    }
    std::string where_;
    std::string why_not_;
    bool mounted_ = false;
};

}  // namespace

TEST(HostileFiles, AFullDiskKeepsTheOldOutputAndLeavesNoTemporaryFile) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> big = sample::encodeBmp(sample::makeNoisyPicture(200, 150, 5));  // 90 KB
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), big));
    SmallFileSystem disk(folder.file("disk"), "32k");
    if (!disk.mounted()) GTEST_SKIP() << disk.why_not();
    const std::vector<std::uint8_t> previous(500, 'p');
    ASSERT_TRUE(sample::writeFile(folder.file("disk/out.bmp"), previous));
    const auto result = runProgram(folder.path(), "in disk/out 9");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(afterWait(result.output), console(WRITE_FAILED));
    EXPECT_EQ(contents(folder.file("disk/out.bmp")), previous);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.file("disk")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"out.bmp"});
}
