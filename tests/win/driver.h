// Drives the Windows window program from outside, as a person would: starts
// it in a folder of its own, finds its windows by class, caption and owner,
// presses controls by their ids, types into edits and reads what the windows
// show. Every wait has a limit; a step that does not happen in time throws a
// Failure that says what was awaited and which windows were open instead.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pt::e2e {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Failures, limits, text

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
[[noreturn]] void Fail(const std::string& what);
void Expect(bool condition, const std::string& what);

// Wine starts a process in a second or two on an idle machine; the machine
// these run on is shared, so the limits are generous.
inline constexpr int kStartLimitMs = 30000;
inline constexpr int kWindowLimitMs = 15000;
inline constexpr int kJobLimitMs = 60000;

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// "a\nb" as one line for messages: line breaks shown as \n.
std::string OneLine(const std::string& text);

// With tracing on, each step of the program's run is printed with the time
// since the program started, to see where a slow case spends it.
void SetTrace(bool on);
void Trace(const std::string& step);

// Calls until() every few milliseconds until it is true; false once limitMs
// have passed.
bool Poll(int limitMs, const std::function<bool()>& until);

// ---------------------------------------------------------------------------
// Files

std::string FileBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const fs::path& folder);
std::string Joined(const std::vector<std::string>& items, const char* separator);

// ---------------------------------------------------------------------------
// Windows

// A top-level window of one process: by class, a caption part and owner.
struct WindowQuery {
  DWORD pid = 0;
  std::wstring className;
  std::wstring captionPart;  // empty: any caption
  int childId = 0;           // not 0: the window must have this child
};

std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
// The visible top-level windows of a process, as "class \"caption\"" lines,
// for failure messages.
std::string WindowsOf(DWORD pid);
HWND FindTopWindow(const WindowQuery& query);
// Waits for the window; `what` names it in the failure.
HWND WaitForWindow(const WindowQuery& query, const std::string& what, int limitMs = kWindowLimitMs);
void WaitWindowGone(HWND hwnd, const std::string& what, int limitMs = kWindowLimitMs);

// A control of a window or dialog; fails when it has none of that id.
HWND Control(HWND parent, int id, const char* name);

// SendMessageTimeout: nullopt when the window's thread did not answer in
// time (a job that runs does not take messages between its blocks).
std::optional<LRESULT> TrySend(HWND hwnd, UINT msg, WPARAM w, LPARAM l, int limitMs);
LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l, const char* what,
             int limitMs = kWindowLimitMs);
// Returns once the window's thread has emptied its queue up to now.
void WaitIdle(HWND hwnd, int limitMs = kWindowLimitMs);

// A push button, pressed: the WM_COMMAND of its click, posted, so that a
// modal dialog it opens does not block the driver.
void Press(HWND parent, int id, const char* name);
// A menu or accelerator command, posted.
void Command(HWND window, int id);
// A check box or radio button put into the state, by clicks (BM_CLICK).
void SetChecked(HWND parent, int id, const char* name, bool checked);
bool IsChecked(HWND parent, int id, const char* name);
void SetText(HWND parent, int id, const char* name, const std::string& utf8);
std::string GetText(HWND parent, int id, const char* name);
// A drop-down list's selection, and its notification to the parent.
void Select(HWND parent, int id, const char* name, int index);
int Selected(HWND parent, int id, const char* name);
// A key pressed and released in the window that has the keyboard focus in
// the window's thread (the window itself when none has).
void PressKey(HWND window, UINT virtualKey);

// The lines of a list box; nullopt while its thread is busy.
std::optional<std::vector<std::string>> TryListLines(HWND list, int limitMs = 1000);

// The texts of a dialog's or message box's static controls, in child order.
std::vector<std::string> StaticTexts(HWND dialog);
// True when one static text of the dialog is exactly `text`.
bool ShowsText(HWND dialog, const std::string& text);

// ---------------------------------------------------------------------------
// The program

// pixeltuck.exe copied into a folder of its own, so that its settings file
// is private to the case, and started there.
class Program {
 public:
  Program(const fs::path& exe, const fs::path& folder);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  // A program still running is asked to close, then ended.
  ~Program();

  const fs::path& Folder() const { return folder_; }
  fs::path ConfigPath() const { return folder_ / "pixeltuck.cfg"; }
  void WriteConfig(const std::string& line) const;
  std::string Config() const;

  void Start(const std::vector<std::string>& args = {});
  DWORD Pid() const { return info_.dwProcessId; }
  bool Running() const;
  // The exit status; fails when the program still runs after limitMs.
  DWORD WaitExit(int limitMs, const std::string& what);

  // The main window, shown.
  HWND MainWindow(int limitMs = kStartLimitMs);
  // A dialog of the program's own class with the caption part or child id.
  HWND WaitDialog(const std::wstring& captionPart, int childId, const std::string& what,
                  int limitMs = kWindowLimitMs);
  // A message box (the program's own box of a text and buttons).
  HWND WaitMessageBox(const std::string& what, int limitMs = kWindowLimitMs);
  HWND FindMessageBox() const;
  // The message box's text, answered with the button; the box must close.
  std::string Answer(HWND box, int button);

  // Waits until no job runs (the Options button is off only while one
  // does): a command given earlier would reach the job instead.
  void WaitNoJob(int limitMs = kJobLimitMs);
  // Answers the file-open dialog of a user-started job with the file.
  void OpenFile(const fs::path& file);

  // Log lines of the main window; fails when its thread stays busy.
  std::vector<std::string> Log(int limitMs = kWindowLimitMs);
  // Waits until the log's last line starts with "Ready in"; any message box
  // that comes up instead fails the wait with its text.
  std::vector<std::string> WaitJobEnd(int limitMs = kJobLimitMs);
  // Closes the main window by its Close command and waits for the exit.
  DWORD Close();

 private:
  fs::path exe_;
  fs::path folder_;
  PROCESS_INFORMATION info_{};
  HWND main_ = nullptr;
};

// Joins the lines for a failure message.
std::string LogText(const std::vector<std::string>& lines);
bool HasLine(const std::vector<std::string>& lines, const std::string& line);

}  // namespace pt::e2e
