#include "image_store.h"

// Zero at program start, as every run expects.
std::uint8_t working_image[IMAGE_BYTES];
FilterParameters filter_parameters;
ImageGeometry image_geometry;
KeptBytes kept_bytes;
