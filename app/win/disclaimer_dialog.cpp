#include "app/win/disclaimer_dialog.h"

#include <string>

#include "app/win/control_ids.h"
#include "app/window/window_logic.h"

namespace pt::win {

namespace {

using namespace id;

// At 96 DPI: the top panel with the title, the white middle panel and the
// picture in it.
constexpr Box96 kTop{0, 0, 483, 56};
constexpr Box96 kMiddle{8, 62, 467, 344};
constexpr Box96 kPicture{15, 69, 452, 330};
constexpr Box96 kIcon{12, 4, 48, 48};

std::string Marked(const char* control, const char* caption) {
  return window::MarkedCaption(window::kDisclaimerMnemonics, control, caption);
}

}  // namespace

DisclaimerDialog::DisclaimerDialog()
    : ModalDialog(Frame{L"Disclaimer/Legalities", 483, 462,
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                        WS_EX_DLGMODALFRAME | WS_EX_TOPMOST}) {}

bool DisclaimerDialog::Ask(HWND owner) {
  accepted_ = false;
  Run(owner);
  return accepted_;
}

void DisclaimerDialog::OnInit() {
  title_ = MakeFont(L"Arial", 32, true);
  heading_ = MakeFont(L"Arial", 17, true);
  body_ = MakeFont(L"Arial", 14, false);
  icon_.emplace(Px(kIcon.w));
  AddButton(Marked("rbNo", "I don't accept these terms"),
            BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, rbDisclaimerNo, {16, 412, 300, 20});
  AddButton(Marked("rbYes", "I accept these terms "), BS_AUTORADIOBUTTON, rbDisclaimerYes,
            {16, 434, 300, 20});
  AddButton(Marked("bOK", "OK"), BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, bOK,
            {375, 418, 100, 32});
  Check(rbDisclaimerNo, true);
  SetFocus(Item(rbDisclaimerNo));
}

bool DisclaimerDialog::OnCommand(int id, int /*code*/) {
  if (id != bOK && id != IDCANCEL) return false;
  // Closing by any means takes the choice as it stands.
  accepted_ = Checked(rbDisclaimerYes);
  Close(IDOK);
  return true;
}

void DisclaimerDialog::OnPaint(HDC dc) {
  RECT top = Rect(kTop);
  DrawEdge(dc, &top, BDR_RAISEDINNER, BF_RECT);
  DrawIconEx(dc, Px(kIcon.x), Px(kIcon.y), icon_->get(), Px(kIcon.w), Px(kIcon.h), 0, nullptr,
             DI_NORMAL);
  HGDIOBJ oldFont = SelectObject(dc, title_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, L"Disclaimer", -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

  RECT middle = Rect(kMiddle);
  FillRect(dc, &middle, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawEdge(dc, &middle, BDR_SUNKENOUTER, BF_RECT);
  PaintPicture(dc, Rect(kPicture));
  SelectObject(dc, oldFont);
}

// The terms in colours of the sixteen-colour palette, drawn at the
// screen's resolution so that they stay sharp on a scaled display.
void DisclaimerDialog::PaintPicture(HDC dc, const RECT& area) {
  const auto at = [&](int x, int y, int w, int h) {
    return RECT{area.left + Px(x), area.top + Px(y), area.left + Px(x + w), area.top + Px(y + h)};
  };
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, heading_);
  SetTextColor(dc, RGB(128, 0, 0));
  RECT heading = at(10, 8, 432, 26);
  const std::wstring headingText = Wide(window::kDisclaimerHeading);
  DrawTextW(dc, headingText.c_str(), -1, &heading,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, area.left + Px(20), area.top + Px(38), nullptr);
  LineTo(dc, area.left + Px(432), area.top + Px(38));
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  SelectObject(dc, body_);
  constexpr UINT kWrap = DT_WORDBREAK | DT_LEFT | DT_TOP | DT_NOPREFIX;
  int y = area.top + Px(50);
  SetTextColor(dc, RGB(0, 0, 128));
  for (const char* paragraph : window::kDisclaimerParagraphs) {
    const std::wstring text = Wide(paragraph);
    RECT box{area.left + Px(16), y, area.left + Px(436), area.bottom};
    RECT used = box;
    DrawTextW(dc, text.c_str(), -1, &used, kWrap | DT_CALCRECT);
    DrawTextW(dc, text.c_str(), -1, &box, kWrap);
    y = used.bottom + Px(12);
  }
  SetTextColor(dc, RGB(0, 128, 0));
  const std::wstring closing = Wide(window::kDisclaimerClosing);
  RECT box{area.left + Px(16), y, area.left + Px(436), area.bottom};
  DrawTextW(dc, closing.c_str(), -1, &box, DT_WORDBREAK | DT_CENTER | DT_TOP | DT_NOPREFIX);
}

}  // namespace pt::win
