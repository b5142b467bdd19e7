#pragma once
// The IFS document: the frames (the maps), five display settings, and the undo history of
// every change of the frame list.
#include "fractal_doc.h"
#include "ifs_frame.h"

#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace fractals {

// Frames are shared between the list, the views' selections, the undo history and the
// clipboard by identity; a frame lives as long as one of them holds it.
using FramePtr = std::shared_ptr<CIfsFrame>;

// Hints sent to the views: the kind of the operation, 0 for a plain refresh, or 128 for a new
// background colour.
enum IfsHint : int {
    hintRefresh = 0,
    hintAddFrame = 1,
    hintRemoveFrame = 2,
    hintClearFrames = 4,
    hintChangeFrame = 8,
    hintAddFrames = 16,
    hintRemoveFrames = 32,
    hintChangeFrames = 64,
    hintBackground = 128,
};

class CIfsDoc : public CFractalDoc {
public:
    // Entries beyond this many are dropped from the old end of the history.
    static constexpr std::size_t kUndoLimit = 61;

    CIfsDoc();

    const std::vector<FramePtr>& frames() const { return m_frames; }
    ColorRef bkgrd = RGB(255, 255, 255);
    ColorRef border = RGB(128, 128, 128);
    ColorRef defframe = RGB(0, 0, 255);
    std::int32_t samecolor = 0;
    std::int32_t showframes = 0;

    // The undoable operations; each marks the document modified and tells the views.
    FramePtr AddFrame(const CIfsFrame& frame);                                       // 1
    void RemoveFrame(const FramePtr& frame);                                         // 2
    void ClearFrames();                                                              // 4
    void ChangeFrame(const FramePtr& frame, const CIfsFrame& newValues);             // 8
    std::vector<FramePtr> AddFrames(const std::vector<CIfsFrame>& frames);           // 16
    void RemoveFrames(const std::vector<FramePtr>& frames);                          // 32
    void ChangeFrames(const std::vector<std::pair<FramePtr, CIfsFrame>>& newValues); // 64
    // Reordering records nothing.
    void BringToFront(const FramePtr& frame);
    void SendToBack(const FramePtr& frame);

    bool CanUndo() const { return !m_history.empty(); }
    std::size_t undoCount() const { return m_history.size(); }
    void Undo();

    // The frames the last add (1 or 16, also by an undo) put at the end of the list.
    const std::vector<FramePtr>& lastAdded() const { return m_lastAdded; }

    // View updates: observers get the hint of every change. Returns a token for removal.
    int addObserver(std::function<void(int hint)> observer);
    void removeObserver(int token);
    void UpdateAllViews(int hint);

    // Sets the five settings from a properties sheet: each that changed marks the document
    // modified; then the views get the background colour.
    void setSettings(ColorRef newBkgrd, ColorRef newBorder, ColorRef newDefframe,
                     std::int32_t newSamecolor, std::int32_t newShowframes);

    void Serialize(Archive& ar) override;
    std::string GetHtmlParams() const override;

private:
    struct UndoEntry {
        int kind;
        std::vector<FramePtr> frames;  // 1, 16: added; 2, 4, 32: removed
        std::vector<CIfsFrame> values; // 8, 64: the old values of `frames`
    };
    void record(UndoEntry entry);
    void changed(int hint);

    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
    void assignFrom(const CFractalDoc& other) override;

    std::vector<FramePtr> m_frames;
    std::deque<UndoEntry> m_history;
    bool m_undoing = false;
    std::vector<FramePtr> m_lastAdded;
    std::vector<std::pair<int, std::function<void(int)>>> m_observers;
    int m_nextObserver = 1;
};

} // namespace fractals
