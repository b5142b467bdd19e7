#pragma once
// The Henon map window: palette picture, rubber band zoom through the slice vectors, and the
// "Henon Map Properties" sheet.
#include "henon_base_view.h"
#include "henon_doc.h"

#include <QDialog>

class QLineEdit;

namespace fractals {

class CHenonView : public CHenonBaseView {
    Q_OBJECT
public:
    explicit CHenonView(CHenonDoc* document, QWidget* parent = nullptr);
    CHenonDoc* henonDoc() const { return static_cast<CHenonDoc*>(document()); }
    void ZoomToRect(int left, int top, int right, int bottom) override;

protected:
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& context) const override;
};

class CHenonPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    CHenonPropertiesSheet(CHenonDoc& doc, QWidget* parent);
    // 2304 name, 2305 author, 7101 position, 7102 horizontal, 7103 vertical, 7104 C, 7105 D.
    QLineEdit* field(int controlId) const;
    void fillDefaults();

public slots:
    void accept() override;

private:
    CHenonDoc& m_doc;
    QLineEdit* m_name;
    QLineEdit* m_author;
    QLineEdit* m_fields[5];
    // The texts the fields opened with: the text forms keep six decimals only, so a field the
    // user did not touch stands for the exact value it showed, not for its rounded text.
    QString m_shown[5];
};

bool editHenonProperties(CHenonDoc& doc, QWidget* parent);

} // namespace fractals
