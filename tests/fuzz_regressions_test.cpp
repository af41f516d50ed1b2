// Replays the inputs kept from fuzzing (tests/fuzz_regressions/) through the
// reader. Each file is named after the status the reader must give it
// ("truncated_pixels-....bmp"); a file that was once a crash is named after
// the status its fix gives. Accepted files must also come back unchanged
// from a write and a second read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_format.h"
#include "memory_source.h"
#include "sample_picture.h"
#include "test_support.h"

namespace {

struct NamedStatus {
    const char* name;
    BmpStatus status;
};

constexpr NamedStatus STATUS_NAMES[] = {
    {"ok", BmpStatus::ok},
    {"truncated_header", BmpStatus::truncated_header},
    {"not_a_bmp", BmpStatus::not_a_bmp},
    {"unsupported_header", BmpStatus::unsupported_header},
    {"bad_pixel_offset", BmpStatus::bad_pixel_offset},
    {"unsupported_bit_depth", BmpStatus::unsupported_bit_depth},
    {"compressed", BmpStatus::compressed},
    {"empty_picture", BmpStatus::empty_picture},
    {"negative_width", BmpStatus::negative_width},
    {"picture_too_large", BmpStatus::picture_too_large},
    {"truncated_pixels", BmpStatus::truncated_pixels},
};

bool statusNamed(const std::string& file_name, BmpStatus* status) {
    const std::string prefix = file_name.substr(0, file_name.find('-'));
    for (const NamedStatus& named : STATUS_NAMES)
        if (prefix == named.name) {
            *status = named.status;
            return true;
        }
    return false;
}

std::vector<std::filesystem::path> keptInputs() {
    const std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path() / "fuzz_regressions";
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".bmp") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

testing_support::StoreImage image;
testing_support::StoreImage reloaded;
KeptBytes kept;
KeptBytes reloaded_kept;

void expectSameAfterWriteAndRead(const ImageGeometry& geometry, const std::string& what) {
    std::vector<std::uint8_t> saved;
    ASSERT_TRUE(saveBmp(vectorSink(&saved), kept, geometry, image.data())) << what;
    MemoryFile memory{saved.data(), saved.size()};
    ImageGeometry again{};
    ASSERT_EQ(loadBmp(memorySource(&memory), &reloaded_kept, &again, reloaded.data()), BmpStatus::ok) << what;
    EXPECT_EQ(std::memcmp(&again, &geometry, sizeof geometry), 0) << what;
    EXPECT_EQ(std::memcmp(reloaded_kept.header, kept.header, geometry.bfOffBits), 0) << what;
    const PixelLayout layout = pixelLayoutOf(geometry);
    for (int row = 0; row < layout.height; ++row)
        ASSERT_EQ(std::memcmp(&reloaded[pixelIndex(row, 0, 0)], &image[pixelIndex(row, 0, 0)],
                              std::size_t(layout.width) * CHANNELS_PER_PIXEL),
                  0)
            << what << ": row " << row;
}

}  // namespace

TEST(FuzzRegressions, EveryKeptInputGetsItsStatus) {
    const std::vector<std::filesystem::path> files = keptInputs();
    ASSERT_FALSE(files.empty()) << "tests/fuzz_regressions/ holds no inputs";
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        BmpStatus expected;
        ASSERT_TRUE(statusNamed(name, &expected)) << name << " does not start with a status name";
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(sample::readFile(path.string(), bytes)) << name;
        MemoryFile memory{bytes.data(), bytes.size()};
        ImageGeometry geometry{};
        EXPECT_EQ(loadBmp(memorySource(&memory), &kept, &geometry, image.data()), expected) << name;
        if (expected == BmpStatus::ok) expectSameAfterWriteAndRead(geometry, name);
    }
}
