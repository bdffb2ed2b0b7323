// The one narrow interface through which a conversion job reaches its front
// end: log lines, progress with its phase, questions and their answers, the
// key request, showing the carrier, copying the log, the busy state and a
// cancel check. The Qt main window, the console program and the tests each
// implement it; how a front end paints, scrolls or lists is its own affair.
//
// Threads: every call comes from the thread that called RunJob, never from
// the job's worker threads, and only while RunJob runs. A front end may
// therefore touch its widgets from any of these calls, and should keep
// itself painted from AddLogLine, the progress bar and Working.
#pragma once

#include <cstdint>
#include <string>

#include "util/key_text.h"

namespace pt {

enum class MsgKind { Error, Warning, Confirmation, Information, Plain };
// The jobs ask whether an existing file may be replaced through
// JobUi::AskReplace, which the window shows as a YesNo box.
enum class MsgButtons { Ok, OkAbort, YesNoCancel, YesNo };
enum class MsgAnswer { Ok, Abort, Yes, No, Cancel };

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetPosition(int percent) = 0;
  virtual int Position() const = 0;
};

// The stretches of bulk work a job reports through JobUi::Working.
enum class JobPhase {
  Reading,        // the source read for its checksum alone
  Compressing,    // the gzip stage of packing
  Writing,        // payload rows into the carrier, or out of it
  Decompressing,  // the gzip stage of unpacking
  Checking,       // the final check of the restored file
};

struct KeyRequest {
  explicit KeyRequest(bool mask = false, bool applyMode = false, bool forNewCarrier = false)
      : maskInput(mask), applyKeyMode(applyMode), newCarrier(forNewCarrier) {}

  bool maskInput = false;     // hidePassword: mask ASCII input, ask twice
  bool applyKeyMode = false;  // first showing in this job: empty the fields
  // Packing: the key makes a new carrier, so a typing error would make it
  // unreadable (the window's dialog follows maskInput alone).
  bool newCarrier = false;
};

struct KeyReply {
  bool ok = false;        // closed with OK (the dialog validated the text)
  bool hexMode = false;   // rbHex checked
  KeyText text;           // text of eEnter
};

class JobUi {
 public:
  virtual ~JobUi() = default;

  virtual void ClearLog() = 0;
  // A front end shows the new line at once (the job does not return to
  // the front end's event loop until it ends).
  virtual void AddLogLine(const std::string& line) = 0;

  virtual ProgressBar& Progress() = 0;
  // Called after every block of bulk work (about 1 MiB, so many times a
  // second) with the bytes done of the phase's total. The window keeps
  // itself painted here; the console program may show a progress line.
  virtual void Working(JobPhase /*phase*/, std::int64_t /*done*/, std::int64_t /*total*/) {}
  // True once the user asked to close the window during the job: the job
  // stops at its next block, removes the files it had begun and logs it.
  virtual bool StopRequested() { return false; }
  virtual void SetBusyCursor(bool busy) = 0;

  // Modal message box; returns the button the user chose.
  virtual MsgAnswer ShowMessage(MsgKind kind, const std::string& text,
                                MsgButtons buttons) = 0;
  // The question whether an existing file may be replaced (Yes replaces; No
  // ends the job, nothing written). A question of its own, so that a
  // standing answer (the console program's --force) answers only this one.
  virtual MsgAnswer AskReplace(const std::string& text) {
    return ShowMessage(MsgKind::Confirmation, text, MsgButtons::YesNo);
  }
  // Modal key entry dialog.
  virtual KeyReply RequestKey(const KeyRequest& request) = 0;

  // The carrier's picture: hidden as a job starts, shown at the job's end
  // when the front end wants it then (the front end applies its size rule).
  virtual void HidePreview() = 0;
  virtual bool ShowCarrierWanted() const { return false; }
  virtual void ShowPreview(const std::string& path) = 0;
  virtual void CopyLogToClipboard() = 0;
};

}  // namespace pt
