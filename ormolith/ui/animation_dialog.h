#pragma once
// The "Animation" dialog: the key-frame table of a document in a ParamTreeCtrl, the start
// frame, the frame rate, the don't-save box and the buttons that edit key frames, show a frame,
// and start the production. What the table holds and what each button does to the document is
// AnimationDialogModel's; this class mirrors the model's rows into the tree grid and hands the
// user's clicks, edits and expansions back to it.
#include <QDialog>
#include <QVector>

#include "animation_dialog_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;

namespace ormolith {

class CChildFrame;
class ParamTreeCtrl;

class AnimationDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kStatusText = "Key frames window. Click any value to edit";
    static constexpr const char* kToolTip = "Click to edit";

    // Opens over `frame`'s document (its scene must exist). Go builds in `frame`; Compress
    // closes the dialog with Accepted once the production may start (the caller starts it).
    explicit AnimationDialog(CChildFrame& frame, QWidget* parent = nullptr);
    ~AnimationDialog() override;

    const AnimationDialogModel& model() const { return model_; }
    ParamTreeCtrl* tree() const { return tree_; }
    // The tree row that shows model row i.
    QTreeWidgetItem* row(int i) const { return i >= 0 && i < rows_.size() ? rows_[i] : nullptr; }
    QLineEdit* startFromEdit() const { return startFrom_; }
    QLineEdit* fpsEdit() const { return fps_; }
    QLabel* totalLabel() const { return total_; }
    QCheckBox* dontSaveBox() const { return dontSave_; }
    QPushButton* modeButton() const { return mode_; }
    QPushButton* insertButton() const { return insert_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* goButton() const { return go_; }
    QPushButton* compressButton() const { return compress_; }
    QPushButton* closeButton() const { return close_; }

    // Close, Escape and the close box: the edits are kept.
    void reject() override;

private:
    // Ends an open cell edit and hands the edits to the model: every button starts with this.
    void takeEdits();
    void showEdits();
    void refill();
    int indexOf(QTreeWidgetItem* row) const;
    void cellEdited(QTreeWidgetItem* row, int column, const QString& text);
    void switchMode();
    void insertFrame();
    void deleteFrame();
    void go();
    void compress();

    CChildFrame& frame_;
    AnimationDialogModel model_;
    ParamTreeCtrl* tree_;
    QVector<QTreeWidgetItem*> rows_; // index-aligned with model_.rows()
    bool filling_ = false;
    QLineEdit* startFrom_;
    QLineEdit* fps_;
    QLabel* total_;
    QCheckBox* dontSave_;
    QPushButton* mode_;
    QPushButton* insert_;
    QPushButton* delete_;
    QPushButton* go_;
    QPushButton* compress_;
    QPushButton* close_;
};

} // namespace ormolith
