#pragma once
// Message boxes, file and colour dialogs and help requests of the qubex window, behind one
// interface so widget tests can script the answers and read back the texts shown.
#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace qubex {

struct FileDialogOptions {
    QString title;
    QString filter;        // in the form "description|pattern"
    QString defaultSuffix; // added when the typed name has none
    bool confirmOverwrite = false;
};

enum class HelpKind { Contents, Index, Topic };
struct HelpRequest {
    HelpKind kind = HelpKind::Contents;
    int topic = 0;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void message(QWidget* parent, const QString& text, const QString& title) = 0;
    // Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogOptions& options) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogOptions& options) = 0;
    virtual std::optional<QColor> color(QWidget* parent, const QColor& initial) = 0;
    virtual void help(const HelpRequest& request) = 0;
};

// The real dialogs, and the help pages opened in the desktop's browser.
class QtPrompts final : public Prompts {
public:
    void message(QWidget* parent, const QString& text, const QString& title) override;
    QString openFileName(QWidget* parent, const FileDialogOptions& options) override;
    QString saveFileName(QWidget* parent, const FileDialogOptions& options) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;
    void help(const HelpRequest& request) override;
};

// "description|pattern" as a Qt name filter: "description (pattern)".
QString qtNameFilter(const QString& filter);
// The help page that answers a request, and the folder the pages are installed in.
QString helpPageName(const HelpRequest& request);
QString helpFolder();

} // namespace qubex
