// A JobUi for tests: records everything the job shows and answers message
// boxes and key requests from scripted queues.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "carrier/job_ui.h"

namespace pt::test {

struct ShownMessage {
  MsgKind kind;
  std::string text;
  MsgButtons buttons;
};

class RecordingProgress : public ProgressBar {
 public:
  void SetVisible(bool v) override {
    visible = v;
    ++visibilityChanges;
    if (v && onShown) onShown();
  }
  void SetPosition(int p) override { position = p; positions.push_back(p); }
  int Position() const override { return position; }

  bool visible = false;
  int position = 0;
  int visibilityChanges = 0;
  std::vector<int> positions;
  // Runs whenever the bar is shown: just before a gzip stage or a copy
  // loop reads its first bytes (tests change files there).
  std::function<void()> onShown;
};

class ScriptedUi : public JobUi {
 public:
  // Log
  void ClearLog() override { log.clear(); ++clears; }
  void AddLogLine(const std::string& line) override { log.push_back(line); }

  ProgressBar& Progress() override { return progress; }
  void Working(JobPhase phase, std::int64_t, std::int64_t) override {
    workPhases.push_back(phase);
    if (onWorking) onWorking(phase);
  }
  bool StopRequested() override {
    return stopAfterBlocks >= 0 && static_cast<int>(workPhases.size()) >= stopAfterBlocks;
  }
  void SetBusyCursor(bool b) override { busy = b; }

  MsgAnswer ShowMessage(MsgKind kind, const std::string& text,
                        MsgButtons buttons) override;
  KeyReply RequestKey(const KeyRequest& request) override;

  void HidePreview() override { previewHidden = true; }
  bool ShowCarrierWanted() const override { return showCarrier; }
  void ShowPreview(const std::string& path) override { previews.push_back(path); }
  void CopyLogToClipboard() override { ++clipboardCopies; }

  // Answers, consumed in order. An empty answer queue gives the button that
  // stops the job (Abort, Cancel) or OK for a single-button box.
  std::deque<MsgAnswer> answers;
  std::deque<KeyReply> keys;       // empty: the dialog is cancelled
  // Answer to "replace the existing file?" when the queue is empty.
  MsgAnswer replaceAnswer = MsgAnswer::No;
  // A close request comes once this many blocks were reported (-1: never).
  int stopAfterBlocks = -1;
  // Runs at every reported block (tests throw or change files there).
  std::function<void(JobPhase)> onWorking;
  bool showCarrier = false;  // "Show Bitmap" checked

  // Records
  std::vector<std::string> log;
  std::vector<ShownMessage> messages;        // every box but the replace question
  std::vector<std::string> replaceQuestions;  // texts of "replace the file?" boxes
  std::vector<KeyRequest> keyRequests;
  std::vector<std::string> previews;
  std::vector<JobPhase> workPhases;  // one entry per reported block
  RecordingProgress progress;
  bool busy = false;
  bool previewHidden = false;
  int clears = 0, clipboardCopies = 0;

  // Helpers for assertions
  std::vector<std::string> MessageTexts() const;
  bool LogContains(const std::string& line) const;
};

// A reply from the key dialog closed with OK.
KeyReply AsciiKey(const std::string& text);
KeyReply HexKey(const std::string& text);

}  // namespace pt::test
