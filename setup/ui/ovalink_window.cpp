#include "ovalink_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

// The icon is compiled into a static library, whose resource initialiser the linker would
// drop unless something refers to it; Q_INIT_RESOURCE must be used outside any namespace.
static void initSetupResources()
{
    Q_INIT_RESOURCE(setup);
}

namespace setup {

OvalinkWindow::OvalinkWindow() : QFrame(nullptr, Qt::Dialog | Qt::FramelessWindowHint)
{
    initSetupResources();
    icon_.load(":/setup/icon.png");
    setObjectName(kTitle);
    setWindowTitle(kTitle);
    setWindowIcon(icon_);
    // A raised double border in place of the dialog frame; there is no caption bar.
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::WaitCursor);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(192, 192, 192)); // the classic light-grey brush
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
}

void OvalinkWindow::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    ++paintCount_;
    QPainter painter(this);
    const QRect client = contentsRect();
    painter.drawPixmap(client.left() + (client.width() - 32) / 2,
                       client.top() + client.height() / 2 - 32, 32, 32, icon_);
    painter.setFont(QGuiApplication::font());
    const QRect lowerHalf(client.left(), client.top() + client.height() / 2, client.width(),
                          client.height() - client.height() / 2);
    painter.drawText(lowerHalf, Qt::AlignCenter | Qt::TextSingleLine, kText);
}

void QtWaitWindow::show()
{
    window_ = std::make_unique<OvalinkWindow>();
    // A display with no screen attached (possible while monitors are switched) has no centre.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window_->move(area.left() + (area.width() - OvalinkWindow::kWidth) / 2,
                      area.top() + (area.height() - OvalinkWindow::kHeight) / 2);
    }
    window_->show();
    // The window system maps the window and asks for its first paint asynchronously; deliver
    // those events now, but never wait long: a slow display must not hold up the installation.
    QElapsedTimer waited;
    waited.start();
    while (window_->paintCount() == 0 && waited.elapsed() < 500)
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtWaitWindow::destroy()
{
    window_.reset();
}

} // namespace setup
