// The user's files come first: whatever is typed, whatever else runs at the
// same time, whatever signal arrives, a run replaces only the output it was
// asked for, only whole, and never the input; it leaves nothing behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"

using testing_support::console;
using testing_support::contents;
using testing_support::endsWith;
using namespace testing_support::texts;
using testing_support::exists;
using testing_support::RunLimits;
using testing_support::runProgram;
using testing_support::StartedProgram;
using testing_support::TemporaryFolder;

namespace {

const std::string WRITE_FAILED = "writeBmp: 書き込みに失敗しました。出力ファイルは作成されていません!\n";
const std::string ANSWERS_ENDED = "\n入力が途中で終わりました。処理を中止します。\n";

std::vector<std::uint8_t> noisyFile(int width, int height, std::uint32_t seed, sample::BmpOptions options = {}) {
    return sample::encodeBmp(sample::makeNoisyPicture(width, height, seed), options);
}

void putU32(std::vector<std::uint8_t>& file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[offset + i] = std::uint8_t(value >> (8 * i));
}

// A V5 file with an embedded colour profile after the pixels, laid out as
// image editors write it: the header's profile offset counts from the start
// of the information header.
std::vector<std::uint8_t> fileWithProfileAfterPixels(int width, int height, std::size_t profile_bytes) {
    sample::BmpOptions v5;
    v5.info_header_size = 124;
    std::vector<std::uint8_t> file = noisyFile(width, height, 7, v5);
    const std::size_t profile_at = file.size();
    for (std::size_t i = 0; i < profile_bytes; ++i) file.push_back(std::uint8_t(i * 31 + 5));
    putU32(file, 2, std::uint32_t(file.size()));         // bfSize
    putU32(file, 14 + 56, 0x4D424544);                    // bV5CSType: "MBED", embedded
    putU32(file, 14 + 112, std::uint32_t(profile_at - 14));  // bV5ProfileData
    putU32(file, 14 + 116, std::uint32_t(profile_bytes));    // bV5ProfileSize
    return file;
}

bool isTemporaryName(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

bool anyTemporaryFile(const TemporaryFolder& folder) {
    for (const std::string& name : folder.entries())
        if (isTemporaryName(name)) return true;
    return false;
}

// The names a run with this process number tries first, in order.
std::string temporaryName(const std::string& output, pid_t pid, int attempt) {
    return output + "." + std::to_string(pid) + "-" + std::to_string(attempt) + ".tmp";
}

mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

bool runningAsRoot() { return geteuid() == 0; }

}  // namespace

TEST(KeptBytes, AProfileAfterThePixelsSurvivesEveryMode) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = fileWithProfileAfterPixels(23, 17, 3001);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::size_t pixels_end = input.size() - 3001;
    for (const char* answers : {"0", "1 10", "2", "3 1", "3 2", "3 4 0.3 0.01", "9"}) {
        const auto result = runProgram(folder.path(), std::string("in out ") + answers);
        ASSERT_EQ(result.exit_status, 0) << answers;
        const std::vector<std::uint8_t> output = contents(folder.file("out.bmp"));
        ASSERT_EQ(output.size(), input.size()) << answers;
        EXPECT_TRUE(std::equal(input.begin() + pixels_end, input.end(), output.begin() + pixels_end)) << answers;
        EXPECT_TRUE(std::equal(input.begin(), input.begin() + 138, output.begin())) << answers;
        if (std::string(answers) == "9") EXPECT_EQ(output, input);
        else EXPECT_NE(output, input) << answers << ": the filter changed nothing";
    }
}

