#include "document.h"

#include "text_io.h"

namespace qubex {

Document::Document(RandomSource& random, MessageSink& messages)
    : random_(random), messages_(messages), cloud_(std::make_unique<PointCloud>())
{
}

Settings Document::settingsToSave() const
{
    Settings s = settings_;
    s.matrix_length = code_.matrix_length;
    return s;
}

void Document::applySettings(const Settings& settings)
{
    settings_ = settings;
    settings_.matrix_length = clampMatrixLength(settings.matrix_length);
    settings_.generation.iteration = clampIteration(settings.generation.iteration);
    code_.matrix_length = settings_.matrix_length;
}

void Document::generatePoints()
{
    qubex::generatePoints(code_, settings_.generation, *cloud_, random_);
}

void Document::startUntitled()
{
    untitled_ = true;
    path_ = kUntitledPath;
    setCaption(path_);
}

void Document::setCaption(std::string caption)
{
    caption_ = std::move(caption);
    if (observer_)
        observer_->captionChanged(caption_);
}

CodeReadStatus Document::loadCode(const std::string& file)
{
    const CodeReadStatus status = readCodeFile(file, code_);
    switch (status) {
    case CodeReadStatus::CannotOpen:
        messages_.showMessage(kCannotOpenMessage, kTitle);
        break;
    case CodeReadStatus::BadMapCount:
        messages_.showMessage(kBadMapCountMessage, kTitle);
        break;
    case CodeReadStatus::NotACode:
        messages_.showMessage(kNotACodeMessage, kTitle);
        startUntitled();
        newProbabilities();
        newMatrices();
        generatePoints();
        if (observer_)
            observer_->redraw();
        break;
    case CodeReadStatus::Ok:
        if (observer_)
            observer_->refreshEditorIfOpen();
        generatePoints();
        if (observer_)
            observer_->redraw();
        path_ = file;
        setCaption(asciiLower(std::string(kTitle) + " - " + path_));
        untitled_ = false;
        break;
    }
    return status;
}

bool Document::saveCode(const std::string& file)
{
    if (!writeCodeFile(file, code_)) {
        messages_.showMessage(kCannotCreateMessage, kTitle);
        return false;
    }
    path_ = file;
    setCaption(asciiLower(std::string(kTitle) + " - " + path_));
    untitled_ = false;
    return true;
}

} // namespace qubex
