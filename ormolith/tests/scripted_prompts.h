#pragma once
// Prompts for the window tests: message boxes answer from a script and record their texts,
// the dialogs hand out queued values (none queued = cancelled).
#include "codec_dialog.h"
#include "prompts.h"
#include "scripted_answers.h"

#include <deque>
#include <utility>

namespace ormolith::test {

class ScriptedPrompts : public Prompts {
public:
    ScriptedPrompts() { setPrompts(this); }
    ~ScriptedPrompts() override { setPrompts(nullptr); }

    suite::test::ScriptedAnswers<QMessageBox::StandardButton> boxes{QMessageBox::Ok};
    std::deque<QString> fileNames;
    std::deque<std::pair<unsigned, unsigned>> sizes;
    std::deque<int> kinds;
    std::deque<CodecChoice> codecs;
    int fileDialogs = 0;
    int codecDialogs = 0;

    QMessageBox::StandardButton message(QWidget*, const QString& text, const QString& title,
                                        QMessageBox::StandardButtons, QMessageBox::Icon) override
    {
        return boxes.show(text.toStdString(), title.toStdString());
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return nextFile(); }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&, QString*) override
    {
        return nextFile();
    }
    bool customSize(QWidget*, unsigned& width, unsigned& height) override
    {
        if (sizes.empty())
            return false;
        std::tie(width, height) = sizes.front();
        sizes.pop_front();
        return true;
    }
    int newFractalKind(QWidget*) override
    {
        if (kinds.empty())
            return -1;
        const int k = kinds.front();
        kinds.pop_front();
        return k;
    }

    bool chooseCodec(QWidget*, CodecChoice& choice) override
    {
        ++codecDialogs;
        if (codecs.empty())
            return false;
        choice = codecs.front();
        codecs.pop_front();
        return true;
    }

private:
    QString nextFile()
    {
        ++fileDialogs;
        if (fileNames.empty())
            return {};
        QString f = fileNames.front();
        fileNames.pop_front();
        return f;
    }
};

} // namespace ormolith::test