TEST(KeptBytes, EveryLayoutWithBytesAfterItIsCopiedWhole) {
    // Odd widths have padding; junk in it and after the rows must come back.
    for (int width : {1, 2, 3, 5, 8}) {
        for (bool top_down : {false, true}) {
            sample::BmpOptions options;
            options.top_down = top_down;
            options.info_header_size = 108;
            std::vector<std::uint8_t> input = noisyFile(width, 6, std::uint32_t(width), options);
            const std::size_t row_bytes = (std::size_t(width) * 3 + 3) & ~std::size_t{3};
            for (std::size_t at = 14 + 108 + width * 3; at < input.size(); at += row_bytes)
                for (std::size_t pad = 0; pad < row_bytes - width * 3; ++pad) input[at + pad] = std::uint8_t(0xA0 + pad);
            input.insert(input.end(), {'l', 'i', 'n', 'k', 'e', 'd', '\0'});
            TemporaryFolder folder;
            ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
            ASSERT_EQ(runProgram(folder.path(), "in out 9").exit_status, 0);
            EXPECT_EQ(contents(folder.file("out.bmp")), input) << width << (top_down ? " top-down" : "");
        }
    }
}

TEST(Races, TwoRunsWritingOneOutputEachLeaveAWholePicture) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> first = noisyFile(2000, 2000, 1);
    const std::vector<std::uint8_t> second = noisyFile(2000, 2000, 2);
    ASSERT_TRUE(sample::writeFile(folder.file("a.bmp"), first));
    ASSERT_TRUE(sample::writeFile(folder.file("b.bmp"), second));
    int ended_with_first = 0;
    for (int round = 0; round < 8; ++round) {
        // Both wait at the start line until both exist.
        RunLimits held;
        bool both_ready = false;
        std::unique_ptr<StartedProgram> other;
        held.before_start = [&](pid_t) {
            if (!both_ready) {
                both_ready = true;
                other = std::make_unique<StartedProgram>(folder.path(), "b out 9");
            }
        };
        StartedProgram one(folder.path(), "a out 9", held);
        const auto a = one.wait();
        const auto b = other->wait();
        EXPECT_EQ(a.exit_status, 0) << a.output;
        EXPECT_EQ(b.exit_status, 0) << b.output;
        const std::vector<std::uint8_t> output = contents(folder.file("out.bmp"));
        EXPECT_TRUE(output == first || output == second) << "round " << round << ": a mixed or cut picture";
        ended_with_first += output == first;
        EXPECT_FALSE(anyTemporaryFile(folder)) << "round " << round;
    }
    std::printf("the first run's picture was left %d times of 8\n", ended_with_first);
}

TEST(Races, LinksAndLeftoversAtEveryTemporaryNameAreNeverUsed) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = noisyFile(9, 7, 3);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::vector<std::uint8_t> precious = {'k', 'e', 'e', 'p'};
    ASSERT_TRUE(sample::writeFile(folder.file("precious.bmp"), precious));
    constexpr int TAKEN = 150;
    RunLimits limits;
    std::vector<std::string> planted;
    // Planted after the program's process number is known, before it runs:
    // links to nothing, to a file, and leftovers of a killed run.
    limits.before_start = [&](pid_t pid) {
        for (int attempt = 0; attempt < TAKEN; ++attempt) {
            const std::string name = temporaryName("out.bmp", pid, attempt);
            planted.push_back(name);
            const char* target = attempt % 3 == 0 ? "victim.bmp" : "precious.bmp";
            if (attempt % 3 == 2) {
                ASSERT_TRUE(sample::writeFile(folder.file(name), {'o', 'l', 'd'}));
            } else {
                ASSERT_EQ(symlink(target, folder.file(name).c_str()), 0);
            }
        }
    };
    const auto result = runProgram(folder.path(), "in out 9", limits);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(contents(folder.file("out.bmp")), input);
    EXPECT_EQ(contents(folder.file("precious.bmp")), precious);
    EXPECT_FALSE(exists(folder.file("victim.bmp")));
    EXPECT_EQ(folder.entries().size(), 3u + TAKEN);
    for (std::size_t i = 2; i < planted.size(); i += 3)
        EXPECT_EQ(contents(folder.file(planted[i])), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST(Interruptions, AFileSizeLimitFailsTheWriteInsteadOfKillingTheRun) {
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), noisyFile(100, 100, 4)));
    const std::vector<std::uint8_t> previous(500, 'p');
    ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
    RunLimits limits;
    limits.file_size_limit_bytes = 4096;
    limits.file_size_signal_ignored = false;  // as an ordinary shell leaves it
    const auto result = runProgram(folder.path(), "in out 9", limits);
    EXPECT_EQ(result.end_signal, 0);
    EXPECT_EQ(result.exit_status, 1);
    const std::string failed = console(WRITE_FAILED);
    EXPECT_TRUE(endsWith(result.output, failed))
        << result.output;
    EXPECT_EQ(contents(folder.file("out.bmp")), previous);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}

