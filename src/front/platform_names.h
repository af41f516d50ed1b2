// How the platform reads a typed name as folders and a last part, the file's
// own name. POSIX and Windows forms live in platform_names.cpp alone.
#pragma once

// True when nothing follows the name's last folder separator: "sub/", "/",
// and on Windows also "sub\" and "C:". With ".bmp" added such a name would
// denote a hidden file called ".bmp" in that folder.
bool lastPartIsEmpty(const char* name);
