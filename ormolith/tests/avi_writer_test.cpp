#include <gtest/gtest.h>

#include <QImage>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "avi_test_util.h"
#include "avi_writer.h"
#include "mjpeg_encoder.h"
#include "temp_env.h"

using namespace ormolith;
using avitest::Chunk;
using avitest::le16;
using avitest::le32;
using avitest::le64;

namespace {

AviStreamFormat dibFormat(unsigned width, unsigned height, unsigned fps)
{
    DibEncoder dib;
    AviStreamFormat f;
    f.width = width;
    f.height = height;
    f.fps = fps;
    f.imageSize = dib.imageSize(width, height);
    return f;
}

// A frame whose every byte tells which frame it is.
std::string frameBytes(std::size_t size, int index)
{
    return std::string(size, char('A' + index % 26));
}

std::vector<Chunk> top(const std::string& bytes)
{
    return avitest::walk(bytes, 0, bytes.size());
}

// A file sink that leaves a hole where an appended block ends in a long run of zeros, so a
// file of more than a gigabyte takes a few kilobytes of disk and no time to write. Every other
// byte goes to the file as AviFileSink writes it.
class SparseFileSink : public AviSink {
public:
    explicit SparseFileSink(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644))
    {
    }
    ~SparseFileSink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    bool append(const void* data, std::size_t size) override
    {
        const auto* p = static_cast<const char*>(data);
        std::size_t written = size;
        // Blocks of 64 KiB of zeros at the end are skipped, not written.
        static const std::string zeros(64 * 1024, '\0');
        while (written >= zeros.size() &&
               std::memcmp(p + written - zeros.size(), zeros.data(), zeros.size()) == 0)
            written -= zeros.size();
        if (!put(p, written, size_))
            return false;
        if (written < size && ::lseek(fd_, off_t(size - written), SEEK_CUR) < 0)
            return fail();
        size_ += size;
        return true;
    }
    bool overwrite(std::uint64_t offset, const void* data, std::size_t size) override
    {
        return put(static_cast<const char*>(data), size, offset);
    }
    bool truncate(std::uint64_t size) override
    {
        if (::ftruncate(fd_, off_t(size)) != 0 || ::lseek(fd_, off_t(size), SEEK_SET) < 0)
            return fail();
        size_ = size;
        return true;
    }
    std::uint64_t size() const override { return size_; }
    std::string read(std::uint64_t offset, std::size_t size) const
    {
        std::string out(size, '\0');
        const ssize_t n = ::pread(fd_, out.data(), size, off_t(offset));
        out.resize(n > 0 ? std::size_t(n) : 0);
        return out;
    }

private:
    bool put(const char* p, std::size_t size, std::uint64_t at)
    {
        while (size > 0) {
            const ssize_t n = ::pwrite(fd_, p, size, off_t(at));
            if (n <= 0)
                return fail();
            p += n;
            size -= std::size_t(n);
            at += std::uint64_t(n);
        }
        return true;
    }
    bool fail()
    {
        lastError_ = std::strerror(errno);
        return false;
    }
    int fd_;
    std::uint64_t size_ = 0;
};

} // namespace

