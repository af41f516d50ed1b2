#include "image_store.h"

// Zero at program start, as every run expects. On a page boundary, so that
// each row (a whole number of pages apart) starts one: a picture's row then
// touches as few pages as its bytes need, two for a 2000-pixel row.
alignas(PAGE_BYTES) std::uint8_t working_image[IMAGE_BYTES];
FilterParameters filter_parameters;
ImageGeometry image_geometry;
KeptBytes kept_bytes;
