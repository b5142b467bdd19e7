#include "prompts.h"

#include "codec_dialog.h"
#include "dialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace ormolith {

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
                         const QString& defaultSuffix, const QString& suggested,
                         QString* selectedFilter) override
    {
        QFileDialog dialog(parent, title, suggested, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        // A name typed without extension takes the extension of the filter chosen (a PNG
        // picture typed as "picture" becomes "picture.png", not "picture.bmp").
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& chosen) {
                             const QRegularExpressionMatch m =
                                 QRegularExpression(R"(\(\*\.(\w+)[ )])").match(chosen);
                             if (m.hasMatch())
                                 dialog.setDefaultSuffix(m.captured(1));
                         });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        if (selectedFilter)
            *selectedFilter = dialog.selectedNameFilter();
        return dialog.selectedFiles().front();
    }
    bool customSize(QWidget* parent, unsigned& width, unsigned& height) override
    {
        CSizeDialog dialog(width, height, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        width = dialog.sizeWidth();
        height = dialog.sizeHeight();
        return true;
    }
    int newFractalKind(QWidget* parent) override
    {
        CNewFractalDialog dialog(parent);
        if (dialog.exec() != QDialog::Accepted)
            return -1;
        return dialog.chosenKind();
    }
    bool chooseCodec(QWidget* parent, CodecChoice& choice) override
    {
        CodecDialog dialog(choice, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        choice = dialog.choice();
        return true;
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

QMessageBox::StandardButton ask(QWidget* parent, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    return prompts().message(parent, text, QString::fromUtf8(kAppTitle), buttons, icon);
}

} // namespace ormolith
