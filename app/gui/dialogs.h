// The one place where the window program opens message boxes, the file-open
// dialog and its own modal dialogs. Tests switch it to scripted mode and queue
// the answers, so no modal loop ever waits for a click that will not come.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "carrier/job_ui.h"

class QDialog;
class QWidget;

namespace pt::gui {

class Dialogs {
 public:
  struct Shown {
    MsgKind kind;
    std::string text;
    MsgButtons buttons;
  };
  using ExecHandler = std::function<int(QDialog&)>;

  Dialogs() = default;
  Dialogs(const Dialogs&) = delete;
  Dialogs& operator=(const Dialogs&) = delete;

  MsgAnswer Message(QWidget* parent, MsgKind kind, const std::string& text,
                    MsgButtons buttons);
  // The about box: an information box with the program's icon.
  void About(QWidget* parent, const std::string& text);
  // "All files" first, so names without an extension are listed. Opens in
  // `folder` when it is given.
  std::optional<std::string> OpenFile(QWidget* parent, const std::string& folder = {});
  // Runs a modal dialog; returns its QDialog result code.
  int Exec(QDialog& dialog);

  // Test seam. In scripted mode messages and file dialogs are never shown:
  // the queued answer is used, else OK / Abort / Cancel and "cancelled".
  // A queued exec handler replaces the next modal loop (in any mode).
  void SetScripted(bool on) { scripted_ = on; }
  void QueueAnswer(MsgAnswer a) { answers_.push_back(a); }
  void QueueFile(std::optional<std::string> f) { files_.push_back(std::move(f)); }
  void QueueExec(ExecHandler h) { handlers_.push_back(std::move(h)); }

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::string> ShownTexts() const;
  void ClearShown() { shown_.clear(); }
  int fileDialogs() const { return fileDialogs_; }
  const std::string& fileDialogFolder() const { return fileDialogFolder_; }
  int execs() const { return execs_; }

 private:
  bool scripted_ = false;
  std::deque<MsgAnswer> answers_;
  std::deque<std::optional<std::string>> files_;
  std::deque<ExecHandler> handlers_;
  std::vector<Shown> shown_;
  int fileDialogs_ = 0;
  std::string fileDialogFolder_;  // of the last file dialog
  int execs_ = 0;
};

// Title of a message box of the given kind.
QString MessageTitle(MsgKind kind);

}  // namespace pt::gui
