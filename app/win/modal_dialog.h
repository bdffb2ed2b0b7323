// What every dialog of the Windows window program shares: an empty dialog
// of the class kDialogClass whose controls are created in code at pixel
// positions given at 96 DPI and scaled to the owner's monitor, the GUI
// font at that DPI, and the modal run.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace pt::win {

// Text crosses into the core as UTF-8 here and nowhere else.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// Overwrites the characters before the string lets them go.
void WipeText(std::wstring& text);
void WipeText(std::string& text);

// The text a control holds.
std::wstring TextOf(HWND control);

// The program's icon (resource 1) at a size in pixels, else the system's
// application icon; released with its holder.
class Icon {
 public:
  explicit Icon(int size);
  Icon(const Icon&) = delete;
  Icon& operator=(const Icon&) = delete;
  ~Icon();
  HICON get() const { return handle_; }

 private:
  HICON handle_ = nullptr;
  bool owned_ = false;
};

// A rectangle in pixels at 96 DPI.
struct Box96 {
  int x = 0, y = 0, w = 0, h = 0;
};

class ModalDialog {
 public:
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;
  virtual ~ModalDialog();

  // Shows the dialog modally over owner (disabled meanwhile) and returns
  // the value Close was given; IDCANCEL when it could not be shown.
  INT_PTR Run(HWND owner);

 protected:
  struct Frame {
    const wchar_t* caption = L"";
    int clientWidth = 0;  // at 96 DPI
    int clientHeight = 0;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = WS_EX_DLGMODALFRAME;
  };
  explicit ModalDialog(const Frame& frame) : frame_(frame) {}

  // The client size at 96 DPI, for a dialog that measures its text first.
  void Resize96(int width, int height) {
    frame_.clientWidth = width;
    frame_.clientHeight = height;
  }

  // Creates the controls; the frame is sized and centred afterwards.
  virtual void OnInit() = 0;
  // WM_COMMAND of a control, Enter (IDOK) and Escape or the close box
  // (IDCANCEL). Unhandled IDCANCEL closes the dialog with IDCANCEL.
  virtual bool OnCommand(int id, int code) = 0;
  // The colour of a static text, check box or radio button; false keeps
  // the system's.
  virtual bool TextColour(HWND /*control*/, COLORREF& /*colour*/) { return false; }
  // Paints over the background (panels and bevels), in client pixels.
  virtual void OnPaint(HDC /*dc*/) {}
  // An owner-drawn control.
  virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  // Any other message; true when handled, with its result.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wp*/, LPARAM /*lp*/, INT_PTR& /*result*/) {
    return false;
  }

  // A child control at a place given at 96 DPI, in the GUI font unless
  // another is given; controls are created in tab order.
  HWND Add(const wchar_t* windowClass, std::wstring_view text, DWORD style, int id,
           Box96 box, HFONT font = nullptr, DWORD exStyle = 0);
  // A button or radio button whose caption carries its Alt+letter.
  HWND AddButton(std::string_view markedCaption, DWORD style, int id, Box96 box);
  // A static text as wide and high as its text in its font.
  HWND AddLabel(std::wstring_view text, int x, int y, HFONT font = nullptr, int id = -1);
  // The size of a text drawn with DrawTextW's format, in this dialog's
  // pixels; wrapWidth bounds a DT_WORDBREAK text.
  SIZE TextSize(std::wstring_view text, HFONT font, UINT format, int wrapWidth) const;
  // A one-line caption's width at 96 DPI ("&" marks a mnemonic).
  int Width96(std::wstring_view text, HFONT font = nullptr) const;

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  bool Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
  void Check(int id, bool on) const { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
  void Close(INT_PTR result) const { EndDialog(hwnd_, result); }

  // 96-DPI pixels in this dialog's pixels.
  int Px(int px96) const { return MulDiv(px96, static_cast<int>(dpi_), 96); }
  RECT Rect(Box96 b) const { return {Px(b.x), Px(b.y), Px(b.x + b.w), Px(b.y + b.h)}; }
  HWND hwnd() const { return hwnd_; }
  UINT dpi() const { return dpi_; }
  HFONT GuiFont() const { return guiFont_; }
  // A font of the face, its character height given in pixels at 96 DPI;
  // the dialog deletes it when it closes.
  HFONT MakeFont(const wchar_t* face, int px96, bool bold, bool fixedPitch = false);

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
  INT_PTR Handle(UINT message, WPARAM wp, LPARAM lp, bool& handled);
  void Initialise(HWND hwnd);
  void ReleaseFonts();

  Frame frame_;
  HWND owner_ = nullptr;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  HFONT guiFont_ = nullptr;
  std::vector<HFONT> fonts_;
};

}  // namespace pt::win
