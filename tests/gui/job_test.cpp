// Packing and unpacking started from the EnCode/DeCode button, with the file
// dialog and the key dialog answered by the test.
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QTimer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <ostream>

#include "app/gui/password_form.h"
#include "carrier/carrier_format.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/named_case.h"

namespace pt::gui::test {
namespace {

std::string Payload(std::size_t n) {
  std::string s;
  unsigned x = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s.push_back(static_cast<char>(x >> 16));
  }
  return s;
}

class JobTest : public WindowTest {
 protected:
  std::vector<std::string> Log() const {
    std::vector<std::string> out;
    for (int i = 0; i < w_->ListBox->count(); ++i)
      out.push_back(w_->ListBox->item(i)->text().toStdString());
    return out;
  }
  bool LogHas(const std::string& line) const {
    const auto log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  bool LogMentions(const std::string& text) const {
    for (const auto& l : Log())
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_F(JobTest, CancelledFileDialogDoesNothing) {
  WriteConfig("0 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  dialogs_.QueueFile(std::nullopt);
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  EXPECT_EQ(dialogs_.fileDialogs(), 1);
  EXPECT_EQ(w_->ListBox->count(), 0);
  EXPECT_EQ(w_->lastOutcome().end, JobEnd::NoFile);
}

TEST_F(JobTest, PackAndUnpackWithoutCipher) {
  WriteConfig("0 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  ASSERT_EQ(w_->cbEncMethod->currentIndex(), 0);
  w_->cbShow->setChecked(true);
  const std::string data = Payload(20000);
  const std::string source = WriteFile(dir_.path(), QStringLiteral("report.doc"), data);
  dialogs_.QueueFile(source);
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  ASSERT_EQ(w_->lastOutcome().end, JobEnd::Completed) << ::testing::PrintToString(Log());
  const std::string carrier = Path(QStringLiteral("report.bmp"));
  EXPECT_TRUE(FileExists(carrier));
  EXPECT_EQ(Log().front(), "Try to encode file:");
  EXPECT_TRUE(LogHas("-> \"report.doc\""));
  EXPECT_TRUE(LogMentions("Ready in (hh:mm:ss) = "));
  EXPECT_FALSE(w_->ProgressBar->isVisible());
  // The carrier is shown scaled into the preview panel.
  EXPECT_TRUE(w_->Image->isVisible());
  EXPECT_EQ(w_->Image->x(), 2);
  EXPECT_EQ(w_->Image->width(), 344);
  EXPECT_EQ(w_->FirstVisibleLine(), std::max(0, w_->ListBox->count() - 22));

  ASSERT_EQ(std::remove(source.c_str()), 0);
  dialogs_.QueueFile(carrier);
  w_->mOpen->trigger();
  ASSERT_EQ(w_->lastOutcome().end, JobEnd::Completed) << ::testing::PrintToString(Log());
  EXPECT_EQ(Log().front(), "Try to decode file:");
  EXPECT_TRUE(LogHas("Showing Bitmapfile ..."));
  EXPECT_EQ(ReadFile(source), data);
  EXPECT_TRUE(dialogs_.shown().empty()) << ::testing::PrintToString(dialogs_.ShownTexts());
}

// A key typed with umlauts and the euro sign packs with the Windows-1252
// bytes of its characters: the same hex key from the command line unpacks it.
TEST_F(JobTest, PackWithTwofishAndTheKeyDialogUnpackWithTheSameBytesInHex) {
  WriteConfig("2 1 -1 0 0 1 1 0 1 zip 1");  // copyLog set
  Start();
  ASSERT_EQ(w_->cbEncMethod->currentText(), QStringLiteral("TwoFish"));
  const std::string data = Payload(5000);
  const std::string source = WriteFile(dir_.path(), QStringLiteral("notes.txt"), data);
  const QString key = QString::fromUtf8("correct horse \xC3\xA4\xC3\xB6\xC3\xBC\xE2\x82\xAC");
  dialogs_.QueueFile(source);
  dialogs_.QueueExec(TypeKey(key));
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  ASSERT_EQ(w_->lastOutcome().end, JobEnd::Completed) << ::testing::PrintToString(Log());
  EXPECT_TRUE(LogMentions("TwoFish encryption method"));
  EXPECT_FALSE(LogMentions("correct horse"));
  // The job has its key bytes: the dialog no longer holds the key.
  EXPECT_TRUE(w_->Password_Form->eEnter->text().isEmpty());
  // copyLog: the log went to the clipboard.
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(
      QStringLiteral("Try to encode file:\r\n")));
  const std::string carrier = Path(QStringLiteral("notes.bmp"));
  ASSERT_TRUE(FileExists(carrier));
  EXPECT_EQ(ReadFile(carrier).find(data.substr(0, 64)), std::string::npos);

  ASSERT_EQ(std::remove(source.c_str()), 0);
  // "correct horse " in ASCII, then E4 F6 FC 80 from the Windows-1252 table.
  w_->runState().commandLineKey = KeyText("636F727265637420686F72736520E4F6FC80");
  dialogs_.QueueFile(carrier);
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  ASSERT_EQ(w_->lastOutcome().end, JobEnd::Completed) << ::testing::PrintToString(Log());
  EXPECT_EQ(ReadFile(source), data);
}

TEST_F(JobTest, CancelledKeyDialogLeavesTheLogEmpty) {
  WriteConfig("2 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  const std::string source = WriteFile(dir_.path(), QStringLiteral("a.txt"), "abcdef");
  dialogs_.QueueFile(source);
  dialogs_.QueueExec(CancelDialog());
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  EXPECT_EQ(w_->lastOutcome().end, JobEnd::Cancelled);
  EXPECT_EQ(w_->ListBox->count(), 0);
  EXPECT_FALSE(FileExists(Path(QStringLiteral("a.bmp"))));
}

TEST_F(JobTest, CommandLineJobWithExitClosesAndSaves) {
  WriteConfig("0 1 -1 0 1 0 1 0 1 zip 0");
  const std::string data = Payload(3000);
  const std::string source = WriteFile(dir_.path(), QStringLiteral("cl.dat"), data);
  Start({"-T", "-S", "-K:00112233445566778899AABBCCDDEEFF", source});
  EXPECT_EQ(w_->jobsStarted(), 1);
  EXPECT_EQ(w_->lastOutcome().end, JobEnd::Completed) << ::testing::PrintToString(Log());
  EXPECT_TRUE(LogMentions("TwoFish encryption method"));
  EXPECT_FALSE(w_->isVisible());
  EXPECT_TRUE(FileExists(Path(QStringLiteral("cl.bmp"))));
  EXPECT_TRUE(w_->runState().commandLineKey.empty());
  EXPECT_EQ(ReadConfig(), "0 1 -1 0 1 0 1 0 1 zip 1");
}

TEST_F(JobTest, UserStartedJobDoesNotExitEvenWithExitSet) {
  WriteConfig("0 1 -1 0 1 0 1 0 1 zip 1");
  Start();
  const std::string source = WriteFile(dir_.path(), QStringLiteral("u.dat"), Payload(100));
  dialogs_.QueueFile(source);
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  EXPECT_EQ(w_->lastOutcome().end, JobEnd::Completed);
  EXPECT_TRUE(w_->isVisible());
}

// Closing the window during a job: the job is asked to stop and the window
// closes (saving the settings) only when the job has returned.
TEST_F(JobTest, CloseDuringTheJobIsActedOnWhenItReturns) {
  WriteConfig("2 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  const std::string source = WriteFile(dir_.path(), QStringLiteral("c.dat"), Payload(50000));
  dialogs_.QueueFile(source);
  dialogs_.QueueExec([this](QDialog& d) {
    QCloseEvent close;
    QCoreApplication::sendEvent(w_->windowHandle(), &close);
    EXPECT_TRUE(w_->isVisible());
    EXPECT_TRUE(w_->StopRequested());
    return TypeKey(QStringLiteral("a key of some length"))(d);
  });
  QTest::mouseClick(w_->bbOpen, Qt::LeftButton);
  EXPECT_FALSE(w_->jobRunning());
  EXPECT_FALSE(w_->isVisible());
  EXPECT_EQ(ReadConfig(), "2 1 -1 0 0 0 1 0 1 zip 1");
}

// What may stop a long command-line job while it runs, and whether the
// window stays open afterwards.
struct StopCase : pt::test::NamedCase {
  void (*act)(TpixelTuck_Form&);
  bool windowStays;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class StopTest : public JobTest, public ::testing::WithParamInterface<StopCase> {
 protected:
  QStringList Files() const {
    return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }
};

TEST_P(StopTest, JobStopsAndLeavesNothing) {
  const StopCase c = GetParam();
  WriteConfig("2 0 -1 0 1 0 1 0 1 zip 1");  // TwoFish, never compress, exit after
  WriteFile(dir_.path(), QStringLiteral("long.dat"), Payload(48u << 20));
  const QStringList before = Files();
  // Acts once, from within the job, when it has begun its bulk work.
  bool acted = false, stopShown = false, optionsOff = false;
  QTimer poll;
  poll.setInterval(0);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (acted || !w_ || !w_->jobRunning() || !w_->ProgressBar->isVisible()) return;
    acted = true;
    stopShown = w_->bbOpen->text() == QStringLiteral("Stop") && w_->bbOpen->isEnabled();
    optionsOff = !w_->bbOptions->isEnabled() && !w_->cbEncMethod->isEnabled();
    c.act(*w_);
  });
  poll.start();
  Start({"-K:00112233445566778899AABBCCDDEEFF", Path(QStringLiteral("long.dat"))});
  poll.stop();
  ASSERT_TRUE(acted) << "the job ended before it could be stopped";
  EXPECT_TRUE(stopShown);
  EXPECT_TRUE(optionsOff);
  EXPECT_EQ(w_->lastOutcome().end, JobEnd::Cancelled);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(w_->isVisible(), c.windowStays);
  if (!c.windowStays) return;
  EXPECT_TRUE(LogHas("Job interrupted: the files it had begun were removed."));
  EXPECT_EQ(w_->bbOpen->text(), QStringLiteral("EnCode/DeCode"));
  EXPECT_TRUE(w_->bbOptions->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, StopTest,
    ::testing::Values(
        StopCase{"Escape", [](TpixelTuck_Form& w) { QTest::keyClick(&w, Qt::Key_Escape); },
                 true},
        StopCase{"StopButton",
                 [](TpixelTuck_Form& w) { QTest::mouseClick(w.bbOpen, Qt::LeftButton); }, true},
        StopCase{"CloseButton",
                 [](TpixelTuck_Form& w) { QTest::mouseClick(w.bbClose, Qt::LeftButton); },
                 false},
        StopCase{"CtrlF4",
                 [](TpixelTuck_Form& w) {
                   QTest::keyClick(&w, Qt::Key_F4, Qt::ControlModifier);
                 },
                 false}),
    pt::test::CaseName());

// A restored file that fails its final check is named in a warning box, and
// a command-line job that closes the window then ends the program with a
// failure status.
TEST_F(JobTest, FailedFinalCheckWarnsAndSetsTheExitStatus) {
  WriteConfig("0 0 -1 0 1 0 1 0 1 zip 1");  // no cipher, never compress, exit after
  Start();
  const std::string source = WriteFile(dir_.path(), QStringLiteral("f.dat"), Payload(5000));
  dialogs_.QueueFile(source);
  w_->mOpenClick();
  ASSERT_EQ(w_->lastOutcome().end, JobEnd::Completed);
  EXPECT_EQ(w_->exitStatus(), 0);
  w_->close();
  std::remove(source.c_str());
  const std::string carrier = Path(QStringLiteral("f.bmp"));
  std::string bytes = ReadFile(carrier);
  bytes[kLeadingBytes + 100] ^= 0x01;  // one payload byte
  WriteFile(dir_.path(), QStringLiteral("f.bmp"), bytes);
  dialogs_.ClearShown();

  Start({carrier});
  EXPECT_TRUE(w_->lastOutcome().checksumError);
  EXPECT_TRUE(LogHas("-> Checksum ERROR !!!"));
  ASSERT_FALSE(dialogs_.shown().empty());
  EXPECT_EQ(dialogs_.shown().back().kind, MsgKind::Warning);
  EXPECT_EQ(dialogs_.shown().back().text, pt::window::kChecksumWarning);
  EXPECT_FALSE(w_->isVisible());
  EXPECT_EQ(w_->exitStatus(), 1);
}

struct DropCase : pt::test::NamedCase {
  bool accepted;  // the disclaimer, and with it the command
  int files;
};

class DropTest : public JobTest, public ::testing::WithParamInterface<DropCase> {};

// A file dropped on the window is packed as if chosen in the file dialog,
// which then opens in that file's folder; refused while the command is off.
TEST_P(DropTest, OneFileRunsTheCommandWhileItIsEnabled) {
  const DropCase c = GetParam();
  if (c.accepted) {
    WriteConfig("0 1 -1 0 0 0 1 0 1 zip 1");
  } else {
    dialogs_.QueueExec(RefuseDisclaimer());
  }
  Start();
  const std::string source = WriteFile(dir_.path(), QStringLiteral("dropped.txt"), Payload(3000));
  QMimeData mime;
  QList<QUrl> urls(c.files, QUrl::fromLocalFile(QFile::decodeName(source.c_str())));
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w_.get(), &enter);
  const bool runs = c.accepted && c.files == 1;
  EXPECT_EQ(enter.isAccepted(), runs);
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w_.get(), &drop);
  QTest::qWait(20);
  EXPECT_EQ(w_->jobsStarted(), runs ? 1 : 0);
  EXPECT_EQ(FileExists(Path(QStringLiteral("dropped.bmp"))), runs);
  EXPECT_EQ(dialogs_.fileDialogs(), 0);
  if (!runs) return;
  dialogs_.QueueFile(std::nullopt);
  w_->mOpenClick();
  EXPECT_EQ(dialogs_.fileDialogFolder(), QFile::encodeName(dir_.path()).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Cases, DropTest,
                         ::testing::Values(DropCase{"OneFile", true, 1},
                                           DropCase{"TwoFiles", true, 2},
                                           DropCase{"CommandDisabled", false, 1}),
                         pt::test::CaseName());

}  // namespace
}  // namespace pt::gui::test
