// The entry points of the window program's dialogs.
#include "app/win/win_dialogs.h"

#include "app/win/disclaimer_dialog.h"
#include "app/win/key_dialog.h"
#include "app/win/options_dialog.h"
#include "app/window/window_logic.h"

namespace pt::win {

bool RunOptionsDialog(HWND owner, Settings& settings) {
  // The dialog's controls live as long as the program: a setting outside
  // the listed values leaves its group as the last showing left it.
  static window::OptionsControls kept;
  window::ShowSettings(settings, kept);
  window::OptionsControls shown = kept;
  OptionsDialog dialog(shown);
  if (dialog.Run(owner) != IDOK) return false;  // `kept` is what was remembered
  window::CopyBack(shown, settings);
  kept = shown;
  return true;
}

bool RunDisclaimerDialog(HWND owner) {
  DisclaimerDialog dialog;
  return dialog.Ask(owner);
}

KeyReply KeyDialog::Run(HWND owner, const KeyRequest& request) {
  KeyEntryDialog dialog(KeyFields{hexMode_, enter_, reenter_, pendingKeyMode_}, request);
  return dialog.Ask(owner);
}

void KeyDialog::Wipe() {
  WipeText(enter_);
  WipeText(reenter_);
}

}  // namespace pt::win
