#include "filter_modes.h"

const FilterMode* filterModeOf(int number) {
    for (const FilterMode& mode : FILTER_MODES)
        if (mode.number == number) return &mode;
    return nullptr;
}

void runFilterForm(const FilterMode& mode, FilterForm form, std::uint8_t* image, PictureSize size,
                   const FilterSettings& settings, std::FILE* console) {
    std::fputs(mode.start_message, console);
    form(image, size, settings, console);
}

FilterForm fastFormIn(const FilterMode& mode, const LanePath& path) {
    return mode.lane_path_form != nullptr ? path.*mode.lane_path_form : mode.fast;
}
