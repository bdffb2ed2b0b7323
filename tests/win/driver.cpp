#include "tests/win/driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/win/control_ids.h"

namespace pt::e2e {

namespace id = pt::win::id;

// ---------------------------------------------------------------------------
// Failures, limits, text

void Fail(const std::string& what) { throw Failure(what); }

void Expect(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

namespace {
bool tracing = false;
ULONGLONG traceStart = 0;
}  // namespace

void SetTrace(bool on) { tracing = on; }

void Trace(const std::string& step) {
  if (!tracing) return;
  std::printf("             %6llu ms  %s\n", GetTickCount64() - traceStart, step.c_str());
  std::fflush(stdout);
}

bool Poll(int limitMs, const std::function<bool()>& until) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(limitMs);
  for (;;) {
    if (until()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(25);
  }
}

// ---------------------------------------------------------------------------
// Files

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + Utf8(path.wstring()));
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) Fail("cannot write " + Utf8(path.wstring()));
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(Utf8(entry.path().filename().wstring()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += separator;
    out += items[i];
  }
  return out;
}

// ---------------------------------------------------------------------------
// Windows

namespace {

// A caption or class name of a window of another process, without sending
// it a message.
std::wstring CaptionOf(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

std::wstring WideClassOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

struct Search {
  const WindowQuery* query;
  HWND found = nullptr;
  std::vector<HWND> all;
};

BOOL CALLBACK OnTopWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->query->pid || !IsWindowVisible(hwnd)) return TRUE;
  search->all.push_back(hwnd);
  const WindowQuery& q = *search->query;
  if (!q.className.empty() && _wcsicmp(WideClassOf(hwnd).c_str(), q.className.c_str()) != 0) {
    return TRUE;
  }
  if (!q.captionPart.empty() && CaptionOf(hwnd).find(q.captionPart) == std::wstring::npos) {
    return TRUE;
  }
  if (q.childId != 0 && GetDlgItem(hwnd, q.childId) == nullptr) return TRUE;
  if (!search->found) search->found = hwnd;
  return TRUE;
}

BOOL CALLBACK OnChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

std::string ControlName(HWND parent, int id, const char* name) {
  return std::string(name) + " (id " + std::to_string(id) + ") of \"" +
         Utf8(CaptionOf(parent)) + "\"";
}

}  // namespace

std::string ClassOf(HWND hwnd) { return Utf8(WideClassOf(hwnd)); }

std::string TextOf(HWND hwnd) {
  const auto length = TrySend(hwnd, WM_GETTEXTLENGTH, 0, 0, 2000);
  if (!length) return Utf8(CaptionOf(hwnd));
  std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
  const auto got = TrySend(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           2000);
  text.resize(got ? static_cast<size_t>(*got) : 0);
  return Utf8(text);
}

std::string WindowsOf(DWORD pid) {
  WindowQuery any{pid, L"", L"", 0};
  Search search{&any, nullptr, {}};
  EnumWindows(OnTopWindow, reinterpret_cast<LPARAM>(&search));
  if (search.all.empty()) return "no windows";
  std::vector<std::string> lines;
  for (HWND h : search.all) {
    lines.push_back(ClassOf(h) + " \"" + OneLine(Utf8(CaptionOf(h))) + "\"");
  }
  return Joined(lines, ", ");
}

HWND FindTopWindow(const WindowQuery& query) {
  Search search{&query, nullptr, {}};
  EnumWindows(OnTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const WindowQuery& query, const std::string& what, int limitMs) {
  HWND found = nullptr;
  if (Poll(limitMs, [&] { return (found = FindTopWindow(query)) != nullptr; })) return found;
  Fail("no " + what + " within " + std::to_string(limitMs / 1000) + " s; open windows: " +
       WindowsOf(query.pid));
}

void WaitWindowGone(HWND hwnd, const std::string& what, int limitMs) {
  if (!Poll(limitMs, [&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); })) {
    Fail(what + " still open after " + std::to_string(limitMs / 1000) + " s");
  }
}

HWND Control(HWND parent, int id, const char* name) {
  HWND control = GetDlgItem(parent, id);
  if (!control) Fail("no control " + ControlName(parent, id, name));
  return control;
}

std::optional<LRESULT> TrySend(HWND hwnd, UINT msg, WPARAM w, LPARAM l, int limitMs) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, w, l, SMTO_NORMAL, static_cast<UINT>(limitMs), &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l, const char* what, int limitMs) {
  const auto result = TrySend(hwnd, msg, w, l, limitMs);
  if (!result) {
    Fail(std::string(what) + ": the window \"" + Utf8(CaptionOf(hwnd)) + "\" did not answer in " +
         std::to_string(limitMs / 1000) + " s");
  }
  return *result;
}

void WaitIdle(HWND hwnd, int limitMs) { Send(hwnd, WM_NULL, 0, 0, "waiting for idle", limitMs); }

