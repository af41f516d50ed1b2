// Running the built program as a user would: in a folder of its own, with
// answers on standard input, capturing what it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    std::string output;    // standard output, as bytes
};

struct RunLimits {
    long file_size_limit_bytes = -1;  // RLIMIT_FSIZE, with SIGXFSZ ignored
};

RunResult runProgram(const std::string& folder, const std::string& answers, const RunLimits& limits = {});

// Console text as the program prints it: Shift-JIS unless built for UTF-8.
// Converted here with iconv, independently of the program's own tables.
std::string console(const std::string& utf8);

bool exists(const std::string& path);

}  // namespace testing_support
