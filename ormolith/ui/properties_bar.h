#pragma once
// The "Properties" bar: the parameter tree of the active document's scene in a ParamTreeCtrl,
// and the only place where the user edits a scene. Every value is read and written through the
// scene's own description of its parameters; an edit is judged by the scene (onParamChanged),
// and a rejected one is shown and undone.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fractal_doc.h"
#include "param.h"
#include "sizing_control_bar.h"

class QTreeWidgetItem;

namespace ormolith {

class ParamTreeCtrl;

class PropertiesBar : public CSizingControlBar, private SceneListener {
    Q_OBJECT
public:
    static constexpr int kBarId = 123;
    static constexpr QSize kInitialSize{160, 80};
    static constexpr int kValueColumn = 1;
    static constexpr const char* kStatusText = "Parameters window. Click any value to edit";
    static constexpr const char* kToolTip = "Click to edit";

    explicit PropertiesBar(QWidget* parent = nullptr);
    ~PropertiesBar() override;

    // Shows `doc`'s scene (nullptr: nothing). The bar stays the document's scene listener while
    // it shows it, so a replaced scene is let go before it dies and shown again after.
    void attach(CFractal_Doc* doc);
    CFractal_Doc* document() const { return doc_; }
    // Collects the scene's parameters again and rebuilds the tree, keeping expanded groups and
    // the scroll position.
    void refill();
    // Commits an open edit box (a build is about to start, or the document is saved).
    void endEdit();

    ParamTreeCtrl* tree() const { return tree_; }
    // The parameters shown, in tree order; each node's uiHandle is its row.
    const std::vector<ParamNode>& nodes() const { return collector_.nodes; }
    const std::vector<std::string>& fullNames() const { return fullNames_; }

    // How the scene's error text reaches the user: an exclamation box unless replaced.
    using ErrorSink = std::function<void(QWidget* parent, const QString& text)>;
    void setErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

    // Whether the document is being built. A build's worker reads the scene while it runs, so
    // edits made then are refused and the row keeps its value.
    using BusyCheck = std::function<bool(const CFractal_Doc& doc)>;
    void setBusyCheck(BusyCheck check) { busy_ = std::move(check); }

    // Groups expanded or collapsed by the user, by full name, for the whole process.
    static std::map<std::string, bool>& expandedGroups();

signals:
    // An edit was taken into the scene; the document is modified.
    void parameterChanged(CFractal_Doc* doc);

private:
    bool sceneAboutToBeReplaced(CFractal_Doc& doc) override;
    void sceneReplaced(CFractal_Doc& doc) override;
    void applyEdit(QTreeWidgetItem* row, int column, const QString& text);
    void recordExpansion();
    void detachTree();

    ParamTreeCtrl* tree_;
    CFractal_Doc* doc_ = nullptr;
    CFractal_Doc* replacing_ = nullptr; // shown until its scene is replaced, then again
    ParamCollector collector_;
    std::vector<std::string> fullNames_;
    ErrorSink errorSink_;
    BusyCheck busy_;
};

} // namespace ormolith
