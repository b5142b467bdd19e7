#include "files/document.h"
#include "files/text_io.h"

#include "save_rules.h"
#include "scripted_answers.h"
#include "temp_env.h"

#include <gtest/gtest.h>

namespace qubex {
namespace {

class RecordingMessages final : public MessageSink {
public:
    suite::test::ScriptedAnswers<int> boxes{0};
    void showMessage(const std::string& text, const std::string& title) override
    {
        boxes.show(text, title);
    }
};

class RecordingObserver final : public DocumentObserver {
public:
    std::vector<std::string> events;
    void redraw() override { events.push_back("redraw"); }
    void refreshEditorIfOpen() override { events.push_back("refresh"); }
    void captionChanged(const std::string& caption) override
    {
        events.push_back("caption " + caption);
    }
};

class DocumentTest : public ::testing::Test {
protected:
    DocumentTest()
    {
        std::srand(5);
        document.setObserver(&observer);
        document.newProbabilities();
        document.newMatrices();
        document.generatePoints();
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }

    suite::test::TempDir dir;
    CRandSource random;
    RecordingMessages messages;
    RecordingObserver observer;
    Document document{random, messages};
};

TEST_F(DocumentTest, StartsUntitled)
{
    EXPECT_TRUE(document.untitled());
    EXPECT_EQ(document.path(), "qubex - untitled");
    EXPECT_EQ(document.caption(), "qubex - untitled");
    EXPECT_EQ(document.cloud().count, 5000);
}

TEST_F(DocumentTest, SaveThenLoadSetsLowerCaseCaptionAndRefreshesBeforeRedraw)
{
    const std::string path = file("My.QBX");
    ASSERT_TRUE(document.saveCode(path));
    EXPECT_FALSE(document.untitled());
    EXPECT_EQ(document.caption(), asciiLower("qubex - " + path));
    const IfsCode saved = document.code();

    document.startUntitled();
    document.newMatrices();
    observer.events.clear();
    ASSERT_EQ(document.loadCode(path), CodeReadStatus::Ok);
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"refresh", "redraw",
                                        "caption " + asciiLower("qubex - " + path)}));
    EXPECT_EQ(document.path(), path);
    EXPECT_FALSE(document.untitled());
    EXPECT_NEAR(document.code().maps[1][2][3], saved.maps[1][2][3], 5e-7);
    EXPECT_TRUE(messages.boxes.shown().empty());
}

TEST_F(DocumentTest, MissingFileShowsMessageAndKeepsEverything)
{
    ASSERT_TRUE(document.saveCode(file("kept.qbx")));
    const IfsCode before = document.code();
    observer.events.clear();
    EXPECT_EQ(document.loadCode(file("nope.qbx")), CodeReadStatus::CannotOpen);
    ASSERT_EQ(messages.boxes.shown().size(), 1u);
    EXPECT_EQ(messages.boxes.shown()[0].text, "File could not be opened");
    EXPECT_EQ(messages.boxes.shown()[0].title, "qubex");
    EXPECT_EQ(document.code().maps, before.maps);
    // A later save goes to the file that is shown in the caption, not to the one that failed.
    EXPECT_EQ(document.path(), file("kept.qbx"));
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(DocumentTest, NotACodeStartsANewUntitledRandomCode)
{
    ASSERT_TRUE(document.saveCode(file("old.qbx")));
    suite::test::writeFileBytes(dir / "notes.qbx", "hello world\n");
    const IfsCode before = document.code();
    observer.events.clear();
    EXPECT_EQ(document.loadCode(file("notes.qbx")), CodeReadStatus::NotACode);
    EXPECT_EQ(messages.boxes.texts(),
              std::vector<std::string>{"This is not seems to be an ifs code"});
    EXPECT_TRUE(document.untitled());
    EXPECT_EQ(document.path(), "qubex - untitled");
    EXPECT_NE(document.code().maps, before.maps);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"caption qubex - untitled", "redraw"}));
}

TEST_F(DocumentTest, ImpossibleMapCountIsRefusedWithAMessage)
{
    suite::test::writeFileBytes(dir / "big.qbx", "qubexcode\n33\n");
    const IfsCode before = document.code();
    EXPECT_EQ(document.loadCode(file("big.qbx")), CodeReadStatus::BadMapCount);
    EXPECT_EQ(messages.boxes.texts(), std::vector<std::string>{kBadMapCountMessage});
    EXPECT_EQ(document.code().matrix_length, before.matrix_length);
    EXPECT_TRUE(document.untitled());
}

TEST_F(DocumentTest, SaveFailureShowsMessageAndStaysUntitled)
{
    suite::test::writeFileBytes(dir / "file", "x");
    EXPECT_FALSE(document.saveCode(file("file") + "/a.qbx"));
    EXPECT_EQ(messages.boxes.texts(), std::vector<std::string>{"File could not be created"});
    EXPECT_TRUE(document.untitled());
    EXPECT_EQ(document.caption(), "qubex - untitled");
}

TEST_F(DocumentTest, ReadOnlyCodeFileIsRefusedWithTheMessageAndKeptAsItWas)
{
    SUITE_EXPECT_AS_ORDINARY_USER([&] {
        suite::test::ScratchFolder folder;
        const auto path = folder.path() / "kept.qbx";
        suite::test::putFile(path, "qubexcode\n", 0444);
        std::string failures;
        if (document.saveCode(path.string()))
            failures += "a read-only code file was replaced\n";
        if (suite::test::fileText(path) != "qubexcode\n")
            failures += "its bytes changed\n";
        if (messages.boxes.texts() != std::vector<std::string>{"File could not be created"})
            failures += "the message was not shown\n";
        if (!document.untitled())
            failures += "the document took the name\n";
        return failures;
    });
}

TEST_F(DocumentTest, SettingsRoundTripCarriesTheCodesMatrixLength)
{
    Settings s;
    s.matrix_length = 40; // as if clamping had been skipped
    s.generation.iteration = 5;
    document.applySettings(s);
    EXPECT_EQ(document.code().matrix_length, 32);
    EXPECT_EQ(document.generation().iteration, 100);
    document.setMatrixLength(3);
    EXPECT_EQ(document.settingsToSave().matrix_length, 3);
    document.setIteration(0);
    EXPECT_EQ(document.settingsToSave().generation.iteration, 100);
}

} // namespace
} // namespace qubex
