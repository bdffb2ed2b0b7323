#include "app/win/options_dialog.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <iterator>
#include <span>
#include <string>

#include "app/win/control_ids.h"

namespace pt::win {

namespace {

using namespace id;
using window::kNone;

// The radio groups in the order of OptionsControls' indices.
constexpr int kCipherGroup[] = {rbNone, rbBlowfish, rbTwofish, rbRijndael};
constexpr int kCompressionGroup[] = {rbNever, rbSensibly, rbSmart, rbEver};
constexpr int kLevelGroup[] = {rbDefault, rbDefined};
constexpr int kKeyModeGroup[] = {rbASCII, rbHex};
constexpr int kTargetGroup[] = {rbReplaceLast, rbReplaceAll, rbAppend};

// Layout at 96 DPI: two columns of group boxes, the buttons at the bottom.
constexpr int kClientWidth = 427;
constexpr int kClientHeight = 449;
constexpr int kLeftX = 8;
constexpr int kLeftWidth = 190;
constexpr int kRightX = 204;
constexpr int kRightWidth = 215;
constexpr int kLine = 20;  // one radio button or check box
constexpr int kInset = 10;
constexpr int kButtonsY = kClientHeight - 38;

// The groups are laid out packed from the top; each column is then spread
// evenly down to just above the buttons, so that no empty band is left
// between the groups and the buttons. `end` is the column's packed bottom.
struct Column {
  int end;
  int At(int y) const {
    constexpr int kTop = 6, kBottom = kButtonsY - 12;
    return kTop + (y - kTop) * (kBottom - kTop) / (end - kTop);
  }
  Box96 Group(Box96 b) const { return {b.x, At(b.y), b.w, At(b.y + b.h) - At(b.y)}; }
  Box96 Row(Box96 b) const { return {b.x, At(b.y), b.w, b.h}; }
};
constexpr Column kLeftColumn{350};
constexpr Column kRightColumn{324};

std::string Marked(const char* control, const char* caption) {
  return window::MarkedCaption(window::kOptionsMnemonics, control, caption);
}

}  // namespace

OptionsDialog::OptionsDialog(window::OptionsControls& controls)
    : ModalDialog(Frame{L"pixelTuck Options ...", kClientWidth, kClientHeight}),
      controls_(controls) {}

void OptionsDialog::OnInit() {
  CreateControls();
  AddToolTips();
  Show(controls_);
  SetFocus(Item(bOK));
}

void OptionsDialog::CreateControls() {
  const auto group = [this](const wchar_t* caption, Box96 box) {
    Add(L"BUTTON", caption, BS_GROUPBOX | WS_GROUP, -1, box);
  };
  // A radio group starts a tab stop; the arrow keys move within it.
  const auto radio = [this](int id, const char* name, const char* caption, Box96 box, bool first) {
    AddButton(Marked(name, caption), BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0),
              id, box);
  };
  const auto check = [this](int id, const char* name, const char* caption, Box96 box) {
    AddButton(Marked(name, caption), BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, id, box);
  };
  // A long group caption widens the right column rather than being cut.
  const wchar_t* targetCaption = L"Target Filename is Source Filename with ...";
  const int rightWidth = std::max(kRightWidth, Width96(targetCaption) + 2 * kInset);
  const int clientWidth = kRightX + rightWidth + kLeftX;
  Resize96(clientWidth, kClientHeight);

  // Left column.
  const int lx = kLeftX + kInset;
  const int lw = kLeftWidth - 2 * kInset;
  group(L"Startup Encryption Method ", kLeftColumn.Group({kLeftX, 6, kLeftWidth, 104}));
  radio(rbNone, "rbNone", "None", kLeftColumn.Row({lx, 24, lw, kLine}), true);
  radio(rbBlowfish, "rbBlowfish", "Blowfish", kLeftColumn.Row({lx, 44, lw, kLine}), false);
  radio(rbTwofish, "rbTwofish", "Twofish (Securest Method)", kLeftColumn.Row({lx, 64, lw, kLine}),
        false);
  radio(rbRijndael, "rbRijndael", "Rijndael (AES)", kLeftColumn.Row({lx, 84, lw, kLine}), false);
  // The cipher captions are coloured; a themed button would ignore that.
  for (int id : kCipherGroup) SetWindowTheme(Item(id), L"", L"");

