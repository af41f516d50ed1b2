// The parameter dialogue: prompts on standard output, answers by formatted
// reads from standard input, results in FilterParameters.
#pragma once

#include "../image/image_store.h"

enum class DialogueStatus {
    complete,
    answers_ended,              // standard input ended before a name was typed
    input_name_too_long,        // no room for ".bmp"
    output_name_too_long,       // no room for ".bmp"
    renamed_output_too_long,    // no room for "_2" and ".bmp"
    renamed_output_is_input,    // the name with "_2" still leads to the input's file
    input_name_has_blank,       // more than the name typed on its line at a console
    output_name_has_blank,
    input_name_ends_in_folder,  // nothing after the last folder separator
    output_name_ends_in_folder
};

// Longest base names that still fit their 100-character buffers.
constexpr int MAX_BASE_NAME_LENGTH = NAME_BUFFER_SIZE - 1 - 4;        // + ".bmp"
constexpr int MAX_RENAMED_BASE_NAME_LENGTH = MAX_BASE_NAME_LENGTH - 2; // + "_2"

DialogueStatus runParameterDialogue(FilterParameters* parameters);

// The text that explains a refusal of the dialogue.
const char* dialogueRefusalText(DialogueStatus status);
