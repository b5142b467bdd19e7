#include "animation_dialog_model.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "animation.h"

namespace ormolith {

namespace {

const char* skipBlanks(const std::string& text)
{
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        ++p;
    return p;
}

// "%d" and "%lf" as the C locale reads them (a Qt program may switch LC_NUMERIC): leading blanks
// and trailing text allowed. False when no number starts the text.
bool scanLong(const std::string& text, long long& value)
{
    const char* p = skipBlanks(text);
    const char* end = text.c_str() + text.size();
    if (p != end && *p == '+')
        ++p;
    return std::from_chars(p, end, value).ec == std::errc();
}

bool scanReal(const std::string& text, double& value)
{
    const char* p = skipBlanks(text);
    const char* end = text.c_str() + text.size();
    if (p != end && *p == '+')
        ++p;
    return std::from_chars(p, end, value, std::chars_format::general).ec == std::errc();
}

bool scanUnsigned(const std::string& text, unsigned& value)
{
    long long v = 0;
    if (!scanLong(text, v) || v < 0 || v > std::numeric_limits<unsigned>::max())
        return false;
    value = unsigned(v);
    return true;
}

} // namespace

std::map<std::string, bool>& AnimationDialogModel::expandedGroups()
{
    static std::map<std::string, bool> groups;
    return groups;
}

AnimationDialogModel::AnimationDialogModel(CFractal_Doc& doc) : doc_(doc)
{
    ensureFramesCount(doc_);
    doc_.params.clear();
    if (doc_.scene() != nullptr)
        doc_.scene()->describeParameters(doc_.params);
    fullNames_ = paramFullNames(doc_.params.nodes);
    variableIndex_.assign(fullNames_.size(), -1);
    for (std::size_t i = 0; i < fullNames_.size(); ++i)
        if (isAnimatable(doc_.params.nodes[i]))
            variableIndex_[i] = animatedIndex(doc_, fullNames_[i]);
    mode_ = doc_.animVarNames.empty() ? Mode::chooseVariables : Mode::editFrames;
    startFromText = std::to_string(doc_.animStartFrom);
    fpsText = std::to_string(doc_.animFps);
    dontSave = doc_.animDontSave;
    fill();
}

const char* AnimationDialogModel::modeButtonText() const
{
    return mode_ == Mode::editFrames ? kAddVariablesText : kEditFramesText;
}

std::string AnimationDialogModel::totalText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "Frames: %u", totalFrames(doc_.animFramesCount));
    return text;
}

std::string AnimationDialogModel::valueText(double value) const
{
    // "%-g" without a width is "%g": six significant digits, the shorter of fixed and exponent
    // form, and a point whatever the locale.
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

void AnimationDialogModel::fill()
{
    const unsigned keys = doc_.keyFrameCount();
    columns_.assign(1, {"Variable", kVariableColumnWidth});
    if (mode_ == Mode::chooseVariables) {
        columns_.push_back({"Animated", kValueColumnWidth});
    } else {
        for (unsigned k = 1; k <= keys; ++k)
            columns_.push_back({"Key frame " + std::to_string(k), kValueColumnWidth});
    }
    rows_.clear();

    // Groups wait on this stack until a row below them is added; then they are added first.
    struct Pending {
        std::size_t node;
        int row; // -1 until added
    };
    std::vector<Pending> groups;
    const auto& nodes = doc_.params.nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const ParamNode& node = nodes[i];
        while (!groups.empty() && nodes[groups.back().node].depth >= node.depth)
            groups.pop_back();
        if (isGroup(node.kind)) {
            groups.push_back({i, -1});
            continue;
        }
        if (!isAnimatable(node))
            continue;
        const int v = variableIndex_[i];
        if (mode_ == Mode::editFrames && v < 0)
            continue;
        int parent = -1;
        for (Pending& g : groups) {
            if (g.row < 0) {
                AnimationRow row;
                row.kind = AnimationRow::Kind::group;
                row.parent = parent;
                row.node = g.node;
                const auto it = expandedGroups().find(fullNames_[g.node]);
                row.expanded = it != expandedGroups().end() && it->second;
                row.cells.assign(columns_.size(), std::string());
                row.cells[0] = nodes[g.node].name;
                g.row = int(rows_.size());
                rows_.push_back(std::move(row));
            }
            parent = g.row;
        }
        AnimationRow row;
        row.parent = parent;
        row.node = i;
        row.cells.assign(columns_.size(), std::string());
        row.cells[0] = node.name;
        if (mode_ == Mode::chooseVariables) {
            row.cells[1] = v != -1 ? "Yes" : "No";
        } else {
            const std::size_t first = std::size_t(v) * keys;
            for (unsigned k = 0; k < keys && first + k < doc_.animKeyValues.size(); ++k)
                row.cells[k + 1] = valueText(doc_.animKeyValues[first + k]);
        }
        rows_.push_back(std::move(row));
    }
    if (mode_ == Mode::editFrames) {
        AnimationRow row;
        row.kind = AnimationRow::Kind::framesCount;
        row.cells.assign(columns_.size(), std::string());
        row.cells[0] = kFramesCountRowText;
        for (unsigned k = 0; k < keys && k < doc_.animFramesCount.size(); ++k)
            row.cells[k + 1] = std::to_string(doc_.animFramesCount[k]);
        rows_.push_back(std::move(row));
    }
}

