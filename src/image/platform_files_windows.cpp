// The Windows form of platform_files.h: the output's folder held by a handle
// that lets nobody rename or remove it, and every call on the output made
// by a name in that folder.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstring>

#include "platform_files.h"
#include "platform_files_folder.h"

using namespace platform_folder;

namespace {

HANDLE folder_handle = INVALID_HANDLE_VALUE;
HeldPrefix held_prefix;

// The full name the console handler removes, prepared before the file exists.
char name_to_remove[NAME_CAPACITY];
volatile std::sig_atomic_t file_to_remove_exists = 0;
bool interruptions_handled = false;

// Runs on a thread of its own. The file was opened with FILE_SHARE_DELETE,
// so deleting it while the write goes on marks it to vanish at exit.
BOOL WINAPI removeOnConsoleEvent(DWORD) {
    if (file_to_remove_exists) DeleteFileA(name_to_remove);
    return FALSE;  // the default handling then ends the program
}

bool identityOfHandle(HANDLE handle, FileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) == 0) return false;
    identity->known = true;
    identity->volume = info.dwVolumeSerialNumber;
    identity->number = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// With `flags` FILE_FLAG_OPEN_REPARSE_POINT, the link itself rather than
// what it leads to.
FileIdentity identityOfName(const char* name, DWORD flags = 0) {
    FileIdentity identity;
    HANDLE handle = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return identity;
    identityOfHandle(handle, &identity);
    CloseHandle(handle);
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.volume == b.volume && a.number == b.number;
}

// A name in the held folder as a full name: the folder's handle keeps that
// path leading to the folder.
bool inFolder(const char* name, char* path) {
    if (std::strlen(held_prefix.text) + std::strlen(name) >= NAME_CAPACITY) return false;
    std::strcpy(path, held_prefix.text);
    std::strcat(path, name);
    return true;
}

}  // namespace

FileIdentity identityOfOpenFile(std::FILE* file) {
    FileIdentity identity;
    const intptr_t handle = _get_osfhandle(_fileno(file));
    if (handle != -1) identityOfHandle(reinterpret_cast<HANDLE>(handle), &identity);
    return identity;
}

bool isSameExistingFile(const char* first, const char* second) {
    return sameFile(identityOfName(first), identityOfName(second));
}

// Listing rights, so that the sharing rules apply to the handle; every
// sharing but delete, so that files are still made in the folder but the
// folder is neither renamed nor removed (nor, on NTFS, a folder above it,
// while something below is open) until the run ends.
void holdOutputFolder(const char* name) {
    const std::size_t length = folderPrefixLength(name);
    if (isHeld(held_prefix, name, length) && folder_handle != INVALID_HANDLE_VALUE) return;
    if (folder_handle != INVALID_HANDLE_VALUE) CloseHandle(folder_handle);
    folder_handle = INVALID_HANDLE_VALUE;
    held_prefix.held = false;
    char folder[NAME_CAPACITY];
    if (!folderName(name, length, folder)) return;
    remember(&held_prefix, name, length);
    folder_handle = CreateFileA(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

const char* nameInFolder(const char* name) { return name + folderPrefixLength(name); }

ExistingOutput examineOutput(const char* name) {
    char path[NAME_CAPACITY];
    if (folder_handle == INVALID_HANDLE_VALUE || !inFolder(name, path)) return ExistingOutput::none;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return ExistingOutput::none;
    // "wb" cannot open either; the read-only attribute is Windows' 0444.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ExistingOutput::not_writable;
    return ExistingOutput::writable;
}

bool isFileOrLinkTo(const char* name, const FileIdentity& identity) {
    char path[NAME_CAPACITY];
    if (!inFolder(name, path)) return false;
    return sameFile(identityOfName(path, FILE_FLAG_OPEN_REPARSE_POINT), identity) ||
           sameFile(identityOfName(path), identity);
}

CreateResult createTemporaryFile(const char* name, std::FILE** file) {
    char path[NAME_CAPACITY];
    if (folder_handle == INVALID_HANDLE_VALUE || !inFolder(name, path)) return CreateResult::failed;
    if (!interruptions_handled) interruptions_handled = SetConsoleCtrlHandler(removeOnConsoleEvent, TRUE) != 0;
    // No security attributes: the file gets what the folder gives a new
    // file, as a plain create would. Shared for deletion alone, so that
    // nothing else opens the picture before it is whole.
    HANDLE handle =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::name_taken
                                                                            : CreateResult::failed;
    }
    std::strcpy(name_to_remove, path);
    file_to_remove_exists = 1;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    *file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    if (*file != nullptr) return CreateResult::created;
    if (descriptor < 0) CloseHandle(handle);
    else _close(descriptor);
    removeTemporaryFile(name);
    return CreateResult::failed;
}

// Who may read a file follows its folder, for the old output as for the new
// one; the read-only attribute was checked by examineOutput.
void giveFinalPermissions(std::FILE*, const char*) {}

void removeTemporaryFile(const char* name) {
    char path[NAME_CAPACITY];
    if (inFolder(name, path)) DeleteFileA(path);
    file_to_remove_exists = 0;
}

bool replaceWithTemporaryFile(const char* from, const char* to) {
    char from_path[NAME_CAPACITY];
    char to_path[NAME_CAPACITY];
    if (!inFolder(from, from_path) || !inFolder(to, to_path)) return false;
    if (MoveFileExA(from_path, to_path, MOVEFILE_REPLACE_EXISTING) == 0) return false;
    file_to_remove_exists = 0;
    return true;
}

unsigned long processNumber() { return GetCurrentProcessId(); }

// Windows ends no program for a failed write.
void letWritesFailWithoutKilling() {}

#endif
