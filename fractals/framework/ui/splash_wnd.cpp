#include "splash_wnd.h"

#include "file_header.h"
#include "icons.h"
#include "palette.h"
#include "shared_palette.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace fractals {

CSplashWnd::CSplashWnd()
    : QWidget(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)
{
    setWindowTitle(kWindowTitle);
    setFixedSize(500, 300);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void CSplashWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // The picture behind the texts: the default palette as a soft diagonal wash.
    const PaletteColors colors = PaletteTable::makeDefault().colors;
    for (int x = 0; x < width(); ++x) {
        QColor c(toQRgb(colors[static_cast<std::size_t>(x * 88 / width())]));
        c = c.lighter(170);
        p.fillRect(x, 0, 1, height(), c);
    }
    p.drawPixmap(20, 20, programIcon().pixmap(32, 32));
    p.setPen(QColor(15, 0, 0));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 4);
    p.setFont(titleFont);
    const int titleHeight = QFontMetrics(titleFont).height();
    p.drawText(72, 19 + QFontMetrics(titleFont).ascent(), kWindowTitle);
    p.setFont(font());
    const QFontMetrics fm(font());
    p.drawText(72, 22 + titleHeight + fm.ascent(),
               QString::asprintf("Version %d.%d.%d.%d", kProgramVersion[0], kProgramVersion[1],
                                 kProgramVersion[2], kProgramVersion[3]));
    p.drawText(20, 66 + fm.ascent(), QString::fromUtf8(kNoticeText));
    const QRect box(20, 0, 460, 280);
    const QRect needed = fm.boundingRect(box, Qt::TextWordWrap, kDisclaimer);
    p.drawText(QRect(20, 280 - needed.height(), 460, needed.height()), Qt::TextWordWrap,
               kDisclaimer);
}

} // namespace fractals
