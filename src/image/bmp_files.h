// Moving the picture between the store and the files named in the dialogue.
// Both routines end the program with status 1 and a message when they fail.
#pragma once

#include <cstdint>

// Reads the named BMP into `image` and the header into the store, runs the
// selected filter over it, then closes the file.
void readBmp(const char* name, std::uint8_t* image);

// Writes the stored header and `image` to a temporary file beside `name`
// and only then puts it in place of `name`: a failed write leaves any
// existing file of that name as it was. Refuses, touching nothing, when
// `name` has come to lead to the file readBmp read.
void writeBmp(const std::uint8_t* image, const char* name);
