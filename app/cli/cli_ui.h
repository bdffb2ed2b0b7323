// The job's window for the console program: log lines on standard output,
// message boxes on standard error, questions and keys asked on the terminal
// (or answered with the choice that stops the job when there is none).
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/cli/terminal.h"
#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt {

// Text as the console program prints it: every control character (C0, DEL,
// and C1 as U+0080..U+009F) and every byte that is not part of valid UTF-8
// is shown escaped ("\x1b", "\u009b"), so that a stored name cannot drive
// the terminal. keepLayout keeps line breaks and tabs (message texts).
std::string EscapeControls(std::string_view text, bool keepLayout);

// Seconds on a steady clock; tests pass their own.
using CliClock = std::function<double()>;
CliClock SteadyClock();

// The terminal's width in columns, asked at each redraw (it may change);
// 0 when unknown.
using CliColumns = std::function<int()>;

// The progress line on standard error, only when that is a terminal: the
// phase, percent, rate and time left, on one line that is cleared when the
// phase ends. Jobs that report only a percentage get "  45 %". The line
// stays narrower than the terminal (a wrapped line would scroll at every
// redraw): the time left goes first, then the rate.
class CliProgress : public ProgressBar {
 public:
  CliProgress(std::ostream& err, bool enabled, CliClock clock = SteadyClock(),
              CliColumns columns = {});
  void SetVisible(bool visible) override;
  void SetPosition(int percent) override;
  int Position() const override { return position_; }
  void Working(JobPhase phase, std::int64_t done, std::int64_t total);
  // Removes the line so that other output starts on a clean line.
  void ClearLine();

 private:
  void Show(const std::string& text);
  // Characters a line may have: the terminal's width less one.
  std::size_t Room() const;

  std::ostream& err_;
  bool enabled_;
  CliClock clock_;
  CliColumns columns_;
  bool visible_ = false;
  int position_ = 0;
  int shownPosition_ = -1;
  std::size_t shownWidth_ = 0;  // 0: no line on the screen
  // The phase being reported, once the jobs report phases at all.
  bool phaseReports_ = false;
  bool inPhase_ = false;
  JobPhase phase_ = JobPhase::Writing;
  double phaseStart_ = 0;
  double lastDrawn_ = 0;
};

struct CliOptions {
  bool quiet = false;  // -q: messages only, no log, no progress
  bool force = false;  // -f: existing files are replaced without a question
};

class CliUi : public JobUi {
 public:
  // keyMode: the settings' key mode (Hex asks for hex digits, else ASCII).
  CliUi(std::ostream& out, std::ostream& err, Terminal& terminal, KeyMode keyMode,
        CliOptions options = {}, CliClock clock = SteadyClock());

  void ClearLog() override {}
  void AddLogLine(const std::string& line) override;

  ProgressBar& Progress() override { return progress_; }
  void Working(JobPhase phase, std::int64_t done, std::int64_t total) override;
  // The log can no longer be written (a closed pipe, a full disk): the job
  // stops and removes what it began rather than go on unseen.
  bool StopRequested() override { return out_.fail(); }
  void SetBusyCursor(bool) override {}

  MsgAnswer ShowMessage(MsgKind kind, const std::string& text, MsgButtons buttons) override;
  MsgAnswer AskReplace(const std::string& text) override;
  KeyReply RequestKey(const KeyRequest& request) override;

  void HidePreview() override {}
  void ShowPreview(const std::string&) override {}
  void CopyLogToClipboard() override {}

 private:
  MsgAnswer Ask(MsgButtons buttons);
  MsgAnswer AskYesNo();

  std::ostream& out_;
  std::ostream& err_;
  Terminal& terminal_;
  KeyMode keyMode_;
  CliOptions options_;
  CliProgress progress_;
};

inline constexpr const char* kKeyNeededMessage =
    "A key is needed: give it with -K:<16 to 64 hex digits> or --key-file "
    "(there is no terminal to ask for it)";
inline constexpr const char* kReplaceRefusedMessage =
    "-> Not replaced: there is no terminal to ask. Give -f or --force to replace "
    "existing files.";
inline constexpr const char* kReplacedByForce = "-> The existing file is replaced (-f, --force)";

}  // namespace pt
