#include "app/win/log_view.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win/win_util.h"
#include "app/window/window_logic.h"
#include "util/os_text.h"

namespace pt::win {

void LogView::Create(HWND parent, int id) {
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                              LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                          0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  SetWindowSubclass(list_, &LogView::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK LogView::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
  if (message == WM_LBUTTONDBLCLK) {
    // The list box reports a double click only on a line; the log copies
    // wherever it is clicked.
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    SendMessageW(GetParent(window), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(window), LBN_DBLCLK), reinterpret_cast<LPARAM>(window));
    return result;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &LogView::Proc, 1);
  return DefSubclassProc(window, message, wParam, lParam);
}

void LogView::SetFont(HFONT font, UINT dpi) {
  font_ = font;
  dpi_ = dpi;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, Scale(pt::window::kLogLineHeight, dpi));
  Remeasure();
  InvalidateRect(list_, nullptr, TRUE);
}

void LogView::Clear() {
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  widest_ = 0;
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, 0, 0);
}

void LogView::Add(std::string_view utf8) {
  const std::wstring line = pt::WideText(utf8);
  SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  Widen(line);
}

void LogView::Widen(const std::wstring& line) {
  const int width = TextWidth(list_, font_, line) + Scale(6, dpi_);
  if (width <= widest_) return;
  widest_ = width;
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_), 0);
}

void LogView::Remeasure() {
  widest_ = 0;
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, 0, 0);
  for (int i = 0, n = Count(); i < n; ++i) Widen(Line(i));
}

void LogView::ScrollToEnd() {
  // The rule counts the whole lines the list shows (the horizontal scroll
  // bar takes its share); at this DPI a line may be a rounded pixel higher
  // than the scaled rule's.
  RECT client{};
  GetClientRect(list_, &client);
  const auto lineHeight = static_cast<int>(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
  const int lines = lineHeight > 0 ? (client.bottom - client.top) / lineHeight : 0;
  SendMessageW(list_, LB_SETTOPINDEX,
               static_cast<WPARAM>(pt::window::FirstVisibleLogLine(
                   Count(), lines * pt::window::kLogLineHeight)),
               0);
}

void LogView::PaintNow() { UpdateWindow(list_); }

int LogView::Count() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
}

int LogView::FirstVisible() const {
  return static_cast<int>(SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
}

std::wstring LogView::Line(int index) const {
  const LRESULT n = SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == LB_ERR || n < 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

std::wstring LogView::AllText() const {
  std::wstring text;
  for (int i = 0, n = Count(); i < n; ++i) text += Line(i) + L"\r\n";
  return text;
}

int LogView::SelectAt(POINT screen) {
  POINT p = screen;
  ScreenToClient(list_, &p);
  const LRESULT hit = SendMessageW(list_, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
  // The high word says the point lies outside every line.
  if (HIWORD(hit) != 0) return -1;
  const int index = LOWORD(hit);
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  return index;
}

int LogView::Selected() const {
  const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  return index == LB_ERR ? -1 : static_cast<int>(index);
}

}  // namespace pt::win
