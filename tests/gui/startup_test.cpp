// Start-up sequence, disclaimer gate, command line and closing.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>
#include <algorithm>

#include "app/gui/disclaimer_form.h"
#include "app/settings_file.h"
#include "carrier/settings.h"
#include "crypto/key_rules.h"
#include "app/gui/password_form.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/named_case.h"

namespace pt::gui::test {
namespace {

const std::string kKeyMessage = "Key given by command line is not valid !!!\n";
// Accepted disclaimer, TwoFish at start, nothing else set.
const std::string kAcceptedConfig = "2 1 -1 0 0 0 1 0 1 zip,gz 1";

int CountMessages(const Dialogs& d, const std::string& text) {
  const auto texts = d.ShownTexts();
  return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}

class StartupTest : public WindowTest {};

TEST_F(StartupTest, NoSettingsFileGivesDefaultsAndShowsDisclaimer) {
  // The start-up sequence runs once the window is on the screen.
  dialogs_.QueueExec([this](QDialog& d) {
    EXPECT_TRUE(w_->windowHandle()->isExposed());
    return AcceptDisclaimer()(d);
  });
  auto& w = Start();
  EXPECT_EQ(dialogs_.execs(), 1);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("pixelTuck V1.2.1"));
  const Settings& s = w.settings();
  EXPECT_EQ(s.startupCipher, StartupCipher::Twofish);
  EXPECT_EQ(s.compressionMode, CompressionMode::IfSmaller);
  EXPECT_EQ(s.compressionLevel, -1);
  EXPECT_FALSE(s.showBitmap);
  EXPECT_FALSE(s.exitAfterConversion);
  EXPECT_FALSE(s.copyLog);
  EXPECT_EQ(s.keyMode, KeyMode::Ascii);
  EXPECT_FALSE(s.hidePassword);
  EXPECT_TRUE(s.disclaimerAccepted);
  EXPECT_EQ(s.compressedExtensions, "zip,gz,arj,rar,lzh,cab,z,bz2,msi");
  EXPECT_EQ(s.targetNameRule, TargetNameRule::Unset);
  ASSERT_EQ(w.cbEncMethod->count(), 4);
  EXPECT_EQ(w.cbEncMethod->itemText(0), QStringLiteral("None"));
  EXPECT_EQ(w.cbEncMethod->itemText(1), QStringLiteral("BlowFish"));
  EXPECT_EQ(w.cbEncMethod->itemText(2), QStringLiteral("TwoFish"));
  EXPECT_EQ(w.cbEncMethod->itemText(3), QStringLiteral("Rijndael (AES)"));
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 2);
  EXPECT_FALSE(w.cbShow->isChecked());
  EXPECT_TRUE(w.bbOpen->isEnabled());
  EXPECT_TRUE(w.mOpen->isEnabled());
  EXPECT_EQ(w.jobsStarted(), 0);
  EXPECT_EQ(w.Password_Form->pendingKeyMode, pt::KeyMode::Ascii);
  EXPECT_TRUE(w.runState().deleteTempFile);
  EXPECT_FALSE(w.runState().debugDump);
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(StartupTest, SettingsFileIsLoadedAndDisclaimerSkipped) {
  WriteConfig("3 0 -4 1 1 1 2 1 1 zip 3");
  auto& w = Start();
  EXPECT_EQ(dialogs_.execs(), 0);
  const Settings& s = w.settings();
  EXPECT_EQ(s.startupCipher, StartupCipher::Rijndael);
  EXPECT_EQ(s.compressionMode, CompressionMode::Never);
  EXPECT_EQ(s.compressionLevel, -4);
  EXPECT_TRUE(s.showBitmap);
  EXPECT_TRUE(s.exitAfterConversion);
  EXPECT_TRUE(s.copyLog);
  EXPECT_EQ(s.keyMode, KeyMode::Hex);
  EXPECT_TRUE(s.hidePassword);
  EXPECT_EQ(s.compressedExtensions, "zip");
  EXPECT_EQ(s.targetNameRule, TargetNameRule::Append);
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 3);
  EXPECT_TRUE(w.cbShow->isChecked());
  EXPECT_EQ(w.Password_Form->pendingKeyMode, pt::KeyMode::Hex);
}

