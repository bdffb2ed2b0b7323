#include "app/win/key_dialog.h"

#include <utility>

#include "app/win/control_ids.h"
#include "app/win/win_dialogs.h"
#include "app/window/window_logic.h"
#include "crypto/key_rules.h"

namespace pt::win {

namespace {

using namespace id;

// Sent to itself after a mode change: the key field takes the focus back
// once the dialog manager has moved it to the radio button, and before any
// key typed meanwhile is read.
constexpr UINT kFocusKeyField = WM_APP + 1;

// Panel2, which frames the re-entry controls, at 96 DPI.
constexpr Box96 kPanel2{280, 110, 386, 81};

std::string Marked(const char* control, const char* caption) {
  return window::MarkedCaption(window::kKeyMnemonics, control, caption);
}

// Overwrites what an edit field holds before emptying it.
void WipeEdit(HWND edit) {
  const int n = GetWindowTextLengthW(edit);
  if (n > 0) SetWindowTextW(edit, std::wstring(static_cast<std::size_t>(n), L'#').c_str());
  SetWindowTextW(edit, L"");
}

// The field's text as UTF-8, for the key rules.
std::string Utf8Of(HWND edit) {
  std::wstring wide = TextOf(edit);
  std::string text = Utf8(wide);
  WipeText(wide);
  return text;
}

}  // namespace

KeyEntryDialog::KeyEntryDialog(KeyFields fields, const KeyRequest& request)
    : ModalDialog(Frame{L"Enter a Key or press <ESC> ...", 682, 256,
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW}),
      fields_(fields),
      request_(request) {}

KeyReply KeyEntryDialog::Ask(HWND owner) {
  reply_ = KeyReply{};
  reply_.ok = Run(owner) == IDOK;
  reply_.hexMode = fields_.hexMode;
  return std::move(reply_);
}

void KeyEntryDialog::OnInit() {
  CreateControls();
  Check(fields_.hexMode ? rbKeyHex : rbKeyASCII, true);
  SetWindowTextW(Item(eEnter), fields_.enter.c_str());
  SetWindowTextW(Item(eReenter), fields_.reenter.c_str());
  if (request_.applyKeyMode) ApplyKeyMode();
  else ShowLayout();
  FormActivate();
}

void KeyEntryDialog::CreateControls() {
  HFONT label = MakeFont(L"Arial", 13, false);
  HFONT key = MakeFont(L"Courier New", 16, true, true);
  HFONT scale = MakeFont(L"Courier New", 16, false, true);

  AddLabel(L"Enter at least 8, (better 16) ... up to 32 ASCII or 16 up to 64 HEX characters:", 15,
           15, label);
  // Tab order: the key, its re-entry, the mode buttons, OK, Cancel.
  HWND enter = Add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, eEnter,
                   {15, 35, 651, 26}, key, WS_EX_CLIENTEDGE);
  HWND reenter = Add(L"EDIT", L"", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP | WS_GROUP, eReenter,
                     {kPanel2.x + 25, kPanel2.y + 30, 331, 26}, key, WS_EX_CLIENTEDGE);
  // Each scale's k-th character stands over the k-th character typed: the
  // same advance as the field's font, and the field's first character
  // where the scale starts (the scales at x 17 and 30 are each field's
  // left edge, its 2-pixel border, and a margin of 0 and 3).
  SendMessageW(enter, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(0, 0));
  SendMessageW(reenter, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(Px(3), 0));
  SendMessageW(reenter, EM_SETPASSWORDCHAR, L'#', 0);
  lMeasure1_ = AddLabel(Wide(window::kAsciiScale), 17, 65, scale);
  Label1_ = AddLabel(Wide(window::kHexScale), 17, 80, scale);

  Add(L"BUTTON", L"Key Type", BS_GROUPBOX | WS_GROUP, -1, {15, 105, 246, 86});
  AddButton(Marked("rbASCII", "Enter Key manually (ASCII Mode)"),
            BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, rbKeyASCII, {30, 130, 225, 20});
  AddButton(Marked("rbHex", "Enter Key manually (Hex Mode)"), BS_AUTORADIOBUTTON, rbKeyHex,
            {30, 153, 225, 20});

  lReenter_ = AddLabel(L"Reenter your ASCII password or press <ESC> ...", kPanel2.x + 27,
                       kPanel2.y + 10, label);
  lMeasure2_ = AddLabel(Wide(window::kReenterScale), kPanel2.x + 30, kPanel2.y + 55, scale);

  AddButton(Marked("bOK", "OK"), BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, bOK,
            {15, 205, 281, 35});
  AddButton(Marked("bCancel", "Cancel"), BS_PUSHBUTTON | WS_TABSTOP, bCancel, {385, 205, 281, 35});
}

