// How an output name splits into the folder it lies in and its name in that
// folder, and which folder is held: the same on every platform but for the
// separators. Included by the two forms of platform_files alone.
#pragma once

#include <cstddef>
#include <cstring>

namespace platform_folder {

// Room for any name the files are given (the dialogue's are under 100
// bytes), with a temporary file's suffix.
constexpr std::size_t NAME_CAPACITY = 512;

#ifdef _WIN32
// "C:out" names out in drive C's current folder.
inline bool endsFolderPrefix(const char* name, std::size_t at) {
    return name[at] == '\\' || name[at] == '/' || (at == 1 && name[at] == ':');
}
#else
inline bool endsFolderPrefix(const char* name, std::size_t at) { return name[at] == '/'; }
#endif

// The folder as the name spells it: everything before the name in the
// folder, separators included (empty for the current folder).
inline std::size_t folderPrefixLength(const char* name) {
    std::size_t length = 0;
    for (std::size_t at = 0; name[at] != '\0'; ++at)
        if (endsFolderPrefix(name, at)) length = at + 1;
    return length;
}

// The folder itself as a name: "sub/." for "sub/", "." for the current one,
// "C:." for drive C's current folder.
inline bool folderName(const char* name, std::size_t prefix_length, char* folder) {
    if (prefix_length + 2 > NAME_CAPACITY) return false;
    std::memcpy(folder, name, prefix_length);
    std::strcpy(folder + prefix_length, ".");
    return true;
}

// The prefix of the folder last held, so that holding another name in it
// keeps what is held.
struct HeldPrefix {
    char text[NAME_CAPACITY] = {};
    bool held = false;
};

inline bool isHeld(const HeldPrefix& prefix, const char* name, std::size_t length) {
    return prefix.held && std::strlen(prefix.text) == length && std::strncmp(prefix.text, name, length) == 0;
}

inline void remember(HeldPrefix* prefix, const char* name, std::size_t length) {
    std::memcpy(prefix->text, name, length);
    prefix->text[length] = '\0';
    prefix->held = true;
}

}  // namespace platform_folder
