#pragma once
// The window shown while the program starts: title, version, notice and disclaimer.
#include <QWidget>

namespace fractals {

inline constexpr const char* kDisclaimer =
    "This program is distributed in the hope that it will be useful and enjoyable, but without any "
    "warranty; "
    "without even the implied warranty of merchantability or fitness for a particular purpose.";

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    CSplashWnd();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace fractals
