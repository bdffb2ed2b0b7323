#include "app/win/modal_dialog.h"

#include <commctrl.h>

#include "app/win/control_ids.h"

namespace pt::win {

namespace {

// Calls a user32 function that older systems lack; nullptr there.
template <typename Fn>
Fn User32(const char* name) {
  const FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  // void(*)() converts to any function pointer without a cast warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The DPI of the monitor the window is on (the system's before Windows 10).
UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

// The message font of the system's metrics at the DPI.
HFONT MessageFont(UINT dpi) {
  using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi = User32<ForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return CreateFontIndirectW(&metrics.lfMessageFont);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return CreateFontIndirectW(&metrics.lfMessageFont);
  }
  return nullptr;
}

void RegisterDialogClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = id::kDialogClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  (void)registered;
}

void Append(std::vector<WORD>& words, std::wstring_view text) {
  words.insert(words.end(), text.begin(), text.end());
  words.push_back(0);
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

void WipeText(std::wstring& text) {
  SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
  text.clear();
}

void WipeText(std::string& text) {
  SecureZeroMemory(text.data(), text.size());
  text.clear();
}

std::wstring TextOf(HWND control) {
  const int n = GetWindowTextLengthW(control);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(control, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

Icon::Icon(int size) {
  handle_ = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
  owned_ = handle_ != nullptr;
  if (!handle_) handle_ = LoadIconW(nullptr, IDI_APPLICATION);
}

Icon::~Icon() {
  if (owned_) DestroyIcon(handle_);
}

// ---------------------------------------------------------------------------
// The modal dialog

ModalDialog::~ModalDialog() { ReleaseFonts(); }

INT_PTR ModalDialog::Run(HWND owner) {
  RegisterDialogClass();
  owner_ = owner;
  // An empty template of our class: the controls are made in OnInit, in
  // pixels, so that no dialog unit has to be guessed.
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  DLGTEMPLATE head{};
  head.style = frame_.style;
  head.dwExtendedStyle = frame_.exStyle;
  CopyMemory(words.data(), &head, sizeof head);
  words.push_back(0);  // no menu
  Append(words, id::kDialogClass);
  Append(words, frame_.caption);
  const INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
      &ModalDialog::Procedure, reinterpret_cast<LPARAM>(this));
  ReleaseFonts();
  return result == -1 ? IDCANCEL : result;
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    reinterpret_cast<ModalDialog*>(lp)->Initialise(hwnd);
    return FALSE;  // OnInit has put the focus where it belongs
  }
  auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    return FALSE;
  }
  bool handled = false;
  const INT_PTR result = self->Handle(message, wp, lp, handled);
  if (!handled) return FALSE;
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return result;  // the brush itself
    default:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

void ModalDialog::Initialise(HWND hwnd) {
  hwnd_ = hwnd;
  dpi_ = DpiOf(owner_ ? owner_ : hwnd);
  guiFont_ = MessageFont(dpi_);
  if (!guiFont_) guiFont_ = MakeFont(L"Segoe UI", 12, false);
  else fonts_.push_back(guiFont_);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont_), FALSE);
  OnInit();

  // Client area as laid out, centred on the owner's monitor.
  RECT outer{}, client{};
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  const int width = Px(frame_.clientWidth) + (outer.right - outer.left) - client.right;
  const int height = Px(frame_.clientHeight) + (outer.bottom - outer.top) - client.bottom;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner_ ? owner_ : hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR ModalDialog::Handle(UINT message, WPARAM wp, LPARAM lp, bool& handled) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      handled = OnCommand(id, HIWORD(wp));
      if (!handled && id == IDCANCEL) {
        Close(IDCANCEL);
        handled = true;
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      COLORREF colour = 0;
      if (!TextColour(reinterpret_cast<HWND>(lp), colour)) return 0;
      HDC dc = reinterpret_cast<HDC>(wp);
      SetTextColor(dc, colour);
      SetBkMode(dc, TRANSPARENT);
      handled = true;
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(hwnd_, &paint);
      OnPaint(dc);
      EndPaint(hwnd_, &paint);
      handled = true;
      return 0;
    }
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      handled = true;
      return TRUE;
    default: {
      INT_PTR result = 0;
      handled = OnMessage(message, wp, lp, result);
      return result;
    }
  }
}

HWND ModalDialog::Add(const wchar_t* windowClass, std::wstring_view text, DWORD style, int id,
                      Box96 box, HFONT font, DWORD exStyle) {
  const std::wstring caption(text);
  const RECT r = Rect(box);
  HWND control = CreateWindowExW(exStyle, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : guiFont_), FALSE);
  return control;
}

HWND ModalDialog::AddButton(std::string_view markedCaption, DWORD style, int id, Box96 box) {
  return Add(L"BUTTON", Wide(markedCaption), style, id, box);
}

HWND ModalDialog::AddLabel(std::wstring_view text, int x, int y, HFONT font, int id) {
  if (!font) font = guiFont_;
  const SIZE size = TextSize(text, font, DT_SINGLELINE | DT_NOPREFIX, 0);
  const std::wstring caption(text);
  HWND label = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                               Px(x), Px(y), size.cx + 1, size.cy, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
  if (label) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return label;
}

SIZE ModalDialog::TextSize(std::wstring_view text, HFONT font, UINT format, int wrapWidth) const {
  RECT r{0, 0, wrapWidth, 0};
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font ? font : guiFont_);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return {r.right - r.left, r.bottom - r.top};
}

int ModalDialog::Width96(std::wstring_view text, HFONT font) const {
  const SIZE size = TextSize(text, font, DT_SINGLELINE, 0);
  return MulDiv(size.cx, 96, static_cast<int>(dpi_)) + 1;
}

HFONT ModalDialog::MakeFont(const wchar_t* face, int px96, bool bold, bool fixedPitch) {
  HFONT font = CreateFontW(-Px(px96), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY,
                           static_cast<BYTE>(fixedPitch ? (FIXED_PITCH | FF_MODERN)
                                                        : (VARIABLE_PITCH | FF_SWISS)),
                           face);
  if (font) fonts_.push_back(font);
  return font ? font : guiFont_;
}

void ModalDialog::ReleaseFonts() {
  for (HFONT font : fonts_) DeleteObject(font);
  fonts_.clear();
  guiFont_ = nullptr;
}

}  // namespace pt::win
