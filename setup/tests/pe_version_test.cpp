#include "pe_version.h"

#include "setup_test_support.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(PeVersion, ReadsTheFixedFileVersion)
{
    EXPECT_EQ(peFileVersion(test::makePeWithVersion(1, 2, 3, 4)), 0x0001000200030004ull);
    EXPECT_EQ(peFileVersion(test::makePeWithVersion(65535, 0, 0, 7)), 0xFFFF000000000007ull);
}

TEST(PeVersion, CommittedFuzzSeedIsTheSameImage)
{
    const std::string seed = suite::test::readFileBytes(std::filesystem::path(SETUP_FUZZ_SEEDS) /
                                                        "fuzz_pe_version/version_1_2_3_4.exe");
    EXPECT_EQ(seed, test::makePeWithVersion(1, 2, 3, 4));
}

TEST(PeVersion, FilesWithoutAVersionResourceHaveNone)
{
    EXPECT_FALSE(peFileVersion(""));
    EXPECT_FALSE(peFileVersion("MZ"));
    EXPECT_FALSE(peFileVersion("\x7f"
                               "ELF\x02\x01\x01"));
    std::string image = test::makePeWithVersion(1, 2, 3, 4);

    std::string noSignature = image;
    noSignature[0x200 + 0x58 + 40] = 0; // VS_FIXEDFILEINFO signature
    EXPECT_FALSE(peFileVersion(noSignature));

    std::string otherType = image;
    otherType[0x200 + 16] = 3; // an icon resource instead of RT_VERSION
    EXPECT_FALSE(peFileVersion(otherType));

    std::string wrongKey = image;
    wrongKey[0x200 + 0x58 + 6] = 'X';
    EXPECT_FALSE(peFileVersion(wrongKey));
}

TEST(PeVersion, EveryTruncationIsRejectedWithoutReadingPastTheEnd)
{
    const std::string image = test::makePeWithVersion(1, 2, 3, 4);
    for (std::size_t size = 0; size < image.size(); ++size) {
        // A heap copy of exactly `size` bytes lets the address sanitizer catch any overread.
        const std::unique_ptr<char[]> copy(new char[size == 0 ? 1 : size]);
        std::copy_n(image.data(), size, copy.get());
        EXPECT_FALSE(peFileVersion(std::string_view(copy.get(), size))) << size;
    }
}

TEST(PeVersion, OffsetsPointingOutsideTheFileAreRejected)
{
    std::string image = test::makePeWithVersion(1, 2, 3, 4);
    std::string farHeader = image;
    farHeader[0x3C + 3] = '\x7f'; // e_lfanew far beyond the end
    EXPECT_FALSE(peFileVersion(farHeader));
    std::string farData = image;
    farData[0x200 + 0x48 + 3] = '\x40'; // the data entry's address outside every section
    EXPECT_FALSE(peFileVersion(farData));
    std::string manyEntries = image;
    manyEntries[0x200 + 14] = '\xff'; // 65535 entries in the root directory
    manyEntries[0x200 + 15] = '\xff';
    manyEntries[0x200 + 16] = 3; // and the first is not the version
    EXPECT_FALSE(peFileVersion(manyEntries));
}

TEST(PeVersion, ReadsFromDisk)
{
    suite::test::TempDir dir("setup-pe");
    test::writeText(dir / "a.exe", test::makePeWithVersion(2, 0, 0, 1));
    test::writeText(dir / "plain", "#!/bin/sh\n");
    EXPECT_EQ(peFileVersionOf(dir / "a.exe"), 0x0002000000000001ull);
    EXPECT_FALSE(peFileVersionOf(dir / "plain"));
    EXPECT_FALSE(peFileVersionOf(dir / "missing"));
}

} // namespace
} // namespace setup
