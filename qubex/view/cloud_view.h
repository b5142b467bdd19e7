#pragma once
// What the main window needs of its drawing area. The OpenGL view implements it; widget
// tests, which run without OpenGL, put a recording stand-in in its place.
#include <functional>

class QWidget;

namespace qubex {

class CloudView {
public:
    virtual ~CloudView() = default;
    virtual QWidget* widget() = 0;
    virtual void drawScene() = 0; // redraw (and add one trackball increment)
    virtual void setBackgroundColor() = 0;
    virtual void setFogColor() = 0;
    virtual void resetZoom() = 0; // zoom = 1, the rotation stays
    virtual void timerTick() = 0; // the main window's 1 ms timer
    // True while a released drag keeps the picture turning: the only time the timer has work.
    virtual bool spinning() const = 0;
    // Set by the owner of the timer; the view calls it when a spin starts.
    std::function<void()> spinStarted;
    virtual void releaseView() = 0;
    // False when no OpenGL context could be made for the drawing area.
    virtual bool viewUsable() const { return true; }
};

} // namespace qubex
