// A BMP file held in memory, readable and writable through the same byte
// source and sink the program uses for files. For tests and the fuzzer.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/bmp_format.h"

struct MemoryFile {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

inline std::size_t readFromMemory(void* context, std::uint8_t* destination, std::size_t count) {
    MemoryFile* file = static_cast<MemoryFile*>(context);
    const std::size_t left = file->size - file->position;
    const std::size_t taken = count < left ? count : left;
    if (taken > 0) std::memcpy(destination, file->data + file->position, taken);
    file->position += taken;
    return taken;
}

inline bool memoryNeverFails(void*) { return false; }

inline ByteSource memorySource(MemoryFile* file) { return ByteSource{file, readFromMemory, memoryNeverFails}; }

inline bool appendToVector(void* context, const std::uint8_t* source, std::size_t count) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    bytes->insert(bytes->end(), source, source + count);
    return true;
}

inline ByteSink vectorSink(std::vector<std::uint8_t>* bytes) { return ByteSink{bytes, appendToVector}; }
