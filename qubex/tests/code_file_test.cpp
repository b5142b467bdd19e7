#include "files/code_file.h"

#include "scripted_random.h"
#include "temp_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qubex {
namespace {

IfsCode sampleCode(int maps)
{
    IfsCode code;
    code.matrix_length = maps;
    for (int i = 0; i < maps; ++i) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                code.maps[i][r][c] = (i + 1) * 0.1 + r * 0.01 + c * 0.001 - 0.3;
        code.thresholds[i] = (i + 1.0) / maps;
    }
    return code;
}

CodeReadStatus readText(const std::string& text, IfsCode& code)
{
    std::istringstream in(text);
    return readCode(in, code);
}

TEST(FormatCode, ThreeMapsGiveFiveLinesOfSeventeenNumbers)
{
    IfsCode code = sampleCode(3);
    code.maps[0][0][0] = 1;
    const std::string text = formatCode(code);
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line))
        all.push_back(line);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0], "qubexcode");
    EXPECT_EQ(all[1], "3");
    EXPECT_TRUE(all[2].starts_with("1.000000 ")) << all[2];
    // Sixteen "%lf " fields, then the threshold and the newline.
    EXPECT_EQ(std::count(all[2].begin(), all[2].end(), ' '), 16);
    EXPECT_TRUE(all[4].ends_with(" 1.000000")) << all[4];
    EXPECT_EQ(text.back(), '\n');
}

TEST(FormatCode, ExactBytesOfASingleMap)
{
    IfsCode code;
    code.matrix_length = 1;
    code.maps[0] = {};
    code.maps[0][0][0] = 0.5;
    code.maps[0][1][2] = -0.25;
    code.maps[0][3][3] = 1;
    code.thresholds[0] = 1;
    EXPECT_EQ(formatCode(code), "qubexcode\n1\n"
                                "0.500000 0.000000 0.000000 0.000000 "
                                "0.000000 0.000000 -0.250000 0.000000 "
                                "0.000000 0.000000 0.000000 0.000000 "
                                "0.000000 0.000000 0.000000 1.000000 1.000000\n");
}

TEST(CodeFile, SavedAndReloadedCodeAgreesToSixDecimals)
{
    suite::test::TempDir dir;
    const std::string path = (dir / "a.qbx").string();
    IfsCode code;
    code.matrix_length = 7;
    CRandSource rand;
    std::srand(99);
    newProbabilities(code, rand);
    newMatrices(code, rand);
    ASSERT_TRUE(writeCodeFile(path, code));
    IfsCode back;
    ASSERT_EQ(readCodeFile(path, back), CodeReadStatus::Ok);
    ASSERT_EQ(back.matrix_length, 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(back.thresholds[i], code.thresholds[i], 5e-7);
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                EXPECT_NEAR(back.maps[i][row][col], code.maps[i][row][col], 5e-7);
    }
    // Writing what was read gives the same bytes again.
    EXPECT_EQ(formatCode(back), suite::test::readFileBytes(path));
}

TEST(CodeFile, LineStructureIsNotEnforced)
{
    const IfsCode code = sampleCode(2);
    std::string text = formatCode(code);
    std::string scattered;
    int n = 0;
    for (char c : text) {
        if (c == ' ' || c == '\n')
            scattered += (++n % 3 == 0) ? "\r\n\n" : "  \t ";
        else
            scattered += c;
    }
    IfsCode a, b;
    ASSERT_EQ(readText(text, a), CodeReadStatus::Ok);
    ASSERT_EQ(readText(scattered, b), CodeReadStatus::Ok);
    EXPECT_EQ(a.maps, b.maps);
    EXPECT_EQ(a.thresholds, b.thresholds);
}

TEST(CodeFile, ThresholdsAreTakenAsTheyStand)
{
    IfsCode code = sampleCode(2);
    code.thresholds[0] = 0.9, code.thresholds[1] = 0.3;
    IfsCode back;
    ASSERT_EQ(readText(formatCode(code), back), CodeReadStatus::Ok);
    EXPECT_EQ(back.thresholds[0], 0.9);
    EXPECT_EQ(back.thresholds[1], 0.3);
}

