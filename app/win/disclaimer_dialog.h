// The disclaimer dialog: the program's terms as a picture, and the choice
// to accept them.
#pragma once

#include <optional>

#include "app/win/modal_dialog.h"

namespace pt::win {

class DisclaimerDialog : public ModalDialog {
 public:
  DisclaimerDialog();
  // True when "I accept these terms " was selected as the dialog closed,
  // by any means.
  bool Ask(HWND owner);

 private:
  void OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnPaint(HDC dc) override;

  void PaintPicture(HDC dc, const RECT& area);

  bool accepted_ = false;
  HFONT title_ = nullptr;
  HFONT heading_ = nullptr;
  HFONT body_ = nullptr;
  std::optional<Icon> icon_;
};

}  // namespace pt::win
