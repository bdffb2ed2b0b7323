// The key entry dialog: modes, masking, the checks of OK and its messages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <ostream>
#include <string>
#include <vector>

#include "crypto/key_rules.h"
#include "app/gui/password_form.h"
#include "tests/support/named_case.h"

namespace {

class PasswordFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.errorBox = [this](const QString& t) { messages.push_back(t.toStdString()); };
  }
  // Types into the fields and clicks OK on the shown (non-modal) dialog.
  bool TypeAndOk(const QString& enter, const QString& reenter = QString()) {
    form.setResult(QDialog::Rejected);
    form.show();
    form.eEnter->setText(enter);
    if (!reenter.isNull()) form.eReenter->setText(reenter);
    QTest::mouseClick(form.bOK, Qt::LeftButton);
    return form.result() == QDialog::Accepted;
  }
  std::string LastMessage() const { return messages.empty() ? "" : messages.back(); }

  TPassword_Form form;
  std::vector<std::string> messages;
};

std::string LengthMessage(int min, int max, int n) {
  return "Password is smaller than " + std::to_string(min) + " or larger than " +
         std::to_string(max) + " characters (" + std::to_string(n) + ") !!!\nPlease try again ...";
}

TEST_F(PasswordFormTest, LooksAsDesigned) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Enter a Key or press <ESC> ..."));
  EXPECT_EQ(form.size(), QSize(682, 256));
  EXPECT_EQ(form.windowType(), Qt::Tool);
  EXPECT_EQ(form.eEnter->geometry(), QRect(15, 35, 651, 26));
  EXPECT_EQ(form.bOK->geometry(), QRect(15, 205, 281, 35));
  EXPECT_EQ(form.bCancel->geometry(), QRect(385, 205, 281, 35));
  EXPECT_TRUE(form.bOK->isDefault());
  EXPECT_TRUE(form.rbASCII->isChecked());
  EXPECT_EQ(form.lEnter->text(),
            QStringLiteral("Enter at least 8, (better 16) ... up to 32 ASCII or 16 up to 64 "
                           "HEX characters:"));
  EXPECT_TRUE(form.eEnter->font().bold());
  // The labels are not cut off by their panel.
  form.show();
  for (QLabel* l : {form.lEnter, form.lMeasure1, form.Label1})
    EXPECT_LE(l->geometry().right(), form.Panel1->width() - 2) << l->objectName().toStdString();
  for (QLabel* l : {form.lReenter, form.lMeasure2})
    EXPECT_LE(l->geometry().right(), form.Panel2->width() - 2) << l->objectName().toStdString();
  form.hide();
}

// Each character of a scale line stands over the character typed at the
// same place (hex Low and Medium begin after 16 and 32 digits, High ends by
// the 64th), whatever the fonts measure.
TEST_F(PasswordFormTest, ScalesStandOverTheCharactersTheyMeasure) {
  EXPECT_EQ(form.font().pixelSize(), 11);
  form.rbHex->setChecked(true);
  form.show();
  form.eEnter->setText(QString(64, QLatin1Char('W')));
  const auto editX = [&](int k) {
    form.eEnter->setCursorPosition(k);
    return form.eEnter->x() + form.eEnter->inputMethodQuery(Qt::ImCursorRectangle).toRect().x() + 5;
  };
  const auto labelX = [](QLabel* l, int k) {
    return l->x() + QFontMetricsF(l->font()).horizontalAdvance(l->text().left(k));
  };
  for (QLabel* l : {form.Label1, form.lMeasure1})
    for (const char* word : {"Low", "Medium", "High"}) {
      const int at = static_cast<int>(l->text().indexOf(QLatin1String(word)));
      EXPECT_NEAR(labelX(l, at), editX(at), 1.5) << word;
    }
}

