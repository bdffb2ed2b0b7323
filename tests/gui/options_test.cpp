// The options dialog: filling, copying back, Cancel and the enabling rules.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "app/gui/options_form.h"
#include "tests/gui/gui_fixture.h"

namespace pt::gui::test {
namespace {

const std::string kAcceptedConfig = "2 1 -1 0 0 0 1 0 1 zip,gz 1";

int Ok(TOptionsForm&) { return QDialog::Accepted; }

// A radio button reacts to clicks on its circle and caption only.
void ClickRadio(QRadioButton* rb) {
  QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(6, rb->height() / 2));
}

class OptionsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteConfig(kAcceptedConfig);
    Start();
  }
  TOptionsForm& form() { return *w_->OptionsForm; }
};

TEST_F(OptionsTest, DialogLooksAsDesigned) {
  TOptionsForm& f = form();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("pixelTuck Options ..."));
  // As designed, unless the font needs more room.
  EXPECT_EQ(f.size(), QSize(427, 449).expandedTo(f.layout()->totalMinimumSize()));
  EXPECT_EQ(f.rbNone->toolTip(),
            QStringLiteral("Choose this only if you want to transfer no secure information"));
  EXPECT_EQ(f.rbBlowfish->toolTip(),
            QStringLiteral("Blowfish is more secure than DES but less secure than "
                           "Rijndael or Twofish"));
  EXPECT_EQ(f.rbTwofish->toolTip(),
            QStringLiteral("Twofish is the most secure synchronous encryption Method "
                           "known today"));
  EXPECT_EQ(f.rbRijndael->toolTip(),
            QStringLiteral("Rijndael is choosen as the American Encryption Standard "
                           "Method (its faster but no so secure than Twofish)"));
  EXPECT_EQ(f.rbNone->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(f.rbBlowfish->palette().color(QPalette::WindowText), QColor(128, 128, 0));
  EXPECT_EQ(f.rbTwofish->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_EQ(f.rbRijndael->palette().color(QPalette::WindowText), QColor(0, 128, 128));
  EXPECT_EQ(Caption(f.rbReplaceLast), "LAST Extension replaced by \".bmp\" ");
  EXPECT_EQ(Caption(f.rbSmart), "If Extension differs from");
  EXPECT_EQ(f.tbCompression->minimum(), 0);
  EXPECT_EQ(f.tbCompression->maximum(), 9);
  // Every control is inside the dialog and wide enough for its text.
  f.show();
  for (QWidget* c : f.findChildren<QWidget*>()) {
    if (!c->isVisible() || qobject_cast<QLineEdit*>(c) || qobject_cast<QSlider*>(c)) continue;
    const QRect r(c->mapTo(&f, QPoint(0, 0)), c->size());
    EXPECT_TRUE(QRect(QPoint(0, 0), f.size()).contains(r)) << c->objectName().toStdString();
    if (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c)) {
      EXPECT_GE(c->width(), c->sizeHint().width()) << c->objectName().toStdString();
    }
  }
  f.hide();
}

TEST_F(OptionsTest, ShowsTheSettings) {
  Settings& s = w_->settings();
  s.startupCipher = StartupCipher::Rijndael;
  s.compressionMode = CompressionMode::UnlessListed;
  s.compressionLevel = -7;
  s.showBitmap = true;
  s.exitAfterConversion = true;
  s.copyLog = false;
  s.hidePassword = true;
  s.keyMode = KeyMode::Hex;
  s.compressedExtensions = "zip, rar";
  s.targetNameRule = TargetNameRule::Append;
  RunOptions([](TOptionsForm& f) {
    EXPECT_TRUE(f.rbRijndael->isChecked());
    EXPECT_TRUE(f.rbSmart->isChecked());
    EXPECT_TRUE(f.rbDefault->isChecked());
    EXPECT_EQ(f.tbCompression->value(), 7);
    EXPECT_TRUE(f.cbShow->isChecked());
    EXPECT_TRUE(f.cbExit->isChecked());
    EXPECT_FALSE(f.cbLOG->isChecked());
    EXPECT_TRUE(f.cbHide->isChecked());
    EXPECT_TRUE(f.rbHex->isChecked());
    EXPECT_EQ(f.eExtensions->text(), QStringLiteral("zip, rar"));
    EXPECT_TRUE(f.rbAppend->isChecked());
    EXPECT_TRUE(f.eExtensions->isEnabled());
    EXPECT_FALSE(f.tbCompression->isEnabled());
    return static_cast<int>(QDialog::Rejected);
  });
}