void Press(HWND parent, int id, const char* name) {
  HWND button = Control(parent, id, name);
  Expect(IsWindowEnabled(button) != FALSE, ControlName(parent, id, name) + " is disabled");
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Command(HWND window, int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool IsChecked(HWND parent, int id, const char* name) {
  return Send(Control(parent, id, name), BM_GETCHECK, 0, 0, name) == BST_CHECKED;
}

void SetChecked(HWND parent, int id, const char* name, bool checked) {
  if (IsChecked(parent, id, name) == checked) return;
  HWND control = Control(parent, id, name);
  Expect(IsWindowEnabled(control) != FALSE, ControlName(parent, id, name) + " is disabled");
  Send(control, BM_CLICK, 0, 0, name);
  Expect(IsChecked(parent, id, name) == checked,
         "a click did not " + std::string(checked ? "check " : "clear ") +
             ControlName(parent, id, name));
}

void SetText(HWND parent, int id, const char* name, const std::string& utf8) {
  const std::wstring text = Wide(utf8);
  Send(Control(parent, id, name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), name);
}

std::string GetText(HWND parent, int id, const char* name) {
  return TextOf(Control(parent, id, name));
}

void Select(HWND parent, int id, const char* name, int index) {
  HWND combo = Control(parent, id, name);
  Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, name);
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

int Selected(HWND parent, int id, const char* name) {
  return static_cast<int>(Send(Control(parent, id, name), CB_GETCURSEL, 0, 0, name));
}

void PressKey(HWND window, UINT virtualKey) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus) {
    target = gui.hwndFocus;
  }
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageW(target, WM_KEYUP, virtualKey,
               static_cast<LPARAM>(static_cast<ULONG_PTR>(scan) | 1 | (1u << 30) | (1u << 31)));
}

std::optional<std::vector<std::string>> TryListLines(HWND list, int limitMs) {
  const auto count = TrySend(list, LB_GETCOUNT, 0, 0, limitMs);
  if (!count || *count == LB_ERR) return std::nullopt;
  std::vector<std::string> lines;
  for (LRESULT i = 0; i < *count; ++i) {
    const auto length = TrySend(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, limitMs);
    if (!length || *length == LB_ERR) return std::nullopt;
    std::wstring line(static_cast<size_t>(*length) + 1, L'\0');
    const auto got = TrySend(list, LB_GETTEXT, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(line.data()), limitMs);
    if (!got || *got == LB_ERR) return std::nullopt;
    line.resize(static_cast<size_t>(*got));
    lines.push_back(Utf8(line));
  }
  return lines;
}

std::vector<std::string> StaticTexts(HWND dialog) {
  std::vector<HWND> children;
  EnumChildWindows(dialog, OnChild, reinterpret_cast<LPARAM>(&children));
  std::vector<std::string> texts;
  for (HWND child : children) {
    if (_wcsicmp(WideClassOf(child).c_str(), L"Static") != 0 || !IsWindowVisible(child)) continue;
    const LONG type = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP) continue;
    std::string text = TextOf(child);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  return texts;
}

bool ShowsText(HWND dialog, const std::string& text) {
  const auto texts = StaticTexts(dialog);
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// ---------------------------------------------------------------------------
// The program

namespace {

std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

// The file-open dialog's file name field: the combo box of the Explorer
// style dialog, or the edit of the old style.
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

}  // namespace

Program::Program(const fs::path& exe, const fs::path& folder) : exe_(folder / "pixeltuck.exe"),
                                                                 folder_(folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  // (std::filesystem::copy_file of this libstdc++ does not replace a file.)
  if (!CopyFileW(exe.c_str(), exe_.c_str(), FALSE)) {
    Fail("cannot copy " + Utf8(exe.wstring()) + " to " + Utf8(folder.wstring()) + " (error " +
         std::to_string(GetLastError()) + ")");
  }
}

Program::~Program() {
  if (!info_.hProcess) return;
  if (Running()) {
    if (main_ && IsWindow(main_)) PostMessageW(main_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info_.hProcess, 3000) != WAIT_OBJECT_0) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 5000);
    }
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

void Program::WriteConfig(const std::string& line) const { WriteBytes(ConfigPath(), line); }

std::string Program::Config() const {
  Expect(fs::exists(ConfigPath()), "no settings file " + Utf8(ConfigPath().wstring()));
  return FileBytes(ConfigPath());
}

void Program::Start(const std::vector<std::string>& args) {
  Expect(info_.hProcess == nullptr, "the program was started twice");
  std::wstring commandLine = Quoted(exe_.wstring());
  for (const auto& arg : args) commandLine += L" " + Quoted(Wide(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder_.c_str(), &startup, &info_)) {
    info_ = {};
    Fail("cannot start " + Utf8(exe_.wstring()) + " (error " + std::to_string(GetLastError()) +
         ")");
  }
  main_ = nullptr;
  traceStart = GetTickCount64();
  Trace("started");
}

