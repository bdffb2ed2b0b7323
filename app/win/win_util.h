// Small pieces the main window's parts share: sizes at 96 DPI scaled to the
// window's DPI, fonts owned by RAII, window texts from UTF-8, the clipboard.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace pt::win {

// The DPI of the monitor the window is on (96 before per-monitor support).
UINT DpiOf(HWND window);
// A size written at 96 DPI, at dpi.
inline int Scale(int size96, UINT dpi) { return MulDiv(size96, static_cast<int>(dpi), 96); }
// A size at dpi, back at 96 DPI.
inline int Unscale(int size, UINT dpi) { return MulDiv(size, 96, static_cast<int>(dpi)); }
// AdjustWindowRectEx at the window's DPI.
RECT WindowRectFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu,
                   UINT dpi);

// A GDI font owned by its holder.
class Font {
 public:
  Font() = default;
  ~Font() { Reset(); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  // face at pixels (96 DPI) high, at dpi.
  void Make(const wchar_t* face, int pixels, UINT dpi, bool bold = false, bool fixedPitch = false);
  HFONT get() const { return font_; }
  void Reset();

 private:
  HFONT font_ = nullptr;
};

// The form's faces, the classic ones.
inline constexpr const wchar_t* kFormFace = L"Arial";
inline constexpr const wchar_t* kFixedFace = L"Courier New";

void SetText(HWND window, std::string_view utf8);
// Width in pixels of text drawn in font.
int TextWidth(HWND window, HFONT font, std::wstring_view text);

// Replaces the clipboard's content with the text; false when the clipboard
// could not be had.
bool CopyToClipboard(HWND owner, const std::wstring& text);

}  // namespace pt::win
