#include "properties_bar.h"

#include <QMessageBox>
#include <QScrollBar>
#include <QTreeWidget>

#include <cstdint>
#include <variant>

#include "animation.h"
#include "param_tree_ctrl.h"

namespace ormolith {

namespace {

bool isEditableKind(std::uint16_t kind)
{
    const std::uint16_t value = valueKind(kind);
    return value == kKindText || value == kKindInt || value == kKindReal || value == kKindFloat;
}

// The raw value of a parameter before an edit. Restoring a rejected edit from these bytes
// rather than from the cell's text keeps the digits that the text form drops.
using SavedValue = std::variant<std::monostate, std::int32_t, bool, double, float, std::string>;

SavedValue saveValue(const ParamNode& node)
{
    if (!node.value)
        return {};
    const std::uint16_t kind = valueKind(node.kind);
    if (isChoice(node.kind) || kind == kKindInt)
        return *static_cast<std::int32_t*>(node.value);
    if (kind == kKindBool)
        return *static_cast<bool*>(node.value);
    if (kind == kKindReal)
        return *static_cast<double*>(node.value);
    if (kind == kKindFloat)
        return *static_cast<float*>(node.value);
    if (kind == kKindText)
        return *static_cast<std::string*>(node.value);
    return {};
}

void restoreValue(const ParamNode& node, const SavedValue& saved)
{
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (!std::is_same_v<T, std::monostate>)
                *static_cast<T*>(node.value) = v;
        },
        saved);
}

void showExclamation(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("Ormolith"), text);
}

} // namespace

PropertiesBar::PropertiesBar(QWidget* parent)
    : CSizingControlBar(QStringLiteral("Properties"), kBarId, kInitialSize, parent),
      tree_(new ParamTreeCtrl(this)), errorSink_(showExclamation)
{
    tree_->addColumn(0, QStringLiteral("Variable"), 100);
    tree_->addColumn(1, QStringLiteral("Value"), 100);
    tree_->setStatusText(QString::fromLatin1(kStatusText));
    tree_->setToolTip(QString::fromLatin1(kToolTip));
    tree_->treeWidget()->viewport()->setToolTip(QString::fromLatin1(kToolTip));
    setWidget(tree_);
    connect(tree_, &ParamTreeCtrl::cellEdited, this, &PropertiesBar::applyEdit);
}

PropertiesBar::~PropertiesBar()
{
    // The edit belongs to the scene shown; commit it while the bar can still take it.
    tree_->endEdit();
    disconnect(tree_, nullptr, this, nullptr);
    if (doc_ && doc_->listener == this)
        doc_->listener = nullptr;
}

std::map<std::string, bool>& PropertiesBar::expandedGroups()
{
    static std::map<std::string, bool> groups;
    return groups;
}

void PropertiesBar::attach(CFractal_Doc* doc)
{
    // An open edit belongs to the document shown so far.
    tree_->endEdit();
    if (doc_ != doc) {
        recordExpansion();
        if (doc_ && doc_->listener == this)
            doc_->listener = nullptr;
        detachTree();
        doc_ = doc;
        replacing_ = nullptr;
        if (doc_)
            doc_->listener = this;
    }
    refill();
}

void PropertiesBar::endEdit()
{
    tree_->endEdit();
}

void PropertiesBar::recordExpansion()
{
    const auto& nodes = collector_.nodes;
    for (std::size_t i = 0; i < nodes.size() && i < fullNames_.size(); ++i) {
        if (isGroup(nodes[i].kind) && nodes[i].uiHandle)
            expandedGroups()[fullNames_[i]] =
                static_cast<QTreeWidgetItem*>(nodes[i].uiHandle)->isExpanded();
    }
}

void PropertiesBar::detachTree()
{
    collector_.clear();
    fullNames_.clear();
    tree_->clear();
}

