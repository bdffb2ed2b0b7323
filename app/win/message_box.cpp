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

class TextBox : public ModalDialog {
 public:
  TextBox(const wchar_t* title, BoxIcon icon, std::string_view text,
          std::span<const BoxButton> buttons, int escapeId)
      : ModalDialog(Frame{title, kMinimumWidth, 100}),
        icon_(icon),
        iconSize_(icon == BoxIcon::Program ? 48 : 32),
        text_(Wide(text)),
        buttons_(buttons),
        escapeId_(escapeId) {}

 private:
  void OnInit() override {
    const SIZE measured = MeasureText();
    const int textWidth = MulDiv(measured.cx, 96, static_cast<int>(dpi())) + 2;
    const int textHeight = MulDiv(measured.cy, 96, static_cast<int>(dpi())) + 2;
    const int textX = kMargin + iconSize_ + kMargin;
    // A text shorter than the icon stands in the icon's middle.
    const int textY = kMargin + std::max(0, (iconSize_ - textHeight) / 2);
    const int rowWidth = static_cast<int>(buttons_.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int width = std::max({kMinimumWidth, textX + textWidth + kMargin, rowWidth + 2 * kMargin});
    const int buttonY = kMargin + std::max(iconSize_, textHeight) + 14;
    Resize96(width, buttonY + kButtonHeight + kMargin);

    HICON icon = nullptr;
    if (icon_ == BoxIcon::Program) {
      programIcon_.emplace(Px(iconSize_));
      icon = programIcon_->get();
    } else {
      icon = static_cast<HICON>(
          LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, Px(iconSize_), Px(iconSize_), LR_SHARED));
    }
    HWND picture = Add(L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, -1,
                       {kMargin, kMargin, iconSize_, iconSize_});
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    Add(L"STATIC", text_, (table_ ? SS_OWNERDRAW : SS_LEFT) | SS_NOPREFIX, -1,
               {textX, textY, textWidth, textHeight});
    int x = width - kMargin - rowWidth;
    bool first = true;
    for (const BoxButton& b : buttons_) {
      Add(L"BUTTON", b.caption,
          WS_TABSTOP | (first ? (WS_GROUP | BS_DEFPUSHBUTTON) : BS_PUSHBUTTON), b.id,
          {x, buttonY, kButtonWidth, kButtonHeight});
      x += kButtonWidth + kButtonGap;
      first = false;
    }
    if (!buttons_.empty()) {
      SendMessageW(hwnd(), DM_SETDEFID, static_cast<WPARAM>(buttons_.front().id), 0);
      SetFocus(Item(buttons_.front().id));
    }
  }

  // Lines of the form "label<TAB>value" (the about box) stand as rows of a
  // table, so that their values line up in any font; any other text wraps.
  SIZE MeasureText() {
    table_ = text_.find(L'\t') != std::wstring::npos;
    if (!table_)
      return TextSize(text_, GuiFont(), DT_WORDBREAK | DT_NOPREFIX, Px(kWrapWidth));
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
  int escapeId_;
  bool table_ = false;
  int labelWidth_ = 0;  // in pixels, the table's first column
  int lineHeight_ = 0;
};

UINT IconStyle(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return MB_ICONERROR;
    case MsgKind::Warning: return MB_ICONWARNING;
    case MsgKind::Confirmation: return MB_ICONQUESTION;
    case MsgKind::Information: return MB_ICONINFORMATION;
    case MsgKind::Plain: break;
  }
  return 0;
}

MsgAnswer AnswerOf(INT_PTR id, MsgButtons buttons) {
  switch (id) {
    case IDOK: return MsgAnswer::Ok;
    case IDABORT: return MsgAnswer::Abort;
    case IDYES: return MsgAnswer::Yes;
    case IDNO: return MsgAnswer::No;
    case IDCANCEL: return MsgAnswer::Cancel;
    default: break;
  }
  return window::EscapeAnswer(buttons);  // the box could not be shown
}

}  // namespace

int ShowTextBox(HWND owner, const wchar_t* title, BoxIcon icon, std::string_view text,
                std::span<const BoxButton> buttons, int escapeId) {
  TextBox box(title, icon, text, buttons, escapeId);
  return static_cast<int>(box.Run(owner));
}

MsgAnswer ShowMessageBox(HWND owner, MsgKind kind, const std::string& text, MsgButtons buttons) {
  const std::wstring title = Wide(window::MessageTitle(kind));
  if (buttons == MsgButtons::OkAbort) {
    // No system box has this pair: a box of our own, with the warning icon.
    static constexpr BoxButton kOkAbort[] = {{id::bOK, L"OK"}, {id::bAbort, L"Abort"}};
    MessageBeep(MB_ICONWARNING);
    const int pressed =
        ShowTextBox(owner, title.c_str(), BoxIcon::Warning, text, kOkAbort, id::bAbort);
    return AnswerOf(pressed, buttons);
  }
  UINT style = IconStyle(kind) | MB_SETFOREGROUND;
  switch (buttons) {
    case MsgButtons::YesNoCancel: style |= MB_YESNOCANCEL; break;
    case MsgButtons::YesNo:
      style |= MB_YESNO;
      if (window::EnterAnswer(buttons) == MsgAnswer::No) style |= MB_DEFBUTTON2;
      break;
    case MsgButtons::Ok:
    case MsgButtons::OkAbort: style |= MB_OK; break;
  }
  const std::wstring body = Wide(text);
  return AnswerOf(MessageBoxW(owner, body.c_str(), title.c_str(), style), buttons);
}

}  // namespace pt::win
