// The IFS document: frames and their maps, the file bytes, the web parameters and the undo
// history.
#include "file_bytes.h"
#include "ifs_doc.h"
#include "temp_env.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace fractals;

namespace {

std::string le16(unsigned v)
{
    return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8 & 0xff)};
}

std::string le32(std::uint32_t v)
{
    return le16(v & 0xffff) + le16(v >> 16);
}

std::string defaultFrameData()
{
    return le32(3750) + le32(3750) + le32(2500) + le32(0) + le32(0) + le32(2500) +
           le32(0x00ff0000) + le32(0);
}

const std::string kNewClass = le16(0xFFFF) + le16(4) + le16(9) + "CIfsFrame";

// border grey, background white, default frame blue, both switches off, empty name and author.
std::string defaultTail()
{
    return le32(0x808080) + le32(0xffffff) + le32(0xff0000) + le32(0) + le32(0) +
           std::string(1, '\0') + std::string(1, '\0');
}

} // namespace

TEST(IfsFrame, DefaultsValidityAndTheIntegerMap)
{
    const CIfsFrame f;
    EXPECT_EQ(f.vertex, (CVector{3750, 3750}));
    EXPECT_EQ(f.side1, (CVector{2500, 0}));
    EXPECT_EQ(f.side2, (CVector{0, 2500}));
    EXPECT_EQ(f.color, 0xff0000u);
    EXPECT_TRUE(f.isValid());

    CIfsFrame g;
    g.side1 = {0, 0};
    EXPECT_FALSE(g.isValid());
    g = CIfsFrame{};
    g.side2 = {5000, 0}; // collinear with side1
    EXPECT_FALSE(g.isValid());
    g.side2 = {-5000, 1};
    EXPECT_TRUE(g.isValid());

    // x' = vertex.x + (side1.x·x + side2.x·y) / 10000, each division toward zero.
    CIfsFrame m;
    m.vertex = {100, -100};
    m.side1 = {3333, -7};
    m.side2 = {-1, 5000};
    std::int32_t x = 3, y = -7;
    m.apply(x, y);
    EXPECT_EQ(x, 100 + (3333 * 3 + 7) / 10000);        // 9999 + 7 = 10006 -> 1
    EXPECT_EQ(y, -100 + (-7 * 3 + 5000 * -7) / 10000); // -35021 -> -3
    EXPECT_EQ(x, 101);
    EXPECT_EQ(y, -103);
}

TEST(IfsFrame, RotationTruncatesTowardZero)
{
    // A quarter turn with the program's degree constant loses one unit: (2500, 0) -> (0, -2499).
    CVector v{2500, 0};
    v.rotate(-90 * 0.0174533);
    EXPECT_EQ(v, (CVector{0, -2499}));
    CVector w{0, 2500};
    w.rotate(-90 * 0.0174533);
    EXPECT_EQ(w, (CVector{2499, 0}));
    // Extreme values stay inside the 32-bit range.
    CVector big{2147483647, 2147483647};
    big.rotate(0.785398);
    EXPECT_EQ(big.y, 2147483647);
}

TEST(IfsDoc, OneFrameCarriesTheNewClassTag)
{
    CIfsDoc doc;
    doc.AddFrame(CIfsFrame{});
    const std::string expected =
        test::headerBytes() + le16(1) + kNewClass + defaultFrameData() + defaultTail();
    EXPECT_EQ(doc.saveToBytes(), expected);

    CIfsDoc back;
    back.loadFromBytes(expected);
    ASSERT_EQ(back.frames().size(), 1u);
    EXPECT_EQ(*back.frames()[0], CIfsFrame{});
    EXPECT_FALSE(back.CanUndo());
}

TEST(IfsDoc, LaterFramesReferToTheClassAndEverythingRoundTrips)
{
    CIfsDoc doc;
    doc.AddFrame(CIfsFrame{});
    CIfsFrame second;
    second.vertex = {-20000, 30000};
    second.side1 = {-1, 2};
    second.side2 = {20000, -20000};
    second.color = RGB(1, 2, 3);
    second.ignoreColor = 1;
    doc.AddFrame(second);
    doc.setSettings(RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), 1, 1);
    doc.SetName("Farn \xc3\xa9");
    doc.SetAuthor("me");
    const std::string expected = test::headerBytes() + le16(2) + kNewClass + defaultFrameData() +
                                 le16(0x8001) + le32(static_cast<std::uint32_t>(-20000)) +
                                 le32(30000) + le32(static_cast<std::uint32_t>(-1)) + le32(2) +
                                 le32(20000) + le32(static_cast<std::uint32_t>(-20000)) +
                                 le32(0x030201) + le32(1) + le32(0x3c3228) + le32(0x1e140a) +
                                 le32(0x5a5046) + le32(1) + le32(1) +
                                 std::string("\x06"
                                             "Farn \xe9",
                                             7) +
                                 std::string("\x02me", 3);
    EXPECT_EQ(doc.saveToBytes(), expected);

    CIfsDoc back;
    back.loadFromBytes(expected);
    EXPECT_EQ(back.saveToBytes(), expected);
    EXPECT_EQ(back.name(), "Farn \xc3\xa9");
    EXPECT_EQ(back.bkgrd, RGB(10, 20, 30));
    ASSERT_EQ(back.frames().size(), 2u);
    EXPECT_EQ(*back.frames()[1], second);
}

