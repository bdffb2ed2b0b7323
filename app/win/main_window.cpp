#include "app/win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <clocale>
#include <exception>
#include <utility>

#include "app/command_line.h"
#include "app/win/control_ids.h"
#include "app/win/modal_dialog.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "util/byte_order.h"
#include "util/os_text.h"

namespace pt::win {

namespace {

// Messages the window posts to itself: the start-up sequence and the
// automatic job wait until the window is shown and painted; a dropped file
// is taken once the drop has been answered.
constexpr UINT kFormActivate = WM_APP + 1;
constexpr UINT kRunDropped = WM_APP + 2;

// Sizes at 96 DPI.
constexpr int kTopBarHeight96 = 36;
constexpr int kButtonHeight96 = 28;
constexpr int kGap96 = 4;

HMENU CommandId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id,
           DWORD exStyle = 0) {
  return CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         CommandId(id), GetModuleHandleW(nullptr), nullptr);
}

// A button's picture: the small icon of the shell's stock set, or else the
// one at wineIndex of the shell's own icons (Wine has no stock set; its
// shell32 holds these pictures at those places).
HIMAGELIST ButtonPicture(SHSTOCKICONID id, int wineIndex) {
  HICON icon = nullptr;
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof info;
  if (SUCCEEDED(SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info))) icon = info.hIcon;
  if (icon == nullptr && ExtractIconExW(L"shell32.dll", wineIndex, nullptr, &icon, 1) != 1)
    icon = nullptr;
  if (icon == nullptr) return nullptr;
  HIMAGELIST list = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                     ILC_COLOR32 | ILC_MASK, 1, 0);
  if (list != nullptr) ImageList_AddIcon(list, icon);
  DestroyIcon(icon);
  return list;
}

void Move(HWND control, int x, int y, int w, int h, UINT dpi) {
  MoveWindow(control, Scale(x, dpi), Scale(y, dpi), Scale(w, dpi), Scale(h, dpi), TRUE);
}

void MoveBox(HWND control, const pt::window::Box& b, UINT dpi) { Move(control, b.x, b.y, b.w, b.h, dpi); }

}  // namespace

// An exception that escapes a handler is shown, and the program goes on.
template <typename F>
void MainWindow::Guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowMessage(pt::MsgKind::Plain, e.what(), pt::MsgButtons::Ok);
  }
}

template <typename F>
void MainWindow::Modal(F&& dialog) {
  ++modal_;
  try {
    dialog();
  } catch (...) {
    --modal_;
    throw;
  }
  --modal_;
  if (modal_ == 0 && closeRequested_ && !jobRunning_) {
    closeRequested_ = false;
    PostMessageW(window_, WM_CLOSE, 0, 0);
  }
}

// ---------------------------------------------------------------------------
// Construction

MainWindow::MainWindow(std::vector<std::string> args, pt::SettingsLocation config)
    : args_(std::move(args)), config_(std::move(config)) {
  // Creation state: the defaults arrive at the first activation.
  settings_.disclaimerAccepted = false;
  settings_.compressedExtensions.clear();
}

MainWindow::~MainWindow() {
  for (HIMAGELIST list : {openPicture_, stopPicture_, optionsPicture_, closePicture_})
    if (list != nullptr) ImageList_Destroy(list);
  for (HICON icon : {bigIcon_, smallIcon_})
    if (icon != nullptr) DestroyIcon(icon);
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
}

bool MainWindow::Create(int show) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  bigIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON),
                                           GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &MainWindow::Proc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = id::kMainClass;
  if (RegisterClassExW(&wc) == 0) return false;

  CreateMenus();
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
  window_ = CreateWindowExW(exStyle, id::kMainClass, L"pixelTuck", style, CW_USEDEFAULT,
                            CW_USEDEFAULT, 100, 100, nullptr, menu_, instance, this);
  if (window_ == nullptr) return false;

  // The client area at its designed size at this monitor's DPI, centred on
  // the work area of the monitor.
  const RECT frame = WindowRectFor(Scale(pt::window::kClientWidth, dpi_),
                                   Scale(pt::window::kClientHeight, dpi_), style, exStyle, true,
                                   dpi_);
  const int w = frame.right - frame.left;
  const int h = frame.bottom - frame.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  SetWindowPos(window_, nullptr, area.left + std::max(0L, (area.right - area.left - w) / 2),
               area.top + std::max(0L, (area.bottom - area.top - h) / 2), w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, show);
  // Drawn now, controls included: the posted start-up below would otherwise
  // come before the window's first paint.
  RedrawWindow(window_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SetFocus(bbOpen_);
  // The start-up sequence, and with it a command-line job, runs once the
  // window is on the screen and drawn.
  activationQueued_ = true;
  PostMessageW(window_, kFormActivate, 0, 0);
  return true;
}

