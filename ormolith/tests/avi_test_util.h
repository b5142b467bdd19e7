#pragma once
// Readers for the AVI tests: a small RIFF walker of our own, and ffprobe/ffmpeg as the
// independent readers that players use.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace avitest {

inline std::uint32_t le32(const std::string& b, std::uint64_t at)
{
    if (at + 4 > b.size())
        return 0xDEADBEEF;
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
inline std::uint16_t le16(const std::string& b, std::uint64_t at)
{
    return std::uint16_t(le32(b, at) & 0xFFFF);
}
inline std::uint64_t le64(const std::string& b, std::uint64_t at)
{
    return le32(b, at) | std::uint64_t(le32(b, at + 4)) << 32;
}

// One chunk or list of a RIFF file; `listType` is set for RIFF and LIST.
struct Chunk {
    std::string id, listType;
    std::uint64_t offset = 0; // of the chunk's id
    std::uint32_t size = 0;   // of its data
    std::vector<Chunk> children;
    std::uint64_t data() const { return offset + 8; }
    const Chunk* find(const std::string& name) const
    {
        for (const Chunk& c : children)
            if (c.id == name || (!c.listType.empty() && c.listType == name))
                return &c;
        return nullptr;
    }
};

// Walks [begin, end) as a sequence of chunks. Adds a failure when a chunk overruns its parent.
inline std::vector<Chunk> walk(const std::string& b, std::uint64_t begin, std::uint64_t end)
{
    std::vector<Chunk> out;
    std::uint64_t at = begin;
    while (at + 8 <= end) {
        Chunk c;
        c.id = b.substr(at, 4);
        c.offset = at;
        c.size = le32(b, at + 4);
        EXPECT_LE(at + 8 + c.size, end) << "chunk " << c.id << " at " << at << " overruns";
        const std::uint64_t stop = std::min<std::uint64_t>(at + 8 + c.size, end);
        if (c.id == "RIFF" || c.id == "LIST") {
            c.listType = b.substr(at + 8, 4);
            c.children = walk(b, at + 12, stop);
        }
        at = stop + (c.size & 1);
        out.push_back(std::move(c));
    }
    EXPECT_EQ(at, end) << "trailing bytes after the last chunk";
    return out;
}

inline std::string run(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0)
        out.append(buffer.data(), n);
    const int rc = ::pclose(p);
    if (status)
        *status = rc;
    return out;
}

inline bool haveFfmpeg()
{
    static const bool have = run("command -v ffprobe >/dev/null && command -v ffmpeg >/dev/null "
                                 "&& echo yes") == "yes\n";
    return have;
}

#define REQUIRE_FFMPEG()                                                                           \
    if (!avitest::haveFfmpeg())                                                                    \
    GTEST_SKIP() << "ffmpeg/ffprobe not installed (scripts/install-deps installs them)"

inline std::string quoted(const std::filesystem::path& p)
{
    return "'" + p.string() + "'";
}

struct Probe {
    std::string codec;
    unsigned width = 0, height = 0, frames = 0;
    std::string rate;
};

// What ffprobe reads from the file's video stream, counting the frames by decoding them.
inline Probe probe(const std::filesystem::path& file)
{
    const std::string text =
        run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
            "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=nw=1 " +
            quoted(file) + " 2>&1");
    Probe p;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name")
            p.codec = value;
        else if (key == "width")
            p.width = unsigned(std::stoul(value));
        else if (key == "height")
            p.height = unsigned(std::stoul(value));
        else if (key == "r_frame_rate")
            p.rate = value;
        else if (key == "nb_read_frames")
            p.frames = unsigned(std::stoul(value));
    }
    return p;
}

// The decoded frames as top-down rows of blue, green, red bytes, all frames one after another.
inline std::string decodeBgr(const std::filesystem::path& file)
{
    return run("ffmpeg -v error -i " + quoted(file) + " -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
}

// One line per decoded frame: its time stamps and a hash of its pixels.
inline std::string frameHashes(const std::filesystem::path& file)
{
    return run("ffmpeg -v error -i " + quoted(file) +
               " -f framemd5 - 2>/dev/null | grep -v '^#' | cut -d, -f2-");
}

} // namespace avitest