TEST_F(StartupTest, WindowLayoutHasTheDesignedSizes) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start();
  EXPECT_EQ(w.centralWidget()->size(), QSize(729, 430));
  EXPECT_EQ(w.pTop->height(), 36);
  EXPECT_EQ(w.ListBox->size(), QSize(356, 336));
  EXPECT_EQ(w.iPanel->size(), QSize(349, 365));
  EXPECT_EQ(w.pBottom->height(), 29);
  EXPECT_FALSE(w.ProgressBar->isVisible());
  EXPECT_FALSE(w.Image->isVisible());
  EXPECT_TRUE(w.cbEncMethod->font().bold());
  EXPECT_TRUE(w.cbEncMethod->font().fixedPitch());
  EXPECT_TRUE(w.ListBox->font().fixedPitch());
  EXPECT_EQ(w.bbOpen->text(), QStringLiteral("EnCode/DeCode"));
  EXPECT_EQ(w.bbOptions->text(), QStringLiteral("Options"));
  EXPECT_EQ(w.bbClose->text(), QStringLiteral("Close"));
  EXPECT_EQ(w.Label1->text(), QStringLiteral("Encrypting algorithm :"));
  EXPECT_EQ(w.cbShow->text(), QStringLiteral("Show Bitmap"));
  // Nothing in the top bar is cut off or overlaps its neighbour.
  const QWidget* row[] = {w.bbOpen, w.bbOptions, w.bbClose, w.Label1, w.cbEncMethod, w.cbShow};
  for (int i = 0; i < 6; ++i) {
    EXPECT_GE(row[i]->width(), row[i]->sizeHint().width()) << i;
    EXPECT_LE(row[i]->geometry().right(), w.pTop->width()) << i;
    if (i > 0) {
      EXPECT_LT(row[i - 1]->geometry().right(), row[i]->geometry().left()) << i;
    }
  }
}

// The window can be made larger: the log and the preview grow with it, and
// a picture in the preview is placed again in the larger panel.
TEST_F(StartupTest, ResizingGrowsTheLogAndThePreview) {
  WriteConfig("2 1 -1 1 0 0 1 0 1 zip 1");
  auto& w = Start();
  w.ShowPreview(WriteBmp(dir_.path(), QStringLiteral("square.bmp"), 10, 10));
  ASSERT_TRUE(w.Image->isVisible());
  EXPECT_EQ(w.Image->size(), QSize(344, 344));
  w.resize(w.size() + QSize(300, 200));
  QTest::qWait(20);
  EXPECT_EQ(w.centralWidget()->size(), QSize(1029, 630));
  EXPECT_EQ(w.ListBox->size(), QSize(356 + 150, 336 + 200));
  EXPECT_EQ(w.iPanel->size(), QSize(349 + 150, 365 + 200));
  EXPECT_EQ(w.Image->size(), QSize(494, 494));
  EXPECT_EQ(w.pBottom->geometry().bottom(), 629);
  w.resize(100, 100);  // never below the designed size
  QTest::qWait(20);
  EXPECT_EQ(w.centralWidget()->size(), QSize(729, 430));
}

TEST_F(StartupTest, MenuItemsAndShortcuts) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start();
  EXPECT_EQ(w.mOpen->text(), QStringLiteral("&EnCode/DeCode"));
  EXPECT_EQ(w.mOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
  EXPECT_EQ(w.mOptions->text(), QStringLiteral("Options"));
  EXPECT_EQ(w.mOptions->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  EXPECT_EQ(w.mClose->text(), QStringLiteral("&Close"));
  EXPECT_EQ(w.mClose->shortcut(), QKeySequence(QStringLiteral("Ctrl+F4")));
  EXPECT_EQ(w.Info1->text(), QStringLiteral("&Info"));
  const auto menus = w.menuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
  EXPECT_EQ(menus[1]->text(), QStringLiteral("&Help"));
  const auto items = menus[0]->menu()->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_EQ(items[0], w.mOpen);
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2], w.mOptions);
  EXPECT_TRUE(items[3]->isSeparator());
  EXPECT_EQ(items[4], w.mClose);
}