void MainWindow::CreateMenus() {
  menu_ = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, id::mOpen, L"&EnCode/DeCode\tCtrl+E");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, id::mOptions, L"Options\tCtrl+O");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, id::mClose, L"&Close\tCtrl+F4");
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, id::Info1, L"&Info");
  AppendMenuW(help, MF_STRING, id::mDisclaimer, L"&Disclaimer ...");
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");

  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'E', id::mOpen},
      {FVIRTKEY | FCONTROL, 'O', id::mOptions},
      {FVIRTKEY | FCONTROL, VK_F4, id::mClose},
  };
  // Escape stops a job: the job's own message pump sees it (an accelerator
  // would also take it from the open cipher list).
  accelerators_ = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

void MainWindow::CreateControls() {
  bbOpen_ = Child(window_, WC_BUTTONW, L"EnCode/DeCode", BS_PUSHBUTTON | WS_TABSTOP, id::bbOpen);
  bbOptions_ = Child(window_, WC_BUTTONW, L"Options", BS_PUSHBUTTON | WS_TABSTOP, id::bbOptions);
  bbClose_ = Child(window_, WC_BUTTONW, L"Close", BS_PUSHBUTTON | WS_TABSTOP, id::bbClose);
  Label1_ = Child(window_, WC_STATICW, L"Encrypting algorithm :", SS_LEFT | SS_CENTERIMAGE, -1);
  cbEncMethod_ = Child(window_, WC_COMBOBOXW, L"",
                       CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL |
                           WS_TABSTOP,
                       id::cbEncMethod);
  cbShow_ = Child(window_, WC_BUTTONW, L"Show Bitmap", BS_AUTOCHECKBOX | WS_TABSTOP, id::cbShow);
  log_.Create(window_, id::ListBox);
  preview_.Create(window_, id::iPanel);
  phaseLabel_ = Child(window_, WC_STATICW, L"", SS_LEFT | SS_CENTERIMAGE, id::PhaseLabel);
  progressBar_ = Child(window_, PROGRESS_CLASSW, L"", PBS_SMOOTH, id::ProgressBar);
  SendMessageW(progressBar_, PBM_SETRANGE32, 0, 100);
  ShowWindow(progressBar_, SW_HIDE);
  ShowWindow(phaseLabel_, SW_HIDE);

  openPicture_ = ButtonPicture(SIID_FOLDEROPEN, 5);
  stopPicture_ = ButtonPicture(SIID_ERROR, 105);
  optionsPicture_ = ButtonPicture(SIID_SETTINGS, 47);
  closePicture_ = ButtonPicture(SIID_DELETE, 45);
  SetButtonPicture(bbOpen_, openPicture_);
  SetButtonPicture(bbOptions_, optionsPicture_);
  SetButtonPicture(bbClose_, closePicture_);

  FillCipherList();
  SendMessageW(cbEncMethod_, CB_SETCURSEL, 2, 0);
  CreateToolTips();
}

void MainWindow::SetButtonPicture(HWND button, HIMAGELIST picture) {
  if (picture == nullptr) return;
  BUTTON_IMAGELIST image{};
  image.himl = picture;
  image.margin = {Scale(4, dpi_), 0, Scale(2, dpi_), 0};
  image.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&image));
  InvalidateRect(button, nullptr, TRUE);
}

