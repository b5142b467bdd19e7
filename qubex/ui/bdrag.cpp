#include "bdrag.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace qubex {

TBDrag::TBDrag(QWidget* owner) : QObject(owner), owner_(owner)
{
    owner_->installEventFilter(this);
    setEnableDrop(true);
}

TBDrag::~TBDrag()
{
    owner_->removeEventFilter(this);
    owner_->setAcceptDrops(false);
}

void TBDrag::setEnableDrop(bool enable)
{
    enableDrop_ = enable;
    owner_->setAcceptDrops(enable);
}

void TBDrag::dropFiles(const QStringList& paths)
{
    owner_->raise();
    owner_->activateWindow();
    NameWithPath.clear();
    NameOnly.clear();
    Extension.clear();
    FileCount = static_cast<int>(paths.size());
    for (const QString& path : paths) {
        NameWithPath << path;
        const QString name = path.mid(path.lastIndexOf('/') + 1);
        NameOnly << name;
        // Only a dot inside the file's own name starts an extension: "/a.b/c" has none.
        const qsizetype dot = name.lastIndexOf('.');
        Extension << (dot < 0 ? QString() : name.mid(dot + 1));
    }
    if (OnDrop)
        OnDrop();
}

bool TBDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != owner_ || !enableDrop_)
        return false;
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        if (!paths.isEmpty()) {
            drop->acceptProposedAction();
            dropFiles(paths);
            return true;
        }
    }
    return false;
}

} // namespace qubex
