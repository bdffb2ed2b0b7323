// Boxes of the program's own, where no system message box fits: an icon,
// the text and a row of buttons (the OK and Abort warning, the about box).
#pragma once

#include <span>
#include <string_view>

#include "app/win/modal_dialog.h"

namespace pt::win {

enum class BoxIcon { Warning, Program };

struct BoxButton {
  int id;
  const wchar_t* caption;
};

// Shows the box modally; Enter presses the first button, Escape and the
// close box give escapeId. Returns the id of the button pressed.
int ShowTextBox(HWND owner, const wchar_t* title, BoxIcon icon, std::string_view text,
                std::span<const BoxButton> buttons, int escapeId);

}  // namespace pt::win