TEST(AviWriter, TwoFullFramesGiveTheClassicLayoutWithBothIndexes)
{
    AviMemorySink sink;
    AviWriter w(sink, dibFormat(3, 2, 10));
    ASSERT_TRUE(w.begin()) << w.error();
    // A 3-pixel row is 9 bytes, padded to 12: 24 bytes a frame.
    ASSERT_TRUE(w.writeFrame(frameBytes(24, 0).data(), 24, true));
    ASSERT_TRUE(w.writeFrame(frameBytes(24, 1).data(), 24, false));
    ASSERT_TRUE(w.finish()) << w.error();
    const std::string& b = sink.bytes;

    // 4620 header bytes, two 32-byte chunks, a 48-byte ix00 and a 40-byte idx1.
    ASSERT_EQ(b.size(), 4772u);
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(b, 4), 4764u);
    EXPECT_EQ(b.substr(8, 4), "AVI ");
    const auto chunks = top(b);
    ASSERT_EQ(chunks.size(), 1u);
    const Chunk& riff = chunks[0];
    ASSERT_EQ(riff.children.size(), 3u);
    EXPECT_EQ(riff.children[0].listType, "hdrl");
    EXPECT_EQ(riff.children[1].listType, "movi");
    EXPECT_EQ(riff.children[2].id, "idx1");

    // Main header: 100000 us a frame, has an index, 2 frames, 1 stream, 3x2.
    const Chunk* avih = riff.children[0].find("avih");
    ASSERT_TRUE(avih);
    EXPECT_EQ(avih->size, 56u);
    EXPECT_EQ(le32(b, avih->data() + 0), 100000u);
    EXPECT_EQ(le32(b, avih->data() + 12), 0x10u);
    EXPECT_EQ(le32(b, avih->data() + 16), 2u);
    EXPECT_EQ(le32(b, avih->data() + 24), 1u);
    EXPECT_EQ(le32(b, avih->data() + 28), 24u);
    EXPECT_EQ(le32(b, avih->data() + 32), 3u);
    EXPECT_EQ(le32(b, avih->data() + 36), 2u);

    const Chunk* strl = riff.children[0].find("strl");
    ASSERT_TRUE(strl);
    const Chunk* strh = strl->find("strh");
    ASSERT_TRUE(strh);
    EXPECT_EQ(b.substr(strh->data(), 4), "vids");
    EXPECT_EQ(le32(b, strh->data() + 4), 0u);   // handler
    EXPECT_EQ(le32(b, strh->data() + 20), 1u);  // scale
    EXPECT_EQ(le32(b, strh->data() + 24), 10u); // rate
    EXPECT_EQ(le32(b, strh->data() + 32), 2u);  // length
    EXPECT_EQ(le32(b, strh->data() + 36), 24u); // suggested buffer
    EXPECT_EQ(le16(b, strh->data() + 52), 3u);  // frame rectangle right
    EXPECT_EQ(le16(b, strh->data() + 54), 2u);  // and bottom

    const Chunk* strf = strl->find("strf");
    ASSERT_TRUE(strf);
    ASSERT_EQ(strf->size, 40u);
    EXPECT_EQ(le32(b, strf->data()), 40u);
    EXPECT_EQ(le32(b, strf->data() + 4), 3u);
    EXPECT_EQ(le32(b, strf->data() + 8), 2u);
    EXPECT_EQ(le16(b, strf->data() + 12), 1u);
    EXPECT_EQ(le16(b, strf->data() + 14), 24u);
    EXPECT_EQ(le32(b, strf->data() + 16), 0u);
    EXPECT_EQ(le32(b, strf->data() + 20), 24u);

    // movi: the two frames, then the chunk index of this list.
    const Chunk& movi = riff.children[1];
    ASSERT_EQ(movi.children.size(), 3u);
    EXPECT_EQ(movi.children[0].id, "00db");
    EXPECT_EQ(movi.children[0].offset, 4620u);
    EXPECT_EQ(b.substr(movi.children[1].data(), 24), frameBytes(24, 1));
    const Chunk& ix = movi.children[2];
    EXPECT_EQ(ix.id, "ix00");
    EXPECT_EQ(ix.size, 40u);
    EXPECT_EQ(le32(b, ix.data() + 4), 2u);                 // entries
    EXPECT_EQ(b.substr(ix.data() + 8, 4), "00db");         // chunk id
    EXPECT_EQ(le64(b, ix.data() + 12), 4608u);             // base: the movi list
    EXPECT_EQ(le32(b, ix.data() + 24), 4628u - 4608u);     // first frame's data
    EXPECT_EQ(le32(b, ix.data() + 28), 24u);               // a key frame
    EXPECT_EQ(le32(b, ix.data() + 32), 4660u - 4608u);     // second frame's data
    EXPECT_EQ(le32(b, ix.data() + 36), 24u | 0x80000000u); // not a key frame

    // idx1: offsets from the "movi" tag, key flag on the first frame only.
    const Chunk& idx1 = riff.children[2];
    ASSERT_EQ(idx1.size, 32u);
    EXPECT_EQ(b.substr(idx1.data(), 4), "00db");
    EXPECT_EQ(le32(b, idx1.data() + 4), 0x10u);
    EXPECT_EQ(le32(b, idx1.data() + 8), 4u);
    EXPECT_EQ(le32(b, idx1.data() + 12), 24u);
    EXPECT_EQ(le32(b, idx1.data() + 20), 0u);
    EXPECT_EQ(le32(b, idx1.data() + 24), 36u);

    // The super index points at the ix00 chunk; dmlh counts every frame.
    const Chunk* indx = strl->find("indx");
    ASSERT_TRUE(indx);
    EXPECT_EQ(le32(b, indx->data() + 4), 1u);
    EXPECT_EQ(le64(b, indx->data() + 24), ix.offset);
    EXPECT_EQ(le32(b, indx->data() + 32), 48u);
    EXPECT_EQ(le32(b, indx->data() + 36), 2u);
    const Chunk* odml = riff.children[0].find("odml");
    ASSERT_TRUE(odml);
    EXPECT_EQ(le32(b, odml->children.at(0).data()), 2u);
}

