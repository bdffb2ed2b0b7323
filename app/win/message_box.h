// The program's own boxes of an icon, a text and a row of buttons: every
// message box and the about box. A long word in the text (a path) breaks
// where the line is full, so that all of it is shown.
#pragma once

#include <span>
#include <string_view>

#include "app/win/modal_dialog.h"

namespace pt::win {

enum class BoxIcon { None, Question, Warning, Error, Information, Program };

struct BoxButton {
  int id;
  const wchar_t* caption;  // "&" marks the Alt+letter
};

// Shows the box modally; Enter presses enterId (the default button),
// Escape and the close box give escapeId. Returns the id of the button
// pressed.
int ShowTextBox(HWND owner, const wchar_t* title, BoxIcon icon, std::string_view text,
                std::span<const BoxButton> buttons, int enterId, int escapeId);

}  // namespace pt::win
