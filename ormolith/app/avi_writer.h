#pragma once
// Our own AVI writer: one video stream in a RIFF "AVI " file, with the classic idx1 index that
// every player reads and the OpenDML extension (an "indx" super index, "ix00" chunk indexes and
// further "AVIX" RIFF lists) so that a file can grow past the 1 GB that a single RIFF list of
// the classic layout allows. Frames come from a FrameEncoder; the bytes go to an AviSink, a
// file or (for tests) memory. No Qt here; the JPEG encoder lives in mjpeg_encoder.*.
//
// A write that fails (a full disk, a file-size limit) never leaves a file that players refuse:
// the writer cuts the file back to the last complete frame and writes the indexes there, giving
// up the last frames if that is what it takes to make room for them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ormolith {

// Where the file's bytes go.
class AviSink {
public:
    virtual ~AviSink() = default;
    // Appends at the end. False (and lastError set) when not everything was written; what was
    // written may stay until truncate() cuts it off.
    virtual bool append(const void* data, std::size_t size) = 0;
    // Overwrites bytes that were appended before.
    virtual bool overwrite(std::uint64_t offset, const void* data, std::size_t size) = 0;
    virtual bool truncate(std::uint64_t size) = 0;
    virtual std::uint64_t size() const = 0;
    const std::string& lastError() const { return lastError_; }

protected:
    std::string lastError_;
};

// A file opened (created or emptied) for writing.
class AviFileSink : public AviSink {
public:
    AviFileSink() = default;
    ~AviFileSink() override;
    AviFileSink(const AviFileSink&) = delete;
    AviFileSink& operator=(const AviFileSink&) = delete;
    bool open(const std::string& path);
    bool close();
    bool append(const void* data, std::size_t size) override;
    bool overwrite(std::uint64_t offset, const void* data, std::size_t size) override;
    bool truncate(std::uint64_t size) override;
    std::uint64_t size() const override { return size_; }

private:
    // Writes every byte, retrying interrupted calls: at the file's position when `at` is
    // negative (and counts them into size_), else at offset `at`.
    bool writeAll(const void* data, std::size_t size, std::int64_t at);

    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Bytes in memory, optionally refusing to grow past `limit` as a full disk would (the bytes up
// to the limit are kept, like a partial write).
class AviMemorySink : public AviSink {
public:
    explicit AviMemorySink(std::uint64_t limit = UINT64_MAX) : limit_(limit) {}
    bool append(const void* data, std::size_t size) override;
    bool overwrite(std::uint64_t offset, const void* data, std::size_t size) override;
    bool truncate(std::uint64_t size) override;
    std::uint64_t size() const override { return bytes.size(); }
    std::string bytes;

private:
    std::uint64_t limit_;
};

// A picture as the engine leaves it: bottom-up rows of blue, green, red bytes, `stride` bytes a
// row (a multiple of 4).
struct FramePixels {
    const std::uint8_t* data = nullptr;
    unsigned width = 0, height = 0, stride = 0;
};

// Turns pictures into the bytes of one AVI frame.
class FrameEncoder {
public:
    virtual ~FrameEncoder() = default;
    // The stream header's handler and the format's compression (FOURCCs; 0 for plain DIB).
    virtual std::uint32_t handler() const = 0;
    virtual std::uint32_t compression() const = 0;
    // The format's image size for a width x height picture; 0 when the encoder cannot take
    // that size.
    virtual std::uint64_t imageSize(unsigned width, unsigned height) const = 0;
    // Whether the frame chunks are "00dc" (compressed) rather than "00db".
    virtual bool compressed() const = 0;
    // The frame's bytes into `out`; false (with `error`) when the picture cannot be encoded.
    virtual bool encode(const FramePixels& pixels, std::string& out, std::string& error) = 0;
};

// Full frames: the picture's rows as they are, padded to 4 bytes, so the format's image size
// and every frame's size agree for any width.
class DibEncoder : public FrameEncoder {
public:
    std::uint32_t handler() const override { return 0; }
    std::uint32_t compression() const override { return 0; }
    std::uint64_t imageSize(unsigned width, unsigned height) const override;
    bool compressed() const override { return false; }
    bool encode(const FramePixels& pixels, std::string& out, std::string& error) override;
};

constexpr std::uint32_t fourcc(const char (&text)[5])
{
    return std::uint32_t(std::uint8_t(text[0])) | std::uint32_t(std::uint8_t(text[1])) << 8 |
           std::uint32_t(std::uint8_t(text[2])) << 16 | std::uint32_t(std::uint8_t(text[3])) << 24;
}

struct AviStreamFormat {
    unsigned width = 0, height = 0;
    unsigned fps = 15;
    std::uint32_t handler = 0;     // strh fccHandler
    std::uint32_t compression = 0; // strf biCompression
    std::uint64_t imageSize = 0;   // strf biSizeImage and the suggested buffer size
    bool compressedChunks = false;
};

class AviWriter {
public:
    // Classic readers stop at 1 GB per RIFF list; every list is kept below this.
    static constexpr std::uint64_t kRiffLimit = std::uint64_t(1) << 30;
    // Entries reserved in the super index: 256 RIFF lists of up to 1 GB each.
    static constexpr unsigned kSuperIndexEntries = 256;

    // `riffLimit` is lowered only by tests, to reach the extension with small files.
    AviWriter(AviSink& sink, const AviStreamFormat& format, std::uint64_t riffLimit = kRiffLimit);

    // Checks the format (sizes that fit the file's 32-bit fields, a width and height of at
    // least 1, fps 0 taken as 15) and writes the headers. False with error() set.
    static bool formatIsValid(const AviStreamFormat& format, std::string* why = nullptr);
    bool begin();
    // Appends one frame; `keyFrame` sets the index's key-frame flag.
    bool writeFrame(const void* data, std::size_t size, bool keyFrame);
    // Writes the indexes and the final sizes and counts. After a failed writeFrame it first
    // cuts off the partial frame. True when the file is complete and readable (after a failed
    // frame too, whose error stays in error()); false when even the cut-back file could not be
    // completed.
    bool finish();

    unsigned framesWritten() const { return unsigned(frames_.size()); }
    const std::string& error() const { return error_; }

private:
    struct FrameEntry {
        std::uint64_t offset; // of the chunk header in the file
        std::uint32_t size;   // of the data
        bool key;
    };
    struct Riff {
        std::uint64_t start;           // offset of "RIFF"
        std::uint64_t moviStart;       // offset of the "LIST" of the movi list
        std::size_t firstFrame;        // index into frames_
        std::uint64_t indexOffset = 0; // of its ix00 chunk, once written
        std::uint32_t indexSize = 0;   // the ix00 chunk with its header
    };

    std::uint64_t closingBytes(const Riff& riff, std::size_t frames) const;
    bool startRiff();
    bool closeRiff(Riff& riff, std::size_t endFrame);
    bool patchHeaders();
    bool fail(const std::string& what);

    AviSink& sink_;
    AviStreamFormat format_;
    std::uint64_t riffLimit_;
    std::string chunkId_; // "00db" or "00dc"
    std::vector<FrameEntry> frames_;
    std::vector<Riff> riffs_;
    std::uint64_t committedEnd_ = 0; // end of the last complete frame
    bool begun_ = false, broken_ = false, finished_ = false, complete_ = false;
    std::string error_;
};

} // namespace ormolith
