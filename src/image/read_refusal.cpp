#include "read_refusal.h"

#include "../messages/messages.h"

namespace {

struct ReadRefusal {
    BmpStatus status;
    const char* text;
};

constexpr ReadRefusal READ_REFUSALS[] = {
    {BmpStatus::truncated_header, kRefusalTruncatedHeader},
    {BmpStatus::not_a_bmp, kRefusalNotABmp},
    {BmpStatus::unsupported_header, kRefusalUnsupportedHeader},
    {BmpStatus::bad_pixel_offset, kRefusalBadPixelOffset},
    {BmpStatus::unsupported_bit_depth, kRefusalUnsupportedBitDepth},
    {BmpStatus::compressed, kRefusalCompressed},
    {BmpStatus::empty_picture, kRefusalEmptyPicture},
    {BmpStatus::negative_width, kRefusalNegativeWidth},
    {BmpStatus::picture_too_large, kRefusalPictureTooLarge},
    {BmpStatus::truncated_pixels, kRefusalTruncatedPixels},
    {BmpStatus::trailing_too_large, kRefusalTrailingTooLarge},
    {BmpStatus::read_error, kRefusalReadError},
};

}  // namespace

const char* readRefusalText(BmpStatus status) {
    for (const ReadRefusal& refusal : READ_REFUSALS)
        if (refusal.status == status) return refusal.text;
    return kRefusalUnknown;
}