TEST(AviWriter, OddSizedFramesArePaddedToAnEvenChunk)
{
    AviStreamFormat f = dibFormat(4, 4, 0); // fps 0 stands for 15
    f.compressedChunks = true;
    f.handler = f.compression = fourcc("MJPG");
    AviMemorySink sink;
    AviWriter w(sink, f);
    ASSERT_TRUE(w.begin());
    ASSERT_TRUE(w.writeFrame("abcde", 5, true));
    ASSERT_TRUE(w.writeFrame("fghijk", 6, true));
    ASSERT_TRUE(w.finish());
    const std::string& b = sink.bytes;
    EXPECT_EQ(le32(b, 32), 66666u);    // microseconds a frame at 15 fps
    EXPECT_EQ(le32(b, 108 + 24), 15u); // rate
    EXPECT_EQ(b.substr(108 + 4, 4), "MJPG");
    EXPECT_EQ(b.substr(172 + 16, 4), "MJPG");
    EXPECT_EQ(b.substr(4620, 13), std::string("00dc\x05\0\0\0abcde", 13));
    EXPECT_EQ(b[4633], '\0');
    EXPECT_EQ(b.substr(4634, 4), "00dc");
    const auto chunks = top(b); // every size and pad agrees with the bytes
    const Chunk& idx1 = chunks.at(0).children.at(2);
    EXPECT_EQ(le32(b, idx1.data() + 12), 5u);
    EXPECT_EQ(le32(b, idx1.data() + 24), 4634u - 4616u);
    EXPECT_EQ(le32(b, idx1.data() + 28), 6u);
}

TEST(AviWriter, RefusesFormatsItsFieldsCannotHold)
{
    std::string why;
    EXPECT_TRUE(AviWriter::formatIsValid(dibFormat(1, 1, 15)));
    EXPECT_TRUE(AviWriter::formatIsValid(dibFormat(32767, 2, 15)));
    EXPECT_FALSE(AviWriter::formatIsValid(dibFormat(0, 10, 15), &why));
    EXPECT_EQ(why, "the picture has no pixels");
    EXPECT_FALSE(AviWriter::formatIsValid(dibFormat(10, 0, 15)));
    EXPECT_FALSE(AviWriter::formatIsValid(dibFormat(32768, 2, 15), &why));
    EXPECT_EQ(why, "a side is larger than 32767 pixels");
    // 20000 x 20000 full frames are 1.2 GB each: more than one RIFF list holds.
    EXPECT_FALSE(AviWriter::formatIsValid(dibFormat(20000, 20000, 15), &why));
    EXPECT_EQ(why, "a frame would not fit in the file");

    AviMemorySink sink;
    AviWriter w(sink, dibFormat(0, 5, 15));
    EXPECT_FALSE(w.begin());
    EXPECT_TRUE(sink.bytes.empty());
    EXPECT_FALSE(w.writeFrame("x", 1, true));
}

TEST(AviWriter, FramesThatDoNotMatchTheFormatAreRefused)
{
    AviMemorySink sink;
    AviWriter w(sink, dibFormat(2, 2, 15)); // 16 bytes a frame
    ASSERT_TRUE(w.begin());
    ASSERT_TRUE(w.writeFrame(frameBytes(16, 0).data(), 16, true));
    const std::string huge(16 + 2 * 1024 * 1024, 'x');
    EXPECT_FALSE(w.writeFrame(huge.data(), huge.size(), true));
    EXPECT_TRUE(w.finish());
    EXPECT_EQ(w.framesWritten(), 1u);
    top(sink.bytes);
}

