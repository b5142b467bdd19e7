#pragma once
// "About Ormolith": the program's picture, its version and a link.
#include <QDialog>
#include <QLabel>
#include <QUrl>

namespace ormolith {

inline constexpr const char* kVersionLine = "Ormolith   Version 1.11";

// A text that opens an address when clicked: blue, the highlight colour and a hand cursor
// while the mouse is over it.
class CHyperLink : public QLabel {
    Q_OBJECT
public:
    CHyperLink(const QString& text, const QUrl& url, QWidget* parent = nullptr);
    QUrl url() const { return url_; }
    bool hovered() const { return hovered_; }
    // The colour the text is drawn in now.
    QColor textColour() const;

signals:
    void opened(const QUrl& url);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyColour();
    QUrl url_;
    bool hovered_ = false;
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    CHyperLink* link() const { return link_; }

private:
    CHyperLink* link_;
};

} // namespace ormolith