void MainWindow::CreateToolTips() {
  toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  const std::pair<HWND, const char*> tips[] = {
      {bbOpen_, pt::window::kOpenTip},       {bbOptions_, pt::window::kOptionsTip},
      {bbClose_, pt::window::kCloseTip},     {cbEncMethod_, pt::window::kCipherTip},
      {cbShow_, pt::window::kShowTip},       {log_.handle(), pt::window::kLogTip},
  };
  for (const auto& [control, text] : tips) {
    std::wstring wide = pt::WideText(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, 400);
}

void MainWindow::FillCipherList() {
  SendMessageW(cbEncMethod_, CB_RESETCONTENT, 0, 0);
  for (const char* item : pt::kCipherListItems) {
    const std::wstring wide = pt::WideText(item);
    SendMessageW(cbEncMethod_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
}

void MainWindow::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  formFont_.Make(kFormFace, 12, dpi);
  cipherFont_.Make(kFixedFace, 13, dpi, /*bold=*/true, /*fixedPitch=*/true);
  logFont_.Make(kFixedFace, 12, dpi, false, true);
  for (HWND control : {bbOpen_, bbOptions_, bbClose_, Label1_, cbShow_, phaseLabel_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_.get()), FALSE);
  SendMessageW(cbEncMethod_, WM_SETFONT, reinterpret_cast<WPARAM>(cipherFont_.get()), FALSE);
  // Owner-drawn: the selection field and the list lines follow the font.
  const int itemHeight = Scale(17, dpi);
  SendMessageW(cbEncMethod_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
  SendMessageW(cbEncMethod_, CB_SETITEMHEIGHT, 0, itemHeight);
  log_.SetFont(logFont_.get(), dpi);
  LayOut();
  InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::LayOut() {
  if (window_ == nullptr || bbOpen_ == nullptr) return;
  RECT client{};
  GetClientRect(window_, &client);
  const pt::window::MainLayout l =
      pt::window::MainLayoutFor(Unscale(client.right, dpi_), Unscale(client.bottom, dpi_));

  // The top bar, left to right, each control as wide as its text.
  const auto textWidth96 = [this](HWND control, HFONT font) {
    return Unscale(TextWidth(control, font, TextOf(control)), dpi_);
  };
  int x = kGap96;
  const int buttonTop = (kTopBarHeight96 - kButtonHeight96) / 2;
  for (HWND button : {bbOpen_, bbOptions_, bbClose_}) {
    // Room for the caption (EnCode/DeCode's longer one, also while it
    // reads "Stop"), the picture and the margins.
    const int text = button == bbOpen_
                         ? Unscale(TextWidth(button, formFont_.get(), L"EnCode/DeCode"), dpi_)
                         : textWidth96(button, formFont_.get());
    const int w = text + 16 + 26;
    Move(button, x, buttonTop, w, kButtonHeight96, dpi_);
    x += w + kGap96;
  }
  x += 10 - kGap96;
  const int labelWidth = textWidth96(Label1_, formFont_.get()) + 4;
  Move(Label1_, x, 8, labelWidth, 20, dpi_);
  x += labelWidth + kGap96;
  int listWidth = 0;
  for (const char* item : pt::kCipherListItems)
    listWidth = std::max(listWidth,
                         Unscale(TextWidth(cbEncMethod_, cipherFont_.get(), pt::WideText(item)), dpi_));
  listWidth += 30;  // margins and the drop-down arrow
  Move(cbEncMethod_, x, 7, listWidth, 160, dpi_);
  x += listWidth + 6 + kGap96;
  Move(cbShow_, x, 9, textWidth96(cbShow_, formFont_.get()) + 24, 18, dpi_);

  MoveBox(log_.handle(), l.log, dpi_);
  MoveBox(preview_.handle(), l.preview, dpi_);
  const pt::window::Box& b = l.bottom;
  constexpr int kPhaseWidth96 = 104;
  Move(phaseLabel_, b.x + 6, b.y + 5, kPhaseWidth96 - 4, 19, dpi_);
  Move(progressBar_, b.x + 6 + kPhaseWidth96, b.y + 5, b.w - 12 - kPhaseWidth96, 19, dpi_);
  InvalidateRect(window_, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// Messages

LRESULT CALLBACK MainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // Nothing thrown may unwind through the system's code.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      dpi_ = DpiOf(window_);
      CreateControls();
      ApplyDpi(dpi_);
      return 0;
    case WM_SIZE:
      LayOut();  // the preview places its picture again as it is resized
      return 0;
    case WM_GETMINMAXINFO: {
      // Never smaller than the designed client area.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const RECT r = WindowRectFor(Scale(pt::window::kClientWidth, dpi_),
                                   Scale(pt::window::kClientHeight, dpi_),
                                   static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)),
                                   static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)),
                                   true, dpi_);
      info->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
      return 0;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ApplyDpi(HIWORD(wParam));
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      RECT client{};
      GetClientRect(window_, &client);
      const pt::window::MainLayout l =
          pt::window::MainLayoutFor(Unscale(client.right, dpi_), Unscale(client.bottom, dpi_));
      RECT top{0, 0, client.right, Scale(kTopBarHeight96, dpi_)};
      DrawEdge(dc, &top, EDGE_RAISED, BF_RECT);
      RECT bottom{Scale(l.bottom.x, dpi_), Scale(l.bottom.y, dpi_), client.right, client.bottom};
      DrawEdge(dc, &bottom, EDGE_RAISED, BF_RECT);
      EndPaint(window_, &ps);
      return 0;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlType == ODT_COMBOBOX) {
        MeasureCipherItem(*item);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlType == ODT_COMBOBOX) {
        DrawCipherItem(*item);
        return TRUE;
      }
      break;
    }
    case WM_SETCURSOR:
      if (busy_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == log_.handle() && !jobRunning_) {
        ShowContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
      }
      break;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_ACTIVATE:
      // Every activation after the first may start the command-line job (it
      // runs once: the file is emptied when it returns).
      if (LOWORD(wParam) != WA_INACTIVE && !firstActivation_ && !activationQueued_ &&
          !state_.commandLineFile.empty()) {
        activationQueued_ = true;
        PostMessageW(window_, kFormActivate, 0, 0);
      }
      break;
    case kFormActivate:
      activationQueued_ = false;
      FormActivate();
      return 0;
    case kRunDropped:
      Guarded([this] {
        if (jobRunning_ || !commandEnabled_ || !droppedFile_) return;
        RunJob(false);
      });
      droppedFile_.reset();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      // A job is stopped first (and cleans up); the session waits for it.
      if (!jobRunning_) return TRUE;
      closeRequested_ = true;
      return FALSE;
    case WM_ENDSESSION:
      // The session ends without closing the window: the settings are
      // written all the same.
      if (wParam != FALSE) pt::SaveSettings(settings_, config_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(exitStatus_);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
  switch (id) {
    case id::bbOpen:
      if (code == BN_CLICKED) mOpenClick();
      break;
    case id::mOpen:
      // Ctrl+E and the menu item start a job, never stop one.
      if (!jobRunning_) mOpenClick();
      break;
    case id::bbOptions:
      if (code == BN_CLICKED) mOptionsClick();
      break;
    case id::mOptions:
      mOptionsClick();
      break;
    case id::bbClose:
      if (code == BN_CLICKED) mExitClick();
      break;
    case id::mClose:
      mExitClick();
      break;
    case id::Info1:
      Info1Click();
      break;
    case id::mDisclaimer:
      mDisclaimerClick();
      break;
    case id::mStop:
      StopJob();
      break;
    case id::mCopyLog:
      CopyLogToClipboard();
      break;
    case id::mCopyLine:
      CopySelectedLine();
      break;
    case id::ListBox:
      if (code == LBN_DBLCLK) ListBoxDblClick();
      break;
    default:
      break;
  }
}

