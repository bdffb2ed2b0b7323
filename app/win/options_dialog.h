// The options dialog over the shared options controls record.
#pragma once

#include "app/win/modal_dialog.h"
#include "app/window/window_logic.h"

namespace pt::win {

class OptionsDialog : public ModalDialog {
 public:
  // Shows `controls`; after OK they hold what the user set.
  explicit OptionsDialog(window::OptionsControls& controls);

 private:
  void OnInit() override;
  bool OnCommand(int id, int code) override;
  bool TextColour(HWND control, COLORREF& colour) override;

  void CreateControls();
  void AddToolTips();
  void rbNeverClick();
  void rbDefinedClick();
  void Show(const window::OptionsControls& c);
  window::OptionsControls Capture() const;

  window::OptionsControls& controls_;
  HWND lNone_ = nullptr;
  HWND lMax_ = nullptr;
};

}  // namespace pt::win
