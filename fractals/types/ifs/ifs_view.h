#pragma once
// The IFS window: while a render runs, the chaos-game picture; otherwise the frame editor
// (painting, selection, drags, the rubber band and the frame commands).
#include "fractal_view.h"
#include "ifs_doc.h"
#include "ifs_edit.h"
#include "ifs_render.h"

#include <QPoint>
#include <cstdint>
#include <functional>
#include <vector>

namespace fractals {

// The dialogs the frame commands open, behind an interface so that tests can answer them.
class IfsDialogs {
public:
    virtual ~IfsDialogs() = default;
    // "Frame Properties": false when cancelled; on OK `frame` holds a valid frame.
    virtual bool frameProperties(QWidget* parent, CIfsFrame& frame) = 0;
    // "Shift Frame": units in x and y.
    virtual bool shiftFrame(QWidget* parent, int& dx, int& dy) = 0;
    // "Rotate Frame": degrees, positive clockwise.
    virtual bool rotateFrame(QWidget* parent, int& angle) = 0;
    // "Save Bitmap...": the picture's size and how many points per pixel are drawn into it.
    virtual bool saveBitmap(QWidget* parent, int& width, int& height,
                            std::uint64_t& pointsPerPixel) = 0;
};
IfsDialogs& ifsDialogs();
// Replaces the dialogs (tests); nullptr restores the real ones.
void setIfsDialogs(IfsDialogs* dialogs);

// The frames cut or copied in any IFS window, shared by all of them until the program ends.
std::vector<CIfsFrame>& frameClipboard();

class CIfsView : public CFractalView {
    Q_OBJECT
public:
    explicit CIfsView(CIfsDoc* document, QWidget* parent = nullptr);
    ~CIfsView() override;

    CIfsDoc* ifsDoc() const { return static_cast<CIfsDoc*>(document()); }
    const std::vector<FramePtr>& selection() const { return m_selection; }
    DragMode dragMode() const { return m_dragMode; }

    bool onCommand(int id) override;
    bool updateCommand(int id, CommandState& state) override;

    // The mapping of the client area, and the editor's tolerances in frame units.
    FrameMapping clientMapping() const
    {
        return FrameMapping{std::max(m_cx, 1), std::max(m_cy, 1)};
    }
    CVector toFrameUnits(QPoint pixel) const;
    QPoint toPixels(CVector units) const;
    // The first frame hit at a point, in list order.
    FramePtr frameAt(CVector p, FrameHit* hit = nullptr) const;

protected:
    void StartRenderThread(std::unique_ptr<RenderContext> context) override;
    int FillRenderContext(RenderContext& context) override;
    void CreateOffscreen(int cx, int cy) override;
    int ClearOffscreen() override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void onDocumentChanged(int hint);
    bool isSelected(const FramePtr& frame) const;
    void paintEditor(QPainter& painter);
    void endDrag(CVector end);
    void changeSelected(const std::function<CIfsFrame(const CIfsFrame&)>& change);
    void copySelection();
    void saveBitmap();
    std::vector<FramePtr> selectedInDocument() const;

    int m_observer = 0;
    std::vector<FramePtr> m_selection;
    DragMode m_dragMode = DragMode::none;
    CVector m_dragStart;
    CVector m_dragCurrent;
    std::uint64_t m_filePoints = 0; // of the next Save Bitmap run
};

} // namespace fractals
