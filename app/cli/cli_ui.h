// The job's window for the console program: log lines on standard output,
// message boxes on standard error, questions and keys asked on the terminal
// (or answered with the choice that stops the job when there is none).
#pragma once

#include <cstdint>
#include <ostream>

#include "app/cli/terminal.h"
#include "carrier/job_ui.h"

namespace pt {

// A percentage on standard error, only when that is a terminal.
class CliProgress : public ProgressBar {
 public:
  CliProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  void SetVisible(bool visible) override;
  void SetPosition(int percent) override;
  int Position() const override { return position_; }
  void Repaint() override {}
  // Removes the percentage so that other output starts on a clean line.
  void ClearLine();

 private:
  std::ostream& err_;
  bool enabled_;
  bool visible_ = false;
  bool lineShown_ = false;
  int position_ = 0;
  int shownPosition_ = -1;
};

class CliUi : public JobUi {
 public:
  // keyMode: the settings' key mode (2 asks for hex digits, else ASCII).
  CliUi(std::ostream& out, std::ostream& err, Terminal& terminal, std::int32_t keyMode);

  void ClearLog() override {}
  void AddLogLine(const std::string& line) override;
  void RepaintLog() override;
  void ScrollLogToEnd() override {}

  ProgressBar& Progress() override { return progress_; }
  void SetBusyCursor(bool) override {}

  MsgAnswer ShowMessage(MsgKind kind, const std::string& text, MsgButtons buttons) override;
  KeyReply RequestKey(const KeyRequest& request) override;

  void HidePreview() override {}
  bool ShowBitmapChecked() const override { return false; }
  void ShowPreview(const std::string&) override {}
  void CopyLogToClipboard() override {}
  void CloseWindow() override {}
  std::optional<std::string> ChooseFile() override { return std::nullopt; }

 private:
  MsgAnswer Ask(MsgButtons buttons);

  std::ostream& out_;
  std::ostream& err_;
  Terminal& terminal_;
  std::int32_t keyMode_;
  CliProgress progress_;
};

inline constexpr const char* kKeyNeededMessage =
    "A key is needed: give it with -K:<16 to 64 hex digits> "
    "(there is no terminal to ask for it)";

}  // namespace pt
