#pragma once
// Scripting for message boxes and file dialogs in tests. Each program reaches its boxes
// through a small interface of its own; the test implementation of that interface keeps a
// ScriptedAnswers, which records every text shown and hands out the answers queued by the test.
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace suite::test {

template <typename Answer>
class ScriptedAnswers {
public:
    struct Shown {
        std::string text;
        std::string title;
    };

    explicit ScriptedAnswers(Answer fallback) : fallback_(fallback) {}

    // Queue the answer for the next box; boxes beyond the queue get the fallback answer.
    void queue(Answer answer) { answers_.push_back(answer); }

    Answer show(const std::string& text, const std::string& title = {})
    {
        shown_.push_back({text, title});
        if (answers_.empty())
            return fallback_;
        Answer next = answers_.front();
        answers_.pop_front();
        return next;
    }

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const auto& s : shown_)
            result.push_back(s.text);
        return result;
    }
    std::size_t unusedAnswers() const { return answers_.size(); }
    void clear()
    {
        shown_.clear();
        answers_.clear();
    }

private:
    Answer fallback_;
    std::deque<Answer> answers_;
    std::vector<Shown> shown_;
};

} // namespace suite::test
