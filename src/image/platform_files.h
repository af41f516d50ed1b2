// The few file-system calls that standard C++ cannot make safely: holding the
// output's folder so that the write lands where the names were checked,
// creating a file only where nothing is, telling whether two names are one
// file, giving an output its permissions, and removing a half-written file
// when the run is interrupted. POSIX and Windows forms live in
// platform_files.cpp alone.
#pragma once

#include <cstdio>

// Who a file is, whatever names lead to it: device and file number, or
// volume and file index.
struct FileIdentity {
    bool known = false;
    unsigned long long volume = 0;
    unsigned long long number = 0;
};

// The identity of a file that is open.
FileIdentity identityOfOpenFile(std::FILE* file);

// True when both names exist and are the same file, however they are spelt:
// links, "./", letter case on a file system that ignores it.
bool isSameExistingFile(const char* first, const char* second);

// Opens the folder that the output name `name` lies in and keeps it open for
// the rest of the run: the calls below that take a name in the folder work
// in that folder, even if a folder on the path is later swapped for a link
// (Windows: the folder cannot be renamed or removed while it is held).
// Holding a name in the folder already held keeps what is held. A folder
// that cannot be opened is held as nothing, and every call below fails.
void holdOutputFolder(const char* name);

// The part of an output name that names it within its folder.
const char* nameInFolder(const char* name);

enum class ExistingOutput { none, writable, not_writable };

// What is at `name` in the held folder now. A link to nothing counts as none.
ExistingOutput examineOutput(const char* name);

// True when `name` in the held folder is the file `identity`, or a link to it.
bool isFileOrLinkTo(const char* name, const FileIdentity& identity);

enum class CreateResult { created, name_taken, failed };

// Creates `name` in the held folder for writing in binary mode, only if
// nothing at all is there (a link to nothing included), never following a
// link, readable and writable by its owner alone (Windows: as the folder
// gives a new file, and opened by nothing else while it is written). Until
// the file is renamed or removed below, an interruption (Ctrl-C, SIGTERM,
// SIGHUP, any other signal that would end the program, closing the console)
// removes it before ending the program as the signal would.
CreateResult createTemporaryFile(const char* name, std::FILE** file);

// Gives the written file `file` the permissions it keeps once it is renamed
// to `output_name` in the held folder: those (and, where allowed, the owner)
// of the file there now, so that replacing a file keeps who may read it, or
// what a plain create gives a new file (0666 less the umask).
void giveFinalPermissions(std::FILE* file, const char* output_name);

// Removes the file createTemporaryFile made.
void removeTemporaryFile(const char* name);

// Moves `from` over `to` in the held folder, replacing a file at `to` in one
// step; once moved, an interruption no longer removes it.
bool replaceWithTemporaryFile(const char* from, const char* to);

// A number no other running program has: part of a temporary file's name.
unsigned long processNumber();

// A write over a file size limit, or to a console whose reader has gone,
// fails with an error instead of killing the program: the half-written
// file can be removed, and a finished run still ends as finished.
void letWritesFailWithoutKilling();