TEST(Interruptions, ASignalDuringTheWriteRemovesTheTemporaryFile) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = noisyFile(2000, 2000, 5);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::vector<std::uint8_t> previous(1000, 'p');
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM}) {
        int caught_writing = 0;
        for (int attempt = 0; attempt < 12 && caught_writing < 3; ++attempt) {
            ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
            StartedProgram run(folder.path(), "in out 9");
            // Strike as soon as the temporary file shows, or at a random
            // moment of the run for the later attempts.
            const auto started = std::chrono::steady_clock::now();
            const auto random_moment = std::chrono::microseconds((attempt * 7919) % 60000);
            bool writing = false;
            while (!writing && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
                writing = anyTemporaryFile(folder);
                if (attempt >= 6 && std::chrono::steady_clock::now() - started >= random_moment) break;
            }
            kill(run.pid(), signal_number);
            const auto result = run.wait();
            caught_writing += writing && result.end_signal == signal_number;
            if (result.end_signal == 0) {  // it finished first
                EXPECT_EQ(result.exit_status, 0);
                EXPECT_EQ(contents(folder.file("out.bmp")), input);
            } else {
                EXPECT_EQ(result.end_signal, signal_number);
                const std::vector<std::uint8_t> output = contents(folder.file("out.bmp"));
                EXPECT_TRUE(output == previous || output == input) << "signal " << signal_number;
            }
            EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << "signal " << signal_number;
        }
        EXPECT_GT(caught_writing, 0) << "signal " << signal_number << " never arrived during a write";
    }
}

TEST(Spellings, AnotherSpellingOfTheInputIsRenamedLikeTheSameName) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = noisyFile(8, 6, 6);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink(folder.path().c_str(), folder.file("here").c_str()), 0);
    ASSERT_EQ(symlink("in.bmp", folder.file("alias.bmp").c_str()), 0);
    ASSERT_EQ(link(folder.file("in.bmp").c_str(), folder.file("hard.bmp").c_str()), 0);
    const std::vector<std::string> spellings = {"./in", ".//in", "sub/../in", folder.file("in"), "here/in",
                                                "alias", "hard"};
    for (const std::string& output : spellings) {
        const auto result = runProgram(folder.path(), "in " + output + " 0");
        EXPECT_EQ(result.exit_status, 0) << output;
        const std::string notice =
            console("入力ファイル名と出力ファイル名が同名です。\n出力ファイル名を" + output + "_2に変更します。\n");
        EXPECT_NE(result.output.find(notice), std::string::npos) << output;
        EXPECT_EQ(contents(folder.file("in.bmp")), input) << output << " replaced the input";
        EXPECT_TRUE(exists(folder.file(output.substr(0, 1) == "/" ? output.substr(folder.path().size() + 1) + "_2.bmp"
                                                                    : output + "_2.bmp")))
            << output;
    }
    // The input typed through a link, the output as the file itself.
    const auto result = runProgram(folder.path(), "alias in 9");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(contents(folder.file("in.bmp")), input);
    EXPECT_EQ(contents(folder.file("in_2.bmp")), input);
}

TEST(Spellings, OtherFilesAndNamesOfNothingAreNotRenamed) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = noisyFile(8, 6, 8);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    ASSERT_TRUE(sample::writeFile(folder.file("other.bmp"), input));  // equal bytes, another file
    for (const std::string output : {"other", "./new"}) {
        const auto result = runProgram(folder.path(), "in " + output + " 9");
        EXPECT_EQ(result.exit_status, 0) << output;
        EXPECT_EQ(result.output.find(console("同名です")), std::string::npos) << output;
        EXPECT_EQ(contents(folder.file(output + ".bmp")), input) << output;
    }
    // No input file: nothing to protect, and nothing is read either.
    const auto missing = runProgram(folder.path(), "gone ./gone 9");
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_EQ(missing.output.find(console("同名です")), std::string::npos);
}

