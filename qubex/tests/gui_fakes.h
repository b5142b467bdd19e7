#pragma once
// Stand-ins for the widget tests: scripted dialogs and a drawing area that counts calls.
#include "scripted_answers.h"
#include "files/settings_file.h"
#include "ui/prompts.h"
#include "ui/tform1.h"
#include "view/cloud_view.h"

#include <QWidget>

#include <deque>
#include <filesystem>
#include <vector>

namespace qubex::test {

class ScriptedPrompts final : public Prompts {
public:
    suite::test::ScriptedAnswers<int> boxes{0};
    std::deque<QString> fileNames; // answers for open and save dialogs; empty = cancel
    std::vector<FileDialogOptions> fileDialogs;
    std::deque<std::optional<QColor>> colors;
    std::vector<HelpRequest> helpRequests;

    void message(QWidget*, const QString& text, const QString& title) override
    {
        boxes.show(text.toStdString(), title.toStdString());
    }
    QString openFileName(QWidget*, const FileDialogOptions& options) override { return nextFile(options); }
    QString saveFileName(QWidget*, const FileDialogOptions& options) override { return nextFile(options); }
    std::optional<QColor> color(QWidget*, const QColor&) override
    {
        if (colors.empty())
            return std::nullopt;
        auto c = colors.front();
        colors.pop_front();
        return c;
    }
    void help(const HelpRequest& request) override { helpRequests.push_back(request); }
    std::vector<std::string> texts() const { return boxes.texts(); }

private:
    QString nextFile(const FileDialogOptions& options)
    {
        fileDialogs.push_back(options);
        if (fileNames.empty())
            return {};
        QString f = fileNames.front();
        fileNames.pop_front();
        return f;
    }
};

class FakeView final : public QWidget, public CloudView {
public:
    explicit FakeView(QWidget* parent) : QWidget(parent) {}
    int draws = 0, backgrounds = 0, fogs = 0, zoomResets = 0, ticks = 0, releases = 0;
    bool usable = true;
    bool spin = false;
    bool spinning() const override { return spin; }
    bool viewUsable() const override { return usable; }
    QWidget* widget() override { return this; }
    void drawScene() override { ++draws; }
    void setBackgroundColor() override { ++backgrounds; }
    void setFogColor() override { ++fogs; }
    void resetZoom() override { ++zoomResets; }
    void timerTick() override { ++ticks; }
    void releaseView() override
    {
        ++releases;
        settingsExistedAtRelease = std::filesystem::exists(settingsFilePath());
    }
    bool settingsExistedAtRelease = false;
};

inline TForm1::Options fakeViewOptions(QStringList arguments = {})
{
    TForm1::Options o;
    o.arguments = std::move(arguments);
    o.splash = false;
    o.makeView = [](QWidget* parent, Document&, const QCursor&) {
        return static_cast<CloudView*>(new FakeView(parent));
    };
    return o;
}

} // namespace qubex::test
