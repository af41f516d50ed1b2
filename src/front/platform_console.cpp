#include "platform_console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <stdio.h>  // fopencookie
#include <unistd.h>
#endif

#ifdef _WIN32

// A Windows stream cannot be given a read function, so a thread of its own
// reads standard input, filters it and writes the result into a pipe, which
// the stream reads. The thread calls no C library function: the C library
// may lock stdin's stream at exit, and the thread may still be waiting for
// a line then; the process ends it.
namespace {

constexpr DWORD CHUNK_BYTES = 4096;

HANDLE raw_input = INVALID_HANDLE_VALUE;
HANDLE filtered_output = nullptr;  // the pipe's writing end
ByteFilter pump_filter = nullptr;
unsigned char raw_chunk[CHUNK_BYTES];
DWORD raw_length = 0;
DWORD raw_next = 0;
unsigned char filtered_chunk[CHUNK_BYTES];
DWORD filtered_length = 0;

bool handOnFiltered() {
    for (DWORD done = 0; done < filtered_length;) {
        DWORD written = 0;
        if (!WriteFile(filtered_output, filtered_chunk + done, filtered_length - done, &written, nullptr)) return false;
        done += written;
    }
    filtered_length = 0;
    return true;
}

// Before waiting for more of standard input, everything filtered so far
// goes down the pipe: a read may be waiting for it.
int nextRawByte() {
    if (raw_next == raw_length) {
        DWORD got = 0;
        if (!handOnFiltered() || !ReadFile(raw_input, raw_chunk, CHUNK_BYTES, &got, nullptr) || got == 0) return EOF;
        raw_length = got;
        raw_next = 0;
    }
    return raw_chunk[raw_next++];
}

DWORD WINAPI pumpStandardInput(void*) {
    for (int byte; (byte = pump_filter(nextRawByte)) != EOF;) {
        filtered_chunk[filtered_length++] = static_cast<unsigned char>(byte);
        if (filtered_length == CHUNK_BYTES && !handOnFiltered()) break;
    }
    handOnFiltered();
    CloseHandle(filtered_output);  // the stream reads its end
    return 0;
}

HANDLE standardInputHandle() { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin))); }

// stdin's translation mode, which the pipe's reading end takes over: text
// unless the program was linked to read binary.
int standardInputMode() {
    const int mode = _setmode(_fileno(stdin), _O_TEXT);
    if (mode == -1) return _O_TEXT;
    _setmode(_fileno(stdin), mode);
    return mode;
}

}  // namespace

bool standardInputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(standardInputHandle(), &mode) != 0;
}

std::FILE* openStandardInputThrough(ByteFilter filter) {
    HANDLE filtered_input = nullptr;
    if (!CreatePipe(&filtered_input, &filtered_output, nullptr, 0)) return nullptr;
    const int mode = standardInputMode();
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(filtered_input), _O_RDONLY | mode);
    std::FILE* stream = descriptor < 0 ? nullptr : _fdopen(descriptor, mode == _O_BINARY ? "rb" : "rt");
    raw_input = standardInputHandle();
    pump_filter = filter;
    HANDLE pump = stream == nullptr ? nullptr : CreateThread(nullptr, 0, pumpStandardInput, nullptr, 0, nullptr);
    if (pump != nullptr) {
        CloseHandle(pump);
        return stream;
    }
    if (stream != nullptr) std::fclose(stream);
    else if (descriptor >= 0) _close(descriptor);
    else CloseHandle(filtered_input);
    CloseHandle(filtered_output);
    return nullptr;
}

#else

namespace {

ByteFilter stream_filter = nullptr;

int nextStandardInputByte() { return std::getc(stdin); }

// One byte a call: the filter reads standard input only as far as the
// formatted read has asked, so nothing typed later is taken early.
ssize_t readFiltered(void*, char* buffer, size_t size) {
    if (size == 0) return 0;
    const int byte = stream_filter(nextStandardInputByte);
    if (byte == EOF) return 0;
    buffer[0] = static_cast<char>(byte);
    return 1;
}

}  // namespace

bool standardInputIsConsole() { return isatty(STDIN_FILENO) == 1; }

std::FILE* openStandardInputThrough(ByteFilter filter) {
    stream_filter = filter;
    const cookie_io_functions_t functions = {readFiltered, nullptr, nullptr, nullptr};
    return fopencookie(nullptr, "r", functions);
}

#endif
