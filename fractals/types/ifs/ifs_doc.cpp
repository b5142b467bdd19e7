#include "ifs_doc.h"

#include <algorithm>
#include <cstdio>

namespace fractals {

namespace {

// The class library's object-array form uses 16-bit tags around the 32-bit data.
void writeWord(Archive& ar, std::uint16_t v)
{
    const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    ar.writeBytes(std::string_view(b, 2));
}

std::uint16_t readWord(Archive& ar)
{
    const std::string b = ar.readBytes(2);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                      static_cast<unsigned char>(b[1]) << 8);
}

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTagBit = 0x8000;
constexpr std::uint16_t kFrameSchema = 4;
constexpr const char* kFrameClass = "CIfsFrame";

void ioFrameData(Archive& ar, CIfsFrame& f)
{
    std::int32_t color = static_cast<std::int32_t>(f.color);
    ar.io(f.vertex.x);
    ar.io(f.vertex.y);
    ar.io(f.side1.x);
    ar.io(f.side1.y);
    ar.io(f.side2.x);
    ar.io(f.side2.y);
    ar.io(color);
    ar.io(f.ignoreColor);
    f.color = static_cast<ColorRef>(color);
}

std::string hexColor(ColorRef c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
}

const char* trueFalse(std::int32_t v)
{
    return v ? "true" : "false";
}

} // namespace

CIfsDoc::CIfsDoc()
{
    // No type key: the file holds the common header only, then the IFS data with name and
    // author at its end.
    m_strTypeKey.clear();
    m_strTypeName = "Iterated Function System";
}

// ---------------------------------------------------------------------------------------
// Operations

void CIfsDoc::record(UndoEntry entry)
{
    if (m_undoing)
        return; // the reverse of an undo is not itself undoable; its record goes here
    const bool full = m_history.size() > kUndoLimit - 1;
    m_history.push_back(std::move(entry));
    if (full)
        m_history.pop_front();
}

void CIfsDoc::changed(int hint)
{
    SetModifiedFlag();
    UpdateAllViews(hint);
}

FramePtr CIfsDoc::AddFrame(const CIfsFrame& frame)
{
    auto added = std::make_shared<CIfsFrame>(frame);
    m_frames.push_back(added);
    m_lastAdded = {added};
    record({hintAddFrame, {added}, {}});
    changed(hintAddFrame);
    return added;
}

void CIfsDoc::RemoveFrame(const FramePtr& frame)
{
    const auto it = std::find(m_frames.begin(), m_frames.end(), frame);
    if (it == m_frames.end())
        return;
    m_frames.erase(it);
    record({hintRemoveFrame, {frame}, {}});
    changed(hintRemoveFrame);
}

void CIfsDoc::ClearFrames()
{
    std::vector<FramePtr> removed;
    removed.swap(m_frames);
    record({hintClearFrames, std::move(removed), {}});
    changed(hintClearFrames);
}

void CIfsDoc::ChangeFrame(const FramePtr& frame, const CIfsFrame& newValues)
{
    if (std::find(m_frames.begin(), m_frames.end(), frame) == m_frames.end())
        return;
    const CIfsFrame old = *frame;
    *frame = newValues;
    record({hintChangeFrame, {frame}, {old}});
    changed(hintChangeFrame);
}

std::vector<FramePtr> CIfsDoc::AddFrames(const std::vector<CIfsFrame>& frames)
{
    std::vector<FramePtr> added;
    for (const CIfsFrame& f : frames)
        added.push_back(std::make_shared<CIfsFrame>(f));
    m_frames.insert(m_frames.end(), added.begin(), added.end());
    m_lastAdded = added;
    record({hintAddFrames, added, {}});
    changed(hintAddFrames);
    return added;
}