bool Program::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Program::WaitExit(int limitMs, const std::string& what) {
  Trace("waiting for the exit " + what);
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(limitMs)) != WAIT_OBJECT_0) {
    Fail("the program still runs " + std::to_string(limitMs / 1000) + " s " + what +
         "; open windows: " + WindowsOf(Pid()));
  }
  DWORD status = 0;
  GetExitCodeProcess(info_.hProcess, &status);
  Trace("ended with " + std::to_string(status));
  return status;
}

HWND Program::MainWindow(int limitMs) {
  if (main_ && IsWindow(main_)) return main_;
  const WindowQuery query{Pid(), id::kMainClass, L"", 0};
  if (!Poll(limitMs, [&] { return (main_ = FindTopWindow(query)) != nullptr || !Running(); }) ||
      !main_) {
    if (!Running()) Fail("the program ended before its main window showed");
    Fail("no main window within " + std::to_string(limitMs / 1000) + " s; open windows: " +
         WindowsOf(Pid()));
  }
  Trace("main window");
  return main_;
}

HWND Program::WaitDialog(const std::wstring& captionPart, int childId, const std::string& what,
                         int limitMs) {
  HWND dialog = WaitForWindow({Pid(), id::kDialogClass, captionPart, childId}, what, limitMs);
  Trace(what);
  return dialog;
}

HWND Program::FindMessageBox() const {
  return FindTopWindow({Pid(), id::kDialogClass, L"", id::sMessage});
}

HWND Program::WaitMessageBox(const std::string& what, int limitMs) {
  HWND box = nullptr;
  if (Poll(limitMs, [&] { return (box = FindMessageBox()) != nullptr || !Running(); }) && box) {
    Trace(what);
    return box;
  }
  if (!Running()) Fail("the program ended while waiting for " + what);
  Fail("no message box (" + what + ") within " + std::to_string(limitMs / 1000) +
       " s; open windows: " + WindowsOf(Pid()));
}

std::string Program::Answer(HWND box, int button) {
  const std::string text = Joined(StaticTexts(box), "\n");
  if (!GetDlgItem(box, button)) {
    Fail("the box \"" + OneLine(text) + "\" has no button of id " + std::to_string(button));
  }
  Press(box, button, "answer");
  WaitWindowGone(box, "the box \"" + OneLine(text) + "\"");
  Trace("answered");
  return text;
}

void Program::WaitNoJob(int limitMs) {
  HWND options = Control(MainWindow(), id::bbOptions, "bbOptions");
  if (!Poll(limitMs, [&] { return IsWindowEnabled(options) || !Running(); }) || !Running()) {
    Fail(Running() ? "a job still runs after " + std::to_string(limitMs / 1000) + " s"
                   : "the program ended");
  }
}

void Program::OpenFile(const fs::path& file) {
  HWND dialog = nullptr;
  int field = 0;
  const bool shown = Poll(kWindowLimitMs, [&] {
    for (int candidate : {kFileNameCombo, kFileNameEdit}) {
      dialog = FindTopWindow({Pid(), L"#32770", L"", candidate});
      if (dialog) {
        field = candidate;
        return true;
      }
    }
    return !Running();
  });
  if (!shown || !dialog) Fail("no file-open dialog; open windows: " + WindowsOf(Pid()));
  Trace("file-open dialog");
  const std::wstring path = file.wstring();
  Send(GetDlgItem(dialog, field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
       "file name field");
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  WaitWindowGone(dialog, "the file-open dialog");
  Trace("file chosen");
}

std::vector<std::string> Program::Log(int limitMs) {
  HWND list = Control(MainWindow(), id::ListBox, "ListBox");
  std::optional<std::vector<std::string>> lines;
  if (!Poll(limitMs, [&] { return (lines = TryListLines(list)).has_value(); })) {
    Fail("the log could not be read within " + std::to_string(limitMs / 1000) + " s");
  }
  return *lines;
}

std::vector<std::string> Program::WaitJobEnd(int limitMs) {
  HWND list = Control(MainWindow(), id::ListBox, "ListBox");
  std::vector<std::string> lines;
  std::string problem;
  const bool ended = Poll(limitMs, [&] {
    if (HWND box = FindMessageBox()) {
      problem = "a message box came up: \"" + OneLine(Joined(StaticTexts(box), "\n")) + "\"";
      return true;
    }
    if (!Running()) {
      problem = "the program ended";
      return true;
    }
    if (auto got = TryListLines(list, 500)) lines = std::move(*got);
    return !lines.empty() && lines.back().rfind("Ready in (hh:mm:ss) = ", 0) == 0;
  });
  if (!problem.empty()) Fail("job: " + problem + "; log: " + LogText(lines));
  if (!ended) {
    Fail("the job did not end within " + std::to_string(limitMs / 1000) + " s; log: " +
         LogText(lines));
  }
  WaitNoJob();
  Trace("job ended");
  return lines;
}

DWORD Program::Close() {
  Command(MainWindow(), id::mClose);
  return WaitExit(kWindowLimitMs, "after its Close command");
}

std::string LogText(const std::vector<std::string>& lines) {
  return lines.empty() ? "(empty)" : OneLine(Joined(lines, " | "));
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace pt::e2e
