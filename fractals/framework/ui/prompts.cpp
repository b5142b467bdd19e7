#include "prompts.h"

#include "file_header.h"
#include "make_bitmap_dialog.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QRegularExpression>

namespace fractals {

namespace {

class DialogPrompts : public Prompts {
public:
    QMessageBox::StandardButton message(QWidget* parent, const QString& text, const QString& title,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::Icon icon) override
    {
        QMessageBox box(icon, title, text, buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, {}, filter);
    }
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& suggested) override
    {
        QFileDialog dialog(parent, title, suggested, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        // A name typed without extension takes the extension of the filter chosen (a PNG
        // export typed as "picture" becomes "picture.png", not "picture.bmp").
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& chosen) {
                             const QRegularExpressionMatch m =
                                 QRegularExpression(R"(\(\*\.(\w+)[ )])").match(chosen);
                             if (m.hasMatch())
                                 dialog.setDefaultSuffix(m.captured(1));
                         });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().front();
    }
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override
    {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid())
            return std::nullopt;
        return c;
    }
    bool bitmapSize(QWidget* parent, int& width, int& height) override
    {
        CMakeBitmapDialog dialog(width, height, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        width = dialog.bitmapWidth();
        height = dialog.bitmapHeight();
        return true;
    }
    int chooseItem(QWidget* parent, const QString& title, const QString& label,
                   const QStringList& items) override
    {
        bool ok = false;
        const QString item = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
        return ok ? static_cast<int>(items.indexOf(item)) : -1;
    }
};

Prompts* g_prompts = nullptr;

} // namespace

Prompts& prompts()
{
    static DialogPrompts real;
    return g_prompts ? *g_prompts : real;
}

void setPrompts(Prompts* p)
{
    g_prompts = p;
}

QString qtFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (int k = 0; k + 1 < parts.size(); k += 2) {
        QString pattern = parts[k + 1];
        pattern.replace(';', ' ');
        if (pattern == "*.*")
            pattern = "*";
        QString name = parts[k];
        const int paren = static_cast<int>(name.indexOf(" ("));
        if (paren >= 0)
            name.truncate(paren);
        filters << QStringLiteral("%1 (%2)").arg(name, pattern);
    }
    return filters.join(";;");
}

void showMessage(QWidget* parent, const QString& text)
{
    prompts().message(parent, text, QString::fromUtf8(kWindowTitle), QMessageBox::Ok,
                      QMessageBox::Warning);
}

} // namespace fractals
