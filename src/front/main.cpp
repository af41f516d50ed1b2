// The run: dialogue, read and filter, write, done. One picture per run;
// command-line arguments are ignored.
#include <cstdio>
#include <cstring>

#include "../image/bmp_files.h"
#include "../image/image_store.h"
#include "../image/platform_files.h"
#include "../messages/messages.h"
#include "dialogue.h"

int main() {
    letWritesFailWithoutKilling();
    const DialogueStatus dialogue = runParameterDialogue(&filter_parameters);
    if (dialogue != DialogueStatus::complete) {
        std::fputs(dialogueRefusalText(dialogue), stdout);
        return 1;
    }

    // The dialogue has made sure both names leave room for the extension.
    char input[NAME_BUFFER_SIZE];
    char output[NAME_BUFFER_SIZE];
    char dummy[NAME_BUFFER_SIZE];
    std::strcpy(input, filter_parameters.input_name);
    std::strcpy(dummy, ".bmp");
    std::strcat(input, dummy);

    std::fputs(kPleaseWait, stdout);
    readBmp(input, working_image);

    std::strcpy(output, filter_parameters.output_name);
    std::strcpy(dummy, ".bmp");
    std::strcat(output, dummy);
    writeBmp(working_image, output);

    std::fputs(kFilterDone, stdout);
    return 0;
}
