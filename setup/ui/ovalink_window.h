#pragma once
// The small "please wait" window shown while setup installs and starts programs.
#include "bootstrapper.h"

#include <QFrame>
#include <QPixmap>

namespace setup {

class OvalinkWindow : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 160;
    static constexpr const char* kTitle = "Ovalink";
    static constexpr const char* kText = "Initializing Setup. Please Wait...";

    OvalinkWindow();
    int paintCount() const { return paintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap icon_;
    int paintCount_ = 0;
};

// Shows the window centred on the primary screen and lets it paint once; no event loop runs
// afterwards, so what it shows now is what stays on the screen.
class QtWaitWindow : public WaitWindow {
public:
    void show() override;
    void destroy() override;
    OvalinkWindow* window() const { return window_.get(); }

private:
    std::unique_ptr<OvalinkWindow> window_;
};

} // namespace setup
