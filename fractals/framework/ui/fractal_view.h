#pragma once
// The view base of every fractal window: the offscreen picture, the render thread and its
// control, painting, the cursor and the right-click menu.
#include "fractal_doc.h"
#include "progress_dialog.h"
#include "run_gate.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace fractals {

class CFractalView;

// What a render thread gets, and owns, for one run.
struct RenderContext {
    CFractalDoc* document = nullptr;
    CFractalView* view = nullptr;
    bool usesSharedPalette = false;
    RunGate* running = nullptr;
    int width = 0;
    int height = 0;
    // Empty: draw into the view's picture column by column. Otherwise render off screen with
    // a progress window and write the picture to this path as a bitmap.
    std::string outputPath;
    std::atomic<int>* progressPercent = nullptr;
};

// Enabled and check-mark state of one command, as the menus and the toolbar show it.
struct CommandState {
    bool enabled = false;
    bool checked = false;
};

class CFractalView : public QWidget {
    Q_OBJECT
public:
    enum RenderCommand { Start = 0, Pause = 1, Resume = 2, Stop = 4 };

    explicit CFractalView(CFractalDoc* document, QWidget* parent = nullptr);
    ~CFractalView() override;

    CFractalDoc* document() const { return m_document; }
    void ControlRender(RenderCommand command, std::unique_ptr<RenderContext> context = {});
    bool isRunning() const { return m_bRunning.running(); }
    bool isPaused() const { return m_bPaused; }
    int contextMenuId() const { return m_nContextMenu; }

    // Command routing: true when the view handles the command (and then fills state).
    virtual bool onCommand(int id);
    virtual bool updateCommand(int id, CommandState& state);

    // The picture as it would be painted now (for the window and for tests).
    QImage pictureSnapshot() const;
    QColor backgroundColor() const;

    // Renders the view's document at the given size into a bitmap file with a progress window.
    void startFileRender(int width, int height, const std::string& path);
    // Command 2002: asks for size and path, then renders to the file.
    void exportBitmap();
    ProgressDialog* progressDialog() const { return m_progressDialog; }

signals:
    void renderEnded();
    // popup: which popup of the menu resource to show (the first unless a kind says otherwise).
    void contextMenuRequested(int menuId, QPoint globalPos, int popup = 0);

protected:
    virtual void StartRenderThread(std::unique_ptr<RenderContext> context);
    virtual int FillRenderContext(RenderContext& context);
    virtual void CreateOffscreen(int cx, int cy);
    virtual int ClearOffscreen();
    // Indexed views keep palette indices and draw through the shared palette.
    virtual bool indexedPicture() const { return false; }

    // For render threads: store rows 0..height-1 of column i and ask the window to show it.
    void writeColumn(int i, const std::uint8_t* indices, int height);
    void postColumnDone(int i);
    // For render threads that draw lines on a true-colour picture: runs paint on the picture
    // under the lock and leaves columns first..last for the window to show.
    void paintOffscreen(const std::function<void(QImage&)>& paint, int first, int last);
    // The thread's last act: lower the flag and leave word for the window, which joins it.
    void finishRun(int serial);
    int runSerial() const { return m_runSerial; }
    void launch(std::function<void()> body);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    std::unique_ptr<std::thread> m_pRenderThread;
    RunGate m_bRunning;
    bool m_bPaused = false;
    int m_nContextMenu = 500;
    int m_cx = 0;
    int m_cy = 0;
    QRgb m_crBackground = qRgb(0, 0, 0);
    int m_backgroundIndex = -1; // palette index of the background, for indexed views

private:
    void joinFinishedThread();
    void endFinishedRun();
    void onRunEnded(int serial);
    void pullFromWorker();

    CFractalDoc* m_document;
    // m_offscreen is written by the render thread and read by painting: always under the lock.
    mutable std::mutex m_offscreenMutex;
    QImage m_offscreen;
    int m_dirtyFirst = std::numeric_limits<int>::max(); // columns finished but not yet shown,
    int m_dirtyLast = -1;                               // guarded by m_offscreenMutex
    int m_runSerial = 0;
    std::atomic<int> m_endedSerial{0};
    QTimer m_pullTimer;
    std::atomic<int> m_fileProgress{0};
    QPointer<ProgressDialog> m_progressDialog;
};

} // namespace fractals
