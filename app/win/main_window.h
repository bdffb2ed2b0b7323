// The main window of pixeltuck.exe: owns Settings, the command-line state,
// the job log, the preview and the key dialog, and is the JobUi of every
// conversion job, which runs on the window's thread. Its decisions come from
// the shared window layer (app/window); this class wires Win32 to them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "app/win/log_view.h"
#include "app/win/preview.h"
#include "app/win/win_dialogs.h"
#include "app/win/win_util.h"
#include "app/window/window_logic.h"
#include "carrier/job.h"
#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt::win {

class MainWindow : public pt::JobUi {
 public:
  // args: the command line after the program name, UTF-8. config: where the
  // settings are read and written.
  MainWindow(std::vector<std::string> args, pt::SettingsLocation config);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the window; false when it could not be created.
  bool Create(int show);
  // The message loop, until the window is closed; the program's exit status.
  int Run();

  // Handlers.
  void mOpenClick();
  void mOptionsClick();
  void mExitClick();
  void Info1Click();
  void mDisclaimerClick();
  void ListBoxDblClick();
  void FormActivate();
  void StopJob();

  // pt::JobUi
  void ClearLog() override;
  void AddLogLine(const std::string& line) override;
  pt::ProgressBar& Progress() override;
  void Working(pt::JobPhase phase, std::int64_t done, std::int64_t total) override;
  bool StopRequested() override;
  void SetBusyCursor(bool busy) override;
  pt::MsgAnswer ShowMessage(pt::MsgKind kind, const std::string& text,
                            pt::MsgButtons buttons) override;
  pt::KeyReply RequestKey(const pt::KeyRequest& request) override;
  void HidePreview() override;
  bool ShowCarrierWanted() const override;
  void ShowPreview(const std::string& path) override;
  void CopyLogToClipboard() override;

 private:
  class Bar : public pt::ProgressBar {
   public:
    explicit Bar(MainWindow& window) : window_(window) {}
    void SetVisible(bool visible) override;
    void SetPosition(int percent) override;
    int Position() const override;

   private:
    MainWindow& window_;
  };

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);

  // Construction (main_window.cpp).
  void CreateMenus();
  void CreateControls();
  void CreateToolTips();
  void ApplyDpi(UINT dpi);
  void LayOut();
  void FillCipherList();
  void MeasureCipherItem(MEASUREITEMSTRUCT& item) const;
  void DrawCipherItem(const DRAWITEMSTRUCT& item) const;
  void ShowContextMenu(POINT screen);
  void CopySelectedLine();
  void OnDropFiles(HDROP drop);
  void OnClose();
  void StartUp();
  void EnableCommand(bool enabled);
  bool commandEnabled() const { return commandEnabled_; }
  void SetButtonPicture(HWND button, HIMAGELIST picture);

  // Jobs (main_job.cpp).
  void RunJob(bool byCommandLine);
  pt::JobOutcome RunOneJob(bool byCommandLine);
  std::optional<std::string> ChooseFile();
  void ShowJobRunning(bool running);
  void ShowLogEnd();
  // Paint, timer and non-client messages while a job runs; mouse and key
  // input is dropped except what acts on the job (Escape, Stop, Close).
  void KeepAlive(bool now);
  bool ActsDuringJob(const MSG& msg);
  void DiscardQueuedInput();
  void RememberFolderOf(const std::string& file);
  template <typename F>
  void Guarded(F&& handler);
  // Runs a modal dialog of an idle window: a close asked for meanwhile
  // waits until it has returned.
  template <typename F>
  void Modal(F&& dialog);

  std::vector<std::string> args_;
  pt::SettingsLocation config_;
  pt::Settings settings_;
  pt::RunState state_;
  Bar bar_{*this};
  KeyDialog keyDialog_;

  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HWND bbOpen_ = nullptr;
  HWND bbOptions_ = nullptr;
  HWND bbClose_ = nullptr;
  HWND Label1_ = nullptr;
  HWND cbEncMethod_ = nullptr;
  HWND cbShow_ = nullptr;
  LogView log_;
  Preview preview_;
  HWND phaseLabel_ = nullptr;
  HWND progressBar_ = nullptr;
  HWND toolTips_ = nullptr;
  // The buttons' pictures, one image list each.
  HIMAGELIST openPicture_ = nullptr;
  HIMAGELIST stopPicture_ = nullptr;
  HIMAGELIST optionsPicture_ = nullptr;
  HIMAGELIST closePicture_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;

  UINT dpi_ = 96;
  Font formFont_;
  Font cipherFont_;
  Font logFont_;

  bool firstActivation_ = true;
  bool activationQueued_ = false;
  bool commandEnabled_ = true;
  bool jobRunning_ = false;
  bool closeRequested_ = false;  // the user closed the window during a job or dialog
  int modal_ = 0;                // modal dialogs of an idle window now open
  bool stopRequested_ = false;   // the user stopped the job
  bool keyInDialog_ = false;     // the key dialog holds a key to wipe
  bool busy_ = false;
  bool progressShown_ = false;
  ULONGLONG keptAliveAt_ = 0;
  std::optional<std::string> droppedFile_;
  std::string lastFolder_;
  int exitStatus_ = 0;
  pt::JobOutcome lastOutcome_;
};

}  // namespace pt::win
