// The Windows window program's modal dialogs and message boxes. The main
// window calls only these; each dialog takes its decisions from the shared
// window layer (app/window) and lays itself out in pixels at 96 DPI, scaled
// by its monitor's DPI. Texts cross this interface as UTF-8.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>
#include <string>

#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt::win {

// A message box of the kind's icon, sound and title with the button set, a
// dialog of the program's own: a long path in the text wraps rather than
// being cut off. Enter presses the set's default button; Escape or the
// close box gives the set's cautious answer (Abort, Cancel, No).
MsgAnswer ShowMessageBox(HWND owner, MsgKind kind, const std::string& text,
                         MsgButtons buttons);

// The about box: the program's icon and the text.
void ShowAbout(HWND owner, const std::string& text);

// The options dialog over the settings; true after OK, when the settings
// hold the dialog's values. Cancel leaves them, and the dialog, as they
// were.
bool RunOptionsDialog(HWND owner, Settings& settings);

// The disclaimer dialog; true when the user accepted it.
bool RunDisclaimerDialog(HWND owner);

// The key entry dialog. It lives as long as the main window and keeps its
// fields between the showings of one job; it only collects and validates
// the text (the job turns it into key bytes).
class KeyDialog {
 public:
  KeyDialog() = default;
  KeyDialog(const KeyDialog&) = delete;
  KeyDialog& operator=(const KeyDialog&) = delete;
  ~KeyDialog() { Wipe(); }

  // The start-up sequence's preset (StartupResult::keyModePreset), applied
  // at the dialog's next showing.
  void SetPendingKeyMode(KeyMode mode) { pendingKeyMode_ = mode; }
  // Shows the dialog modally for the request.
  KeyReply Run(HWND owner, const KeyRequest& request);
  // Overwrites and empties the kept key text (once a job has its key).
  void Wipe();

 private:
  std::optional<KeyMode> pendingKeyMode_;
  bool hexMode_ = false;
  std::wstring enter_;    // eEnter's text as last closed
  std::wstring reenter_;  // eReenter's text as last closed
};

}  // namespace pt::win
