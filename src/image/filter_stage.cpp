#include "filter_stage.h"

#include "../filters/filter_modes.h"

void runFilterStage(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    const FilterMode* mode = filterModeOf(settings.filter_mode);
    if (mode != nullptr) runFilterForm(*mode, mode->fast, image, size, settings, console);
}
