// The one narrow interface through which a conversion job reaches the window:
// log lines, progress, busy cursor, message boxes, key request, preview,
// clipboard, closing the window and choosing a file. The Qt main window, the
// console program and the tests each implement it.
#pragma once

#include <optional>
#include <string>

namespace pt {

enum class MsgKind { Error, Warning, Confirmation, Information, Plain };
enum class MsgButtons { Ok, OkAbort, YesNoCancel };
enum class MsgAnswer { Ok, Abort, Yes, No, Cancel };

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetPosition(int percent) = 0;
  virtual int Position() const = 0;
  virtual void Repaint() = 0;
};

struct KeyRequest {
  bool maskInput = false;     // hidePassword: mask ASCII input, ask twice
  bool applyKeyMode = false;  // first showing in this job: empty the fields
};

struct KeyReply {
  bool ok = false;        // closed with OK (the dialog validated the text)
  bool hexMode = false;   // rbHex checked
  std::string text;       // text of eEnter
};

class JobUi {
 public:
  virtual ~JobUi() = default;

  virtual void ClearLog() = 0;
  virtual void AddLogLine(const std::string& line) = 0;
  virtual void RepaintLog() = 0;
  virtual void ScrollLogToEnd() = 0;

  virtual ProgressBar& Progress() = 0;
  virtual void SetBusyCursor(bool busy) = 0;

  // Modal message box; returns the button the user chose.
  virtual MsgAnswer ShowMessage(MsgKind kind, const std::string& text,
                                MsgButtons buttons) = 0;
  // Modal key entry dialog.
  virtual KeyReply RequestKey(const KeyRequest& request) = 0;

  virtual void HidePreview() = 0;
  virtual bool ShowBitmapChecked() const = 0;
  // Shows the bitmap when "Show Bitmap" is checked (size rule included).
  virtual void ShowPreview(const std::string& path) = 0;
  virtual void CopyLogToClipboard() = 0;
  virtual void CloseWindow() = 0;
  // File-open dialog; nothing when the user cancels.
  virtual std::optional<std::string> ChooseFile() = 0;
};

}  // namespace pt