TEST(IfsDoc, ReadsTheLongCountForm)
{
    // Written by hand: 0xFFFF, then the count in 32 bits.
    const std::string bytes = test::headerBytes() + le16(0xFFFF) + le32(2) + kNewClass +
                              defaultFrameData() + le16(0x8001) + defaultFrameData() +
                              defaultTail();
    CIfsDoc doc;
    doc.loadFromBytes(bytes);
    EXPECT_EQ(doc.frames().size(), 2u);
    // Writing uses the short form again.
    EXPECT_EQ(doc.saveToBytes().substr(test::headerBytes().size(), 2), le16(2));
}

TEST(IfsDoc, BadFilesFailClearlyAndChangeNothing)
{
    CIfsDoc doc;
    doc.AddFrame(CIfsFrame{});
    const std::string before = doc.saveToBytes();
    const auto cause = [&](const std::string& bytes) {
        try {
            doc.loadFromBytes(bytes);
        } catch (const ArchiveException& e) {
            return e.cause();
        }
        return ArchiveException::none;
    };
    const std::string h = test::headerBytes();
    EXPECT_EQ(cause(h + le16(1) + le16(0xFFFF) + le16(3) + le16(9) + "CIfsFrame" +
                    defaultFrameData() + defaultTail()),
              ArchiveException::badSchema);
    EXPECT_EQ(cause(h + le16(1) + le16(0xFFFF) + le16(4) + le16(9) + "CIfsFramX" +
                    defaultFrameData() + defaultTail()),
              ArchiveException::badClass);
    // A class reference before any class, a null object, a back reference.
    EXPECT_EQ(cause(h + le16(1) + le16(0x8001) + defaultFrameData() + defaultTail()),
              ArchiveException::badIndex);
    EXPECT_EQ(cause(h + le16(1) + le16(0) + defaultTail()), ArchiveException::badIndex);
    EXPECT_EQ(cause(h + le16(2) + kNewClass + defaultFrameData() + le16(2) + defaultTail()),
              ArchiveException::badIndex);
    // A count of two billion frames with one present ends at the end of the data.
    EXPECT_EQ(cause(h + le16(0xFFFF) + le32(0x7fffffff) + kNewClass + defaultFrameData()),
              ArchiveException::endOfFile);
    EXPECT_EQ(cause(h + le16(1) + kNewClass + defaultFrameData()), ArchiveException::endOfFile);
    EXPECT_EQ(doc.saveToBytes(), before);
}

TEST(IfsDoc, WebParametersOfTwoDefaultFrames)
{
    CIfsDoc doc;
    doc.AddFrame(CIfsFrame{});
    doc.AddFrame(CIfsFrame{});
    EXPECT_EQ(doc.GetHtmlParams(),
              "    <param name=\"start\" value=\"true\">\n"
              "    <param name=\"changes\" value=\"true\">\n"
              "    <param name=\"bkgrd\" value=\"#ffffff\">\n"
              "    <param name=\"border\" value=\"#808080\">\n"
              "    <param name=\"defframe\" value=\"#0000ff\">\n"
              "    <param name=\"samecolor\" value=\"false\">\n"
              "    <param name=\"showframes\" value=\"false\">\n"
              "    <param name=\"frames\" "
              "value=\"3750;3750;2500;0;0;2500;#0000ff;false;3750;3750;2500;0;0;2500;#0000ff;"
              "false;&\">\n");
    CIfsDoc empty;
    empty.samecolor = 1;
    empty.bkgrd = RGB(0x12, 0xab, 0x0f);
    const std::string p = empty.GetHtmlParams();
    EXPECT_NE(p.find("name=\"bkgrd\" value=\"#12ab0f\""), std::string::npos);
    EXPECT_NE(p.find("name=\"samecolor\" value=\"true\""), std::string::npos);
    EXPECT_NE(p.find("name=\"frames\" value=\"&\""), std::string::npos);
}