TEST_F(StartupTest, AboutBox) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start();
  w.Info1->trigger();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  const auto& m = dialogs_.shown()[0];
  EXPECT_EQ(m.kind, MsgKind::Information);
  EXPECT_EQ(m.buttons, MsgButtons::Ok);
  EXPECT_EQ(m.text.rfind("pixelTuck V1.2.1\n\nEnglish Homepage:\t", 0), 0u) << m.text;
  EXPECT_NE(m.text.find("\nGerman Homepage:\t"), std::string::npos);
}

TEST_F(StartupTest, DisclaimerRefusedDisablesEnCodeForTheRun) {
  dialogs_.QueueExec(RefuseDisclaimer());
  auto& w = Start();
  EXPECT_FALSE(w.settings().disclaimerAccepted);
  EXPECT_FALSE(w.bbOpen->isEnabled());
  EXPECT_FALSE(w.mOpen->isEnabled());
  EXPECT_TRUE(w.bbOptions->isEnabled());
  EXPECT_TRUE(w.mOptions->isEnabled());
  EXPECT_TRUE(w.Info1->isEnabled());
  w.mOpenClick();
  EXPECT_EQ(dialogs_.fileDialogs(), 0);
  EXPECT_EQ(w.jobsStarted(), 0);
  // The log says why, and where the disclaimer is shown again.
  ASSERT_EQ(w.ListBox->count(), 3);
  EXPECT_EQ(w.ListBox->item(0)->text(),
            QStringLiteral("EnCode/DeCode is disabled: the disclaimer was not accepted."));
  EXPECT_TRUE(w.mDisclaimer->isEnabled());
  w.close();
  // Ninth value: disclaimerAccepted stays 0, so it is asked again next time.
  EXPECT_EQ(ReadConfig(), "2 1 -1 0 0 0 1 0 0 zip,gz,arj,rar,lzh,cab,z,bz2,msi 0");
}

// Help > Disclaimer ...: refusing again changes nothing, accepting there
// enables EnCode/DeCode for this run and for the next.
TEST_F(StartupTest, DisclaimerAcceptedFromTheHelpMenuEnablesEnCode) {
  dialogs_.QueueExec(RefuseDisclaimer());
  auto& w = Start();
  dialogs_.QueueExec(RefuseDisclaimer());
  w.mDisclaimer->trigger();
  EXPECT_FALSE(w.bbOpen->isEnabled());
  dialogs_.QueueExec(AcceptDisclaimer());
  w.mDisclaimer->trigger();
  EXPECT_TRUE(w.bbOpen->isEnabled());
  EXPECT_TRUE(w.mOpen->isEnabled());
  EXPECT_TRUE(w.settings().disclaimerAccepted);
}

TEST_F(StartupTest, DisclaimerAcceptedByClosingWithYesSelected) {
  dialogs_.QueueExec([](QDialog& d) {
    dynamic_cast<TDisclaimerForm&>(d).rbYes->setChecked(true);
    return static_cast<int>(QDialog::Rejected);  // the close box
  });
  auto& w = Start();
  EXPECT_TRUE(w.settings().disclaimerAccepted);
  EXPECT_TRUE(w.bbOpen->isEnabled());
}

TEST_F(StartupTest, RefusedDisclaimerStillRunsTheCommandLineJob) {
  const std::string file = WriteFile(dir_.path(), QStringLiteral("a.txt"), "hello");
  dialogs_.QueueExec(RefuseDisclaimer());
  dialogs_.QueueExec(CancelDialog());  // the key dialog of the job
  auto& w = Start({file});
  EXPECT_FALSE(w.bbOpen->isEnabled());
  EXPECT_EQ(w.jobsStarted(), 1);
  EXPECT_TRUE(w.runState().commandLineFile.empty());
}

