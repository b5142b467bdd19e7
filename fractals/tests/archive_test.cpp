#include "archive.h"
#include "file_header.h"
#include "temp_env.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace std::string_literals;

using namespace fractals;

namespace {

std::string le32(std::uint32_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

ArchiveException::Cause causeOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ArchiveException& e) {
        return e.cause();
    }
    return ArchiveException::none;
}

} // namespace

TEST(Archive, HeaderBytesAreExact)
{
    Archive ar = Archive::forWriting();
    EXPECT_EQ(ReadWriteFileHeader(ar), 0);
    const std::string notice =
        "Copyright \xA9 Calvetra. Free to use, copy and share."; // Windows-1252
    const std::string expected = std::string("\x08Kaleidra") + "\x28\xA0\x00\x00"s + le32(7) +
                                 le32(0) + le32(0) + le32(0) + "\x08Merrowin" +
                                 static_cast<char>(notice.size()) + notice +
                                 "\x08"
                                 "Calvetra";
    EXPECT_EQ(ar.bytes(), expected);

    Archive in = Archive::forReading(expected);
    EXPECT_EQ(ReadWriteFileHeader(in), 7);
    EXPECT_TRUE(in.atEnd());
}

TEST(Archive, HeaderChecksEveryFixedText)
{
    Archive ar = Archive::forWriting();
    ReadWriteFileHeader(ar);
    const std::string good = ar.bytes();
    // Change one character of product, magic, author and maker in turn.
    for (std::size_t pos : {std::size_t(1), std::size_t(9), std::size_t(30), good.size() - 1}) {
        std::string bad = good;
        bad[pos] = static_cast<char>(bad[pos] ^ 0x20);
        Archive in = Archive::forReading(bad);
        EXPECT_EQ(causeOf([&] { ReadWriteFileHeader(in); }), ArchiveException::badIndex)
            << "byte " << pos;
    }
    // The notice line is not checked.
    std::string otherNotice = good;
    otherNotice[good.size() - 12] = 'X';
    Archive in = Archive::forReading(otherNotice);
    EXPECT_EQ(ReadWriteFileHeader(in), 7);
    // Truncation anywhere is an end-of-file failure.
    for (std::size_t cut = 0; cut < good.size(); cut += 5) {
        Archive part = Archive::forReading(good.substr(0, cut));
        EXPECT_EQ(causeOf([&] { ReadWriteFileHeader(part); }), ArchiveException::endOfFile)
            << "cut " << cut;
    }
}

TEST(Archive, StringLengthsUseAllThreePrefixForms)
{
    struct Case {
        std::size_t length;
        std::string prefix;
    };
    const Case cases[] = {
        {0, "\x00"s},
        {254, "\xFE"},
        {255, "\xFF\xFF\x00"s},
        {65533, "\xFF\xFD\xFF"},
        {65534, "\xFF\xFF\xFF"s + le32(65534)},
        {70000, "\xFF\xFF\xFF"s + le32(70000)},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'q');
        Archive ar = Archive::forWriting();
        ar.writeString(text);
        ASSERT_EQ(ar.bytes().size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(ar.bytes().substr(0, c.prefix.size()), c.prefix) << c.length;
        Archive in = Archive::forReading(ar.bytes());
        EXPECT_EQ(in.readString(), text);
        EXPECT_TRUE(in.atEnd());
    }
}

TEST(Archive, TextsAreWindows1252OnDisk)
{
    Archive ar = Archive::forWriting();
    ar.writeString("Caf\xC3\xA9 \xE2\x82\xAC \xE2\x84\xA2"); // "Café € ™"
    EXPECT_EQ(ar.bytes(), std::string("\x08"
                                      "Caf\xE9 \x80 \x99"));
    Archive in = Archive::forReading(ar.bytes());
    EXPECT_EQ(in.readString(), "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x84\xA2");

    // Characters Windows-1252 lacks become '?'; every byte read maps back to itself.
    EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    // Broken UTF-8 does not run off the end.
    EXPECT_EQ(utf8ToCp1252("\xE2\x82"), "??");
}

TEST(Archive, WideTextsOfUnicodeFilesAreRead)
{
    const std::string bytes = "\xFF\xFE\xFF\x02"
                              "A\x00\xAC\x20"s;
    Archive in = Archive::forReading(bytes);
    EXPECT_EQ(in.readString(), "A\xE2\x82\xAC");
}

TEST(Archive, NumbersAndMisuse)
{
    Archive ar = Archive::forWriting();
    ar.writeInt32(-2);
    ar.writeDouble(-2.1);
    EXPECT_EQ(ar.bytes().substr(0, 4), "\xFE\xFF\xFF\xFF");
    EXPECT_EQ(ar.bytes().substr(4), "\xCD\xCC\xCC\xCC\xCC\xCC\x00\xC0"s);
    EXPECT_EQ(causeOf([&] { ar.readInt32(); }), ArchiveException::writeOnly);

    Archive in = Archive::forReading(ar.bytes());
    EXPECT_EQ(in.readInt32(), -2);
    EXPECT_EQ(in.readDouble(), -2.1);
    EXPECT_EQ(causeOf([&] { in.readDouble(); }), ArchiveException::endOfFile);
    EXPECT_EQ(causeOf([&] { in.writeInt32(1); }), ArchiveException::readOnly);

    // A length claiming more than the file holds fails before allocating anything.
    Archive huge = Archive::forReading("\xFF\xFF\xFF\xFF\xFF\xFF\x7F"
                                       "abc");
    EXPECT_EQ(causeOf([&] { huge.readString(); }), ArchiveException::endOfFile);
}

TEST(Archive, SimultaneousSafeWritesToOnePathNeverMix)
{
    // Two exports finishing into the same file at the same moment: the file ends up as one of
    // them, complete, and no scratch file is left behind.
    suite::test::TempDir dir;
    const auto path = dir / "same.bmp";
    const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> failures{0};
        std::thread first([&] { failures += !writeFileSafely(path, a); });
        std::thread second([&] { failures += !writeFileSafely(path, b); });
        first.join();
        second.join();
        EXPECT_EQ(failures.load(), 0);
        const std::string now = suite::test::readFileBytes(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round;
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}
