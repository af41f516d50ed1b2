#include "dialogue.h"

#include <cstdio>
#include <cstring>

#include "../image/platform_files.h"
#include "../messages/messages.h"
#include "answers.h"
#include "platform_names.h"

namespace {

constexpr char EXTENSION[] = ".bmp";
constexpr char RENAME_SUFFIX[] = "_2";
constexpr int NOISE_MODE_CUSTOM = 4;

struct ThresholdPreset {
    int noise_mode;
    double max_threshold;
    double min_threshold;
};

constexpr ThresholdPreset THRESHOLD_PRESETS[] = {
    {1, 0.05, 0.003},  // sharp removal
    {2, 0.2, 0.0},     // flatten everything
    {3, 0.01, 0.005},  // gentle removal
};

// Prompts end without a line break; make them visible before blocking.
void ask(const char* prompt) {
    std::fputs(prompt, stdout);
    std::fflush(stdout);
}

// One word, as "%s" reads it, but bounded by the buffer: a longer word
// leaves at least MAX_BASE_NAME_LENGTH + 1 characters and is refused later.
// A word that starts with a NUL byte names nothing, as no word does.
bool readName(char* name) {
    static_assert(NAME_BUFFER_SIZE == 100, "the width below must match the buffer");
    return std::fscanf(answers(), "%99s", name) == 1 && name[0] != '\0';
}

// What refuses a name, the input's or the output's.
struct NameRefusals {
    DialogueStatus too_long, has_blank, ends_in_folder;
};

constexpr NameRefusals INPUT_NAME_REFUSALS = {DialogueStatus::input_name_too_long,
                                              DialogueStatus::input_name_has_blank,
                                              DialogueStatus::input_name_ends_in_folder};
constexpr NameRefusals OUTPUT_NAME_REFUSALS = {DialogueStatus::output_name_too_long,
                                               DialogueStatus::output_name_has_blank,
                                               DialogueStatus::output_name_ends_in_folder};

// One name answer, refused before anything is done with it.
DialogueStatus takeName(char* name, const NameRefusals& refusals) {
    if (!readName(name)) return DialogueStatus::answers_ended;
    if (std::strlen(name) > MAX_BASE_NAME_LENGTH) return refusals.too_long;
    if (moreTypedOnTheNamesLine()) return refusals.has_blank;
    if (lastPartIsEmpty(name)) return refusals.ends_in_folder;
    return DialogueStatus::complete;
}

void withExtension(const char* base_name, char* full_name) {
    std::strcpy(full_name, base_name);
    std::strcat(full_name, EXTENSION);
}

void echoWithExtension(const char* format, const char* base_name) {
    char dum[NAME_BUFFER_SIZE];
    withExtension(base_name, dum);
    std::printf(format, dum);
}

// Equal as typed, or two spellings of one existing file ("./in", a link, a
// name differing in letter case where the file system ignores it): either
// way writing the output would replace the input.
bool namesDenoteOneFile(const char* input_name, const char* output_name) {
    if (std::strcmp(input_name, output_name) == 0) return true;
    char input[NAME_BUFFER_SIZE];
    char output[NAME_BUFFER_SIZE];
    withExtension(input_name, input);
    withExtension(output_name, output);
    return isSameExistingFile(input, output);
}

// "_2" leaves the folder as it was, so the folder held is the renamed output's too.
void holdFolderOf(const char* output_name) {
    char output[NAME_BUFFER_SIZE];
    withExtension(output_name, output);
    holdOutputFolder(output);
}

// Results of these reads stay as the read leaves them: a non-number keeps the
// start value, as a formatted read does.
// A number beyond 32 bits keeps its low 32 bits, as a 64-bit C library's
// "%d" leaves it; read wide so every platform agrees.
void readInteger(std::int32_t* value) {
    std::fflush(stdout);
    long long read_value;
    if (std::fscanf(answers(), "%lld", &read_value) != 1) return;
    const std::uint32_t low_bits = std::uint32_t(static_cast<unsigned long long>(read_value));
    *value = low_bits >= 0x80000000u ? std::int32_t(std::int64_t(low_bits) - 0x100000000LL) : std::int32_t(low_bits);
}

void readDouble(double* value) {
    std::fflush(stdout);
    double read_value;
    if (std::fscanf(answers(), "%lf", &read_value) == 1) *value = read_value;
}

void printBanner() {
    std::fputs(kBannerStars, stdout);
    std::fputs(kBannerTitle, stdout);
    std::fputs(kBannerCredit, stdout);
    std::fputs(kBannerClosingStars, stdout);
}

void askRemovalCoefficient(FilterParameters* parameters) {
    std::fputs(kCoefficientHint, stdout);
    std::fputs(kCoefficientScale, stdout);
    std::fputs(kCoefficientPrompt, stdout);
    readDouble(&parameters->removal_coefficient);
}

void askThresholds(FilterParameters* parameters) {
    std::fputs(kNoiseModeHeading, stdout);
    std::fputs(kNoiseModeMenu, stdout);
    std::int32_t noise_mode = 0;
    readInteger(&noise_mode);
    for (const ThresholdPreset& preset : THRESHOLD_PRESETS) {
        if (preset.noise_mode == noise_mode) {
            parameters->max_threshold = preset.max_threshold;
            parameters->min_threshold = preset.min_threshold;
            return;
        }
    }
    if (noise_mode != NOISE_MODE_CUSTOM) return;
    std::fputs(kThresholdHint, stdout);
    std::fputs(kMaxThresholdPrompt, stdout);
    readDouble(&parameters->max_threshold);
    std::fputs(kMinThresholdPrompt, stdout);
    readDouble(&parameters->min_threshold);
}

}  // namespace