TEST_F(StartupTest, CloseRewritesTheSettingsFile) {
  WriteConfig("2 1 -1 0 0 0 1 0 1 zip,gz 0");
  auto& w = Start();
  w.bbClose->click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(ReadConfig(), "2 1 -1 0 0 0 1 0 1 zip,gz 1");
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(StartupTest, CloseWithUnwritableFileShowsTheMessageAndStillCloses) {
  const std::string bad = Path(QStringLiteral("missing-folder/pixeltuck.cfg"));
  w_ = std::make_unique<TpixelTuck_Form>(std::vector<std::string>{}, bad, dialogs_);
  dialogs_.QueueExec(AcceptDisclaimer());
  w_->show();
  for (int i = 0; i < 500 && w_->firstActivation(); ++i) QTest::qWait(5);
  w_->mClose->trigger();
  EXPECT_FALSE(w_->isVisible());
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].text, SaveSettingsFailedMessage(bad));
  EXPECT_EQ(dialogs_.shown()[0].text,
            "Configuration file : <" + bad + ">\ncould not be written !!!");
  EXPECT_EQ(dialogs_.shown()[0].buttons, MsgButtons::Ok);
}

// ---------------------------------------------------------------------------
// Command line

TEST_F(StartupTest, NoArgumentsStartsNoJob) {
  WriteConfig("1 1 -1 1 0 0 1 0 1 zip 1");
  auto& w = Start();
  EXPECT_EQ(w.jobsStarted(), 0);
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 1);
  EXPECT_TRUE(w.cbShow->isChecked());
}

TEST_F(StartupTest, LowerCaseSwitchesAndAFileStartTheJob) {
  WriteConfig("0 1 -1 0 0 0 1 0 1 zip 1");
  const std::string file = WriteFile(dir_.path(), QStringLiteral("a.txt"), "hello");
  dialogs_.QueueExec(CancelDialog());  // key dialog
  auto& w = Start({"-t", "-S", file});
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 2);
  EXPECT_TRUE(w.cbShow->isChecked());
  EXPECT_EQ(w.jobsStarted(), 1);
  EXPECT_EQ(w.lastOutcome().end, JobEnd::Cancelled);
  EXPECT_TRUE(w.runState().commandLineFile.empty());
  // Switches change the run, never the settings.
  EXPECT_EQ(w.settings().startupCipher, StartupCipher::None);
  EXPECT_FALSE(w.settings().showBitmap);
  // Later activations do not repeat the job.
  w.FormActivate();
  EXPECT_EQ(w.jobsStarted(), 1);
}

TEST_F(StartupTest, CipherSwitchesLastOneWins) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start({"-R", "-n", "-B"});
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 1);
  EXPECT_EQ(w.jobsStarted(), 0);
}

TEST_F(StartupTest, DebugSwitch) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start({"-D"});
  EXPECT_TRUE(w.runState().debugDump);
  EXPECT_FALSE(w.runState().deleteTempFile);
}

TEST_F(StartupTest, UnknownSwitchAndLookalikesDoNothing) {
  WriteConfig(kAcceptedConfig);
  QDir::setCurrent(dir_.path());
  auto& w = Start({"-x", "/B", "-BB"});
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 2);
  EXPECT_EQ(w.jobsStarted(), 0);
  EXPECT_TRUE(w.runState().commandLineFile.empty());
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(StartupTest, LookalikeSwitchIsAFileNameWhenSuchAFileExists) {
  WriteConfig(kAcceptedConfig);
  WriteFile(dir_.path(), QStringLiteral("-BB"), "data");
  QDir::setCurrent(dir_.path());
  dialogs_.QueueExec(CancelDialog());
  auto& w = Start({"-BB"});
  EXPECT_EQ(w.cbEncMethod->currentIndex(), 2);
  EXPECT_EQ(w.jobsStarted(), 1);
}