void CIfsDoc::RemoveFrames(const std::vector<FramePtr>& frames)
{
    std::vector<FramePtr> removed;
    for (const FramePtr& f : frames) {
        const auto it = std::find(m_frames.begin(), m_frames.end(), f);
        if (it != m_frames.end()) {
            m_frames.erase(it);
            removed.push_back(f);
        }
    }
    record({hintRemoveFrames, std::move(removed), {}});
    changed(hintRemoveFrames);
}

void CIfsDoc::ChangeFrames(const std::vector<std::pair<FramePtr, CIfsFrame>>& newValues)
{
    UndoEntry entry{hintChangeFrames, {}, {}};
    for (const auto& [frame, values] : newValues) {
        if (std::find(m_frames.begin(), m_frames.end(), frame) == m_frames.end())
            continue;
        entry.frames.push_back(frame);
        entry.values.push_back(*frame);
        *frame = values;
    }
    record(std::move(entry));
    changed(hintChangeFrames);
}

void CIfsDoc::BringToFront(const FramePtr& frame)
{
    const auto it = std::find(m_frames.begin(), m_frames.end(), frame);
    if (it == m_frames.end())
        return;
    std::rotate(m_frames.begin(), it, it + 1);
    changed(hintRefresh);
}

void CIfsDoc::SendToBack(const FramePtr& frame)
{
    const auto it = std::find(m_frames.begin(), m_frames.end(), frame);
    if (it == m_frames.end())
        return;
    std::rotate(it, it + 1, m_frames.end());
    changed(hintRefresh);
}

void CIfsDoc::Undo()
{
    if (m_history.empty())
        return;
    UndoEntry entry = std::move(m_history.back());
    m_history.pop_back();
    m_undoing = true;
    switch (entry.kind) {
    case hintAddFrame:
        RemoveFrame(entry.frames.front());
        break;
    case hintRemoveFrame: {
        // The very frame goes back, so a selection or clipboard that still names it agrees.
        m_frames.push_back(entry.frames.front());
        m_lastAdded = entry.frames;
        changed(hintAddFrame);
        break;
    }
    case hintClearFrames:
    case hintRemoveFrames:
        m_frames.insert(m_frames.end(), entry.frames.begin(), entry.frames.end());
        m_lastAdded = entry.frames;
        changed(hintAddFrames);
        break;
    case hintChangeFrame:
    case hintChangeFrames:
        for (std::size_t k = 0; k < entry.frames.size(); ++k)
            *entry.frames[k] = entry.values[k];
        changed(entry.kind);
        break;
    case hintAddFrames:
        RemoveFrames(entry.frames);
        break;
    }
    m_undoing = false;
}

// ---------------------------------------------------------------------------------------
// Views and settings

int CIfsDoc::addObserver(std::function<void(int)> observer)
{
    m_observers.emplace_back(m_nextObserver, std::move(observer));
    return m_nextObserver++;
}

void CIfsDoc::removeObserver(int token)
{
    std::erase_if(m_observers, [token](const auto& o) { return o.first == token; });
}

void CIfsDoc::UpdateAllViews(int hint)
{
    const auto observers = m_observers; // an observer may remove itself
    for (const auto& o : observers)
        o.second(hint);
}

void CIfsDoc::setSettings(ColorRef newBkgrd, ColorRef newBorder, ColorRef newDefframe,
                          std::int32_t newSamecolor, std::int32_t newShowframes)
{
    const auto set = [this](auto& field, auto value) {
        if (field != value) {
            field = value;
            SetModifiedFlag();
        }
    };
    set(bkgrd, newBkgrd);
    set(border, newBorder);
    set(defframe, newDefframe);
    set(samecolor, newSamecolor);
    set(showframes, newShowframes);
    UpdateAllViews(hintBackground);
}

// ---------------------------------------------------------------------------------------
// File and web page