TEST(AviWriter, LargeFilesContinueInOpenDmlLists)
{
    // With lists limited to 8000 bytes, 20 frames of 960 bytes need four RIFF lists.
    const AviStreamFormat f = dibFormat(8, 40, 15);
    const std::uint64_t limit = 8000;
    AviMemorySink sink;
    AviWriter w(sink, f, limit);
    ASSERT_TRUE(w.begin());
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(w.writeFrame(frameBytes(960, i).data(), 960, i % 5 == 0)) << i;
    ASSERT_TRUE(w.finish()) << w.error();
    const std::string& b = sink.bytes;
    const auto lists = top(b);
    ASSERT_GE(lists.size(), 3u);
    EXPECT_EQ(lists[0].listType, "AVI ");
    std::vector<std::uint32_t> perList;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        EXPECT_EQ(lists[i].id, "RIFF");
        EXPECT_LE(lists[i].size + 8u, limit);
        if (i > 0) {
            EXPECT_EQ(lists[i].listType, "AVIX");
        }
        const Chunk* movi = lists[i].find("movi");
        ASSERT_TRUE(movi);
        ASSERT_EQ(movi->children.back().id, "ix00");
        perList.push_back(le32(b, movi->children.back().data() + 4));
        EXPECT_EQ(perList.back() + 1, movi->children.size());
    }
    // The classic parts describe the first list only; the OpenDML parts the whole file.
    const Chunk& hdrl = lists[0].children[0];
    const Chunk* idx1 = lists[0].find("idx1");
    ASSERT_TRUE(idx1);
    EXPECT_EQ(idx1->size / 16, perList[0]);
    EXPECT_EQ(le32(b, hdrl.find("avih")->data() + 16), perList[0]);
    EXPECT_EQ(le32(b, hdrl.find("strl")->find("strh")->data() + 32), 20u);
    EXPECT_EQ(le32(b, hdrl.find("odml")->children.at(0).data()), 20u);
    const Chunk* indx = hdrl.find("strl")->find("indx");
    ASSERT_EQ(le32(b, indx->data() + 4), lists.size());
    std::uint32_t total = 0;
    int frame = 0;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::uint64_t entry = indx->data() + 24 + 16 * i;
        const std::uint64_t ixAt = le64(b, entry);
        EXPECT_EQ(b.substr(ixAt, 4), "ix00");
        EXPECT_EQ(le32(b, entry + 12), perList[i]);
        total += perList[i];
        // Every chunk index entry leads to its frame's bytes and key flag.
        const std::uint64_t base = le64(b, ixAt + 8 + 12);
        for (std::uint32_t e = 0; e < perList[i]; ++e, ++frame) {
            const std::uint32_t offset = le32(b, ixAt + 32 + 8 * e);
            const std::uint32_t size = le32(b, ixAt + 36 + 8 * e);
            EXPECT_EQ(size & 0x7FFFFFFF, 960u);
            EXPECT_EQ((size & 0x80000000u) == 0, frame % 5 == 0) << frame;
            EXPECT_EQ(b.substr(base + offset, 960), frameBytes(960, frame)) << frame;
        }
    }
    EXPECT_EQ(total, 20u);

    REQUIRE_FFMPEG();
    suite::test::TempDir dir;
    suite::test::writeFileBytes(dir / "odml.avi", b);
    const avitest::Probe p = avitest::probe(dir / "odml.avi");
    EXPECT_EQ(p.frames, 20u);
    EXPECT_EQ(p.width, 8u);
    EXPECT_EQ(p.height, 40u);
    // ffmpeg turns the bottom-up rows top-down and drops the padding (none at 8 pixels).
    const std::string decoded = avitest::decodeBgr(dir / "odml.avi");
    ASSERT_EQ(decoded.size(), 20u * 960u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(decoded.substr(std::size_t(i) * 960, 960), frameBytes(960, i)) << i;
}

