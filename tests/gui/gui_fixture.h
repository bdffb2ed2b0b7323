// A main window on a temporary configuration file, with scripted message
// boxes and file dialogs, plus small file helpers for the window tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/dialogs.h"
#include "app/gui/main_form.h"
#include "app/window/window_logic.h"

namespace pt::gui::test {

// Writes a w x h 24-bit BMP file; returns its path.
std::string WriteBmp(const QString& dir, const QString& name, int w, int h);
// Writes bytes to dir/name; returns the path.
std::string WriteFile(const QString& dir, const QString& name, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// A button's caption as the user reads it: without the mnemonic marker.
inline std::string Caption(const QAbstractButton* b) {
  return pt::window::CaptionText(b->text().toStdString());
}

// Exec handlers for the disclaimer.
Dialogs::ExecHandler AcceptDisclaimer();
Dialogs::ExecHandler RefuseDisclaimer();
// Exec handler for the key dialog: types text in the given mode and clicks OK.
Dialogs::ExecHandler TypeKey(const QString& text, bool hex = false);
Dialogs::ExecHandler CancelDialog();

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const QString& name) const;
  std::string ConfigPath() const { return Path(QStringLiteral("pixeltuck.cfg")); }
  void WriteConfig(const std::string& text);
  std::string ReadConfig() const;

  // Creates and shows the window and waits for its first activation.
  TpixelTuck_Form& Start(std::vector<std::string> args = {});
  // Runs the options dialog with a handler that edits it and returns a
  // result code.
  void RunOptions(const std::function<int(TOptionsForm&)>& edit);

  QTemporaryDir dir_;
  Dialogs dialogs_;
  std::unique_ptr<TpixelTuck_Form> w_;
};

}  // namespace pt::gui::test
