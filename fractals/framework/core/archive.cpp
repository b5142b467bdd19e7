#include "archive.h"

#include <save_file.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fractals {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five bytes Windows leaves
// undefined map to the C1 controls of the same value, so every byte survives a round trip.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence; malformed input yields U+FFFD and consumes one byte.
char32_t nextCodePoint(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t c = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += 1 + extra;
    return c;
}

} // namespace

ArchiveException::ArchiveException(Cause cause)
    : std::runtime_error(archiveCauseName(cause)), cause_(cause)
{
}

const char* archiveCauseName(ArchiveException::Cause cause)
{
    switch (cause) {
    case ArchiveException::none:
        return "no error";
    case ArchiveException::generic:
        return "generic error";
    case ArchiveException::readOnly:
        return "read-only archive";
    case ArchiveException::endOfFile:
        return "unexpected end of file";
    case ArchiveException::writeOnly:
        return "write-only archive";
    case ArchiveException::badIndex:
        return "bad index";
    case ArchiveException::badClass:
        return "bad class";
    case ArchiveException::badSchema:
        return "bad schema";
    }
    return "unknown error";
}

std::string utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = nextCodePoint(utf8, i);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (std::size_t k = 0; k < kCp1252High.size(); ++k)
            if (kCp1252High[k] == c)
                mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0)
            appendUtf8(out, kCp1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

void Archive::requireStoring() const
{
    if (!storing_)
        throw ArchiveException(ArchiveException::readOnly);
}

void Archive::requireLoading() const
{
    if (storing_)
        throw ArchiveException(ArchiveException::writeOnly);
}

void Archive::need(std::size_t count) const
{
    if (count > bytes_.size() - pos_)
        throw ArchiveException(ArchiveException::endOfFile);
}

void Archive::writeInt32(std::int32_t v)
{
    requireStoring();
    const auto u = static_cast<std::uint32_t>(v);
    for (int k = 0; k < 4; ++k)
        bytes_ += static_cast<char>((u >> (8 * k)) & 0xFF);
}

void Archive::writeDouble(double v)
{
    requireStoring();
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int k = 0; k < 8; ++k)
        bytes_ += static_cast<char>((u >> (8 * k)) & 0xFF);
}

void Archive::writeBytes(std::string_view bytes)
{
    requireStoring();
    bytes_.append(bytes);
}

void Archive::writeString(std::string_view utf8)
{
    requireStoring();
    const std::string text = utf8ToCp1252(utf8);
    const std::size_t n = text.size();
    if (n < 0xFF) {
        bytes_ += static_cast<char>(n);
    } else if (n < 0xFFFE) {
        bytes_ += '\xFF';
        bytes_ += static_cast<char>(n & 0xFF);
        bytes_ += static_cast<char>((n >> 8) & 0xFF);
    } else {
        bytes_ += '\xFF';
        bytes_ += '\xFF';
        bytes_ += '\xFF';
        writeInt32(static_cast<std::int32_t>(static_cast<std::uint32_t>(n)));
    }
    bytes_ += text;
}

std::int32_t Archive::readInt32()
{
    requireLoading();
    need(4);
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[pos_ + k])) << (8 * k);
    pos_ += 4;
    return static_cast<std::int32_t>(u);
}

double Archive::readDouble()
{
    requireLoading();
    need(8);
    std::uint64_t u = 0;
    for (int k = 0; k < 8; ++k)
        u |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[pos_ + k])) << (8 * k);
    pos_ += 8;
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

std::string Archive::readBytes(std::size_t count)
{
    requireLoading();
    need(count);
    std::string out = bytes_.substr(pos_, count);
    pos_ += count;
    return out;
}

std::string Archive::readString()
{
    requireLoading();
    need(1);
    std::size_t n = static_cast<unsigned char>(bytes_[pos_++]);
    if (n == 0xFF) {
        need(2);
        n = static_cast<unsigned char>(bytes_[pos_]) |
            (static_cast<std::size_t>(static_cast<unsigned char>(bytes_[pos_ + 1])) << 8);
        pos_ += 2;
        if (n == 0xFFFE) {
            // A wide-character text written by a Unicode build: the length follows again,
            // then UTF-16LE characters. Read it so that such a file is not refused for a name.
            need(1);
            std::size_t wn = static_cast<unsigned char>(bytes_[pos_++]);
            if (wn == 0xFF) {
                need(2);
                wn = static_cast<unsigned char>(bytes_[pos_]) |
                     (static_cast<std::size_t>(static_cast<unsigned char>(bytes_[pos_ + 1])) << 8);
                pos_ += 2;
                if (wn == 0xFFFF)
                    wn = static_cast<std::uint32_t>(readInt32());
            }
            if (wn > (bytes_.size() - pos_) / 2)
                throw ArchiveException(ArchiveException::endOfFile);
            std::string out;
            for (std::size_t k = 0; k < wn; ++k) {
                const char32_t c =
                    static_cast<unsigned char>(bytes_[pos_ + 2 * k]) |
                    (static_cast<char32_t>(static_cast<unsigned char>(bytes_[pos_ + 2 * k + 1]))
                     << 8);
                appendUtf8(out, (c >= 0xD800 && c < 0xE000) ? char32_t(0xFFFD) : c);
            }
            pos_ += 2 * wn;
            return out;
        }
        if (n == 0xFFFF)
            n = static_cast<std::uint32_t>(readInt32());
    }
    need(n);
    std::string out = cp1252ToUtf8(std::string_view(bytes_).substr(pos_, n));
    pos_ += n;
    return out;
}

bool readWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error)
            *error = "cannot read " + path.string();
        return false;
    }
    return true;
}

bool writeFileSafely(const std::filesystem::path& path, std::string_view bytes, std::string* error)
{
    return suite::saveFile(path.string(), bytes, error);
}

} // namespace fractals
