#include "filter_stage.h"

#include "../filters/fast/neighbourhood.h"
#include "../filters/fast/smoothing.h"

namespace {

using Filter = void (*)(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);

void smoothingFilter(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    smoothFast(image, size, console);
}

struct FilterEntry {
    int filter_mode;
    Filter filter;
};

constexpr FilterEntry FILTERS[] = {
    {FILTER_MODE_SMOOTHING, smoothingFilter},
    {FILTER_MODE_MEDIAN, neighbourhoodPassFast},
    {FILTER_MODE_ORIGINAL_BLEND, neighbourhoodPassFast},
    {FILTER_MODE_CRISP_SMOOTH_BLEND, neighbourhoodPassFast},
};

}  // namespace

void runFilterStage(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    for (const FilterEntry& entry : FILTERS)
        if (entry.filter_mode == settings.filter_mode) entry.filter(image, size, settings, console);
}