TEST(CodeFile, UnreadableNumbersKeepThePreviousValues)
{
    IfsCode code = sampleCode(2);
    // Element (0,1) of map 0 is garbage, and the file stops after map 1's fourth number.
    const std::string text = "qubexcode 2\n"
                             "0.5 zz 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.75\n"
                             "0.1 0.2 0.3 0.4";
    const IfsCode before = code;
    ASSERT_EQ(readText(text, code), CodeReadStatus::Ok);
    EXPECT_EQ(code.maps[0][0][0], 0.5);
    EXPECT_EQ(code.maps[0][0][1], before.maps[0][0][1]);
    EXPECT_EQ(code.maps[0][0][2], 0.5); // later numbers still land in their own slots
    EXPECT_EQ(code.thresholds[0], 0.75);
    EXPECT_EQ(code.maps[1][0][3], 0.4);
    EXPECT_EQ(code.maps[1][1][0], before.maps[1][1][0]);
    EXPECT_EQ(code.thresholds[1], before.thresholds[1]);
}

TEST(CodeFile, MoreMapsThanBeforeKeepWhatTheSlotsHeld)
{
    IfsCode code = sampleCode(4);
    code.matrix_length = 1;
    ASSERT_EQ(readText("qubexcode 3 0.5", code), CodeReadStatus::Ok);
    EXPECT_EQ(code.maps[0][0][0], 0.5);
    EXPECT_EQ(code.matrix_length, 3);
    EXPECT_EQ(code.maps[2], sampleCode(4).maps[2]);
}

TEST(CodeFile, MapCountOutsideOneToThirtyTwoIsRefusedAndChangesNothing)
{
    for (const char* count :
         {"0", "-1", "33", "4294967297", "99999999999999999999", "abc", "4.5", ""}) {
        IfsCode code = sampleCode(3);
        const IfsCode before = code;
        EXPECT_EQ(readText(std::string("qubexcode\n") + count + "\n0 0 0", code),
                  CodeReadStatus::BadMapCount)
            << count;
        EXPECT_EQ(code.matrix_length, before.matrix_length);
        EXPECT_EQ(code.maps, before.maps);
    }
    IfsCode code;
    EXPECT_EQ(readText("qubexcode 32", code), CodeReadStatus::Ok);
    EXPECT_EQ(code.matrix_length, 32);
}

TEST(CodeFile, WrongMagicIsNotACode)
{
    for (const std::string& text : {std::string(), std::string("   \n"), std::string("qubex 1"),
                                    std::string("QUBEXCODE 1"), std::string("qubexcodex 1"),
                                    std::string("\x7f"
                                                "ELF\x01\x00\x00",
                                                7),
                                    std::string(100000, 'q')}) {
        IfsCode code = sampleCode(2);
        EXPECT_EQ(readText(text, code), CodeReadStatus::NotACode);
        EXPECT_EQ(code.matrix_length, 2);
    }
}

TEST(CodeFile, PipesAndDevicesAreRefusedAndReadingAlwaysEnds)
{
    suite::test::TempDir dir;
    IfsCode code = sampleCode(2);
    const auto fifo = dir / "pipe.qbx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] {
        IfsCode scratch;
        return readCodeFile(fifo.string(), scratch);
    });
    if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading a pipe nobody writes to blocked";
        // Give the blocked reader its writer (and at once an end) so the test can finish.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    EXPECT_EQ(reading.get(), CodeReadStatus::CannotOpen);

    auto zeros = std::async(std::launch::async, [&] { return readCodeFile("/dev/zero", code); });
    ASSERT_EQ(zeros.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "reading /dev/zero did not end";
    EXPECT_EQ(zeros.get(), CodeReadStatus::CannotOpen);

    // A huge regular file is read only as far as a code file can reach.
    suite::test::writeFileBytes(dir / "big.qbx", "qubexcode 1 ");
    std::filesystem::resize_file(dir / "big.qbx",
                                 std::uintmax_t{4} << 30); // 4 GiB of zeros, sparse
    auto big = std::async(std::launch::async, [&] {
        IfsCode scratch;
        return readCodeFile((dir / "big.qbx").string(), scratch);
    });
    ASSERT_EQ(big.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "a 4 GiB file was read to its end";
    EXPECT_EQ(big.get(), CodeReadStatus::Ok);
    EXPECT_EQ(code.matrix_length, 2) << "a refused file changed the code";
}

TEST(CodeFile, MissingFileAndFolderCannotBeOpened)
{
    suite::test::TempDir dir;
    IfsCode code;
    EXPECT_EQ(readCodeFile((dir / "none.qbx").string(), code), CodeReadStatus::CannotOpen);
    EXPECT_EQ(readCodeFile(dir.path().string(), code), CodeReadStatus::CannotOpen);
    suite::test::writeFileBytes(dir / "file", "x");
    EXPECT_FALSE(writeCodeFile((dir / "file" / "a.qbx").string(), code));
}

} // namespace
} // namespace qubex