// The real limit, on a real file: past 1 GB the frames go on in an AVIX list, and an independent
// reader finds every frame where it is, on both sides of the limit. The frames are 48 MiB of
// zeros behind a number, so the file is sparse: 1.2 GB long, a few kilobytes on disk.
TEST(AviWriter, AFileLargerThanOneGigabyteReadsBackThroughTheOpenDmlIndex)
{
    suite::test::TempDir dir;
    const auto path = dir / "large.avi";
    const AviStreamFormat f = dibFormat(4096, 4096, 25);
    const std::size_t frameSize = std::size_t(f.imageSize);
    ASSERT_EQ(frameSize, 4096u * 4096u * 3u);
    const int frames = 24; // 1.2 GB
    SparseFileSink sink(path.string());
    ASSERT_TRUE(sink.ok());
    {
        AviWriter w(sink, f);
        ASSERT_TRUE(w.begin());
        std::string frame(frameSize, '\0');
        for (int i = 0; i < frames; ++i) {
            const std::string mark = "frame " + std::to_string(i) + ".";
            std::memcpy(frame.data(), mark.data(), mark.size());
            ASSERT_TRUE(w.writeFrame(frame.data(), frame.size(), i % 10 == 0)) << i << w.error();
        }
        ASSERT_TRUE(w.finish()) << w.error();
    }
    const std::uint64_t length = std::filesystem::file_size(path);
    EXPECT_GT(length, AviWriter::kRiffLimit);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_LT(std::uint64_t(st.st_blocks) * 512, 16u * 1024 * 1024) << "the file is not sparse";

    // The RIFF lists, walked by their headers: each under 1 GB, the second one an AVIX.
    std::vector<std::uint64_t> riffs;
    for (std::uint64_t at = 0; at < length;) {
        const std::string head = sink.read(at, 12);
        ASSERT_EQ(head.substr(0, 4), "RIFF") << at;
        EXPECT_EQ(head.substr(8, 4), riffs.empty() ? "AVI " : "AVIX");
        const std::uint32_t size = le32(head, 4);
        EXPECT_LE(std::uint64_t(size) + 8, AviWriter::kRiffLimit);
        riffs.push_back(at);
        at += 8 + std::uint64_t(size) + (size & 1);
    }
    ASSERT_EQ(riffs.size(), 2u);
    // The headers count every frame; the super index has one entry per list.
    const std::string header = sink.read(0, 4608);
    EXPECT_EQ(le32(header, 108 + 32), unsigned(frames)); // strh length
    EXPECT_EQ(le32(header, 4360), unsigned(frames));     // dmlh total frames
    EXPECT_EQ(le32(header, 220 + 4), 2u);                // indx entries in use
    std::uint32_t indexed = 0;
    for (int e = 0; e < 2; ++e) {
        const std::uint64_t ix = le64(header, 220 + 24 + 16 * e);
        EXPECT_GE(ix, riffs[std::size_t(e)]);
        EXPECT_EQ(sink.read(ix, 4), "ix00");
        indexed += le32(header, 220 + 24 + 16 * e + 12);
    }
    EXPECT_EQ(indexed, unsigned(frames));

    REQUIRE_FFMPEG();
    // Every packet ffprobe finds lies where its frame's number says it should.
    const std::string packets = avitest::run(
        "ffprobe -v error -select_streams v:0 -show_entries packet=pos,size -of csv=p=0 " +
        avitest::quoted(path) + " 2>&1");
    std::istringstream in(packets);
    std::string line;
    int n = 0;
    std::uint64_t lastPos = 0;
    while (std::getline(in, line)) {
        const auto comma = line.find(',');
        ASSERT_NE(comma, std::string::npos) << line;
        const std::uint64_t size = std::stoull(line.substr(0, comma));
        const std::uint64_t pos = std::stoull(line.substr(comma + 1));
        EXPECT_EQ(size, frameSize) << n;
        const std::string mark = "frame " + std::to_string(n) + ".";
        EXPECT_EQ(sink.read(pos, mark.size()), mark) << "packet " << n << " at " << pos;
        lastPos = pos;
        ++n;
    }
    EXPECT_EQ(n, frames) << packets;
    EXPECT_GT(lastPos, AviWriter::kRiffLimit);
}

