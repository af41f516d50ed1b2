#include "platform_names.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32

// '\' as well as '/' separates folders, and "C:" names the current folder
// of drive C. A byte that looks like '\' may be the second byte of a
// double-byte character ("表" is 0x95 0x5C in Shift-JIS), so the name is
// walked character by character in the code page the file calls read it in.
bool lastPartIsEmpty(const char* name) {
    bool ends_in_separator = true;  // an empty name has an empty last part
    for (const char* at = name; *at != '\0'; ++at) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0') {
            ++at;
            ends_in_separator = false;
            continue;
        }
        ends_in_separator = *at == '/' || *at == '\\' || *at == ':';
    }
    return ends_in_separator;
}

#else

bool lastPartIsEmpty(const char* name) {
    const char* end = name;
    while (*end != '\0') ++end;
    return end == name || end[-1] == '/';
}

#endif
