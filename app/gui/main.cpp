#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/gui/dialogs.h"
#include "app/gui/main_form.h"
#include "app/gui/path_text.h"
#include "app/gui/program_icon.h"
#include "app/settings_file.h"
#include "carrier/file_io.h"
#include "util/os_process.h"

int main(int argc, char* argv[]) {
  // --help and --version answer before the toolkit starts, so they work
  // without a display.
  if (const auto info = pt::WindowProgramInfo(std::vector<std::string>(argv + 1, argv + argc))) {
    std::fputs(info->c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // SIGINT, SIGTERM and SIGHUP remove the files a running job had begun;
  // a file-size limit makes a write fail instead of killing the program.
  pt::InstallSignalCleanup();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pixelTuck"));
  QApplication::setWindowIcon(pt::gui::ProgramIcon());

  // Qt has taken its own options out of argv; the rest is ours.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // The process list shows argv for as long as the window is open: a -K:
  // key's digits go from there now that they are read.
  pt::WipeKeyArguments(argc, argv, /*keysEndAtDoubleDash=*/false);

  std::string exe = pt::ExecutablePath();
  if (exe.empty()) {
    exe = pt::gui::ProgramText(QCoreApplication::applicationFilePath());
  }

  pt::gui::Dialogs dialogs;
  TpixelTuck_Form pixelTuck_Form(args, pt::SettingsLocationFor(pt::ConfigurationFileFor(exe)),
                                 dialogs);
  pixelTuck_Form.show();
  app.exec();
  return pixelTuck_Form.exitStatus();
}
