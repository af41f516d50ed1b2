// The few file-system calls that standard C++ cannot make safely: creating a
// file only where nothing is, telling whether two names are one file, keeping
// an output's permissions, and removing a half-written file when the run is
// interrupted. The POSIX form is platform_files_posix.cpp, the Windows form
// platform_files_windows.cpp.
#pragma once

#include <cstdio>

enum class CreateResult { created, name_taken, failed };

// Creates `name` for writing in binary mode, only if nothing at all is there
// (a link to nothing included), never following a link. Until the file is
// renamed or removed below, an interruption (Ctrl-C, SIGTERM, SIGHUP, any
// other signal that would end the program, closing the console) removes it
// before ending the program as the signal would.
CreateResult createTemporaryFile(const char* name, std::FILE** file);

// Removes the file createTemporaryFile made, or forgets it once it has been
// renamed away.
void removeTemporaryFile(const char* name);
void forgetTemporaryFile();

// Moves `from` over `to`, replacing a file at `to` in one step.
bool replaceFile(const char* from, const char* to);

// A number no other running program has: part of a temporary file's name.
unsigned long processNumber();

// True when both names exist and are the same file, however they are spelt:
// links, "./", letter case on a file system that ignores it.
bool isSameExistingFile(const char* first, const char* second);

enum class ExistingOutput { none, writable, not_writable };

// What is at an output name now. A link to nothing counts as none.
ExistingOutput examineOutput(const char* name);

// Gives `file` the permissions (and, where allowed, the owner) of the
// existing file `existing_name`, so replacing a file keeps who may read it.
void takePermissionsOf(const char* existing_name, std::FILE* file);

// A write over a file size limit fails with an error instead of killing the
// program, so the half-written file can be removed.
void letWritesFailOverSizeLimit();