// Masked ASCII input hides the characters and asks for them twice.
void KeyEntryDialog::ShowLayout() {
  const window::KeyEntryLayout layout =
      window::KeyEntryLayoutFor(request_.maskInput, !fields_.hexMode);
  SendMessageW(Item(eEnter), EM_SETPASSWORDCHAR, layout.masked ? L'#' : 0, 0);
  InvalidateRect(Item(eEnter), nullptr, TRUE);
  reenterShown_ = layout.reenterShown;
  const int show = reenterShown_ ? SW_SHOW : SW_HIDE;
  for (HWND control : {Item(eReenter), lReenter_, lMeasure2_}) ShowWindow(control, show);
  const RECT panel = Rect(kPanel2);
  InvalidateRect(hwnd(), &panel, TRUE);
}

void KeyEntryDialog::ApplyKeyMode() {
  ShowLayout();
  WipeEdit(Item(eEnter));
  if (reenterShown_) WipeEdit(Item(eReenter));
}

void KeyEntryDialog::rbASCIIClick() {
  const bool hex = Checked(rbKeyHex);
  if (hex == fields_.hexMode) return;  // the mode did not change
  fields_.hexMode = hex;
  ApplyKeyMode();
  HWND enter = Item(eEnter);
  if (IsWindowEnabled(enter)) {
    SetFocus(enter);
    // Switched with the arrow keys, the radio button takes the focus after
    // this click; a posted message comes before any key typed later.
    PostMessageW(hwnd(), kFocusKeyField, 0, 0);
  }
}

void KeyEntryDialog::FormActivate() {
  SetFocus(Item(eEnter));
  const std::optional<KeyMode> pending = fields_.pendingKeyMode;
  fields_.pendingKeyMode.reset();
  if (pending == KeyMode::Ascii || pending == KeyMode::Hex) {
    Check(rbKeyASCII, pending == KeyMode::Ascii);
    Check(rbKeyHex, pending == KeyMode::Hex);
    rbASCIIClick();
  }
}

void KeyEntryDialog::bOKClick() {
  std::string enter = Utf8Of(Item(eEnter));
  std::string reenter = Utf8Of(Item(eReenter));
  KeyCheck check = CheckDialogKey(fields_.hexMode, reenterShown_, enter, reenter);
  WipeText(enter);
  WipeText(reenter);
  if (check.accepted) {
    reply_.text = std::move(check.text);
    Finish(IDOK);
    return;
  }
  if (check.clearReenter) WipeEdit(Item(eReenter));
  ShowMessageBox(hwnd(), MsgKind::Error, check.message, MsgButtons::Ok);
  SetFocus(Item(check.clearReenter ? eReenter : eEnter));
}

// Keeps the fields for the next showing and empties the controls.
void KeyEntryDialog::Finish(int result) {
  WipeText(fields_.enter);
  WipeText(fields_.reenter);
  fields_.enter = TextOf(Item(eEnter));
  fields_.reenter = TextOf(Item(eReenter));
  WipeEdit(Item(eEnter));
  WipeEdit(Item(eReenter));
  Close(result);
}

bool KeyEntryDialog::OnCommand(int id, int code) {
  switch (id) {
    case rbKeyASCII:
    case rbKeyHex:
      if (code == BN_CLICKED) rbASCIIClick();
      return true;
    case bOK:
      bOKClick();
      return true;
    case bCancel:
      Finish(IDCANCEL);
      return true;
    default:
      return false;
  }
}

bool KeyEntryDialog::TextColour(HWND control, COLORREF& colour) {
  if (control == lMeasure1_ || control == lMeasure2_) {
    colour = RGB(0x00, 0x80, 0x00);
    return true;
  }
  if (control == Label1_) {
    colour = RGB(0xFF, 0x00, 0x00);
    return true;
  }
  return false;
}

void KeyEntryDialog::OnPaint(HDC dc) {
  // Panel1 fills the form; Panel2 frames the re-entry controls while shown.
  RECT client{};
  GetClientRect(hwnd(), &client);
  DrawEdge(dc, &client, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
  if (reenterShown_) {
    RECT panel = Rect(kPanel2);
    DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
  }
}

bool KeyEntryDialog::OnMessage(UINT message, WPARAM /*wp*/, LPARAM lp, INT_PTR& result) {
  switch (message) {
    case kFocusKeyField:
      if (IsWindowEnabled(Item(eEnter))) SetFocus(Item(eEnter));
      return true;
    case WM_SIZE:
      InvalidateRect(hwnd(), nullptr, TRUE);  // the outer bevel follows the edge
      return false;
    case WM_GETMINMAXINFO: {
      // Never smaller than its first size.
      RECT frame{0, 0, Px(682), Px(256)};
      AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace pt::win