void MainWindow::MeasureCipherItem(MEASUREITEMSTRUCT& item) const {
  item.itemHeight = static_cast<UINT>(Scale(17, dpi_));
}

// The cipher list: bold red fixed-pitch text; the selected line of the
// open list in the system's highlight colours.
void MainWindow::DrawCipherItem(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0 && (item.itemState & ODS_COMBOBOXEDIT) == 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID != static_cast<UINT>(-1)) {
    const int n = static_cast<int>(SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0));
    std::wstring text(n > 0 ? static_cast<std::size_t>(n) + 1 : 1, L'\0');
    SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    HGDIOBJ old = SelectObject(dc, cipherFont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT)
                     : selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                : RGB(255, 0, 0));
    RECT textRect = r;
    textRect.left += Scale(3, dpi_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0)
    DrawFocusRect(dc, &r);
}

void MainWindow::ShowContextMenu(POINT screen) {
  if (screen.x == -1 && screen.y == -1) {  // from the keyboard: at the list's corner
    RECT r{};
    GetWindowRect(log_.handle(), &r);
    screen = {r.left + Scale(8, dpi_), r.top + Scale(8, dpi_)};
  } else {
    log_.SelectAt(screen);
  }
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, id::mCopyLog, L"&Copy");
  AppendMenuW(menu, MF_STRING | (log_.Selected() < 0 ? MF_GRAYED : 0), id::mCopyLine,
              L"Copy &Line");
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
  DestroyMenu(menu);
}

void MainWindow::CopySelectedLine() {
  const int line = log_.Selected();
  if (line >= 0) CopyToClipboard(window_, log_.Line(line));
}

void MainWindow::OnDropFiles(HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::string path;
  if (count == 1) {
    const UINT n = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n) + 1, L'\0');
    DragQueryFileW(drop, 0, wide.data(), n + 1);
    wide.resize(n);
    path = pt::Utf8Text(wide);
  }
  DragFinish(drop);
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(pt::WidePath(path).c_str());
  const bool regular = attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  if (!pt::window::TakesDroppedFile(static_cast<int>(count), regular, jobRunning_,
                                    commandEnabled_))
    return;
  // Taken as if chosen in the file dialog, once the drop has been answered,
  // so that the program the file came from is not kept waiting for the job.
  droppedFile_ = path;
  PostMessageW(window_, kRunDropped, 0, 0);
}