TEST(Spellings, ARenamedSpellingStillHasToFit) {
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), noisyFile(5, 5, 9)));
    std::string spelling = "in";
    while (spelling.size() < 94) spelling = "./" + spelling;  // 94 bytes: no room for "_2.bmp"
    ASSERT_EQ(spelling.size(), 94u);
    const auto result = runProgram(folder.path(), "in " + spelling + " 9");
    EXPECT_EQ(result.exit_status, 1);
    const std::string refusal =
        console("\n出力ファイル名が長すぎて_2を付けられません(半角93文字まで)。処理を中止します。\n");
    EXPECT_TRUE(endsWith(result.output, refusal));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.bmp"});
}

TEST(Permissions, AReplacedOutputKeepsItsPermissions) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> input = noisyFile(6, 6, 10);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0604), mode_t(0664)}) {
        ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), {'o'}));
        ASSERT_EQ(chmod(folder.file("out.bmp").c_str(), mode), 0);
        ASSERT_EQ(runProgram(folder.path(), "in out 9").exit_status, 0);
        EXPECT_EQ(contents(folder.file("out.bmp")), input);
        EXPECT_EQ(modeOf(folder.file("out.bmp")), mode);
    }
    // A new output gets what a plain create gives: 0666 less the umask.
    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_EQ(runProgram(folder.path(), "in fresh 9").exit_status, 0);
    EXPECT_EQ(modeOf(folder.file("fresh.bmp")), 0666 & ~mask);
}

TEST(Permissions, AReadOnlyOutputIsRefusedAndLeftAlone) {
    TemporaryFolder folder;
    // The unprivileged user must be able to work in the folder.
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    const std::vector<std::uint8_t> input = noisyFile(6, 6, 11);
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), input));
    const std::vector<std::uint8_t> previous = {'r', 'o'};
    ASSERT_TRUE(sample::writeFile(folder.file("out.bmp"), previous));
    ASSERT_EQ(chmod(folder.file("in.bmp").c_str(), 0644), 0);
    ASSERT_EQ(chmod(folder.file("out.bmp").c_str(), 0444), 0);
    RunLimits unprivileged;
    unprivileged.unprivileged = true;
    const auto result = runProgram(folder.path(), "in out 1 20", unprivileged);
    EXPECT_EQ(result.exit_status, 1);
    const std::string refusal = console(WRITE_OPEN_FAILED);
    EXPECT_TRUE(endsWith(result.output, refusal));
    EXPECT_EQ(contents(folder.file("out.bmp")), previous);
    EXPECT_EQ(modeOf(folder.file("out.bmp")), 0444u);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
    if (runningAsRoot()) {
        // Root may write a read-only file, as a plain create would; the mode stays.
        ASSERT_EQ(runProgram(folder.path(), "in out 9").exit_status, 0);
        EXPECT_EQ(contents(folder.file("out.bmp")), input);
        EXPECT_EQ(modeOf(folder.file("out.bmp")), 0444u);
    }
}

TEST(EmptyNames, AWordStartingWithNulIsRefusedLikeAMissingName) {
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), noisyFile(5, 5, 12)));
    ASSERT_TRUE(sample::writeFile(folder.file(".bmp"), noisyFile(5, 5, 13)));
    for (const std::string& answers : {std::string("\0in out 9", 9), std::string("in \0out 9", 9),
                                       std::string("i\0n\0 o\0u\0t\0 9", 14)}) {
        const auto result = runProgram(folder.path(), answers);
        const bool utf16_like = answers[1] == '\0';
        if (utf16_like) {
            // The names read are "i" and "o": an ordinary missing input.
            EXPECT_EQ(result.exit_status, 1);
            continue;
        }
        EXPECT_EQ(result.exit_status, 1);
        const std::string refusal = console(ANSWERS_ENDED);
        EXPECT_TRUE(endsWith(result.output, refusal));
        EXPECT_EQ(result.output.find(console(WAIT)), std::string::npos);
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{".bmp", "in.bmp"}));
}
