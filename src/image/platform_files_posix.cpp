// The POSIX form of platform_files.h: the output's folder held as a
// descriptor, and every call on the output made relative to it.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform_files.h"
#include "platform_files_folder.h"

using namespace platform_folder;

namespace {

int folder_descriptor = -1;
HeldPrefix held_prefix;

// The name the interruption handler removes, prepared before the file
// exists: the handler may make no call that is unsafe in a signal.
char name_to_remove[NAME_CAPACITY];
volatile std::sig_atomic_t file_to_remove_exists = 0;
bool interruptions_handled = false;

// Every signal whose default action ends the program and that a handler may
// catch: Ctrl-C and its kin, but also a stray kill -USR1 or an alarm. Not
// SIGPIPE: it is ignored, so that a console whose reader has gone fails its
// writes and the run goes on.
constexpr int INTERRUPTIONS[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
    SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

void removeAndEndAsTheSignalWould(int signal_number) {
    if (file_to_remove_exists) unlinkat(folder_descriptor, name_to_remove, 0);
    struct sigaction default_action;
    std::memset(&default_action, 0, sizeof default_action);
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    // Blocked while this handler runs, delivered with the default action on return.
    raise(signal_number);
}

// A signal the run was started ignoring (nohup, a background job) stays ignored.
void handleInterruptions() {
    if (interruptions_handled) return;
    interruptions_handled = true;
    for (int signal_number : INTERRUPTIONS) {
        struct sigaction current;
        if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = removeAndEndAsTheSignalWould;
        sigemptyset(&action.sa_mask);
        for (int other : INTERRUPTIONS) sigaddset(&action.sa_mask, other);
        sigaction(signal_number, &action, nullptr);
    }
}

// Creating, removing or renaming the file and telling the handler so happen
// as one step: no interruption can fall between them.
void blockInterruptions(sigset_t* previous) {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal_number : INTERRUPTIONS) sigaddset(&blocked, signal_number);
    sigprocmask(SIG_BLOCK, &blocked, previous);
}

void restoreInterruptions(const sigset_t& previous) { sigprocmask(SIG_SETMASK, &previous, nullptr); }

bool isFile(const struct stat& info, const FileIdentity& identity) {
    return identity.known && info.st_dev == identity.volume && info.st_ino == identity.number;
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

FileIdentity identityOfOpenFile(std::FILE* file) {
    FileIdentity identity;
    struct stat info;
    if (fstat(fileno(file), &info) != 0) return identity;
    identity.known = true;
    identity.volume = info.st_dev;
    identity.number = info.st_ino;
    return identity;
}

bool isSameExistingFile(const char* first, const char* second) {
    struct stat a, b;
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opened for its name alone where the system allows it: a folder the user
// may write in but not list is still one the output can be written in.
void holdOutputFolder(const char* name) {
    const std::size_t length = folderPrefixLength(name);
    if (isHeld(held_prefix, name, length) && folder_descriptor >= 0) return;
    if (folder_descriptor >= 0) close(folder_descriptor);
    folder_descriptor = -1;
    held_prefix.held = false;
    char folder[NAME_CAPACITY];
    if (!folderName(name, length, folder)) return;
    remember(&held_prefix, name, length);
#ifdef O_PATH
    folder_descriptor = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    folder_descriptor = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

const char* nameInFolder(const char* name) { return name + folderPrefixLength(name); }

ExistingOutput examineOutput(const char* name) {
    struct stat info;
    if (fstatat(folder_descriptor, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return ExistingOutput::none;
    // "wb" cannot open a folder, or a file the user may not write.
    if (fstatat(folder_descriptor, name, &info, 0) == 0 && S_ISDIR(info.st_mode)) return ExistingOutput::not_writable;
    if (faccessat(folder_descriptor, name, W_OK, 0) == 0) return ExistingOutput::writable;
    return errno == ENOENT ? ExistingOutput::none : ExistingOutput::not_writable;  // ENOENT: a link to nothing
}

bool isFileOrLinkTo(const char* name, const FileIdentity& identity) {
    struct stat info;
    return (fstatat(folder_descriptor, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && isFile(info, identity)) ||
           (fstatat(folder_descriptor, name, &info, 0) == 0 && isFile(info, identity));
}

CreateResult createTemporaryFile(const char* name, std::FILE** file) {
    if (std::strlen(name) >= NAME_CAPACITY) return CreateResult::failed;
    handleInterruptions();
    sigset_t previous;
    blockInterruptions(&previous);
    // Its owner's alone until the picture is whole: giveFinalPermissions
    // widens it just before it takes the output's place.
    const int descriptor =
        openat(folder_descriptor, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const int open_error = errno;
    if (descriptor >= 0) {
        std::strcpy(name_to_remove, name);
        file_to_remove_exists = 1;
    }
    restoreInterruptions(previous);
    if (descriptor < 0)
        return open_error == EEXIST || open_error == ELOOP ? CreateResult::name_taken : CreateResult::failed;
    *file = fdopen(descriptor, "wb");
    if (*file != nullptr) return CreateResult::created;
    close(descriptor);
    removeTemporaryFile(name);
    return CreateResult::failed;
}

void giveFinalPermissions(std::FILE* file, const char* output_name) {
    const int descriptor = fileno(file);
    mode_t mode = 0666 & ~currentUmask();
    struct stat info;
    if (fstatat(folder_descriptor, output_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
        // The owner first: changing it clears the set-id bits that the mode restores.
        if (fchown(descriptor, info.st_uid, info.st_gid) != 0) {
            // Only root may give a file away; the mode is what keeps it private.
        }
        mode = info.st_mode & 07777;
    }
    if (fchmod(descriptor, mode) != 0) {
        // The file stays its owner's alone: narrower, never wider.
    }
}

void removeTemporaryFile(const char* name) {
    sigset_t previous;
    blockInterruptions(&previous);
    unlinkat(folder_descriptor, name, 0);
    file_to_remove_exists = 0;
    restoreInterruptions(previous);
}

bool replaceWithTemporaryFile(const char* from, const char* to) {
    sigset_t previous;
    blockInterruptions(&previous);
    const bool moved = renameat(folder_descriptor, from, folder_descriptor, to) == 0;
    if (moved) file_to_remove_exists = 0;
    restoreInterruptions(previous);
    return moved;
}

unsigned long processNumber() { return static_cast<unsigned long>(getpid()); }

void letWritesFailWithoutKilling() {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

#endif
