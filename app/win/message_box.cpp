#include "app/win/message_box.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/win/control_ids.h"
#include "app/win/win_dialogs.h"
#include "app/window/window_logic.h"

namespace pt::win {

namespace {

// Pixels at 96 DPI, as system boxes have them.
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kMinimumWidth = 300;  // room for the title and the frame's buttons
constexpr int kWrapWidth = 420;

// How the text control lays out its text, for measuring it: a word wider
// than the line (a long path) breaks where the line is full.
constexpr UINT kTextFormat = DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

class TextBox : public ModalDialog {
 public:
  TextBox(const wchar_t* title, BoxIcon icon, std::string_view text,
          std::span<const BoxButton> buttons, int enterId, int escapeId)
      : ModalDialog(Frame{title, kMinimumWidth, 100}),
        icon_(icon),
        iconSize_(icon == BoxIcon::Program ? 48 : icon == BoxIcon::None ? 0 : 32),
        text_(Wide(text)),
        buttons_(buttons),
        enterId_(enterId),
        escapeId_(escapeId) {}

 private:
  void OnInit() override {
    const SIZE measured = MeasureText();
    const int textWidth = To96(measured.cx) + 2;
    // The control wraps at its own width, which the rounding to 96 DPI may
    // have made a little wider than the measure: its height is taken there.
    const int textPixels =
        table_ ? measured.cy : TextSize(text_, GuiFont(), kTextFormat, Px(textWidth)).cy;
    const int textHeight = To96(textPixels) + 2;
    const int textX = iconSize_ > 0 ? kMargin + iconSize_ + kMargin : kMargin;
    // A text shorter than the icon stands in the icon's middle.
    const int textY = kMargin + std::max(0, (iconSize_ - textHeight) / 2);
    const int rowWidth = static_cast<int>(buttons_.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int width = std::max({kMinimumWidth, textX + textWidth + kMargin, rowWidth + 2 * kMargin});
    const int buttonY = kMargin + std::max(iconSize_, textHeight) + 14;
    Resize96(width, buttonY + kButtonHeight + kMargin);

    if (HICON icon = LoadBoxIcon()) {
      HWND picture = Add(L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, -1,
                         {kMargin, kMargin, iconSize_, iconSize_});
      SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    Add(L"STATIC", text_, (table_ ? SS_OWNERDRAW : SS_LEFT | SS_EDITCONTROL) | SS_NOPREFIX,
        id::sMessage, {textX, textY, textWidth, textHeight});
    int x = width - kMargin - rowWidth;
    bool first = true;
    for (const BoxButton& b : buttons_) {
      const DWORD kind = b.id == enterId_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      Add(L"BUTTON", b.caption, WS_TABSTOP | (first ? WS_GROUP : 0) | kind, b.id,
          {x, buttonY, kButtonWidth, kButtonHeight});
      x += kButtonWidth + kButtonGap;
      first = false;
    }
    if (Item(enterId_)) {
      SendMessageW(hwnd(), DM_SETDEFID, static_cast<WPARAM>(enterId_), 0);
      SetFocus(Item(enterId_));
    }
  }

  HICON LoadBoxIcon() {
    const wchar_t* system = nullptr;
    switch (icon_) {
      case BoxIcon::None: return nullptr;
      case BoxIcon::Program:
        programIcon_.emplace(Px(iconSize_));
        return programIcon_->get();
      case BoxIcon::Question: system = IDI_QUESTION; break;
      case BoxIcon::Warning: system = IDI_WARNING; break;
      case BoxIcon::Error: system = IDI_ERROR; break;
      case BoxIcon::Information: system = IDI_INFORMATION; break;
    }
    return static_cast<HICON>(
        LoadImageW(nullptr, system, IMAGE_ICON, Px(iconSize_), Px(iconSize_), LR_SHARED));
  }

  int To96(int pixels) const { return MulDiv(pixels, 96, static_cast<int>(dpi())); }

  // Lines of the form "label<TAB>value" (the about box) stand as rows of a
  // table, so that their values line up in any font; any other text wraps.
  SIZE MeasureText() {
    table_ = text_.find(L'\t') != std::wstring::npos;
    if (!table_)
      return TextSize(text_, GuiFont(), kTextFormat, Px(kWrapWidth));
    labelWidth_ = 0;
    int valueWidth = 0, plainWidth = 0, lines = 0;
    for (const std::wstring& line : Lines()) {
      ++lines;
      const std::size_t tab = line.find(L'\t');
      if (tab == std::wstring::npos) {
        plainWidth = std::max<int>(plainWidth, Width(line));
        continue;
      }
      labelWidth_ = std::max<int>(labelWidth_, Width(line.substr(0, tab)) + Px(12));
      valueWidth = std::max<int>(valueWidth, Width(line.substr(line.find_last_of(L'\t') + 1)));
    }
    lineHeight_ = TextSize(L"Ag", GuiFont(), DT_SINGLELINE, 0).cy;
    return {std::max(plainWidth, labelWidth_ + valueWidth), lines * lineHeight_};
  }

  std::vector<std::wstring> Lines() const {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text_.find(L'\n', start)) != std::wstring::npos; start = end + 1)
      lines.push_back(text_.substr(start, end - start));
    lines.push_back(text_.substr(start));
    return lines;
  }