// ---------------------------------------------------------------------------
// Start-up and close

void MainWindow::FormActivate() {
  Guarded([this] {
    if (firstActivation_) StartUp();
    // A close asked for before or during the start-up is queued now that
    // the settings are loaded (the start-up's dialogs hand it on): no
    // automatic job starts.
    MSG queued;
    if (PeekMessageW(&queued, window_, WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) return;
    // The automatic job runs once: the guard covers activations caused by
    // its own dialogs, and the file is emptied when it returns.
    if (!state_.commandLineFile.empty() && !jobRunning_) RunJob(true);
  });
}

void MainWindow::StartUp() {
  firstActivation_ = false;
  std::setlocale(LC_NUMERIC, "C");
  SetText(window_, pt::window::MainCaption());
  FillCipherList();

  struct Host : pt::window::StartupHost {
    MainWindow& form;
    explicit Host(MainWindow& f) : form(f) {}
    bool AskDisclaimer() override { return RunDisclaimerDialog(form.window_); }
    void InvalidCommandLineKey() override {
      form.ShowMessage(pt::MsgKind::Plain, pt::kCommandLineKeyInvalid, pt::MsgButtons::Ok);
    }
  } host(*this);
  pt::window::StartupResult r;
  Modal([&] { r = pt::window::RunStartup(settings_, state_, config_, args_, host); });
  // The arguments are read: a -K: key lives on in state_ only.
  for (std::string& arg : args_) pt::SecureWipe(arg.data(), arg.size());
  args_.clear();
  if (!r.commandEnabled) {
    EnableCommand(false);
    for (const std::string& line : pt::window::DisclaimerRefusedLog()) AddLogLine(line);
  }
  keyDialog_.SetPendingKeyMode(r.keyModePreset);
  SendMessageW(cbShow_, BM_SETCHECK, r.showBitmap ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(cbEncMethod_, CB_SETCURSEL, static_cast<WPARAM>(r.cipherIndex), 0);
}

void MainWindow::EnableCommand(bool enabled) {
  commandEnabled_ = enabled;
  ShowJobRunning(jobRunning_);
}

void MainWindow::OnClose() {
  if (jobRunning_ || modal_ > 0 || firstActivation_) {
    // Acted on when the job or dialog returns (the job stops at its next
    // block, removes what it had begun and logs that it was interrupted),
    // or once the start-up has loaded the settings: saving the window's
    // creation state would overwrite the user's file.
    closeRequested_ = true;
    return;
  }
  if (!pt::SaveSettings(settings_, config_)) {
    ShowMessage(pt::MsgKind::Error, pt::SaveSettingsFailedMessage(config_), pt::MsgButtons::Ok);
  }
  DestroyWindow(window_);
}

int MainWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window_ != nullptr && TranslateAcceleratorW(window_, accelerators_, &msg)) continue;
    if (window_ != nullptr && IsDialogMessageW(window_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return exitStatus_;
}

// ---------------------------------------------------------------------------
// Commands

void MainWindow::mOpenClick() {
  // While a job runs the button reads "Stop".
  if (jobRunning_) {
    StopJob();
    return;
  }
  // Refused disclaimer: the command stays off for the run, however reached.
  if (!commandEnabled_) return;
  Guarded([this] { RunJob(false); });
}

void MainWindow::mOptionsClick() {
  if (jobRunning_) return;
  Guarded([this] { Modal([this] { RunOptionsDialog(window_, settings_); }); });
}

void MainWindow::mExitClick() { SendMessageW(window_, WM_CLOSE, 0, 0); }

void MainWindow::Info1Click() {
  if (jobRunning_) return;
  Guarded([this] { Modal([this] { ShowAbout(window_, pt::window::AboutText()); }); });
}

void MainWindow::mDisclaimerClick() {
  Guarded([this] {
    if (jobRunning_) return;
    struct Host : pt::window::StartupHost {
      HWND owner;
      explicit Host(HWND w) : owner(w) {}
      bool AskDisclaimer() override { return RunDisclaimerDialog(owner); }
      void InvalidCommandLineKey() override {}
    } host(window_);
    bool accepted = false;
    Modal([&] { accepted = pt::window::AcceptDisclaimerAgain(settings_, host); });
    if (accepted) EnableCommand(true);
  });
}

void MainWindow::ListBoxDblClick() { CopyLogToClipboard(); }

void MainWindow::StopJob() {
  if (jobRunning_) stopRequested_ = true;
}

}  // namespace pt::win
