#pragma once
// Byte builders for the document-file tests: expected files are spelled out field by field,
// independently of the archive code under test (only the common header is taken from it,
// and that is checked byte for byte on its own in the archive tests).
#include "archive.h"
#include "file_header.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace fractals::test {

// A double as the eight little-endian bytes of its IEEE 754 form.
inline std::string le64(double v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    std::string s;
    for (int k = 0; k < 8; ++k)
        s += static_cast<char>((u >> (8 * k)) & 0xFF);
    return s;
}

inline std::string headerBytes()
{
    Archive ar = Archive::forWriting();
    ReadWriteFileHeader(ar);
    return ar.bytes();
}

} // namespace fractals::test
