// pixeltuck.exe: the Windows window program.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings_file.h"
#include "app/win/main_window.h"
#include "app/win/win_dialogs.h"
#include "carrier/file_io.h"
#include "util/os_process.h"
#include "util/os_text.h"

namespace {

// The arguments after the program name, from the wide command line.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(pt::Utf8Text(argv[i]));
    // This copy holds the key as well.
    if (pt::IsKeyArgument(args.back())) SecureZeroMemory(argv[i], wcslen(argv[i]) * sizeof(wchar_t));
  }
  LocalFree(argv);
  return args;
}

// A -K: key's digits go from every copy of the command line the process
// keeps, above all the one other programs read (the process list).
void WipeKeysFromCommandLine() {
  pt::WipeKeyArgumentsInCommandLine(GetCommandLineW());
  pt::WipeKeyArgumentsInCommandLine(GetCommandLineA());
  if (__wargv != nullptr) {
    for (int i = 1; i < __argc && __wargv[i] != nullptr; ++i)
      if (pt::IsKeyArgument(pt::Utf8Text(__wargv[i])))
        SecureZeroMemory(__wargv[i] + 3, (wcslen(__wargv[i]) - 3) * sizeof(wchar_t));
  }
  if (__argv != nullptr) pt::WipeKeyArguments(__argc, __argv, /*keysEndAtDoubleDash=*/false);
}

// --help and --version: on the console the program was started from, into
// the file or pipe its output goes to, or else in a message box.
void Print(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_CHAR &&
      GetFileType(out) != FILE_TYPE_UNKNOWN) {
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
      const std::wstring wide = pt::WideText(text);
      WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
      CloseHandle(console);
      FreeConsole();
      return;
    }
    FreeConsole();
  }
  pt::win::ShowMessageBox(nullptr, pt::MsgKind::Information, text, pt::MsgButtons::Ok);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  std::vector<std::string> args = Arguments();
  WipeKeysFromCommandLine();
  if (const auto info = pt::WindowProgramInfo(args)) {
    Print(*info);
    return 0;
  }
  // An interrupted process removes the files a running job had begun.
  pt::InstallSignalCleanup();
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);

  pt::win::MainWindow pixelTuck_Form(std::move(args),
                                     pt::SettingsLocationFor(pt::ConfigurationFileFor(pt::ExecutablePath())));
  if (!pixelTuck_Form.Create(show)) return 1;
  return pixelTuck_Form.Run();
}
