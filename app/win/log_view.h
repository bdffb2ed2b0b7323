// The job log: a list box of one line per entry in a fixed-pitch font, with
// a horizontal scroll bar as wide as the longest line. A double click
// anywhere in it (also below the last line) reaches the main window as
// LBN_DBLCLK.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace pt::win {

class LogView {
 public:
  void Create(HWND parent, int id);
  HWND handle() const { return list_; }

  // The font and the line height (kLogLineHeight at 96 DPI) for dpi.
  void SetFont(HFONT font, UINT dpi);
  void Clear();
  void Add(std::string_view utf8);
  // Makes the last line visible, as the jobs' log rule counts lines.
  void ScrollToEnd();
  // Paints what changed now (a job does not return to the message loop).
  void PaintNow();

  int Count() const;
  int FirstVisible() const;
  std::wstring Line(int index) const;
  // Every line followed by CR LF, the last one too.
  std::wstring AllText() const;
  // The line under a point in screen coordinates, selected; -1 when none.
  int SelectAt(POINT screen);
  int Selected() const;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR id, DWORD_PTR data);
  void Widen(const std::wstring& line);
  void Remeasure();

  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  int widest_ = 0;
};

}  // namespace pt::win
