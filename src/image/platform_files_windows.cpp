// The Windows form of platform_files.h.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstring>

#include "platform_files.h"

namespace {

// The name the interruption handler removes, prepared before the file
// exists: the handler may make no call that is unsafe in a signal.
constexpr std::size_t HANDLER_NAME_CAPACITY = 512;
char name_to_remove[HANDLER_NAME_CAPACITY];
volatile std::sig_atomic_t file_to_remove_exists = 0;
bool interruptions_handled = false;

}  // namespace

namespace {

// Runs on a thread of its own. The file was opened with FILE_SHARE_DELETE,
// so deleting it while the write goes on marks it to vanish at exit.
BOOL WINAPI removeOnConsoleEvent(DWORD) {
    if (file_to_remove_exists) DeleteFileA(name_to_remove);
    return FALSE;  // the default handling then ends the program
}

bool fileIdentity(const char* name, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return known;
}

}  // namespace

CreateResult createTemporaryFile(const char* name, std::FILE** file) {
    if (std::strlen(name) >= HANDLER_NAME_CAPACITY) return CreateResult::failed;
    if (!interruptions_handled) interruptions_handled = SetConsoleCtrlHandler(removeOnConsoleEvent, TRUE) != 0;
    HANDLE handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::name_taken
                                                                            : CreateResult::failed;
    }
    std::strcpy(name_to_remove, name);
    file_to_remove_exists = 1;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    *file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    if (*file != nullptr) return CreateResult::created;
    if (descriptor < 0) CloseHandle(handle);
    else _close(descriptor);
    removeTemporaryFile(name);
    return CreateResult::failed;
}

void removeTemporaryFile(const char* name) {
    DeleteFileA(name);
    file_to_remove_exists = 0;
}

void forgetTemporaryFile() { file_to_remove_exists = 0; }

bool replaceFile(const char* from, const char* to) { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; }

unsigned long processNumber() { return GetCurrentProcessId(); }

bool isSameExistingFile(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return fileIdentity(first, &a) && fileIdentity(second, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

ExistingOutput examineOutput(const char* name) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) return ExistingOutput::none;
    // "wb" cannot open either; the read-only attribute is Windows' 0444.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ExistingOutput::not_writable;
    return ExistingOutput::writable;
}

// The attributes that matter were checked by examineOutput; a new file's
// access follows its folder, as the old one's did.
void takePermissionsOf(const char*, std::FILE*) {}

void letWritesFailOverSizeLimit() {}

#endif
