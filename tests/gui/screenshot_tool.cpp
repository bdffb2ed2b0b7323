// Builds the real windows, runs one packing job with "Show Bitmap" checked
// and saves each window and message box as a PNG file.
// Usage: pixeltuck_screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/gui/dialogs.h"
#include "app/gui/disclaimer_form.h"
#include "app/gui/main_form.h"
#include "app/gui/options_form.h"
#include "app/gui/password_form.h"

namespace {

// The window as the screen shows it, with the window manager's frame and
// title when one runs.
bool Save(QWidget& w, const QString& dir, const char* name) {
  QTest::qWait(300);
  const QString path = QDir(dir).filePath(QString::fromLatin1(name));
  const QRect frame = w.frameGeometry();
  QPixmap shot = w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  if (shot.isNull()) shot = w.grab();
  const bool ok = shot.save(path, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
  return ok;
}

// Saves the modal box that `show` opens, then closes it.
bool SaveModal(const QString& dir, const char* name, const std::function<void()>& show) {
  bool ok = false;
  QTimer::singleShot(400, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ok = Save(*box, dir, name);
      box->close();
    }
  });
  show();
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pixelTuck"));
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir work;
  const QString cfg = QDir(work.path()).filePath(QStringLiteral("pixeltuck.cfg"));
  {
    QFile f(cfg);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write("2 1 -1 1 0 0 1 0 1 zip,gz,arj,rar,lzh,cab,z,bz2,msi 1");
  }
  const QString source = QDir(work.path()).filePath(QStringLiteral("holiday-notes.txt"));
  {
    QFile f(source);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    for (int i = 0; i < 4000; ++i)
      f.write(QByteArray::number(i * 7919 % 10007) + " lines of notes to hide\n");
  }

  pt::gui::Dialogs dialogs;
  dialogs.SetScripted(true);
  TpixelTuck_Form window({}, QFile::encodeName(cfg).toStdString(), dialogs);
  window.show();
  for (int i = 0; i < 500 && window.firstActivation(); ++i) QTest::qWait(10);

  bool ok = true;
  window.DisclaimerForm->show();
  ok &= Save(*window.DisclaimerForm, out, "disclaimer.png");
  window.DisclaimerForm->hide();

  window.runState().commandLineKey = pt::KeyText("00112233445566778899AABBCCDDEEFF0011223344556677");
  dialogs.QueueFile(QFile::encodeName(source).toStdString());
  window.mOpenClick();
  ok &= Save(window, out, "main-window.png");

  window.OptionsForm->ShowSettings(window.settings());
  window.OptionsForm->show();
  ok &= Save(*window.OptionsForm, out, "options.png");
  window.OptionsForm->hide();

  TPassword_Form& key = *window.Password_Form;
  key.maskInput = true;
  key.rbASCII->setChecked(true);
  key.ApplyKeyMode();
  key.show();
  QTest::keyClicks(key.eEnter, QStringLiteral("a secret key"));
  QTest::keyClicks(key.eReenter, QStringLiteral("a secret"));
  ok &= Save(key, out, "key-dialog.png");
  key.hide();

  key.rbHex->setChecked(true);
  key.show();
  QTest::keyClicks(key.eEnter, QStringLiteral("00112233445566778899AABBCCDDEEFF"));
  ok &= Save(key, out, "key-dialog-hex.png");
  key.hide();

  // The about box and message boxes, shown for real and grabbed while they
  // wait.
  dialogs.SetScripted(false);
  ok &= SaveModal(out, "about.png", [&] { window.Info1Click(); });
  ok &= SaveModal(out, "user-abort.png", [&] {
    window.ShowMessage(pt::MsgKind::Confirmation, "User Abort !", pt::MsgButtons::Ok);
  });
  ok &= SaveModal(out, "version-warning.png", [&] {
    window.ShowMessage(pt::MsgKind::Warning,
                       "Warning !!!\nThe version of the file you've try to decode is newer\n"
                       "than the version of the pixelTuck you're currently using\n\n"
                       "You may not be able to decode the file correctly\n"
                       "A newer version of pixelTuck is needed for this file:\n"
                       "ask whoever gave it to you which version made it.\n"
                       "\nCurrent version of file\t\t\t = 0.5"
                       "\nCurrent file version of pixelTuck\t = 0.4\n",
                       pt::MsgButtons::OkAbort);
  });
  ok &= SaveModal(out, "replace-question.png", [&] {
    window.ShowMessage(pt::MsgKind::Confirmation,
                       "File <holiday-notes.txt> already exists.\nReplace it ?",
                       pt::MsgButtons::YesNo);
  });
  ok &= SaveModal(out, "key-refused.png", [&] {
    key.maskInput = false;
    key.rbASCII->setChecked(true);
    key.ApplyKeyMode();
    key.show();
    key.eEnter->setText(QString::fromUtf8("\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87-\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87"));
    key.bOKClick();
  });
  key.hide();
  dialogs.SetScripted(true);

  window.close();
  return ok ? 0 : 1;
}
