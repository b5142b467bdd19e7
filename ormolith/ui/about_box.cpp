#include "about_box.h"

#include "icons.h"
#include "main_frame.h"
#include "suite_version.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMouseEvent>

namespace ormolith {

CHyperLink::CHyperLink(const QString& text, const QUrl& url, QWidget* parent)
    : QLabel(text, parent), url_(url)
{
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(false); // transparent: the dialog shows through
    applyColour();
}

QColor CHyperLink::textColour() const
{
    return hovered_ ? QApplication::palette().color(QPalette::Highlight) : QColor(0, 0, 238);
}

void CHyperLink::applyColour()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, textColour());
    setPalette(p);
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    applyColour();
    QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event)
{
    hovered_ = false;
    applyColour();
    QLabel::leaveEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit opened(url_);
        QDesktopServices::openUrl(url_);
    }
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About Ormolith");
    auto* icon = new QLabel;
    icon->setPixmap(appIcon().pixmap(48, 48));
    auto* version = new QLabel(kVersionLine);
    version->setObjectName("version");
    auto* visit = new QLabel("Visit our site for more information about fractals!");
    // The guide that comes with the program stands in for a web site: it is there offline.
    link_ = new CHyperLink("Ormolith user guide",
                           QUrl::fromLocalFile(CMainFrame::helpPagePath()));
    link_->setObjectName("link");
    auto* suite = new QLabel(QString("Fractal suite %1").arg(SUITE_VERSION));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(suite, 1, 1);
    layout->addWidget(visit, 2, 1);
    layout->addWidget(link_, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
}

} // namespace ormolith