TEST_F(StartupTest, SixteenHexDigitsAreAcceptedUpperCased) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start({"-k:0123456789abcdef"});
  EXPECT_EQ(w.runState().commandLineKey.View(), "0123456789ABCDEF");
  EXPECT_TRUE(dialogs_.shown().empty());
}

struct BadKey : pt::test::NamedCase {
  std::string arg;
};
void PrintTo(const BadKey& k, std::ostream* os) { *os << k.arg; }

class CommandLineKeyTest : public WindowTest,
                           public ::testing::WithParamInterface<BadKey> {};

TEST_P(CommandLineKeyTest, InvalidKeyShowsTheMessageOnce) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start({GetParam().arg});
  EXPECT_TRUE(w.runState().commandLineKey.empty());
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].text, kKeyMessage);
  EXPECT_EQ(dialogs_.shown()[0].kind, MsgKind::Plain);
  EXPECT_EQ(dialogs_.shown()[0].buttons, MsgButtons::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CommandLineKeyTest,
    ::testing::Values(BadKey{"Digits15", "-K:" + std::string(15, '1')},
                      BadKey{"Digits17", "-K:" + std::string(17, '1')},
                      BadKey{"Digits66", "-K:" + std::string(66, 'A')},
                      BadKey{"NonHex", "-K:0123456789ABCDEG"},
                      BadKey{"Empty", "-K:"}),
    pt::test::CaseName());

TEST_F(StartupTest, ValidThenInvalidKeyKeepsTheFirst) {
  WriteConfig(kAcceptedConfig);
  auto& w = Start({"-K:" + std::string(32, 'a'), "-K:123"});
  EXPECT_EQ(w.runState().commandLineKey.View(), std::string(32, 'A'));
  EXPECT_EQ(CountMessages(dialogs_, kKeyMessage), 1);
}

TEST_F(StartupTest, TwoFileArgumentsOnlyTheLastCounts) {
  WriteConfig(kAcceptedConfig);
  const std::string a = WriteFile(dir_.path(), QStringLiteral("a.txt"), "aaa");
  const std::string missing = Path(QStringLiteral("nothing-here.txt"));
  auto& w = Start({a, missing});
  EXPECT_EQ(w.jobsStarted(), 0);
}

TEST_F(StartupTest, TwoFileArgumentsTheLastExisting) {
  WriteConfig(kAcceptedConfig);
  const std::string missing = Path(QStringLiteral("nothing-here.txt"));
  const std::string b = WriteFile(dir_.path(), QStringLiteral("b.txt"), "bbb");
  dialogs_.QueueExec(CancelDialog());
  auto& w = Start({missing, b});
  EXPECT_EQ(w.jobsStarted(), 1);
}

TEST_F(StartupTest, EmptyFileOrDirectoryStartsNoJob) {
  WriteConfig(kAcceptedConfig);
  const std::string empty = WriteFile(dir_.path(), QStringLiteral("empty.txt"), "");
  QDir(dir_.path()).mkdir(QStringLiteral("folder"));
  auto& w = Start({empty, Path(QStringLiteral("folder"))});
  EXPECT_EQ(w.jobsStarted(), 0);
  EXPECT_TRUE(w.runState().commandLineFile.empty());
}

TEST_F(StartupTest, EmptyFileAloneStartsNoJob) {
  WriteConfig(kAcceptedConfig);
  const std::string empty = WriteFile(dir_.path(), QStringLiteral("empty.txt"), "");
  auto& w = Start({empty});
  EXPECT_EQ(w.jobsStarted(), 0);
}

TEST_F(StartupTest, DirectoryAloneStartsNoJob) {
  WriteConfig(kAcceptedConfig);
  QDir(dir_.path()).mkdir(QStringLiteral("folder.txt"));
  auto& w = Start({Path(QStringLiteral("folder.txt"))});
  EXPECT_EQ(w.jobsStarted(), 0);
}

}  // namespace
}  // namespace pt::gui::test