void PropertiesBar::refill()
{
    tree_->endEdit();
    recordExpansion();
    collector_.clear();
    fullNames_.clear();
    if (!doc_ || !doc_->scene()) {
        tree_->clear();
        return;
    }
    QTreeWidget* view = tree_->treeWidget();
    const int scroll = view->verticalScrollBar()->value();
    view->setUpdatesEnabled(false);
    doc_->scene()->describeParameters(collector_);
    fullNames_ = paramFullNames(collector_.nodes);
    tree_->clear();

    // The rows of the groups open at each depth; a node goes under the group one level up.
    std::vector<ParamTreeCtrl::Row> groups;
    std::vector<ParamTreeCtrl::Row> toExpand;
    for (std::size_t i = 0; i < collector_.nodes.size(); ++i) {
        ParamNode& node = collector_.nodes[i];
        const std::size_t depth = node.depth;
        ParamTreeCtrl::Row parent = nullptr;
        if (depth > 0 && depth - 1 < groups.size())
            parent = groups[depth - 1];
        const QString name = QString::fromStdString(node.name);
        ParamTreeCtrl::Row row;
        if (isGroup(node.kind)) {
            row = tree_->insertRow(name, ParamTreeCtrl::kFolderImage, ParamTreeCtrl::kFolderImage,
                                   parent);
            groups.resize(depth + 1);
            groups[depth] = row;
            const auto expanded = expandedGroups().find(fullNames_[i]);
            if (expanded != expandedGroups().end() && expanded->second)
                toExpand.push_back(row);
        } else {
            row = tree_->insertRow(name, ParamTreeCtrl::kImageValue,
                                   ParamTreeCtrl::kImageValueSelected, parent);
        }
        tree_->setCellText(row, kValueColumn, QString::fromStdString(formatValue(node)));
        tree_->setRowEditable(row, isEditableKind(node.kind));
        node.uiHandle = row;
    }
    for (ParamTreeCtrl::Row row : toExpand)
        tree_->setRowExpanded(row, true);
    view->doItemsLayout();
    view->verticalScrollBar()->setValue(scroll);
    view->setUpdatesEnabled(true);
}

void PropertiesBar::applyEdit(QTreeWidgetItem* row, int column, const QString& text)
{
    if (!doc_ || !doc_->scene() || column != kValueColumn)
        return;
    if (busy_ && busy_(*doc_))
        return;
    FractalScene* scene = doc_->scene();
    const ParamNode* found = nullptr;
    for (const ParamNode& node : collector_.nodes) {
        if (node.uiHandle == row) {
            found = &node;
            break;
        }
    }
    // A plain group has nothing to change.
    if (!found || !found->value)
        return;
    // A copy: the node list may be collected again while a message box is open.
    const ParamNode node = *found;
    const SavedValue previous = saveValue(node);

    const std::uint16_t kind = valueKind(node.kind);
    if (isChoice(node.kind)) {
        auto& index = *static_cast<std::int32_t*>(node.value);
        index = (choiceIndex(index, kind) + 1) % kind;
    } else if (kind == kKindBool) {
        auto& flag = *static_cast<bool*>(node.value);
        flag = !flag;
    } else if (isEditableKind(node.kind)) {
        parseValue(node, text.toStdString());
    } else {
        return;
    }

    scene->errorText.clear();
    const bool reshaped = scene->onParamChanged(node);
    if (!scene->errorText.empty()) {
        CFractal_Doc* doc = doc_;
        const QString message = QString::fromStdString(scene->errorText);
        errorSink_(this, message);
        // The box's event loop may have let go of the document or replaced its scene.
        if (doc_ == doc && doc_->scene() == scene)
            restoreValue(node, previous);
        return;
    }
    if (reshaped)
        refill();
    else
        tree_->setCellText(row, kValueColumn, QString::fromStdString(formatValue(node)));
    doc_->setModified(true);
    emit parameterChanged(doc_);
}

bool PropertiesBar::sceneAboutToBeReplaced(CFractal_Doc& doc)
{
    if (&doc != doc_)
        return false;
    // The edit was meant for a scene that is going away.
    tree_->cancelEdit();
    recordExpansion();
    detachTree();
    doc_ = nullptr;
    replacing_ = &doc;
    return true;
}

void PropertiesBar::sceneReplaced(CFractal_Doc& doc)
{
    if (&doc != replacing_)
        return;
    replacing_ = nullptr;
    attach(&doc);
}

} // namespace ormolith