void AnimationDialogModel::setExpanded(int row, bool expanded)
{
    if (row >= 0 && std::size_t(row) < rows_.size())
        rows_[std::size_t(row)].expanded = expanded;
}

void AnimationDialogModel::clickCell(int /*row*/, int column)
{
    lastClickedColumn_ = column;
}

void AnimationDialogModel::editCell(int rowIndex, int column, const std::string& text)
{
    if (rowIndex < 0 || std::size_t(rowIndex) >= rows_.size() || column < 1 ||
        std::size_t(column) >= columns_.size())
        return;
    doc_.setModified();
    AnimationRow& row = rows_[std::size_t(rowIndex)];
    const auto k = unsigned(column - 1);
    switch (row.kind) {
    case AnimationRow::Kind::group:
        return;
    case AnimationRow::Kind::framesCount: {
        if (k >= doc_.animFramesCount.size())
            return;
        // A negative count would read as four billion frames; it keeps the count it had.
        long long count = 0;
        if (scanLong(text, count) && count >= 0 && count <= std::numeric_limits<int>::max())
            doc_.animFramesCount[k] = unsigned(count);
        row.cells[std::size_t(column)] = std::to_string(doc_.animFramesCount[k]);
        return;
    }
    case AnimationRow::Kind::variable:
        break;
    }
    int& v = variableIndex_[row.node];
    if (mode_ == Mode::chooseVariables) {
        v = v != -1 ? -1 : -2;
        row.cells[std::size_t(column)] = v != -1 ? "Yes" : "No";
        return;
    }
    const std::size_t at = std::size_t(v) * doc_.keyFrameCount() + k;
    if (v < 0 || at >= doc_.animKeyValues.size())
        return;
    // A value that is no number would stop every frame after it from building.
    double value = 0;
    if (scanReal(text, value) && std::isfinite(value))
        doc_.animKeyValues[at] = value;
    row.cells[std::size_t(column)] = valueText(doc_.animKeyValues[at]);
}

void AnimationDialogModel::commit()
{
    unsigned number = 0;
    if (scanUnsigned(startFromText, number))
        doc_.animStartFrom = number;
    if (scanUnsigned(fpsText, number))
        doc_.animFps = number;
    startFromText = std::to_string(doc_.animStartFrom);
    fpsText = std::to_string(doc_.animFps);
    doc_.animDontSave = dontSave;
    for (const AnimationRow& row : rows_)
        if (row.kind == AnimationRow::Kind::group)
            expandedGroups()[fullNames_[row.node]] = row.expanded;
    if (mode_ != Mode::chooseVariables)
        return;
    std::vector<bool> marked(variableIndex_.size());
    for (std::size_t i = 0; i < marked.size(); ++i)
        marked[i] = variableIndex_[i] != -1;
    applyVariableMarks(doc_, doc_.params.nodes, fullNames_, marked);
    for (std::size_t i = 0; i < fullNames_.size(); ++i)
        if (isAnimatable(doc_.params.nodes[i]))
            variableIndex_[i] = animatedIndex(doc_, fullNames_[i]);
}

void AnimationDialogModel::switchMode()
{
    commit();
    mode_ = mode_ == Mode::editFrames ? Mode::chooseVariables : Mode::editFrames;
    fill();
}

void AnimationDialogModel::insertFrame()
{
    if (doc_.animVarNames.empty())
        return;
    const unsigned k = keyFrameOfColumn(doc_, lastClickedColumn_);
    commit();
    insertKeyFrame(doc_, k);
    fill();
}

void AnimationDialogModel::deleteFrame()
{
    if (doc_.animVarNames.empty() || doc_.keyFrameCount() <= 2)
        return;
    const unsigned k = keyFrameOfColumn(doc_, lastClickedColumn_);
    commit();
    deleteKeyFrame(doc_, k);
    fill();
}

bool AnimationDialogModel::go(bool buildRunning)
{
    commit();
    if (buildRunning)
        return false;
    setAnimationFrame(doc_, doc_.animStartFrom);
    return true;
}

AnimationDialogModel::CompressStep AnimationDialogModel::compress(bool buildRunning)
{
    commit();
    if (buildRunning)
        return CompressStep::refusedBuilding;
    return doc_.animDontSave ? CompressStep::start : CompressStep::askForFile;
}

void AnimationDialogModel::startProduction(const std::string& path)
{
    doc_.animOutputPath = path;
}

void AnimationDialogModel::close()
{
    commit();
}

} // namespace ormolith
