#pragma once
// Binary archive of the fractals document files: little-endian numbers and the
// length-prefixed single-byte texts of the Windows file layout. Texts live in
// memory as UTF-8 and are Windows-1252 on disk, converted here at the boundary so that a file
// written on Linux opens unchanged on Windows and back.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fractals {

// Failure of an archive operation; the cause codes are the ones the framework reports.
class ArchiveException : public std::runtime_error {
public:
    enum Cause {
        none = 0,
        generic = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7,
    };
    explicit ArchiveException(Cause cause);
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

const char* archiveCauseName(ArchiveException::Cause cause);

std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view bytes);

// One class for both directions, so that every serialise routine is written once and the
// reading and the writing order cannot drift apart.
class Archive {
public:
    static Archive forWriting() { return Archive(true, {}); }
    static Archive forReading(std::string bytes) { return Archive(false, std::move(bytes)); }

    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }

    void writeInt32(std::int32_t v);
    void writeDouble(double v);
    void writeBytes(std::string_view bytes);
    void writeString(std::string_view utf8);

    std::int32_t readInt32();
    double readDouble();
    std::string readBytes(std::size_t count);
    std::string readString();

    // Read or write depending on the direction.
    void io(std::int32_t& v) { storing_ ? writeInt32(v) : void(v = readInt32()); }
    void io(double& v) { storing_ ? writeDouble(v) : void(v = readDouble()); }
    void io(std::string& v) { storing_ ? writeString(v) : void(v = readString()); }

    // Everything written so far (writing) or the whole input (reading).
    const std::string& bytes() const { return bytes_; }
    std::size_t position() const { return pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }

private:
    Archive(bool storing, std::string bytes) : storing_(storing), bytes_(std::move(bytes)) {}
    void need(std::size_t count) const;
    void requireStoring() const;
    void requireLoading() const;

    bool storing_;
    std::string bytes_;
    std::size_t pos_ = 0;
};

// Whole-file helpers. Reading returns false with a reason; writing follows the suite's
// saving rules (suite::saveFile).
bool readWholeFile(const std::filesystem::path& path, std::string& bytes,
                   std::string* error = nullptr);
bool writeFileSafely(const std::filesystem::path& path, std::string_view bytes,
                     std::string* error = nullptr);

} // namespace fractals
