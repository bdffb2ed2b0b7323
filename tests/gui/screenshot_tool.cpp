// Builds the real windows, runs one packing job with "Show Bitmap" checked
// and saves each window as a PNG file. Usage: pixeltuck_screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/gui/dialogs.h"
#include "app/gui/disclaimer_form.h"
#include "app/gui/main_form.h"
#include "app/gui/options_form.h"
#include "crypto/ui/password_form.h"

namespace {

bool Save(QWidget& w, const QString& dir, const char* name) {
  QTest::qWait(200);
  const QString path = QDir(dir).filePath(QString::fromLatin1(name));
  const bool ok = w.grab().save(path, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
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
  ok &= Save(*window.DisclaimerForm, out, "disclaimer.png");

  window.runState().commandLineKey = "00112233445566778899AABBCCDDEEFF0011223344556677";
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

  // The about box, shown for real and grabbed while it waits.
  dialogs.SetScripted(false);
  QTimer::singleShot(300, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ok &= Save(*box, out, "about.png");
      box->close();
    }
  });
  window.Info1Click();
  dialogs.SetScripted(true);

  window.close();
  return ok ? 0 : 1;
}
