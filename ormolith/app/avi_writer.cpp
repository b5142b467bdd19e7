#include "avi_writer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ormolith {

namespace {

// Layout of the headers this writer produces. Every offset below is fixed because the
// header is written once with placeholders and patched in place by finish().
constexpr std::uint64_t kAvihData = 32;   // "avih" data: 14 32-bit fields
constexpr std::uint64_t kStrhData = 108;  // "strh" data
constexpr std::uint64_t kStrfData = 172;  // "strf" data: BITMAPINFOHEADER
constexpr std::uint64_t kIndxData = 220;  // "indx" data: the OpenDML super index
constexpr std::uint64_t kDmlhData = 4360; // "dmlh" data: total frames of all RIFF lists
constexpr std::uint64_t kMoviList = 4608; // the first movi list
constexpr std::uint32_t kIndxSize = 24 + 16 * AviWriter::kSuperIndexEntries;
constexpr std::uint32_t kDmlhSize = 248;

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyFrame = 0x10;
// An ix00 entry's size with this bit set marks a frame that is not a key frame.
constexpr std::uint32_t kNotKeyFrameBit = 0x80000000u;

class Bytes {
public:
    void u8(std::uint8_t v) { s.push_back(char(v)); }
    void u16(std::uint16_t v)
    {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void u64(std::uint64_t v)
    {
        u32(std::uint32_t(v));
        u32(std::uint32_t(v >> 32));
    }
    void tag(const char (&t)[5]) { s.append(t, 4); }
    void zeros(std::size_t n) { s.append(n, '\0'); }
    std::string s;
};

std::string le32(std::uint32_t v)
{
    Bytes b;
    b.u32(v);
    return b.s;
}

std::uint32_t clamp32(std::uint64_t v)
{
    return v > UINT32_MAX ? UINT32_MAX : std::uint32_t(v);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Sinks

AviFileSink::~AviFileSink()
{
    close();
}

bool AviFileSink::open(const std::string& path)
{
    close();
    // Past a file-size limit (ulimit -f) the kernel would kill the process with SIGXFSZ before
    // the writer could finish the file's index; ignored, the write fails with EFBIG instead.
    std::signal(SIGXFSZ, SIG_IGN);
    // 0666 lets the umask decide, as for any newly created file.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    size_ = 0;
    return true;
}

bool AviFileSink::close()
{
    if (fd_ < 0)
        return true;
    const bool ok = ::close(fd_) == 0;
    if (!ok)
        lastError_ = std::strerror(errno);
    fd_ = -1;
    return ok;
}

bool AviFileSink::append(const void* data, std::size_t size)
{
    return writeAll(data, size, -1);
}

bool AviFileSink::overwrite(std::uint64_t offset, const void* data, std::size_t size)
{
    return writeAll(data, size, static_cast<std::int64_t>(offset));
}

bool AviFileSink::writeAll(const void* data, std::size_t size, std::int64_t at)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = at < 0 ? ::write(fd_, p, size) : ::pwrite(fd_, p, size, off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError_ = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        p += n;
        size -= std::size_t(n);
        if (at < 0)
            size_ += std::uint64_t(n);
        else
            at += n;
    }
    return true;
}

bool AviFileSink::truncate(std::uint64_t size)
{
    if (::ftruncate(fd_, off_t(size)) != 0 || ::lseek(fd_, off_t(size), SEEK_SET) < 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    size_ = size;
    return true;
}

bool AviMemorySink::append(const void* data, std::size_t size)
{
    const std::uint64_t room = bytes.size() < limit_ ? limit_ - bytes.size() : 0;
    const std::size_t n = size < room ? size : std::size_t(room);
    bytes.append(static_cast<const char*>(data), n);
    if (n < size) {
        lastError_ = "No space left on device";
        return false;
    }
    return true;
}

bool AviMemorySink::overwrite(std::uint64_t offset, const void* data, std::size_t size)
{
    if (offset > bytes.size() || size > bytes.size() - offset) {
        lastError_ = "overwrite past the end";
        return false;
    }
    std::memcpy(bytes.data() + offset, data, size);
    return true;
}

bool AviMemorySink::truncate(std::uint64_t size)
{
    if (size < bytes.size())
        bytes.resize(std::size_t(size));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Full frames

std::uint64_t DibEncoder::imageSize(unsigned width, unsigned height) const
{
    return ((std::uint64_t(width) * 3 + 3) & ~std::uint64_t(3)) * height;
}

bool DibEncoder::encode(const FramePixels& pixels, std::string& out, std::string& error)
{
    const std::uint64_t size = imageSize(pixels.width, pixels.height);
    if (pixels.data == nullptr || pixels.stride != size / (pixels.height ? pixels.height : 1)) {
        error = "the picture's rows do not have the stream's size";
        return false;
    }
    out.assign(reinterpret_cast<const char*>(pixels.data), std::size_t(size));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writer

AviWriter::AviWriter(AviSink& sink, const AviStreamFormat& format, std::uint64_t riffLimit)
    : sink_(sink), format_(format), riffLimit_(riffLimit),
      chunkId_(format.compressedChunks ? "00dc" : "00db")
{
    if (format_.fps == 0)
        format_.fps = 15;
}

bool AviWriter::formatIsValid(const AviStreamFormat& format, std::string* why)
{
    auto no = [&](const char* text) {
        if (why)
            *why = text;
        return false;
    };
    // The format stores the width and height as signed 32-bit numbers and the frame rectangle
    // as signed 16-bit ones; a frame must fit in one chunk of a 1 GB RIFF list.
    if (format.width == 0 || format.height == 0)
        return no("the picture has no pixels");
    if (format.width > 32767 || format.height > 32767)
        return no("a side is larger than 32767 pixels");
    if (format.imageSize == 0 || format.imageSize > kRiffLimit - kMoviList - 1024)
        return no("a frame would not fit in the file");
    return true;
}

bool AviWriter::fail(const std::string& what)
{
    error_ = what;
    if (!sink_.lastError().empty())
        error_ += ": " + sink_.lastError();
    return false;
}

bool AviWriter::begin()
{
    std::string why;
    if (!formatIsValid(format_, &why)) {
        error_ = why;
        return false;
    }
    const std::uint32_t image = clamp32(format_.imageSize);
    Bytes h;
    h.tag("RIFF");
    h.u32(0); // patched
    h.tag("AVI ");
    h.tag("LIST");
    h.u32(std::uint32_t(kMoviList - 20));
    h.tag("hdrl");

    h.tag("avih");
    h.u32(56);
    h.u32(1000000u / format_.fps);                      // microseconds a frame
    h.u32(clamp32(std::uint64_t(image) * format_.fps)); // bytes a second at most
    h.u32(0);                                           // padding granularity
    h.u32(kAvifHasIndex);
    h.u32(0); // frames of the first RIFF list, patched
    h.u32(0); // initial frames
    h.u32(1); // streams
    h.u32(image);
    h.u32(format_.width);
    h.u32(format_.height);
    h.zeros(16);

    h.tag("LIST");
    h.u32(4 + (8 + 56) + (8 + 40) + (8 + kIndxSize));
    h.tag("strl");
    h.tag("strh");
    h.u32(56);
    h.tag("vids");
    h.u32(format_.handler);
    h.u32(0); // flags
    h.u16(0); // priority
    h.u16(0); // language
    h.u32(0); // initial frames
    h.u32(1); // scale: the rate is frames a second
    h.u32(format_.fps);
    h.u32(0); // start
    h.u32(0); // length in frames, patched
    h.u32(image);
    h.u32(0); // quality
    h.u32(0); // sample size: frames vary
    h.u16(0);
    h.u16(0);
    h.u16(std::uint16_t(format_.width));
    h.u16(std::uint16_t(format_.height));

    h.tag("strf");
    h.u32(40);
    h.u32(40);
    h.u32(format_.width);
    h.u32(format_.height); // positive: rows bottom-up
    h.u16(1);              // planes
    h.u16(24);             // bits a pixel
    h.u32(format_.compression);
    h.u32(image);
    h.zeros(16);

    h.tag("indx");
    h.u32(kIndxSize);
    h.u16(4); // longs an entry
    h.u8(0);  // sub-type
    h.u8(0);  // an index of indexes
    h.u32(0); // entries in use, patched
    h.s += chunkId_;
    h.zeros(12);
    h.zeros(16 * kSuperIndexEntries);

    h.tag("LIST");
    h.u32(4 + 8 + kDmlhSize);
    h.tag("odml");
    h.tag("dmlh");
    h.u32(kDmlhSize);
    h.zeros(kDmlhSize); // total frames patched

    h.tag("LIST");
    h.u32(0); // patched
    h.tag("movi");

    if (h.s.size() != kMoviList + 12)
        return fail("internal header layout error");
    if (!sink_.append(h.s.data(), h.s.size()))
        return fail("writing the headers");
    riffs_.push_back({0, kMoviList, 0});
    committedEnd_ = sink_.size();
    begun_ = true;
    return true;
}

std::uint64_t AviWriter::closingBytes(const Riff& riff, std::size_t frames) const
{
    std::uint64_t bytes = 8 + 24 + 8 * std::uint64_t(frames); // ix00
    if (riff.start == 0)
        bytes += 8 + 16 * std::uint64_t(frames); // idx1
    return bytes;
}

bool AviWriter::startRiff()
{
    if (riffs_.size() >= kSuperIndexEntries)
        return fail("the file is larger than this writer's index can hold");
    Bytes h;
    h.tag("RIFF");
    h.u32(0);
    h.tag("AVIX");
    h.tag("LIST");
    h.u32(0);
    h.tag("movi");
    const std::uint64_t start = sink_.size();
    if (!sink_.append(h.s.data(), h.s.size()))
        return fail("writing a RIFF list");
    riffs_.push_back({start, start + 12, frames_.size()});
    committedEnd_ = sink_.size();
    return true;
}

bool AviWriter::closeRiff(Riff& riff, std::size_t endFrame)
{
    const std::size_t count = endFrame - riff.firstFrame;
    const std::uint32_t chunkId = format_.compressedChunks ? fourcc("00dc") : fourcc("00db");
    // The chunk index of this list lies inside its movi list; its entries count from the movi
    // list's start.
    Bytes ix;
    ix.tag("ix00");
    ix.u32(std::uint32_t(24 + 8 * count));
    ix.u16(2);
    ix.u8(0);
    ix.u8(1); // an index of chunks
    ix.u32(std::uint32_t(count));
    ix.u32(chunkId);
    ix.u64(riff.moviStart);
    ix.u32(0);
    for (std::size_t i = riff.firstFrame; i < endFrame; ++i) {
        const FrameEntry& f = frames_[i];
        ix.u32(std::uint32_t(f.offset + 8 - riff.moviStart));
        ix.u32(f.size | (f.key ? 0 : kNotKeyFrameBit));
    }
    const std::uint64_t indexOffset = sink_.size();
    if (!sink_.append(ix.s.data(), ix.s.size()))
        return fail("writing the index");
    const std::uint64_t moviEnd = sink_.size();
    if (riff.start == 0) {
        // The classic index: offsets count from the "movi" tag of the first list.
        Bytes idx;
        idx.tag("idx1");
        idx.u32(std::uint32_t(16 * count));
        for (std::size_t i = riff.firstFrame; i < endFrame; ++i) {
            const FrameEntry& f = frames_[i];
            idx.u32(chunkId);
            idx.u32(f.key ? kAviifKeyFrame : 0);
            idx.u32(std::uint32_t(f.offset - (riff.moviStart + 8)));
            idx.u32(f.size);
        }
        if (!sink_.append(idx.s.data(), idx.s.size()))
            return fail("writing the index");
    }
    const std::uint64_t end = sink_.size();
    const std::string moviSize = le32(std::uint32_t(moviEnd - (riff.moviStart + 8)));
    const std::string riffSize = le32(std::uint32_t(end - (riff.start + 8)));
    if (!sink_.overwrite(riff.moviStart + 4, moviSize.data(), 4) ||
        !sink_.overwrite(riff.start + 4, riffSize.data(), 4))
        return fail("writing the list sizes");
    riff.indexOffset = indexOffset;
    riff.indexSize = std::uint32_t(ix.s.size());
    committedEnd_ = end;
    return true;
}

bool AviWriter::writeFrame(const void* data, std::size_t size, bool keyFrame)
{
    if (!begun_ || broken_ || finished_) {
        error_ = broken_ ? error_ : "the file is not open for frames";
        return false;
    }
    if (size > format_.imageSize + 1024 * 1024 || size >= riffLimit_) {
        broken_ = true;
        error_ = "a frame larger than the stream's format";
        return false;
    }
    const std::uint64_t chunk = 8 + ((size + 1) & ~std::size_t(1));
    auto fits = [&](const Riff& r) {
        const std::size_t inList = frames_.size() - r.firstFrame;
        return sink_.size() + chunk + closingBytes(r, inList + 1) - r.start <= riffLimit_;
    };
    if (!fits(riffs_.back())) {
        if (frames_.size() == riffs_.back().firstFrame) {
            broken_ = true;
            error_ = "a frame larger than a RIFF list";
            return false;
        }
        if (!closeRiff(riffs_.back(), frames_.size()) || !startRiff()) {
            broken_ = true;
            return false;
        }
    }
    Bytes h;
    h.s = chunkId_;
    h.u32(std::uint32_t(size));
    const std::uint64_t offset = sink_.size();
    const char pad = 0;
    if (!sink_.append(h.s.data(), 8) || !sink_.append(data, size) ||
        ((size & 1) != 0 && !sink_.append(&pad, 1))) {
        broken_ = true;
        return fail("writing a frame");
    }
    frames_.push_back({offset, std::uint32_t(size), keyFrame});
    committedEnd_ = sink_.size();
    return true;
}

bool AviWriter::patchHeaders()
{
    const std::size_t firstList =
        (riffs_.size() > 1 ? riffs_[1].firstFrame : frames_.size()) - riffs_[0].firstFrame;
    const std::string inFirst = le32(std::uint32_t(firstList));
    const std::string total = le32(std::uint32_t(frames_.size()));
    Bytes super;
    std::uint32_t used = 0;
    for (std::size_t i = 0; i < riffs_.size(); ++i) {
        const Riff& r = riffs_[i];
        if (r.indexSize == 0)
            continue;
        const std::size_t end = i + 1 < riffs_.size() ? riffs_[i + 1].firstFrame : frames_.size();
        super.u64(r.indexOffset);
        super.u32(r.indexSize);
        super.u32(std::uint32_t(end - r.firstFrame));
        ++used;
    }
    const std::string entries = le32(used);
    if (!sink_.overwrite(kAvihData + 16, inFirst.data(), 4) ||
        !sink_.overwrite(kStrhData + 32, total.data(), 4) ||
        !sink_.overwrite(kDmlhData, total.data(), 4) ||
        !sink_.overwrite(kIndxData + 4, entries.data(), 4) ||
        (!super.s.empty() && !sink_.overwrite(kIndxData + 24, super.s.data(), super.s.size())))
        return fail("writing the headers");
    return true;
}

bool AviWriter::finish()
{
    if (finished_)
        return complete_;
    if (!begun_)
        return false;
    finished_ = true;
    const std::string firstError = error_;
    auto done = [&] {
        error_ = firstError;
        complete_ = true;
        return true;
    };
    // Whatever the last append left beyond the last complete frame goes first, then the indexes
    // are written there; when they do not fit (the disk is full), the last frames make room.
    for (;;) {
        if (!sink_.truncate(committedEnd_))
            return fail("cutting off a partial frame");
        Riff& riff = riffs_.back();
        if (riff.indexSize != 0) {
            // Closed when the next list could not be started.
            if (patchHeaders())
                return done();
            return false;
        }
        if (closeRiff(riff, frames_.size()) && patchHeaders())
            return done();
        if (frames_.size() > riff.firstFrame) {
            committedEnd_ = frames_.back().offset;
            frames_.pop_back();
        } else if (riffs_.size() > 1) {
            // An empty continuation list: the lists before it were closed already.
            committedEnd_ = riff.start;
            riffs_.pop_back();
        } else {
            return false;
        }
    }
}

} // namespace ormolith