void CIfsDoc::Serialize(Archive& ar)
{
    CFractalDoc::Serialize(ar);
    if (ar.IsStoring()) {
        const std::size_t n = m_frames.size();
        if (n < 0xFFFF) {
            writeWord(ar, static_cast<std::uint16_t>(n));
        } else {
            writeWord(ar, 0xFFFF);
            ar.writeInt32(static_cast<std::int32_t>(static_cast<std::uint32_t>(n)));
        }
        for (std::size_t k = 0; k < n; ++k) {
            if (k == 0) {
                writeWord(ar, kNewClassTag);
                writeWord(ar, kFrameSchema);
                writeWord(ar, 9);
                ar.writeBytes(kFrameClass);
            } else {
                writeWord(ar, kClassTagBit | 1); // the class read first has index 1
            }
            CIfsFrame copy = *m_frames[k];
            ioFrameData(ar, copy);
        }
    } else {
        std::uint32_t n = readWord(ar);
        if (n == 0xFFFF)
            n = static_cast<std::uint32_t>(ar.readInt32());
        // No reservation from the count: a lying count ends at the end of the data.
        m_frames.clear();
        bool classKnown = false;
        for (std::uint32_t k = 0; k < n; ++k) {
            const std::uint16_t tag = readWord(ar);
            if (tag == kNewClassTag) {
                if (classKnown)
                    throw ArchiveException(ArchiveException::badIndex);
                if (readWord(ar) != kFrameSchema)
                    throw ArchiveException(ArchiveException::badSchema);
                const std::uint16_t length = readWord(ar);
                if (ar.readBytes(length) != kFrameClass)
                    throw ArchiveException(ArchiveException::badClass);
                classKnown = true;
            } else if (tag != (kClassTagBit | 1) || !classKnown) {
                // Null objects and references to earlier objects are never written here.
                throw ArchiveException(ArchiveException::badIndex);
            }
            auto frame = std::make_shared<CIfsFrame>();
            ioFrameData(ar, *frame);
            m_frames.push_back(std::move(frame));
        }
    }
    std::int32_t settings[5] = {static_cast<std::int32_t>(border), static_cast<std::int32_t>(bkgrd),
                                static_cast<std::int32_t>(defframe), samecolor, showframes};
    for (std::int32_t& v : settings)
        ar.io(v);
    border = static_cast<ColorRef>(settings[0]);
    bkgrd = static_cast<ColorRef>(settings[1]);
    defframe = static_cast<ColorRef>(settings[2]);
    samecolor = settings[3];
    showframes = settings[4];
    ar.io(m_strName);
    ar.io(m_strAuthor);
}

std::string CIfsDoc::GetHtmlParams() const
{
    std::string s = CFractalDoc::GetHtmlParams();
    s += htmlTextParam("bkgrd", hexColor(bkgrd));
    s += htmlTextParam("border", hexColor(border));
    s += htmlTextParam("defframe", hexColor(defframe));
    s += htmlTextParam("samecolor", trueFalse(samecolor));
    s += htmlTextParam("showframes", trueFalse(showframes));
    std::string list;
    for (const FramePtr& f : m_frames) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "%d;%d;%d;%d;%d;%d;%s;%s;", f->vertex.x, f->vertex.y,
                      f->side1.x, f->side1.y, f->side2.x, f->side2.y, hexColor(f->color).c_str(),
                      trueFalse(f->ignoreColor));
        list += buf;
    }
    s += htmlTextParam("frames", list + "&");
    return s;
}

std::unique_ptr<CFractalDoc> CIfsDoc::cloneEmpty() const
{
    return std::make_unique<CIfsDoc>();
}

void CIfsDoc::assignFrom(const CFractalDoc& other)
{
    CFractalDoc::assignFrom(other);
    const auto& o = static_cast<const CIfsDoc&>(other);
    m_frames = o.m_frames;
    bkgrd = o.bkgrd;
    border = o.border;
    defframe = o.defframe;
    samecolor = o.samecolor;
    showframes = o.showframes;
    m_history.clear();
    m_lastAdded.clear();
    UpdateAllViews(hintBackground);
}

} // namespace fractals
