#pragma once
// Prompts for the window tests: message boxes answer from a script and record their texts,
// file dialogs and the other choices hand out queued values.
#include "prompts.h"
#include "scripted_answers.h"

#include <deque>

namespace fractals::test {

class ScriptedPrompts : public Prompts {
public:
    ScriptedPrompts() { setPrompts(this); }
    ~ScriptedPrompts() override { setPrompts(nullptr); }

    suite::test::ScriptedAnswers<QMessageBox::StandardButton> boxes{QMessageBox::Ok};
    std::deque<QString> fileNames; // empty string = cancelled
    std::deque<std::optional<QColor>> colors;
    std::deque<std::pair<int, int>> sizes; // Make Bitmap answers; none queued = Cancel
    std::deque<int> choices;

    QMessageBox::StandardButton message(QWidget*, const QString& text, const QString& title,
                                        QMessageBox::StandardButtons, QMessageBox::Icon) override
    {
        return boxes.show(text.toStdString(), title.toStdString());
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return nextFile(); }
    QStringList saveFilters; // the filter of every save dialog asked, in order
    QString saveFileName(QWidget*, const QString&, const QString& filter, const QString&,
                         const QString&) override
    {
        saveFilters << filter;
        return nextFile();
    }
    std::optional<QColor> color(QWidget*, const QColor&) override
    {
        if (colors.empty())
            return std::nullopt;
        auto c = colors.front();
        colors.pop_front();
        return c;
    }
    bool bitmapSize(QWidget*, int& width, int& height) override
    {
        if (sizes.empty())
            return false;
        std::tie(width, height) = sizes.front();
        sizes.pop_front();
        return true;
    }
    int chooseItem(QWidget*, const QString&, const QString&, const QStringList&) override
    {
        if (choices.empty())
            return -1;
        const int c = choices.front();
        choices.pop_front();
        return c;
    }

private:
    QString nextFile()
    {
        if (fileNames.empty())
            return {};
        QString f = fileNames.front();
        fileNames.pop_front();
        return f;
    }
};

} // namespace fractals::test
