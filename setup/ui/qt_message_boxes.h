#pragma once
#include "bootstrapper.h"

namespace setup {

// Setup's boxes as QMessageBox, each with the critical icon.
class QtMessageBoxes : public MessageBoxes {
public:
    Answer show(const std::string& text, const std::string& title, Buttons buttons,
                Answer defaultAnswer) override;
};

} // namespace setup