DialogueStatus runParameterDialogue(FilterParameters* parameters) {
    printBanner();

    ask(kPromptInputName);
    const DialogueStatus input_status = takeName(parameters->input_name, INPUT_NAME_REFUSALS);
    if (input_status != DialogueStatus::complete) return input_status;
    echoWithExtension(kEchoInputName, parameters->input_name);

    std::fputs(kOverwriteWarning, stdout);
    ask(kPromptOutputName);
    const DialogueStatus output_status = takeName(parameters->output_name, OUTPUT_NAME_REFUSALS);
    if (output_status != DialogueStatus::complete) return output_status;
    echoWithExtension(kEchoOutputName, parameters->output_name);

    // From this check on, the output is written in the folder its name leads to now.
    holdFolderOf(parameters->output_name);
    // Never let the output replace the input just because the names match.
    if (namesDenoteOneFile(parameters->input_name, parameters->output_name)) {
        if (std::strlen(parameters->output_name) > MAX_RENAMED_BASE_NAME_LENGTH)
            return DialogueStatus::renamed_output_too_long;
        std::strcat(parameters->output_name, RENAME_SUFFIX);
        std::printf(kSameNameNotice, parameters->output_name);
        // A link named like the new name can lead back to the input.
        if (namesDenoteOneFile(parameters->input_name, parameters->output_name))
            return DialogueStatus::renamed_output_is_input;
    }

    std::fputs(kModeMenuFirstHalf, stdout);
    std::fputs(kModeMenuSecondHalf, stdout);
    readInteger(&parameters->filter_mode);

    if (parameters->filter_mode == FILTER_MODE_MEDIAN) askRemovalCoefficient(parameters);
    if (parameters->filter_mode == FILTER_MODE_CRISP_SMOOTH_BLEND) askThresholds(parameters);
    return DialogueStatus::complete;
}

const char* dialogueRefusalText(DialogueStatus status) {
    switch (status) {
        case DialogueStatus::answers_ended: return kAnswersEnded;
        case DialogueStatus::input_name_too_long: return kInputNameTooLong;
        case DialogueStatus::output_name_too_long: return kOutputNameTooLong;
        case DialogueStatus::renamed_output_too_long: return kRenamedOutputTooLong;
        case DialogueStatus::input_name_has_blank: return kInputNameHasBlank;
        case DialogueStatus::output_name_has_blank: return kOutputNameHasBlank;
        case DialogueStatus::input_name_ends_in_folder: return kInputNameEndsInFolder;
        case DialogueStatus::output_name_ends_in_folder: return kOutputNameEndsInFolder;
        case DialogueStatus::renamed_output_is_input: return kRenamedOutputIsInput;
        case DialogueStatus::complete: break;
    }
    return "";
}
