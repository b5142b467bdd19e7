#pragma once
#include "bootstrapper.h"

namespace setup {

// Setup's boxes as QMessageBox, each with the critical icon.
class QtMessageBoxes : public MessageBoxes {
public:
    // How often an open box does the run's background work (collecting ended programs).
    static constexpr int kWhileOpenIntervalMs = 200;

    Answer show(const std::string& text, const std::string& title, Buttons buttons,
                Answer defaultAnswer) override;
};

} // namespace setup
