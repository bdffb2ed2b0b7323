#include "app/win/win_util.h"

#include "util/os_text.h"

namespace pt::win {

namespace {

template <typename F>
F SystemFunction(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (user == nullptr) return nullptr;
  // The functions of per-monitor DPI exist from Windows 10 on only.
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name)));
}

}  // namespace

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto forWindow = SystemFunction<GetDpiForWindowFn>("GetDpiForWindow");
  if (forWindow != nullptr && window != nullptr) {
    const UINT dpi = forWindow(window);
    if (dpi != 0) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc != nullptr) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT WindowRectFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu,
                   UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = SystemFunction<AdjustFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, clientWidth, clientHeight};
  if (adjustForDpi != nullptr) {
    adjustForDpi(&r, style, menu, exStyle, dpi);
  } else {
    AdjustWindowRectEx(&r, style, menu, exStyle);
  }
  return r;
}

void Font::Make(const wchar_t* face, int pixels, UINT dpi, bool bold, bool fixedPitch) {
  Reset();
  LOGFONTW lf{};
  lf.lfHeight = -Scale(pixels, dpi);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lf.lfPitchAndFamily = static_cast<BYTE>(fixedPitch ? FIXED_PITCH | FF_MODERN
                                                     : VARIABLE_PITCH | FF_SWISS);
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  font_ = CreateFontIndirectW(&lf);
}

void Font::Reset() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

void SetText(HWND window, std::string_view utf8) {
  SetWindowTextW(window, pt::WideText(utf8).c_str());
}

int TextWidth(HWND window, HFONT font, std::wstring_view text) {
  HDC dc = GetDC(window);
  if (dc == nullptr) return 0;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size.cx;
}

bool CopyToClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  bool placed = false;
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(memory)) {
      CopyMemory(p, text.c_str(), bytes);
      GlobalUnlock(memory);
      placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    // The clipboard owns the memory once it took it.
    if (!placed) GlobalFree(memory);
  }
  CloseClipboard();
  return placed;
}

}  // namespace pt::win
