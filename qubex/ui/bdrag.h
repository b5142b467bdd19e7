#pragma once
// Files dropped on a window: an event filter on its owner that lists the names and calls
// OnDrop. On Linux paths use '/', so NameOnly is the text after the last slash.
#include <QObject>
#include <QStringList>

#include <functional>

namespace qubex {

class TBDrag final : public QObject {
    Q_OBJECT
public:
    explicit TBDrag(QWidget* owner);
    ~TBDrag() override;

    bool EnableDrop() const { return enableDrop_; }
    void setEnableDrop(bool enable);

    std::function<void()> OnDrop;
    QStringList NameWithPath;
    QStringList NameOnly;
    QStringList Extension;
    int FileCount = 0;

    // What a drop of these local files does (also used by tests without a drag source).
    void dropFiles(const QStringList& paths);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* owner_;
    bool enableDrop_ = true;
};

} // namespace qubex
