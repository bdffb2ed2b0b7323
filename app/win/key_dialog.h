// The key entry dialog's window. It collects and validates the key text;
// what it keeps between showings lives in KeyDialog.
#pragma once

#include <optional>
#include <string>

#include "app/win/modal_dialog.h"
#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt::win {

// The fields that outlive one showing.
struct KeyFields {
  bool& hexMode;
  std::wstring& enter;
  std::wstring& reenter;
  std::optional<KeyMode>& pendingKeyMode;
};

class KeyEntryDialog : public ModalDialog {
 public:
  KeyEntryDialog(KeyFields fields, const KeyRequest& request);

  // Shows the dialog; the fields hold its state afterwards.
  KeyReply Ask(HWND owner);

 private:
  void OnInit() override;
  bool OnCommand(int id, int code) override;
  bool TextColour(HWND control, COLORREF& colour) override;
  void OnPaint(HDC dc) override;
  bool OnMessage(UINT message, WPARAM wp, LPARAM lp, INT_PTR& result) override;

  void CreateControls();
  void ShowLayout();
  void ApplyKeyMode();
  void rbASCIIClick();
  void FormActivate();
  void bOKClick();
  void Finish(int result);

  KeyFields fields_;
  KeyRequest request_;
  KeyReply reply_;
  bool reenterShown_ = false;
  HWND lReenter_ = nullptr;
  HWND lMeasure1_ = nullptr;
  HWND Label1_ = nullptr;
  HWND lMeasure2_ = nullptr;
};

}  // namespace pt::win