TEST_F(OptionsTest, ConfirmWithoutChangesKeepsSettingsButFixesRuleAndKeyMode) {
  Settings& s = w_->settings();
  s.targetNameRule = TargetNameRule::Unset;
  s.keyMode = KeyMode::Ascii;
  RunOptions(Ok);
  Settings expected = s;
  EXPECT_EQ(s.targetNameRule, TargetNameRule::ReplaceLast);

  s.keyMode = KeyMode::Neither;  // neither radio: the dialog keeps ASCII from before
  RunOptions(Ok);
  EXPECT_EQ(s.keyMode, KeyMode::Ascii);
  expected.keyMode = KeyMode::Ascii;
  EXPECT_EQ(s, expected);
  RunOptions(Ok);
  EXPECT_EQ(s, expected);
}

TEST_F(OptionsTest, DefaultWithSliderAtThreeStoresMinusThree) {
  RunOptions([](TOptionsForm& f) {
    f.rbDefined->click();
    f.tbCompression->setValue(3);
    f.rbDefault->click();
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(w_->settings().compressionLevel, -3);
  RunOptions([](TOptionsForm& f) {
    EXPECT_TRUE(f.rbDefault->isChecked());
    EXPECT_EQ(f.tbCompression->value(), 3);
    EXPECT_FALSE(f.tbCompression->isEnabled());
    return static_cast<int>(QDialog::Rejected);
  });
}

TEST_F(OptionsTest, DefaultWithSliderAtZeroReopensAsUserDefined) {
  RunOptions([](TOptionsForm& f) {
    f.rbDefined->click();
    EXPECT_TRUE(f.tbCompression->isEnabled());
    f.tbCompression->setValue(0);
    f.rbDefault->click();
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(w_->settings().compressionLevel, 0);
  RunOptions([](TOptionsForm& f) {
    EXPECT_TRUE(f.rbDefined->isChecked());
    EXPECT_EQ(f.tbCompression->value(), 0);
    return static_cast<int>(QDialog::Rejected);
  });
}

TEST_F(OptionsTest, EnablingRules) {
  RunOptions([](TOptionsForm& f) {
    ClickRadio(f.rbNever);
    EXPECT_FALSE(f.rbDefault->isEnabled());
    EXPECT_FALSE(f.rbDefined->isEnabled());
    EXPECT_FALSE(f.tbCompression->isEnabled());
    EXPECT_FALSE(f.lNone->isEnabled());
    EXPECT_FALSE(f.lMax->isEnabled());
    EXPECT_FALSE(f.eExtensions->isEnabled());
    ClickRadio(f.rbSmart);
    EXPECT_TRUE(f.eExtensions->isEnabled());
    EXPECT_TRUE(f.rbDefault->isEnabled());
    EXPECT_TRUE(f.rbDefined->isEnabled());
    EXPECT_FALSE(f.tbCompression->isEnabled());  // Default is checked
    ClickRadio(f.rbDefined);
    EXPECT_TRUE(f.tbCompression->isEnabled());
    EXPECT_TRUE(f.lNone->isEnabled());
    EXPECT_TRUE(f.lMax->isEnabled());
    ClickRadio(f.rbEver);
    EXPECT_FALSE(f.eExtensions->isEnabled());
    EXPECT_TRUE(f.tbCompression->isEnabled());
    ClickRadio(f.rbNever);
    EXPECT_FALSE(f.tbCompression->isEnabled());
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(w_->settings().compressionMode, CompressionMode::Never);
  EXPECT_EQ(w_->settings().compressionLevel, 1);
}

TEST_F(OptionsTest, ConfirmDoesNotChangeTheMainWindowOfThisRun) {
  const int cipher = w_->cbEncMethod->currentIndex();
  const bool show = w_->cbShow->isChecked();
  RunOptions([](TOptionsForm& f) {
    f.rbNone->click();
    f.cbShow->click();
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(w_->settings().startupCipher, StartupCipher::None);
  EXPECT_TRUE(w_->settings().showBitmap);
  EXPECT_EQ(w_->cbEncMethod->currentIndex(), cipher);
  EXPECT_EQ(w_->cbShow->isChecked(), show);
}

TEST_F(OptionsTest, EveryFieldIsCopiedBack) {
  RunOptions([](TOptionsForm& f) {
    f.rbBlowfish->click();
    f.rbEver->click();
    f.rbDefined->click();
    f.tbCompression->setValue(9);
    f.cbShow->click();
    f.cbExit->click();
    f.cbLOG->click();
    f.cbHide->click();
    f.rbHex->click();
    f.eExtensions->setText(QStringLiteral(" a, b "));
    f.rbReplaceAll->click();
    return static_cast<int>(QDialog::Accepted);
  });
  const Settings& s = w_->settings();
  EXPECT_EQ(s.startupCipher, StartupCipher::Blowfish);
  EXPECT_EQ(s.compressionMode, CompressionMode::Always);
  EXPECT_EQ(s.compressionLevel, 9);
  EXPECT_TRUE(s.showBitmap);
  EXPECT_TRUE(s.exitAfterConversion);
  EXPECT_TRUE(s.copyLog);
  EXPECT_TRUE(s.hidePassword);
  EXPECT_EQ(s.keyMode, KeyMode::Hex);
  EXPECT_EQ(s.compressedExtensions, " a, b ");  // as typed
  EXPECT_EQ(s.targetNameRule, TargetNameRule::ReplaceAll);
}

TEST_F(OptionsTest, CancelAfterChangingEverythingKeepsSettingsAndControls) {
  const Settings before = w_->settings();
  form().ShowSettings(before);
  const TOptionsForm::ControlState controls = form().CaptureState();
  RunOptions([](TOptionsForm& f) {
    f.rbRijndael->click();
    f.rbNever->click();
    f.rbDefined->click();
    f.tbCompression->setValue(8);
    f.cbShow->click();
    f.cbExit->click();
    f.cbLOG->click();
    f.cbHide->click();
    f.rbHex->click();
    f.eExtensions->setText(QStringLiteral("x"));
    f.rbAppend->click();
    return static_cast<int>(QDialog::Rejected);
  });
  EXPECT_EQ(w_->settings(), before);
  EXPECT_TRUE(form().CaptureState() == controls);
  EXPECT_TRUE(form().rbTwofish->isChecked());
  EXPECT_TRUE(form().tbCompression->value() == 1);
}

TEST_F(OptionsTest, RestoreCanBringBackAGroupWithNothingChecked) {
  TOptionsForm& f = form();
  TOptionsForm::ControlState st = f.CaptureState();
  st.keyMode = pt::window::kNone;  // neither key-mode radio
  f.RestoreState(st);
  EXPECT_FALSE(f.rbASCII->isChecked());
  EXPECT_FALSE(f.rbHex->isChecked());
  Settings s;
  f.ReadSettings(s);
  EXPECT_EQ(s.keyMode, KeyMode::Neither);
}

TEST_F(OptionsTest, ValuesOutsideTheRangesLeaveTheGroup) {
  Settings odd = w_->settings();
  odd.startupCipher = static_cast<StartupCipher>(7);
  odd.compressionMode = static_cast<CompressionMode>(-2);
  odd.keyMode = KeyMode::Neither;
  odd.targetNameRule = static_cast<TargetNameRule>(9);
  form().rbBlowfish->setChecked(true);
  form().rbSmart->setChecked(true);
  form().rbHex->setChecked(true);
  form().rbAppend->setChecked(true);
  form().ShowSettings(odd);
  EXPECT_TRUE(form().rbBlowfish->isChecked());
  EXPECT_TRUE(form().rbSmart->isChecked());
  EXPECT_TRUE(form().rbHex->isChecked());
  EXPECT_TRUE(form().rbReplaceLast->isChecked());  // any other rule: LAST
}

}  // namespace
}  // namespace pt::gui::test
