#include "sizing_control_bar.h"

#include <QMainWindow>
#include <QResizeEvent>
#include <QSettings>

namespace ormolith {

namespace {

QList<CSizingControlBar*>& registry()
{
    static QList<CSizingControlBar*> bars;
    return bars;
}

// The settings keep the numbers as text; anything that is not one leaves the size as it was.
void readDimension(QSettings& settings, const char* key, int& value)
{
    bool ok = false;
    const int read = settings.value(QLatin1String(key)).toInt(&ok);
    if (ok)
        value = read;
}

} // namespace

CSizingControlBar::CSizingControlBar(const QString& title, int id, QSize size, QWidget* parent)
    : QDockWidget(title, parent), id_(id)
{
    setObjectName(QStringLiteral("SizingControlBar%1").arg(id));
    horz_ = vert_ = float_ = atLeastMinimum(size);
    setMinimumSize(kMinimumSize);
    registry().append(this);
}

CSizingControlBar::~CSizingControlBar()
{
    registry().removeAll(this);
}

const QList<CSizingControlBar*>& CSizingControlBar::allBars()
{
    return registry();
}

QSize CSizingControlBar::atLeastMinimum(QSize size)
{
    return size.expandedTo(kMinimumSize);
}

QString CSizingControlBar::sectionName(const QString& prefix) const
{
    return QString::asprintf("%s-SCBar-%d", prefix.toUtf8().constData(), id_);
}

void CSizingControlBar::saveSizes(QSettings& settings, const QString& prefix) const
{
    settings.beginGroup(sectionName(prefix));
    settings.setValue("sizeHorzCX", horz_.width());
    settings.setValue("sizeHorzCY", horz_.height());
    settings.setValue("sizeVertCX", vert_.width());
    settings.setValue("sizeVertCY", vert_.height());
    settings.setValue("sizeFloatCX", float_.width());
    settings.setValue("sizeFloatCY", float_.height());
    settings.endGroup();
}

void CSizingControlBar::loadSizes(QSettings& settings, const QString& prefix)
{
    settings.beginGroup(sectionName(prefix));
    int w = horz_.width(), h = horz_.height();
    readDimension(settings, "sizeHorzCX", w);
    readDimension(settings, "sizeHorzCY", h);
    setHorzSize({w, h});
    w = vert_.width(), h = vert_.height();
    readDimension(settings, "sizeVertCX", w);
    readDimension(settings, "sizeVertCY", h);
    setVertSize({w, h});
    w = float_.width(), h = float_.height();
    readDimension(settings, "sizeFloatCX", w);
    readDimension(settings, "sizeFloatCY", h);
    setFloatSize({w, h});
    settings.endGroup();
}

void CSizingControlBar::applySize()
{
    applying_ = true;
    if (isFloating()) {
        resize(float_);
    } else if (auto* frame = qobject_cast<QMainWindow*>(parentWidget())) {
        const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
        if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
            frame->resizeDocks({this}, {vert_.width()}, Qt::Horizontal);
        else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
            frame->resizeDocks({this}, {horz_.height()}, Qt::Vertical);
    }
    applying_ = false;
}

void CSizingControlBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    // Only sizes the user gave the bar are remembered, not the ones of hiding or of an
    // unfinished layout.
    if (applying_ || !isVisible())
        return;
    const QSize size = event->size();
    if (isFloating()) {
        setFloatSize(size);
    } else if (auto* frame = qobject_cast<QMainWindow*>(parentWidget())) {
        const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
        if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
            setVertSize(size);
        else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
            setHorzSize(size);
    }
}

} // namespace ormolith
