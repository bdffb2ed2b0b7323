// The preview panel: a sunken panel that shows a BMP file stretched to fit,
// its aspect kept and centred (pt::window::PreviewPlace). The file is read
// by the program itself, so long paths work, and checked before any
// drawing call sees it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/window/bitmap_file.h"
#include "app/window/window_logic.h"

namespace pt::win {

class Preview {
 public:
  Preview() = default;
  ~Preview();
  Preview(const Preview&) = delete;
  Preview& operator=(const Preview&) = delete;

  void Create(HWND parent, int id);
  HWND handle() const { return panel_; }

  void Hide();
  // Shows the picture of a BMP file already read (at most the preview's
  // size limit); false, and hidden, when it is no picture the preview
  // shows.
  bool Show(std::vector<std::uint8_t> file);
  bool shown() const { return shown_; }
  // The panel changed its size: the picture is placed again.
  void Place();

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void DropScaled();

  HWND panel_ = nullptr;
  std::vector<std::uint8_t> file_;
  pt::window::BitmapLayout layout_;
  bool shown_ = false;
  pt::window::Box place_;
  HBITMAP scaled_ = nullptr;  // the picture at place_'s size
};

}  // namespace pt::win
