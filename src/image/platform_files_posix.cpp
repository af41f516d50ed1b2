// The POSIX form of platform_files.h.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Every signal whose default action ends the program and that a handler may
// catch: Ctrl-C and its kin, but also a stray kill -USR1 or an alarm.
constexpr int INTERRUPTIONS[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPIPE, SIGXCPU,
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
    if (file_to_remove_exists) unlink(name_to_remove);
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

// Creating or removing the file and telling the handler so happen as one
// step: no interruption can fall between them.
void blockInterruptions(sigset_t* previous) {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal_number : INTERRUPTIONS) sigaddset(&blocked, signal_number);
    sigprocmask(SIG_BLOCK, &blocked, previous);
}

void restoreInterruptions(const sigset_t& previous) { sigprocmask(SIG_SETMASK, &previous, nullptr); }

}  // namespace

CreateResult createTemporaryFile(const char* name, std::FILE** file) {
    if (std::strlen(name) >= HANDLER_NAME_CAPACITY) return CreateResult::failed;
    handleInterruptions();
    sigset_t previous;
    blockInterruptions(&previous);
    // 0666 less the umask, as a plain "wb" open gives a new file.
    const int descriptor = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

void removeTemporaryFile(const char* name) {
    sigset_t previous;
    blockInterruptions(&previous);
    unlink(name);
    file_to_remove_exists = 0;
    restoreInterruptions(previous);
}

void forgetTemporaryFile() {
    sigset_t previous;
    blockInterruptions(&previous);
    file_to_remove_exists = 0;
    restoreInterruptions(previous);
}

bool replaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

unsigned long processNumber() { return static_cast<unsigned long>(getpid()); }

bool isSameExistingFile(const char* first, const char* second) {
    struct stat a, b;
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ExistingOutput examineOutput(const char* name) {
    struct stat info;
    if (lstat(name, &info) != 0) return ExistingOutput::none;
    // "wb" cannot open a folder, or a file the user may not write.
    if (stat(name, &info) == 0 && S_ISDIR(info.st_mode)) return ExistingOutput::not_writable;
    if (access(name, W_OK) == 0) return ExistingOutput::writable;
    return errno == ENOENT ? ExistingOutput::none : ExistingOutput::not_writable;  // ENOENT: a link to nothing
}

void takePermissionsOf(const char* existing_name, std::FILE* file) {
    struct stat info;
    if (stat(existing_name, &info) != 0 || !S_ISREG(info.st_mode)) return;
    const int descriptor = fileno(file);
    // The owner first: changing it clears the set-id bits that the mode restores.
    if (fchown(descriptor, info.st_uid, info.st_gid) != 0) {
        // Only root may give a file away; the mode is what keeps it private.
    }
    if (fchmod(descriptor, info.st_mode & 07777) != 0) {
        // The file keeps the mode it was made with, as a fresh output would.
    }
}

void letWritesFailOverSizeLimit() { std::signal(SIGXFSZ, SIG_IGN); }

#endif