  group(L"Automatic conversion ...", kLeftColumn.Group({kLeftX, 116, kLeftWidth, 64}));
  check(cbExit, "cbExit", "Exit after Conversion", kLeftColumn.Row({lx, 134, lw, kLine}));
  check(cbShowOption, "cbShow", "Show Bitmap", kLeftColumn.Row({lx, 154, lw, kLine}));

  group(L"Passwords and Keys", kLeftColumn.Group({kLeftX, 186, kLeftWidth, 112}));
  AddLabel(L"Default Encrypton Key Mode", lx, kLeftColumn.At(204));
  radio(rbASCII, "rbASCII", "ASCII", kLeftColumn.Row({lx, 222, 70, kLine}), true);
  radio(rbHex, "rbHex", "Hex", kLeftColumn.Row({lx + 80, 222, 70, kLine}), false);
  AddLabel(L"While entering ASCII Key...", lx, kLeftColumn.At(250));
  check(cbHide, "cbHide", "Hide Password", kLeftColumn.Row({lx, 268, lw, kLine}));

  group(L"Misc. Options ...", kLeftColumn.Group({kLeftX, 304, kLeftWidth, 46}));
  check(cbLOG, "cbLOG", "Copy LOG View", kLeftColumn.Row({lx, 322, lw, kLine}));

  // Right column.
  const int rx = kRightX + kInset;
  const int rw = rightWidth - 2 * kInset;
  group(L"Use compressed File ... ", kRightColumn.Group({kRightX, 6, rightWidth, 136}));
  radio(rbNever, "rbNever", "Never", kRightColumn.Row({rx, 24, rw, kLine}), true);
  radio(rbSensibly, "rbSensibly", "If sensibly", kRightColumn.Row({rx, 44, rw, kLine}), false);
  radio(rbSmart, "rbSmart", "If Extension differs from", kRightColumn.Row({rx, 64, rw, kLine}),
        false);
  Add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, eExtensions,
      kRightColumn.Row({rx + 18, 86, rw - 18, 22}), nullptr, WS_EX_CLIENTEDGE);
  radio(rbEver, "rbEver", "Always", kRightColumn.Row({rx, 114, rw, kLine}), false);

  group(L"Compression Level ", kRightColumn.Group({kRightX, 148, rightWidth, 84}));
  radio(rbDefault, "rbDefault", "Default", kRightColumn.Row({rx, 166, 80, kLine}), true);
  radio(rbDefined, "rbDefined", "User Defined", kRightColumn.Row({rx + 90, 166, rw - 90, kLine}),
        false);
  const int sliderY = kRightColumn.At(192);
  lNone_ = AddLabel(L"None", rx, sliderY + 8);
  const int noneWidth = Width96(L"None") + 4;
  const int maxWidth = Width96(L"Max") + 4;
  HWND slider =
      Add(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP | WS_GROUP,
          tbCompression, {rx + noneWidth, sliderY, rw - noneWidth - maxWidth, 30});
  SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 9));
  SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
  SendMessageW(slider, TBM_SETPAGESIZE, 0, 1);
  lMax_ = AddLabel(L"Max", rx + rw - maxWidth + 4, sliderY + 8);

  group(targetCaption, kRightColumn.Group({kRightX, 238, rightWidth, 86}));
  radio(rbReplaceLast, "rbReplaceLast", "LAST Extension replaced by \".bmp\" ",
        kRightColumn.Row({rx, 256, rw, kLine}), true);
  radio(rbReplaceAll, "rbReplaceAll", "ALL Extensions replaced by \".bmp\"",
        kRightColumn.Row({rx, 276, rw, kLine}), false);
  radio(rbAppend, "rbAppend", "Appended \".bmp\" Extension", kRightColumn.Row({rx, 296, rw, kLine}),
        false);

  const int buttonWidth = 88;
  AddButton(Marked("bOK", "OK"), BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, bOK,
            {clientWidth - 2 * buttonWidth - 14, kButtonsY, buttonWidth, 28});
  AddButton(Marked("bCancel", "Cancel"), BS_PUSHBUTTON | WS_TABSTOP, bCancel,
            {clientWidth - buttonWidth - 8, kButtonsY, buttonWidth, 28});
}

