#include "tests/gui/gui_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/gui/disclaimer_form.h"
#include "app/gui/options_form.h"
#include "app/gui/password_form.h"

namespace pt::gui::test {

std::string WriteBmp(const QString& dir, const QString& name, int w, int h) {
  QImage img(w, h, QImage::Format_RGB888);
  img.fill(QColor(40, 120, 200));
  const QString path = QDir(dir).filePath(name);
  EXPECT_TRUE(img.save(path, "BMP"));
  return QFile::encodeName(path).toStdString();
}

std::string WriteFile(const QString& dir, const QString& name, const std::string& bytes) {
  const QString path = QDir(dir).filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return QFile::encodeName(path).toStdString();
}

std::string ReadFile(const std::string& path) {
  QFile f(QFile::decodeName(path.c_str()));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

bool FileExists(const std::string& path) {
  return QFileInfo(QFile::decodeName(path.c_str())).isFile();
}

Dialogs::ExecHandler AcceptDisclaimer() {
  return [](QDialog& d) {
    auto& form = dynamic_cast<TDisclaimerForm&>(d);
    form.rbYes->setChecked(true);
    return static_cast<int>(QDialog::Accepted);
  };
}

Dialogs::ExecHandler RefuseDisclaimer() {
  return [](QDialog& d) {
    auto& form = dynamic_cast<TDisclaimerForm&>(d);
    EXPECT_TRUE(form.rbNo->isChecked());
    return static_cast<int>(QDialog::Accepted);
  };
}

Dialogs::ExecHandler TypeKey(const QString& text, bool hex) {
  return [text, hex](QDialog& d) {
    auto& form = dynamic_cast<TPassword_Form&>(d);
    form.setResult(QDialog::Rejected);
    form.show();
    (hex ? form.rbHex : form.rbASCII)->setChecked(true);
    form.eEnter->setText(text);
    if (!form.eReenter->isHidden()) form.eReenter->setText(text);
    QTest::mouseClick(form.bOK, Qt::LeftButton);
    form.hide();
    return form.result();
  };
}

Dialogs::ExecHandler CancelDialog() {
  return [](QDialog&) { return static_cast<int>(QDialog::Rejected); };
}

void WindowTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  dialogs_.SetScripted(true);
}

void WindowTest::TearDown() {
  if (w_) w_->hide();
  w_.reset();
  QApplication::processEvents();
}

std::string WindowTest::Path(const QString& name) const {
  return QFile::encodeName(dir_.filePath(name)).toStdString();
}

void WindowTest::WriteConfig(const std::string& text) {
  WriteFile(dir_.path(), QStringLiteral("pixeltuck.cfg"), text);
}

std::string WindowTest::ReadConfig() const { return ReadFile(ConfigPath()); }

TpixelTuck_Form& WindowTest::Start(std::vector<std::string> args) {
  w_ = std::make_unique<TpixelTuck_Form>(std::move(args), ConfigPath(), dialogs_);
  w_->show();
  for (int i = 0; i < 500 && w_->firstActivation(); ++i) QTest::qWait(5);
  EXPECT_FALSE(w_->firstActivation());
  return *w_;
}

void WindowTest::RunOptions(const std::function<int(TOptionsForm&)>& edit) {
  dialogs_.QueueExec([edit](QDialog& d) {
    auto& form = dynamic_cast<TOptionsForm&>(d);
    form.show();
    const int result = edit(form);
    form.hide();
    return result;
  });
  w_->mOptionsClick();
}

}  // namespace pt::gui::test
