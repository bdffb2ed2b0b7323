#include "app/win/preview.h"

#include <utility>

namespace pt::win {

namespace {

constexpr const wchar_t* kPanelClass = L"pixelTuckPreview";

void RegisterPanelClass(WNDPROC proc) {
  static const bool registered = [proc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

}  // namespace

Preview::~Preview() { DropScaled(); }

void Preview::Create(HWND parent, int id) {
  RegisterPanelClass(&Preview::Proc);
  panel_ = CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0,
                           0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(panel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK Preview::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Preview*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (self != nullptr) {
        self->Paint();
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills it all
    case WM_SIZE:
      if (self != nullptr) self->Place();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Preview::DropScaled() {
  if (scaled_ != nullptr) DeleteObject(scaled_);
  scaled_ = nullptr;
}

void Preview::Hide() {
  shown_ = false;
  file_.clear();
  file_.shrink_to_fit();
  DropScaled();
  InvalidateRect(panel_, nullptr, FALSE);
}

bool Preview::Show(std::vector<std::uint8_t> file) {
  Hide();
  const auto layout = pt::window::CheckBitmapFile(file.data(), file.size());
  if (!layout) return false;
  file_ = std::move(file);
  layout_ = *layout;
  shown_ = true;
  Place();
  return scaled_ != nullptr;
}

void Preview::Place() {
  DropScaled();
  InvalidateRect(panel_, nullptr, FALSE);
  if (!shown_) return;
  RECT r{};
  GetClientRect(panel_, &r);
  place_ = pt::window::PreviewPlace(r.right, r.bottom, layout_.width, layout_.height);
  if (place_.w <= 0 || place_.h <= 0) return;
  // Scaled once here, not at every paint: a carrier has millions of pixels.
  HDC screen = GetDC(panel_);
  HDC dc = CreateCompatibleDC(screen);
  scaled_ = CreateCompatibleBitmap(screen, place_.w, place_.h);
  if (dc != nullptr && scaled_ != nullptr) {
    HGDIOBJ old = SelectObject(dc, scaled_);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(file_.data() + layout_.infoOffset);
    StretchDIBits(dc, 0, 0, place_.w, place_.h, 0, 0, layout_.width, layout_.height,
                  file_.data() + layout_.bitsOffset, info, DIB_RGB_COLORS, SRCCOPY);
    SelectObject(dc, old);
  }
  if (dc != nullptr) DeleteDC(dc);
  ReleaseDC(panel_, screen);
}

void Preview::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(panel_, &ps);
  RECT r{};
  GetClientRect(panel_, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  if (shown_ && scaled_ != nullptr) {
    HDC memory = CreateCompatibleDC(dc);
    if (memory != nullptr) {
      HGDIOBJ old = SelectObject(memory, scaled_);
      BitBlt(dc, place_.x, place_.y, place_.w, place_.h, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
    }
  }
  EndPaint(panel_, &ps);
}

}  // namespace pt::win
