// The about box: the program's icon beside the text and an OK button.
#include <string>

#include "app/win/control_ids.h"
#include "app/win/message_box.h"
#include "app/win/win_dialogs.h"
#include "app/window/window_logic.h"

namespace pt::win {

void ShowAbout(HWND owner, const std::string& text) {
  static constexpr BoxButton kOk[] = {{id::bOK, L"OK"}};
  const std::wstring title = Wide(window::MessageTitle(MsgKind::Information));
  ShowTextBox(owner, title.c_str(), BoxIcon::Program, text, kOk, id::bOK, id::bOK);
}

}  // namespace pt::win
