// The main window as the JobUi of the conversion jobs, which run on the
// window's thread: the log, the progress bar, the questions, the key, the
// preview, and the message pump that keeps the window painted and movable
// while a job runs.
#include "app/win/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "app/command_line.h"
#include "app/win/control_ids.h"
#include "app/win/modal_dialog.h"
#include "carrier/file_io.h"
#include "util/os_text.h"

namespace pt::win {

// ---------------------------------------------------------------------------
// The job

pt::JobOutcome MainWindow::RunOneJob(bool byCommandLine) {
  ClearLog();
  HidePreview();
  std::string file;
  if (byCommandLine) {
    file = state_.commandLineFile;
  } else {
    std::optional<std::string> chosen = ChooseFile();
    if (!chosen) return {};
    file = std::move(*chosen);
  }
  const int cipher = static_cast<int>(SendMessageW(cbEncMethod_, CB_GETCURSEL, 0, 0));
  return pt::RunJob(
      pt::window::MakeJobRequest(cipher, byCommandLine, std::move(file), settings_), state_,
      *this);
}

void MainWindow::RunJob(bool byCommandLine) {
  if (byCommandLine) RememberFolderOf(state_.commandLineFile);
  jobRunning_ = true;
  stopRequested_ = false;
  ShowJobRunning(true);
  keptAliveAt_ = GetTickCount64();
  const auto finish = [this, byCommandLine] {
    jobRunning_ = false;
    stopRequested_ = false;
    ShowJobRunning(false);
    SetBusyCursor(false);
    // The job is done with its key: the dialog keeps no copy.
    keyDialog_.Wipe();
    keyInDialog_ = false;
    // The automatic job runs once, also when the steps below activate the
    // window again.
    if (byCommandLine) state_.commandLineFile.clear();
    DiscardQueuedInput();
    const pt::window::AfterJob after =
        pt::window::AfterJobFor(byCommandLine, settings_, lastOutcome_, closeRequested_);
    closeRequested_ = false;
    if (after.warnChecksum)
      ShowMessage(pt::MsgKind::Warning, pt::window::kChecksumWarning, pt::MsgButtons::Ok);
    if (after.exitStatus) exitStatus_ = *after.exitStatus;
    // A close asked for during the job (by the user or by the job itself)
    // is acted on now that the job has returned.
    if (after.close) PostMessageW(window_, WM_CLOSE, 0, 0);
  };
  lastOutcome_ = {};  // a job that throws has no outcome
  try {
    lastOutcome_ = RunOneJob(byCommandLine);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

std::optional<std::string> MainWindow::ChooseFile() {
  std::optional<std::string> file;
  if (droppedFile_) {
    file.swap(droppedFile_);
  } else {
    // Room for long paths; the core gives them the prefix they need.
    std::wstring name(32768, L'\0');
    const std::wstring folder = pt::WideText(lastFolder_);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window_;
    // "All files" first and selected, so names without an extension show.
    ofn.lpstrFilter = L"All files (*.*)\0*.*\0BMP files (*.bmp)\0*.bmp\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    const bool wasBusy = busy_;
    SetBusyCursor(false);
    const bool chosen = GetOpenFileNameW(&ofn) != FALSE;
    SetBusyCursor(wasBusy);
    if (!chosen) return std::nullopt;
    name.resize(wcsnlen(name.c_str(), name.size()));
    if (name.empty()) return std::nullopt;
    file = pt::Utf8Text(name);
  }
  if (file) RememberFolderOf(*file);
  return file;
}

void MainWindow::RememberFolderOf(const std::string& file) {
  if (file.empty()) return;
  const std::size_t slash = file.find_last_of("\\/");
  if (slash != std::string::npos) lastFolder_ = file.substr(0, slash);
}

void MainWindow::ShowJobRunning(bool running) {
  const pt::window::MainControls c = pt::window::MainControlsFor(running, commandEnabled_);
  SetText(bbOpen_, c.openCaption);
  SetButtonPicture(bbOpen_, running ? stopPicture_ : openPicture_);
  EnableWindow(bbOpen_, c.openButton);
  EnableWindow(bbOptions_, c.options);
  EnableWindow(cbEncMethod_, c.cipherList);
  EnableWindow(Label1_, c.cipherList);
  // The tool tip follows the caption.
  if (toolTips_ != nullptr) {
    std::wstring tip = pt::WideText(c.openTip);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(bbOpen_);
    tool.lpszText = tip.data();
    SendMessageW(toolTips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const UINT menuState = MF_BYPOSITION | (c.menu ? MF_ENABLED : MF_GRAYED);
  for (int top = 0, n = GetMenuItemCount(menu_); top < n; ++top)
    EnableMenuItem(menu_, static_cast<UINT>(top), menuState);
  EnableMenuItem(menu_, id::mOpen, MF_BYCOMMAND | (c.openCommand ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(window_);
  if (!running) {
    ShowWindow(phaseLabel_, SW_HIDE);
    SetWindowTextW(phaseLabel_, L"");
  }
  // The focus must not stay on a control that was just switched off.
  if (running && GetFocus() != bbOpen_) SetFocus(bbOpen_);
}

// ---------------------------------------------------------------------------
// Keeping the window alive during a job

bool MainWindow::ActsDuringJob(const MSG& msg) {
  const UINT m = msg.message;
  if (m >= WM_KEYFIRST && m <= WM_KEYLAST) {
    const bool down = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
    if (down && msg.wParam == VK_ESCAPE) {
      StopJob();
    } else if (down && msg.wParam == VK_F4 &&
               (m == WM_SYSKEYDOWN || GetKeyState(VK_CONTROL) < 0)) {
      mExitClick();  // Alt+F4 or Ctrl+F4: stop, then close
    }
    return false;
  }
  if (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) {
    // Stop, Close and "Show Bitmap" act during a job; nothing else does.
    return msg.hwnd == bbOpen_ || msg.hwnd == bbClose_ || msg.hwnd == cbShow_;
  }
  if (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) {
    // The frame moves and closes the window; the menu is off.
    return msg.wParam != HTMENU;
  }
  return true;  // paint, timers, window-manager messages
}

void MainWindow::KeepAlive(bool now) {
  const ULONGLONG start = GetTickCount64();
  if (!now && start - keptAliveAt_ < static_cast<ULONGLONG>(pt::window::kKeepAliveMs)) return;
  MSG msg;
  // A bounded round: a window that keeps invalidating itself must not hold
  // the job up.
  for (int i = 0; i < 500 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (ActsDuringJob(msg)) DispatchMessageW(&msg);
    if (GetTickCount64() - start > 100) break;
  }
  keptAliveAt_ = GetTickCount64();
}

void MainWindow::DiscardQueuedInput() {
  // Nothing of it acts any more: the job has returned.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

// ---------------------------------------------------------------------------
// JobUi

void MainWindow::ClearLog() {
  log_.Clear();
  ShowLogEnd();
}

void MainWindow::AddLogLine(const std::string& line) {
  log_.Add(line);
  ShowLogEnd();
}

void MainWindow::ShowLogEnd() {
  log_.ScrollToEnd();
  log_.PaintNow();
  if (jobRunning_) KeepAlive(false);
}

void MainWindow::Bar::SetVisible(bool visible) {
  window_.progressShown_ = visible;
  ShowWindow(window_.progressBar_, visible ? SW_SHOW : SW_HIDE);
  ShowWindow(window_.phaseLabel_, visible ? SW_SHOW : SW_HIDE);
  UpdateWindow(window_.window_);
}

void MainWindow::Bar::SetPosition(int percent) {
  SendMessageW(window_.progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  // A job does not return to the message loop: paint the bar now.
  UpdateWindow(window_.progressBar_);
  window_.KeepAlive(false);
}

int MainWindow::Bar::Position() const {
  return static_cast<int>(SendMessageW(window_.progressBar_, PBM_GETPOS, 0, 0));
}

pt::ProgressBar& MainWindow::Progress() { return bar_; }

void MainWindow::Working(pt::JobPhase phase, std::int64_t, std::int64_t) {
  const std::string caption = pt::window::PhaseCaption(phase);
  if (pt::Utf8Text(TextOf(phaseLabel_)) != caption) {
    SetText(phaseLabel_, caption);
    if (progressShown_) ShowWindow(phaseLabel_, SW_SHOW);
    UpdateWindow(phaseLabel_);
  }
  // Bulk work has begun, so the job has its key bytes.
  if (keyInDialog_) {
    keyDialog_.Wipe();
    keyInDialog_ = false;
  }
  KeepAlive(false);
}

bool MainWindow::StopRequested() { return closeRequested_ || stopRequested_; }

void MainWindow::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  POINT p{};
  GetCursorPos(&p);
  // The cursor changes at once where it is over the window, not at the next
  // mouse move.
  if (WindowFromPoint(p) != nullptr &&
      GetAncestor(WindowFromPoint(p), GA_ROOT) == window_)
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

pt::MsgAnswer MainWindow::ShowMessage(pt::MsgKind kind, const std::string& text,
                                      pt::MsgButtons buttons) {
  // The hourglass would hide that the box waits for the user.
  const bool wasBusy = busy_;
  SetBusyCursor(false);
  HWND owner = window_ != nullptr && IsWindowVisible(window_) ? window_ : nullptr;
  const pt::MsgAnswer answer = ShowMessageBox(owner, kind, text, buttons);
  SetBusyCursor(wasBusy);
  return answer;
}

pt::KeyReply MainWindow::RequestKey(const pt::KeyRequest& request) {
  const bool wasBusy = busy_;
  SetBusyCursor(false);
  pt::KeyReply reply = keyDialog_.Run(window_, request);
  keyInDialog_ = true;
  SetBusyCursor(wasBusy);
  return reply;
}

void MainWindow::HidePreview() { preview_.Hide(); }

bool MainWindow::ShowCarrierWanted() const {
  return SendMessageW(cbShow_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::ShowPreview(const std::string& path) {
  if (!ShowCarrierWanted()) return;
  pt::InputFile in;
  const long long size = in.Open(path) ? in.Size() : -1;
  if (size > pt::window::kMaxPreviewBytes) {
    ShowMessage(pt::MsgKind::Warning, pt::window::kPreviewTooLarge, pt::MsgButtons::Ok);
    return;
  }
  preview_.Hide();
  if (size <= 0) return;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (in.Read(bytes.data(), bytes.size()) != bytes.size() || in.Failed()) return;
  preview_.Show(std::move(bytes));
  UpdateWindow(preview_.handle());
}

void MainWindow::CopyLogToClipboard() {
  CopyToClipboard(window_, log_.AllText());
  MessageBeep(MB_OK);
}

}  // namespace pt::win