// A disk that fills at any byte: the file is always cut back to complete frames with their
// indexes, and every size in it agrees with the bytes.
TEST(AviWriter, AFullDiskAtAnyPointLeavesAConsistentFile)
{
    const AviStreamFormat f = dibFormat(8, 4, 15); // 96 bytes a frame
    std::size_t fullSize = 0;
    {
        AviMemorySink sink;
        AviWriter w(sink, f);
        ASSERT_TRUE(w.begin());
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(w.writeFrame(frameBytes(96, i).data(), 96, i % 4 == 0));
        ASSERT_TRUE(w.finish());
        fullSize = sink.bytes.size();
    }
    std::string lastCut;
    for (std::size_t limit = 4600; limit <= fullSize + 8; limit += 7) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        AviMemorySink sink(limit);
        AviWriter w(sink, f);
        if (!w.begin()) {
            EXPECT_LT(limit, 4620u);
            continue;
        }
        int accepted = 0;
        for (int i = 0; i < 12 && w.writeFrame(frameBytes(96, i).data(), 96, i % 4 == 0); ++i)
            ++accepted;
        const bool complete = w.finish();
        if (accepted < 12) {
            EXPECT_NE(w.error().find("No space left on device"), std::string::npos) << w.error();
        }
        if (!complete) {
            // Not even an empty index fits after the headers.
            EXPECT_LT(limit, 4620u + 48u);
            continue;
        }
        const std::string& b = sink.bytes;
        EXPECT_LE(b.size(), limit);
        const auto lists = top(b);
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(lists[0].size + 8u, b.size());
        const unsigned n = w.framesWritten();
        EXPECT_LE(n, unsigned(accepted));
        const Chunk* idx1 = lists[0].find("idx1");
        ASSERT_TRUE(idx1);
        EXPECT_EQ(idx1->size / 16, n);
        EXPECT_EQ(le32(b, 32 + 16), n);
        EXPECT_EQ(le32(b, 108 + 32), n);
        const Chunk* movi = lists[0].find("movi");
        ASSERT_EQ(movi->children.size(), n + 1);
        for (unsigned i = 0; i < n; ++i)
            EXPECT_EQ(b.substr(movi->children[i].data(), 96), frameBytes(96, int(i)));
        if (limit >= fullSize) {
            EXPECT_EQ(n, 12u);
        }
        if (n == 5)
            lastCut = b;
    }
    REQUIRE_FFMPEG();
    ASSERT_FALSE(lastCut.empty());
    suite::test::TempDir dir;
    suite::test::writeFileBytes(dir / "cut.avi", lastCut);
    EXPECT_EQ(avitest::probe(dir / "cut.avi").frames, 5u);
}

TEST(AviWriter, FileSinkReportsWhyItCannotOpen)
{
    AviFileSink sink;
    EXPECT_FALSE(sink.open("/nonexistent-folder/out.avi"));
    EXPECT_EQ(sink.lastError(), "No such file or directory");
}

TEST(DibEncoder, RowsStayPaddedSoFormatAndFramesAgree)
{
    DibEncoder dib;
    EXPECT_EQ(dib.imageSize(1, 1), 4u);
    EXPECT_EQ(dib.imageSize(5, 2), 32u); // 15 bytes a row, padded to 16
    EXPECT_EQ(dib.imageSize(4, 3), 36u);
    std::vector<std::uint8_t> pixels(32, 7);
    std::string out, error;
    ASSERT_TRUE(dib.encode({pixels.data(), 5, 2, 16}, out, error));
    EXPECT_EQ(out, std::string(32, '\7'));
    // Rows of another length than the format's would tear the picture.
    EXPECT_FALSE(dib.encode({pixels.data(), 5, 2, 15}, out, error));
    EXPECT_FALSE(error.empty());
}

TEST(MjpegEncoder, WritesAJpegThatReadsBackTheRightWayUp)
{
    ASSERT_TRUE(MjpegEncoder::available());
    // 16x8 picture: a red top half over a blue bottom half (halves, since JPEG averages the
    // colour of neighbouring rows). Rows are bottom-up, so the top half comes last in memory.
    const unsigned w = 16, h = 8, stride = 48;
    std::vector<std::uint8_t> pixels(stride * h);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            std::uint8_t* p = &pixels[y * stride + x * 3];
            p[0] = y >= h / 2 ? 0 : 255; // blue
            p[1] = 0;
            p[2] = y >= h / 2 ? 255 : 0; // red
        }
    MjpegEncoder encoder(95);
    std::string out, error;
    ASSERT_TRUE(encoder.encode({pixels.data(), w, h, stride}, out, error)) << error;
    ASSERT_GT(out.size(), 4u);
    EXPECT_EQ(out.substr(0, 2), "\xFF\xD8");
    const QImage read =
        QImage::fromData(reinterpret_cast<const uchar*>(out.data()), int(out.size()), "JPEG");
    ASSERT_EQ(read.size(), QSize(16, 8));
    EXPECT_GT(qRed(read.pixel(8, 0)), 200);
    EXPECT_LT(qBlue(read.pixel(8, 0)), 80);
    EXPECT_GT(qBlue(read.pixel(8, 7)), 200);
    EXPECT_LT(qRed(read.pixel(8, 7)), 80);
    EXPECT_EQ(MjpegEncoder(0).quality(), 1);
    EXPECT_EQ(MjpegEncoder(500).quality(), 100);
    EXPECT_FALSE(encoder.encode({nullptr, 0, 0, 0}, out, error));
}