void OptionsDialog::AddToolTips() {
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tips) return;
  SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, Px(400));
  for (std::size_t i = 0; i < std::size(kCipherGroup); ++i) {
    std::wstring text = Wide(window::kCipherOptionTips[i]);
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(Item(kCipherGroup[i]));
    info.lpszText = text.data();  // the tool tip keeps a copy
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

bool OptionsDialog::OnCommand(int id, int code) {
  switch (id) {
    case rbNever:
    case rbSensibly:
    case rbSmart:
    case rbEver:
      if (code == BN_CLICKED) rbNeverClick();
      return true;
    case rbDefault:
    case rbDefined:
      if (code == BN_CLICKED) rbDefinedClick();
      return true;
    case bOK:
      controls_ = Capture();
      Close(IDOK);
      return true;
    case bCancel:
      Close(IDCANCEL);
      return true;
    default:
      return false;
  }
}

void OptionsDialog::rbNeverClick() {
  const window::OptionsEnabling e = window::EnablingOf(Capture());
  EnableWindow(Item(rbDefault), e.levelRadios);
  EnableWindow(Item(rbDefined), e.levelRadios);
  rbDefinedClick();
  EnableWindow(Item(eExtensions), e.extensions);
}

void OptionsDialog::rbDefinedClick() {
  const bool level = window::EnablingOf(Capture()).slider;
  EnableWindow(lNone_, level);
  EnableWindow(lMax_, level);
  EnableWindow(Item(tbCompression), level);
}

bool OptionsDialog::TextColour(HWND control, COLORREF& colour) {
  if (!IsWindowEnabled(control)) return false;
  switch (GetDlgCtrlID(control)) {
    case rbNone: colour = RGB(0xFF, 0x00, 0x00); return true;
    case rbBlowfish: colour = RGB(0x80, 0x80, 0x00); return true;
    case rbTwofish: colour = RGB(0x00, 0x80, 0x00); return true;
    case rbRijndael: colour = RGB(0x00, 0x80, 0x80); return true;
    default: return false;
  }
}

namespace {

int CheckedIn(HWND dialog, std::span<const int> group) {
  for (std::size_t i = 0; i < group.size(); ++i)
    if (IsDlgButtonChecked(dialog, group[i]) == BST_CHECKED) return static_cast<int>(i);
  return kNone;
}

// A group may come back with no button checked, as it may have been before.
void CheckIn(HWND dialog, std::span<const int> group, int index) {
  for (std::size_t i = 0; i < group.size(); ++i)
    CheckDlgButton(dialog, group[i], static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

window::OptionsControls OptionsDialog::Capture() const {
  window::OptionsControls c;
  c.cipher = CheckedIn(hwnd(), kCipherGroup);
  c.compression = CheckedIn(hwnd(), kCompressionGroup);
  c.level = CheckedIn(hwnd(), kLevelGroup);
  c.keyMode = CheckedIn(hwnd(), kKeyModeGroup);
  c.target = CheckedIn(hwnd(), kTargetGroup);
  c.slider = static_cast<int>(SendMessageW(Item(tbCompression), TBM_GETPOS, 0, 0));
  c.exitAfterConversion = Checked(cbExit);
  c.showBitmap = Checked(cbShowOption);
  c.hidePassword = Checked(cbHide);
  c.copyLog = Checked(cbLOG);
  // The list is Latin-1 text in the settings file.
  std::wstring text = TextOf(Item(eExtensions));
  c.extensions.clear();
  for (wchar_t ch : text) c.extensions += static_cast<char>(ch <= 0xFF ? ch : L'?');
  return c;
}

void OptionsDialog::Show(const window::OptionsControls& c) {
  CheckIn(hwnd(), kCipherGroup, c.cipher);
  CheckIn(hwnd(), kCompressionGroup, c.compression);
  CheckIn(hwnd(), kLevelGroup, c.level);
  CheckIn(hwnd(), kKeyModeGroup, c.keyMode);
  CheckIn(hwnd(), kTargetGroup, c.target);
  SendMessageW(Item(tbCompression), TBM_SETPOS, TRUE, c.slider);
  Check(cbExit, c.exitAfterConversion);
  Check(cbShowOption, c.showBitmap);
  Check(cbHide, c.hidePassword);
  Check(cbLOG, c.copyLog);
  std::wstring text;
  for (char ch : c.extensions) text += static_cast<wchar_t>(static_cast<unsigned char>(ch));
  SetWindowTextW(Item(eExtensions), text.c_str());
  rbNeverClick();
}

}  // namespace pt::win