TEST_F(PasswordFormTest, AsciiLengthLimits) {
  form.ApplyKeyMode();
  EXPECT_FALSE(TypeAndOk(QStringLiteral("1234567")));
  EXPECT_EQ(LastMessage(), LengthMessage(8, 32, 7));
  EXPECT_EQ(form.eEnter->text(), QStringLiteral("1234567"));  // stays for correction
  EXPECT_FALSE(TypeAndOk(QString(33, QLatin1Char('a'))));
  EXPECT_EQ(LastMessage(), LengthMessage(8, 32, 33));
  EXPECT_TRUE(TypeAndOk(QStringLiteral("12345678")));
  EXPECT_TRUE(TypeAndOk(QString(32, QLatin1Char('a'))));
  EXPECT_TRUE(TypeAndOk(QStringLiteral(" with blanks ")));
  EXPECT_EQ(form.KeyText().View(), " with blanks ");
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(PasswordFormTest, MaskedMismatchComesFirstAndEmptiesTheReentry) {
  form.maskInput = true;
  form.ApplyKeyMode();
  EXPECT_EQ(form.eEnter->echoMode(), QLineEdit::Password);
  EXPECT_EQ(form.eReenter->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(form.ReenterShown());
  EXPECT_FALSE(TypeAndOk(QStringLiteral("short"), QStringLiteral("other")));
  EXPECT_EQ(LastMessage(), "Passwords are not identical !!!\nPlease try again ...");
  EXPECT_TRUE(form.eReenter->text().isEmpty());
  EXPECT_EQ(form.eEnter->text(), QStringLiteral("short"));
  EXPECT_FALSE(TypeAndOk(QStringLiteral("CaseMatters"), QStringLiteral("casematters")));
  EXPECT_EQ(LastMessage(), "Passwords are not identical !!!\nPlease try again ...");
  EXPECT_FALSE(TypeAndOk(QStringLiteral("short"), QStringLiteral("short")));
  EXPECT_EQ(LastMessage(), LengthMessage(8, 32, 5));
  EXPECT_TRUE(TypeAndOk(QStringLiteral("long enough"), QStringLiteral("long enough")));
}

// A key is the Windows-1252 bytes of its characters; a character without
// such a byte is refused (never turned into '?') and the dialog stays open.
TEST_F(PasswordFormTest, KeyCharactersAreWindows1252BytesOrRefused) {
  form.maskInput = true;
  form.rbASCII->setChecked(true);
  form.ApplyKeyMode();
  const QString cyrillic = QString::fromUtf8("\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87");
  EXPECT_FALSE(TypeAndOk(cyrillic, cyrillic));
  EXPECT_EQ(LastMessage().rfind("Password contains a character that cannot be used in a key "
                                "(\"\xD0\x9A\")", 0), 0u) << LastMessage();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.eEnter->text(), cyrillic);
  // Two different entries that a '?' mapping would make equal.
  EXPECT_FALSE(TypeAndOk(cyrillic, QString(8, QChar(0x0416))));
  EXPECT_EQ(LastMessage(), "Passwords are not identical !!!\nPlease try again ...");

  const QString latin = QString::fromUtf8("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC" "abc");
  EXPECT_TRUE(TypeAndOk(latin, latin));
  EXPECT_EQ(form.KeyText().View(), "\xE4\xF6\xFC\xDF\x80" "abc");
  form.WipeFields();
  EXPECT_TRUE(form.eEnter->text().isEmpty());
  EXPECT_TRUE(form.eReenter->text().isEmpty());
}

TEST_F(PasswordFormTest, HexChecks) {
  form.rbHex->setChecked(true);
  EXPECT_FALSE(TypeAndOk(QString(15, QLatin1Char('0'))));
  EXPECT_EQ(LastMessage(), LengthMessage(16, 64, 15));
  EXPECT_FALSE(TypeAndOk(QString(66, QLatin1Char('0'))));
  EXPECT_EQ(LastMessage(), LengthMessage(16, 64, 66));
  EXPECT_FALSE(TypeAndOk(QString(17, QLatin1Char('0'))));
  EXPECT_EQ(LastMessage(), "HEX Values must be a couple of two-byte-pairs !!!\nPlease try again ...");
  EXPECT_FALSE(TypeAndOk(QStringLiteral("0123456789abcdeg")));
  EXPECT_EQ(LastMessage(), "Password contains non HEX characters");
  EXPECT_TRUE(TypeAndOk(QString(16, QLatin1Char('0'))));
  EXPECT_TRUE(form.HexMode());
  EXPECT_EQ(pt::KeyBytesFromDialog(form.HexMode(), form.KeyText().View()).View(),
            std::string(8, '\0'));
}

TEST_F(PasswordFormTest, HexModeIsNeverMasked) {
  form.maskInput = true;
  form.rbHex->setChecked(true);
  form.show();
  EXPECT_EQ(form.eEnter->echoMode(), QLineEdit::Normal);
  EXPECT_FALSE(form.eReenter->isVisible());
  EXPECT_FALSE(form.lReenter->isVisible());
  EXPECT_FALSE(form.lMeasure2->isVisible());
  form.rbASCII->setChecked(true);
  EXPECT_EQ(form.eEnter->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(form.eReenter->isVisible());
  EXPECT_TRUE(form.lReenter->isVisible());
  EXPECT_TRUE(form.lMeasure2->isVisible());
  form.hide();
}

TEST_F(PasswordFormTest, UnmaskedAsciiHidesTheReentry) {
  form.maskInput = false;
  form.ApplyKeyMode();
  form.show();
  EXPECT_EQ(form.eEnter->echoMode(), QLineEdit::Normal);
  EXPECT_FALSE(form.eReenter->isVisible());
  EXPECT_FALSE(form.ReenterShown());
  form.hide();
}

TEST_F(PasswordFormTest, SwitchingModesEmptiesTheKey) {
  form.show();
  form.eEnter->setText(QStringLiteral("something"));
  QTest::mouseClick(form.rbHex, Qt::LeftButton);
  EXPECT_TRUE(form.eEnter->text().isEmpty());
  form.eEnter->setText(QStringLiteral("00112233"));
  QTest::mouseClick(form.rbASCII, Qt::LeftButton);
  EXPECT_TRUE(form.eEnter->text().isEmpty());
  form.hide();
}

TEST_F(PasswordFormTest, ApplyKeyModeReplacesTheDesignText) {
  EXPECT_EQ(form.eEnter->text().size(), 64);
  form.ApplyKeyMode();
  EXPECT_TRUE(form.eEnter->text().isEmpty());
}

TEST_F(PasswordFormTest, PendingModeReachesOnlyTheFirstShowing) {
  form.pendingKeyMode = pt::KeyMode::Hex;
  form.show();
  EXPECT_TRUE(form.rbHex->isChecked());
  EXPECT_FALSE(form.pendingKeyMode);
  form.hide();
  form.rbASCII->setChecked(true);
  form.show();
  EXPECT_TRUE(form.rbASCII->isChecked());  // the user's later choice is kept
  form.hide();
}

TEST_F(PasswordFormTest, OtherPendingModeSelectsNothingNew) {
  form.rbHex->setChecked(true);
  form.pendingKeyMode = pt::KeyMode::Neither;
  form.show();
  EXPECT_TRUE(form.rbHex->isChecked());
  EXPECT_FALSE(form.pendingKeyMode);
  form.hide();
}

TEST_F(PasswordFormTest, ModalRunWithEscapeIsNotOk) {
  form.ApplyKeyMode();
  QTimer::singleShot(0, [] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  EXPECT_EQ(form.exec(), QDialog::Rejected);
}

TEST_F(PasswordFormTest, ModalRunTypedAndConfirmedWithEnter) {
  form.ApplyKeyMode();
  QTimer::singleShot(0, [] {
    auto* f = qobject_cast<TPassword_Form*>(QApplication::activeModalWidget());
    ASSERT_NE(f, nullptr);
    QTest::keyClicks(f->eEnter, QStringLiteral("my secret key"));
    QTest::keyClick(f->eEnter, Qt::Key_Return);
  });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  EXPECT_EQ(form.KeyText().View(), "my secret key");
  EXPECT_TRUE(messages.empty());
}

struct KeyboardSwitchCase : pt::test::NamedCase {
  bool fromHex;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};
void PrintTo(const KeyboardSwitchCase& c, std::ostream* os) { *os << c.name; }

class KeyboardSwitchTest : public PasswordFormTest,
                           public ::testing::WithParamInterface<KeyboardSwitchCase> {};

// Switching the mode with the keyboard leaves the focus in the key field,
// as a click does: what is typed next is the key.
TEST_P(KeyboardSwitchTest, NextCharactersGoIntoTheKeyField) {
  const KeyboardSwitchCase c = GetParam();
  (c.fromHex ? form.rbHex : form.rbASCII)->setChecked(true);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QRadioButton* from = c.fromHex ? form.rbHex : form.rbASCII;
  from->setFocus();
  QTest::keyClick(from, c.key, c.modifiers);
  QTest::qWait(200);  // a mnemonic clicks after a short delay
  EXPECT_TRUE((c.fromHex ? form.rbASCII : form.rbHex)->isChecked());
  ASSERT_NE(form.focusWidget(), nullptr);
  QTest::keyClicks(form.focusWidget(), QStringLiteral("ab"));
  EXPECT_EQ(form.eEnter->text(), QStringLiteral("ab"));
  form.hide();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardSwitchTest,
    ::testing::Values(KeyboardSwitchCase{"ArrowDownToHex", false, Qt::Key_Down, Qt::NoModifier},
                      KeyboardSwitchCase{"ArrowUpToAscii", true, Qt::Key_Up, Qt::NoModifier},
                      KeyboardSwitchCase{"MnemonicToHex", false, Qt::Key_H, Qt::AltModifier}),
    pt::test::CaseName());

}  // namespace
