// The main window: owns Settings, the command-line state, the job log, the
// preview and the three dialogs, and is the JobUi of every conversion job.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "app/window/window_logic.h"
#include "app/version.h"
#include "carrier/job.h"
#include "carrier/job_ui.h"
#include "app/run_state.h"
#include "carrier/settings.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class TDisclaimerForm;
class TOptionsForm;
class TPassword_Form;

namespace pt::gui {
class Dialogs;

// On X11 copied text lives in the program that copied it. When the window
// closes while the clipboard holds the log, the text is handed to xclip or
// xsel (whichever is installed), which serve it until something else is
// copied; without them, a running clipboard manager takes it over as the
// program ends (Qt asks it to), and with neither the text is gone. True when
// a helper took it.
bool KeepClipboardAfterExit();
}  // namespace pt::gui

class TpixelTuck_Form : public QMainWindow, public pt::JobUi {
  Q_OBJECT

 public:
  // configPath: where the settings are read and written (beside the
  // executable or in the user's folder in the real program, a file in a
  // temporary folder in tests).
  TpixelTuck_Form(std::vector<std::string> args, pt::SettingsLocation configPath,
                  pt::gui::Dialogs& dialogs, QWidget* parent = nullptr);
  ~TpixelTuck_Form() override;

  // Handlers.
  void mOpenClick();
  void mOptionsClick();
  void mExitClick();
  void Info1Click();
  void ListBoxDblClick();
  void FormActivate();
  // Help menu: the disclaimer again; accepting it there enables EnCode/DeCode.
  void mDisclaimerClick();
  // Escape, or EnCode/DeCode while it reads "Stop": the job stops at its
  // next block, removes the files it had begun and logs it.
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

  pt::Settings& settings() { return settings_; }
  pt::RunState& runState() { return state_; }
  bool firstActivation() const { return firstActivation_; }
  int jobsStarted() const { return jobsStarted_; }
  const pt::JobOutcome& lastOutcome() const { return lastOutcome_; }
  const std::string& configPath() const { return configPath_.writePath; }
  int FirstVisibleLine() const;
  bool jobRunning() const { return jobRunning_; }
  // The program's exit status: not 0 after a command-line job that failed
  // and closed the window ("Exit after Conversion").
  int exitStatus() const { return exitStatus_; }

  // Controls.
  QFrame* pTop;
  QPushButton* bbOpen;
  QPushButton* bbOptions;
  QPushButton* bbClose;
  QLabel* Label1;
  QComboBox* cbEncMethod;
  QCheckBox* cbShow;
  QListWidget* ListBox;
  QFrame* iPanel;
  QLabel* Image;
  QFrame* pBottom;
  QProgressBar* ProgressBar;
  QAction* mOpen;
  QAction* mOptions;
  QAction* mClose;
  QAction* Info1;
  QAction* mDisclaimer;
  QAction* mCopyLog;   // log context menu: the whole log
  QAction* mCopyLine;  // log context menu: the selected line

  // Dialogs, created once after the window.
  TOptionsForm* OptionsForm;
  TPassword_Form* Password_Form;
  TDisclaimerForm* DisclaimerForm;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Bar;
  class InputSwallower;

  void CreateActions();
  void CreateMenus();
  void CreateWidgets();
  void CreateDialogs();
  void ConnectSignals();
  void StartUp();
  void RunJob(bool byCommandLine);
  // The job of the EnCode/DeCode command on the command line's file or the
  // one the user chooses.
  pt::JobOutcome RunOneJob(bool byCommandLine);
  // File-open dialog (or the dropped file); nothing when the user cancels.
  std::optional<std::string> ChooseFile();
  // Scrolls the log to its end and paints it now (a job does not return to
  // the event loop until it ends).
  void ShowLogEnd();
  void FillCipherList();
  // Controls that do nothing during a job are disabled, EnCode/DeCode reads
  // "Stop".
  void ShowJobRunning(bool running);
  void LayOut();
  void PlacePreview();
  // Processes paint, expose, window-manager and timer events while a job
  // runs (user input stays queued); at most every pt::window::kKeepAliveMs
  // unless now.
  void KeepAlive(bool now);
  // Drops the mouse and key events that queued up while a job ran: the
  // window takes no input during a job, also not afterwards.
  void DiscardQueuedInput();
  void RememberFolderOf(const std::string& file);
  // The one local file a drag carries, if the EnCode/DeCode command may run
  // on it now.
  std::optional<std::string> DroppableFile(const QMimeData* mime) const;
  template <typename F>
  void Guarded(F&& handler);
  // What the start-up sequence and the disclaimer command ask of the window.
  struct StartupHost;

  std::vector<std::string> args_;
  pt::SettingsLocation configPath_;
  pt::gui::Dialogs& dialogs_;
  pt::Settings settings_;
  pt::RunState state_;
  std::unique_ptr<Bar> bar_;
  bool firstActivation_ = true;
  bool activationQueued_ = false;
  bool jobRunning_ = false;
  bool closeRequested_ = false;  // the user closed the window during a job
  bool stopRequested_ = false;   // the user stopped the job
  bool keyInDialog_ = false;     // the key dialog holds a key to wipe
  bool busy_ = false;
  QElapsedTimer sinceKeptAlive_;
  std::optional<std::string> droppedFile_;
  std::string lastFolder_;
  int jobsStarted_ = 0;
  int exitStatus_ = 0;
  QSize pictureSize_;  // of the picture in the preview, for re-placing it
  pt::JobOutcome lastOutcome_;
};