TEST(IfsDoc, EveryOperationUndoesWithItsHint)
{
    CIfsDoc doc;
    std::vector<int> hints;
    doc.addObserver([&](int h) { hints.push_back(h); });

    const FramePtr a = doc.AddFrame(CIfsFrame{});
    CIfsFrame moved;
    moved.vertex = {1, 2};
    const FramePtr b = doc.AddFrame(moved);
    EXPECT_TRUE(doc.IsModified());
    doc.ChangeFrame(a, moved);
    doc.ChangeFrames({{a, CIfsFrame{}}, {b, CIfsFrame{}}});
    const std::vector<FramePtr> pasted = doc.AddFrames({moved, moved});
    EXPECT_EQ(doc.lastAdded(), pasted);
    doc.RemoveFrames({a, pasted[1]});
    doc.RemoveFrame(b);
    doc.ClearFrames();
    EXPECT_EQ(hints, (std::vector<int>{1, 1, 8, 64, 16, 32, 2, 4}));
    EXPECT_TRUE(doc.frames().empty());
    EXPECT_EQ(doc.undoCount(), 8u);

    hints.clear();
    doc.Undo(); // clear: everything back at the end
    EXPECT_EQ(doc.frames(), (std::vector<FramePtr>{pasted[0]}));
    doc.Undo(); // remove b: b back
    EXPECT_EQ(doc.frames(), (std::vector<FramePtr>{pasted[0], b}));
    EXPECT_EQ(doc.lastAdded(), (std::vector<FramePtr>{b}));
    doc.Undo(); // remove the selection: back at the end
    EXPECT_EQ(doc.frames(), (std::vector<FramePtr>{pasted[0], b, a, pasted[1]}));
    doc.Undo(); // paste: the pasted copies go
    EXPECT_EQ(doc.frames(), (std::vector<FramePtr>{b, a}));
    doc.Undo(); // change several: old values back
    EXPECT_EQ(*a, moved);
    EXPECT_EQ(*b, moved);
    doc.Undo(); // change one
    EXPECT_EQ(*a, CIfsFrame{});
    doc.Undo();
    doc.Undo();
    EXPECT_TRUE(doc.frames().empty());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(hints, (std::vector<int>{16, 1, 16, 32, 64, 8, 2, 2}));
    doc.Undo(); // nothing left: nothing happens
    EXPECT_EQ(hints.size(), 8u);
}

TEST(IfsDoc, HistoryKeepsTheLast61AndReorderingRecordsNothing)
{
    CIfsDoc doc;
    for (int k = 0; k < 70; ++k) {
        CIfsFrame f;
        f.vertex.x = k;
        doc.AddFrame(f);
    }
    EXPECT_EQ(doc.undoCount(), 61u);
    const FramePtr last = doc.frames().back();
    doc.BringToFront(last);
    EXPECT_EQ(doc.frames().front(), last);
    doc.SendToBack(doc.frames().front());
    EXPECT_EQ(doc.frames().back(), last);
    EXPECT_EQ(doc.undoCount(), 61u);
    int undone = 0;
    while (doc.CanUndo()) {
        doc.Undo();
        ++undone;
    }
    EXPECT_EQ(undone, 61);
    // The first nine additions are beyond reach.
    ASSERT_EQ(doc.frames().size(), 9u);
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(doc.frames()[static_cast<std::size_t>(k)]->vertex.x, k);
}

TEST(IfsDoc, SettingsMarkModifiedOnlyWhenChangedAndAlwaysSendTheBackground)
{
    CIfsDoc doc;
    std::vector<int> hints;
    doc.addObserver([&](int h) { hints.push_back(h); });
    doc.setSettings(doc.bkgrd, doc.border, doc.defframe, 0, 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(hints, (std::vector<int>{128}));
    doc.setSettings(doc.bkgrd, doc.border, doc.defframe, 0, 1);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.showframes, 1);
}

TEST(IfsDoc, TheExamplesOpenWithValidFramesAndSaveBackTheSameBytes)
{
    const std::pair<const char*, std::size_t> examples[] = {
        {"sierpinski.ifs", 3}, {"fern.ifs", 4}, {"koch.ifs", 4}, {"spiral.ifs", 2}};
    for (const auto& [name, count] : examples) {
        const std::string bytes =
            suite::test::readFileBytes(std::filesystem::path(FRACTALS_EXAMPLES_DIR) / name);
        CIfsDoc doc;
        doc.loadFromBytes(bytes);
        ASSERT_EQ(doc.frames().size(), count) << name;
        for (const FramePtr& f : doc.frames())
            EXPECT_TRUE(f->isValid()) << name;
        EXPECT_FALSE(doc.name().empty()) << name;
        EXPECT_EQ(doc.saveToBytes(), bytes) << name;
    }
}
