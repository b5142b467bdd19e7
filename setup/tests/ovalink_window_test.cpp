#include "ovalink_window.h"
#include "qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(OvalinkWindow, IsCreatedSizedCentredAndPaintedOnce)
{
    QtWaitWindow wait;
    wait.show();
    OvalinkWindow* window = wait.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Ovalink");
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(window->frameGeometry().size(), QSize(360, 160));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(), QPoint(screen.left() + (screen.width() - 360) / 2,
                                    screen.top() + (screen.height() - 160) / 2));
    // Painted before show() returned: no event loop will run later.
    EXPECT_GE(window->paintCount(), 1);

    wait.destroy();
    EXPECT_EQ(wait.window(), nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

bool hasDarkPixel(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return true;
    return false;
}

TEST(OvalinkWindow, DrawsTheIconAboveAndTheTextInTheLowerHalfOnLightGrey)
{
    OvalinkWindow window;
    const QImage picture = window.grab().toImage();
    ASSERT_EQ(picture.size(), QSize(360, 160));
    const QRect client = window.contentsRect();
    EXPECT_EQ(QColor(picture.pixel(client.left() + 5, client.top() + 5)), QColor(192, 192, 192));

    // The icon's 32 x 32 square sits centred just above the middle line.
    const QRect icon(client.left() + (client.width() - 32) / 2,
                     client.top() + client.height() / 2 - 32, 32, 32);
    int iconPixels = 0;
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            iconPixels += QColor(picture.pixel(x, y)) != QColor(192, 192, 192);
    EXPECT_GT(iconPixels, 50);

    // Text is dark, in the lower half only, and centred: both quarters of the row have ink.
    const int middle = client.top() + client.height() / 2;
    EXPECT_FALSE(hasDarkPixel(
        picture, QRect(client.left(), client.top(), client.width(), client.height() / 2 - 34)));
    EXPECT_TRUE(hasDarkPixel(picture, QRect(client.left() + client.width() / 4, middle + 1,
                                            client.width() / 4, client.height() / 2 - 2)));
    EXPECT_TRUE(hasDarkPixel(picture, QRect(client.left() + client.width() / 2, middle + 1,
                                            client.width() / 4, client.height() / 2 - 2)));
}

// Answers the next modal box by pressing `button`, after recording what it showed.
struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::TextFormat format = Qt::AutoText;
};

void pressWhenShown(QMessageBox::StandardButton button, BoxSeen& seen)
{
    QTimer::singleShot(0, [button, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->standardButton(box->defaultButton());
        box->button(button)->click();
    });
}

TEST(QtMessageBoxes, ShowTheErrorIconTheButtonsAndTheDefault)
{
    QtMessageBoxes boxes;
    BoxSeen seen;

    pressWhenShown(QMessageBox::Retry, seen);
    EXPECT_EQ(boxes.show("Source File: a\nDestination File: b", "Copy Failed",
                         Buttons::AbortRetryIgnore, Answer::Ignore),
              Answer::Retry);
    EXPECT_EQ(seen.title, "Copy Failed");
    EXPECT_EQ(seen.text, "Source File: a\nDestination File: b");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Ignore);

    pressWhenShown(QMessageBox::Abort, seen);
    EXPECT_EQ(boxes.show("t", "Copy Failed", Buttons::AbortRetryIgnore, Answer::Ignore),
              Answer::Abort);

    pressWhenShown(QMessageBox::Cancel, seen);
    EXPECT_EQ(boxes.show("run", "Setup", Buttons::RetryCancel, Answer::Retry), Answer::Cancel);
    EXPECT_EQ(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    // Escape takes the default rather than Abort, and markup is shown as written.
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.text = box->text();
        seen.format = box->textFormat();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(boxes.show("Source File: /tmp/<b>x</b>", "Copy Failed", Buttons::AbortRetryIgnore,
                         Answer::Ignore),
              Answer::Ignore);
    EXPECT_EQ(seen.text, "Source File: /tmp/<b>x</b>");
    EXPECT_EQ(seen.format, Qt::PlainText);

    pressWhenShown(QMessageBox::Ok, seen);
    EXPECT_EQ(boxes.show("missing", "Setup Error", Buttons::Ok, Answer::Ok), Answer::Ok);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

TEST(QtMessageBoxes, CollectEndedProgramsWhileWaitingForTheAnswer)
{
    QtMessageBoxes boxes;
    ChildReaper reaper;
    boxes.setWhileOpen([&reaper] { reaper.reap(); });
    const StartResult started = startProgram("sh -c \"exit 0\"", "/", ProgramSearch{});
    ASSERT_GT(started.pid, 0) << started.error;
    reaper.adopt(started.pid);

    bool collectedWhileOpen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        collectedWhileOpen = QTest::qWaitFor([&] { return reaper.pending() == 0; }, 10000);
        box->button(QMessageBox::Ignore)->click();
    });
    EXPECT_EQ(boxes.show("t", "Copy Failed", Buttons::AbortRetryIgnore, Answer::Ignore),
              Answer::Ignore);
    EXPECT_TRUE(collectedWhileOpen);
}

} // namespace
} // namespace setup
