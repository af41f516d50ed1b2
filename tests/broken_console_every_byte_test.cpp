// A console that goes away after any byte of a run's output, as
// `denoise | head -c N` does for every N: the run still writes its output
// whole and ends as finished. One run per byte: labelled slow.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "sample_picture.h"
#include "program_runner.h"
#include "test_support.h"

using testing_support::console;
using testing_support::contents;
using testing_support::LiveRun;
using testing_support::TemporaryFolder;

namespace {

struct Answer {
    std::string prompt_end;  // what the console shows last before the program reads the answer
    std::string text;
};

// Mode 1 asks the most: two names, the mode and the coefficient.
const std::vector<Answer>& modeOneAnswers() {
    static const std::vector<Answer> answers = {
        {console("入力ファイル名(英数字のみ・拡張子不要)："), "in\n"},
        {console("\n出力ファイル名(英数字のみ・拡張子不要)："), "out\n"},
        {console("(★★★★★)\n\t\t："), "1\n"},
        {console("100[％] :"), "20\n"},
    };
    return answers;
}

// Runs with each answer given once its prompt has been read, and the console
// closed after `keep` bytes: every write after that fails, as they would
// once `head -c` has gone.
testing_support::RunResult runWithConsoleKept(const std::string& folder, const std::string& transcript,
                                              std::size_t keep) {
    LiveRun run(folder);
    bool closed = false;
    for (const Answer& answer : modeOneAnswers()) {
        const std::size_t asked_at = transcript.find(answer.prompt_end) + answer.prompt_end.size();
        if (!closed && keep < asked_at) {
            run.readUpTo(keep);
            run.closeConsole();
            closed = true;
        }
        if (!closed) run.readUpTo(asked_at);
        run.answer(answer.text);
    }
    run.readUpTo(keep);
    run.closeConsole();
    return run.wait();
}

}  // namespace

TEST(BrokenConsole, AReaderThatGoesAfterAnyByteLeavesAFinishedRun) {
    TemporaryFolder folder;
    ASSERT_TRUE(sample::writeFile(folder.file("in.bmp"), sample::encodeBmp(sample::makeNoisyPicture(9, 8, 41))));
    LiveRun whole(folder.path());
    for (const Answer& answer : modeOneAnswers()) whole.answer(answer.text);
    const auto full = whole.wait();
    ASSERT_EQ(full.exit_status, 0);
    const std::string& transcript = full.output;
    for (const Answer& answer : modeOneAnswers())
        ASSERT_NE(transcript.find(answer.prompt_end), std::string::npos);
    const std::vector<std::uint8_t> expected = contents(folder.file("out.bmp"));

    for (std::size_t keep = 0; keep <= transcript.size(); ++keep) {
        ASSERT_EQ(unlink(folder.file("out.bmp").c_str()), 0);
        const auto result = runWithConsoleKept(folder.path(), transcript, keep);
        EXPECT_EQ(result.end_signal, 0) << "console gone after byte " << keep;
        EXPECT_EQ(result.exit_status, 0) << "console gone after byte " << keep;
        EXPECT_EQ(result.output, transcript.substr(0, keep));
        EXPECT_EQ(contents(folder.file("out.bmp")), expected) << "console gone after byte " << keep;
        ASSERT_EQ(folder.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << keep;
    }
}

