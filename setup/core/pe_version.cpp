#include "pe_version.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace setup {
namespace {

// Every offset below comes from the file itself, so each read is checked against the size.
class Bytes {
public:
    explicit Bytes(std::string_view data) : data_(data) {}

    bool has(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= data_.size() && count <= data_.size() - offset;
    }
    std::optional<std::uint32_t> u16(std::uint64_t offset) const { return read(offset, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const { return read(offset, 4); }

private:
    std::optional<std::uint32_t> read(std::uint64_t offset, unsigned count) const
    {
        if (!has(offset, count))
            return std::nullopt;
        std::uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i) // little-endian on disk
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data_[offset + i]))
                     << (8 * i);
        return value;
    }
    std::string_view data_;
};

constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr std::uint32_t kPe32Magic = 0x10b;
constexpr std::uint32_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kResourceDirectoryIndex = 2; // data directory of the resource tree
constexpr std::uint32_t kRtVersion = 16;             // resource type of VS_VERSIONINFO
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

struct Image {
    const Bytes& bytes;
    std::uint64_t sectionTable;
    std::uint32_t sectionCount;

    // Maps an address of the loaded image to its place in the file.
    std::optional<std::uint64_t> fileOffset(std::uint32_t rva, std::uint32_t size) const
    {
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            const std::uint64_t at = sectionTable + 40ull * i;
            const auto va = bytes.u32(at + 12), vsize = bytes.u32(at + 8);
            const auto rsize = bytes.u32(at + 16), roff = bytes.u32(at + 20);
            if (!va || !vsize || !rsize || !roff)
                return std::nullopt;
            const std::uint64_t extent = std::max(*vsize, *rsize);
            if (rva < *va || rva - *va >= extent)
                continue;
            const std::uint64_t inSection = rva - *va;
            if (inSection + size > *rsize || !bytes.has(*roff + inSection, size))
                return std::nullopt;
            return *roff + inSection;
        }
        return std::nullopt;
    }
};

// Entry `wantedId` of a resource directory, or its first entry when wantedId is empty.
// Offsets inside the resource tree are relative to the start of the tree.
std::optional<std::uint32_t> findEntry(const Bytes& bytes, std::uint64_t tree,
                                       std::uint32_t directory,
                                       std::optional<std::uint32_t> wantedId)
{
    const std::uint64_t at = tree + directory;
    const auto named = bytes.u16(at + 12), ids = bytes.u16(at + 14);
    if (!named || !ids)
        return std::nullopt;
    const std::uint32_t count = *named + *ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = at + 16 + 8ull * i;
        const auto name = bytes.u32(entry), offset = bytes.u32(entry + 4);
        if (!name || !offset)
            return std::nullopt;
        if (!wantedId || (!(*name & kSubdirectoryBit) && *name == *wantedId))
            return *offset;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> peFileVersion(std::string_view data)
{
    const Bytes bytes(data);
    if (data.substr(0, 2) != "MZ")
        return std::nullopt;
    const auto peOffset = bytes.u32(0x3C);
    if (!peOffset || bytes.u32(*peOffset) != kPeSignature)
        return std::nullopt;
    const std::uint64_t coff = *peOffset + 4ull;
    const auto sectionCount = bytes.u16(coff + 2);
    const auto optionalSize = bytes.u16(coff + 16);
    if (!sectionCount || !optionalSize)
        return std::nullopt;
    const std::uint64_t optional = coff + 20;
    const auto magic = bytes.u16(optional);
    if (magic != kPe32Magic && magic != kPe32PlusMagic)
        return std::nullopt;
    const std::uint64_t directories = optional + (magic == kPe32Magic ? 96 : 112);
    const auto directoryCount = bytes.u32(directories - 4);
    if (!directoryCount || *directoryCount <= kResourceDirectoryIndex ||
        directories + 8ull * (kResourceDirectoryIndex + 1) > optional + *optionalSize)
        return std::nullopt;
    const auto resourceRva = bytes.u32(directories + 8ull * kResourceDirectoryIndex);
    const auto resourceSize = bytes.u32(directories + 8ull * kResourceDirectoryIndex + 4);
    if (!resourceRva || !resourceSize || *resourceRva == 0)
        return std::nullopt;

    const Image image{bytes, optional + *optionalSize, *sectionCount};
    const auto tree = image.fileOffset(*resourceRva, 16);
    if (!tree)
        return std::nullopt;

    // Type (RT_VERSION) -> name (the first) -> language (the first) -> data entry.
    auto offset = findEntry(bytes, *tree, 0, kRtVersion);
    for (int level = 0; offset && level < 2; ++level) {
        if (!(*offset & kSubdirectoryBit))
            return std::nullopt;
        offset = findEntry(bytes, *tree, *offset & ~kSubdirectoryBit, std::nullopt);
    }
    if (!offset || (*offset & kSubdirectoryBit))
        return std::nullopt;
    const auto dataRva = bytes.u32(*tree + *offset);
    const auto dataSize = bytes.u32(*tree + *offset + 4);
    if (!dataRva || !dataSize)
        return std::nullopt;

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" in UTF-16 with
    // its terminator (38 bytes so far), padding to a 4-byte boundary, then VS_FIXEDFILEINFO.
    constexpr std::uint32_t kFixedInfoAt = 40;
    constexpr std::uint32_t kFixedInfoSize = 52;
    if (*dataSize < kFixedInfoAt + kFixedInfoSize)
        return std::nullopt;
    const auto info = image.fileOffset(*dataRva, kFixedInfoAt + kFixedInfoSize);
    if (!info)
        return std::nullopt;
    static constexpr std::string_view kKey = "VS_VERSION_INFO";
    for (std::size_t i = 0; i <= kKey.size(); ++i) {
        const char expected = i < kKey.size() ? kKey[i] : '\0';
        if (bytes.u16(*info + 6 + 2 * i) != static_cast<std::uint32_t>(expected))
            return std::nullopt;
    }
    const auto valueLength = bytes.u16(*info + 2);
    if (!valueLength || *valueLength < kFixedInfoSize ||
        bytes.u32(*info + kFixedInfoAt) != kFixedInfoSignature)
        return std::nullopt;
    const auto versionMs = bytes.u32(*info + kFixedInfoAt + 8);
    const auto versionLs = bytes.u32(*info + kFixedInfoAt + 12);
    if (!versionMs || !versionLs)
        return std::nullopt;
    return (static_cast<std::uint64_t>(*versionMs) << 32) | *versionLs;
}

std::optional<std::uint64_t> peFileVersionOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    char magic[2] = {};
    if (!in.read(magic, 2) || magic[0] != 'M' || magic[1] != 'Z')
        return std::nullopt;
    in.seekg(0);
    // The resource tree can lie anywhere in the file, so the whole file is read; only files
    // being installed get here, and they are small.
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return peFileVersion(data);
}

} // namespace setup