  int Width(const std::wstring& text) const {
    return TextSize(text, GuiFont(), DT_SINGLELINE | DT_NOPREFIX, 0).cx;
  }

  void OnDrawItem(const DRAWITEMSTRUCT& item) override {
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, GuiFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    int y = item.rcItem.top;
    for (const std::wstring& line : Lines()) {
      const std::size_t tab = line.find(L'\t');
      const std::wstring label = line.substr(0, tab);
      TextOutW(dc, item.rcItem.left, y, label.c_str(), static_cast<int>(label.size()));
      if (tab != std::wstring::npos) {
        const std::wstring value = line.substr(line.find_last_of(L'\t') + 1);
        TextOutW(dc, item.rcItem.left + labelWidth_, y, value.c_str(), static_cast<int>(value.size()));
      }
      y += lineHeight_;
    }
    SelectObject(dc, old);
  }

  bool OnCommand(int id, int code) override {
    if (code != BN_CLICKED && code != 0) return false;
    if (id == IDCANCEL) {
      Close(escapeId_);
      return true;
    }
    for (const BoxButton& b : buttons_)
      if (b.id == id) {
        Close(id);
        return true;
      }
    return false;
  }

  BoxIcon icon_;
  int iconSize_;
  std::optional<Icon> programIcon_;
  std::wstring text_;
  std::span<const BoxButton> buttons_;
  int enterId_;
  int escapeId_;
  bool table_ = false;
  int labelWidth_ = 0;  // in pixels, the table's first column
  int lineHeight_ = 0;
};

// The icon of the kind, and the sound a system box of the kind makes.
BoxIcon IconOf(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return BoxIcon::Error;
    case MsgKind::Warning: return BoxIcon::Warning;
    case MsgKind::Confirmation: return BoxIcon::Question;
    case MsgKind::Information: return BoxIcon::Information;
    case MsgKind::Plain: break;
  }
  return BoxIcon::None;
}

UINT SoundOf(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return MB_ICONERROR;
    case MsgKind::Warning: return MB_ICONWARNING;
    case MsgKind::Confirmation: return MB_ICONQUESTION;
    case MsgKind::Information: return MB_ICONINFORMATION;
    case MsgKind::Plain: break;
  }
  return MB_OK;
}

std::span<const BoxButton> ButtonsOf(MsgButtons buttons) {
  static constexpr BoxButton kOk[] = {{id::bOK, L"OK"}};
  static constexpr BoxButton kOkAbort[] = {{id::bOK, L"OK"}, {id::bAbort, L"Abort"}};
  static constexpr BoxButton kYesNo[] = {{id::bYes, L"&Yes"}, {id::bNo, L"&No"}};
  static constexpr BoxButton kYesNoCancel[] = {
      {id::bYes, L"&Yes"}, {id::bNo, L"&No"}, {id::bCancel, L"Cancel"}};
  switch (buttons) {
    case MsgButtons::OkAbort: return kOkAbort;
    case MsgButtons::YesNo: return kYesNo;
    case MsgButtons::YesNoCancel: return kYesNoCancel;
    case MsgButtons::Ok: break;
  }
  return kOk;
}

int IdOf(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::Abort: return id::bAbort;
    case MsgAnswer::Yes: return id::bYes;
    case MsgAnswer::No: return id::bNo;
    case MsgAnswer::Cancel: return id::bCancel;
    case MsgAnswer::Ok: break;
  }
  return id::bOK;
}

// The answer of the button pressed; a box that could not be shown gives
// the set's cautious answer.
MsgAnswer AnswerOf(int pressed, MsgButtons buttons) {
  for (const BoxButton& b : ButtonsOf(buttons)) {
    if (b.id != pressed) continue;
    switch (b.id) {
      case id::bAbort: return MsgAnswer::Abort;
      case id::bYes: return MsgAnswer::Yes;
      case id::bNo: return MsgAnswer::No;
      case id::bCancel: return MsgAnswer::Cancel;
      default: return MsgAnswer::Ok;
    }
  }
  return window::EscapeAnswer(buttons);
}

}  // namespace

int ShowTextBox(HWND owner, const wchar_t* title, BoxIcon icon, std::string_view text,
                std::span<const BoxButton> buttons, int enterId, int escapeId) {
  TextBox box(title, icon, text, buttons, enterId, escapeId);
  return static_cast<int>(box.Run(owner));
}

MsgAnswer ShowMessageBox(HWND owner, MsgKind kind, const std::string& text, MsgButtons buttons) {
  const std::wstring title = Wide(window::MessageTitle(kind));
  MessageBeep(SoundOf(kind));
  const int pressed = ShowTextBox(owner, title.c_str(), IconOf(kind), text, ButtonsOf(buttons),
                                  IdOf(window::EnterAnswer(buttons)),
                                  IdOf(window::EscapeAnswer(buttons)));
  return AnswerOf(pressed, buttons);
}

}  // namespace pt::win
