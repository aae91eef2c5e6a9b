// Message boxes and beeps of the desktop.
#pragma once

#include "platform/message_boxes.h"

namespace platform {

// QMessageBox with the buttons and icon of the type, parented to the active window of the
// application; needs a QApplication.
class QtMessageBoxes : public MessageBoxes {
  public:
    int Show(const std::string& text, const std::string& caption, unsigned type) override;
    void Beep(unsigned type) override;
};

} // namespace platform
