// The real message boxes and file dialog behind the Dialogs service, the
// busy cursor and the progress bar adapter.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QAbstractTextDocumentLayout>
#include <QTimer>
#include <functional>

#include "app/gui/dialogs.h"
#include "app/gui/disclaimer_form.h"
#include "app/gui/main_form.h"
#include "app/gui/program_icon.h"
#include "app/gui/password_form.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/named_case.h"

namespace pt::gui::test {
namespace {

struct BoxCase : pt::test::NamedCase {
  MsgKind kind;
  MsgButtons buttons;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons expectedButtons;
  QMessageBox::StandardButton click;
  MsgAnswer answer;
};

class RealMessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(RealMessageBoxTest, IconButtonsAndAnswer) {
  const BoxCase c = GetParam();
  Dialogs dialogs;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = true;
    EXPECT_EQ(box->icon(), c.icon);
    EXPECT_EQ(box->standardButtons(), c.expectedButtons);
    EXPECT_EQ(box->text(), QStringLiteral("line one\nline two"));
    box->button(c.click)->click();
  });
  EXPECT_EQ(dialogs.Message(nullptr, c.kind, "line one\nline two", c.buttons), c.answer);
  EXPECT_TRUE(seen);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].kind, c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RealMessageBoxTest,
    ::testing::Values(
        BoxCase{"ErrorOk", MsgKind::Error, MsgButtons::Ok, QMessageBox::Critical, QMessageBox::Ok,
                QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase{"WarningAborted", MsgKind::Warning, MsgButtons::OkAbort, QMessageBox::Warning,
                QMessageBox::Ok | QMessageBox::Abort, QMessageBox::Abort, MsgAnswer::Abort},
        BoxCase{"WarningConfirmed", MsgKind::Warning, MsgButtons::OkAbort, QMessageBox::Warning,
                QMessageBox::Ok | QMessageBox::Abort, QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase{"ConfirmationNo", MsgKind::Confirmation, MsgButtons::YesNoCancel, QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No,
                MsgAnswer::No},
        BoxCase{"InformationOk", MsgKind::Information, MsgButtons::Ok, QMessageBox::Information,
                QMessageBox::Ok, QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase{"PlainOk", MsgKind::Plain, MsgButtons::Ok, QMessageBox::NoIcon, QMessageBox::Ok,
                QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase{"YesNoQuestionYes", MsgKind::Confirmation, MsgButtons::YesNo, QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, MsgAnswer::Yes}),
    pt::test::CaseName());

// Runs `check` on the message box that `show` opens, then presses Escape.
void OnBox(const std::function<void(QMessageBox&)>& check, const std::function<void()>& show) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen = true;
    check(*box);
    QTest::keyClick(box, Qt::Key_Escape);
  });
  show();
  EXPECT_TRUE(seen);
}

// Where `needle` starts, in pixels from the left of the laid-out text.
qreal XOf(QTextDocument& doc, const QString& needle) {
  const QTextCursor c = doc.find(needle);
  EXPECT_FALSE(c.isNull()) << needle.toStdString();
  const QTextBlock b = c.block();
  const int at = c.selectionStart() - b.position();
  return doc.documentLayout()->blockBoundingRect(b).x() +
         b.layout()->lineForTextPosition(at).cursorToX(at);
}

TEST(RealMessageBox, ReplaceQuestionKeepsTheFileOnEnterAndEscape) {
  Dialogs dialogs;
  OnBox([](QMessageBox& box) {
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
  }, [&] {
    EXPECT_EQ(dialogs.Message(nullptr, MsgKind::Confirmation, "replace?", MsgButtons::YesNo),
              MsgAnswer::No);
  });
}

TEST(RealMessageBox, TabbedLinesLineUpAndShortBoxesFitTheirCaption) {
  Dialogs dialogs;
  OnBox([](QMessageBox& box) {
    QTextDocument doc;
    doc.setDefaultFont(box.font());
    if (box.textFormat() == Qt::RichText) {
      doc.setHtml(box.text());
    } else {
      doc.setPlainText(box.text());
    }
    EXPECT_NE(doc.toPlainText().indexOf(QStringLiteral("Warning !!!")), -1);
    EXPECT_EQ(XOf(doc, QStringLiteral("= 0.5")), XOf(doc, QStringLiteral("= 0.4")));
  }, [&] {
    dialogs.Message(nullptr, MsgKind::Warning,
                    "Warning !!!\nlines\n\nCurrent version of file\t\t\t = 0.5"
                    "\nCurrent file version of pixelTuck\t = 0.4\n",
                    MsgButtons::OkAbort);
  });
  OnBox([](QMessageBox& box) {
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    EXPECT_GE(box.width(), title.horizontalAdvance(box.windowTitle()) + 150);
  }, [&] { dialogs.Message(nullptr, MsgKind::Confirmation, "User Abort !", MsgButtons::Ok); });
}

TEST(RealMessageBox, AboutBoxShowsTheProgramIcon) {
  Dialogs dialogs;
  OnBox([](QMessageBox& box) {
    const QPixmap icon = box.iconPixmap();
    EXPECT_EQ(icon.deviceIndependentSize(), QSizeF(64, 64));
    EXPECT_EQ(icon.toImage(), ProgramPixmap(64, icon.devicePixelRatio()).toImage());
    // The address lines are not cut.
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    QTextDocument doc;
    doc.setDefaultFont(label->font());
    doc.setHtml(label->text());
    EXPECT_GE(label->width(), doc.idealWidth());
  }, [&] { dialogs.About(nullptr, pt::window::AboutText()); });
  EXPECT_EQ(dialogs.ShownTexts(), std::vector<std::string>{pt::window::AboutText()});
}

TEST(RealFileDialog, AllFilesFirstAndSelected) {
  Dialogs dialogs;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_EQ(d->nameFilters(),
              QStringList({QStringLiteral("All files (*)"), QStringLiteral("BMP files (*.bmp)")}));
    EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("All files (*)"));
    EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(d->directory().absolutePath(), QDir(QDir::tempPath()).absolutePath());
    d->reject();
  });
  EXPECT_FALSE(dialogs.OpenFile(nullptr, QDir::tempPath().toStdString()).has_value());
  EXPECT_TRUE(seen);
  EXPECT_EQ(dialogs.fileDialogs(), 1);
}

TEST(ScriptedDialogs, QueuedAnswersThenDefaults) {
  Dialogs dialogs;
  dialogs.SetScripted(true);
  dialogs.QueueAnswer(MsgAnswer::Yes);
  EXPECT_EQ(dialogs.Message(nullptr, MsgKind::Confirmation, "q", MsgButtons::YesNoCancel),
            MsgAnswer::Yes);
  EXPECT_EQ(dialogs.Message(nullptr, MsgKind::Confirmation, "q", MsgButtons::YesNoCancel),
            MsgAnswer::Cancel);
  EXPECT_EQ(dialogs.Message(nullptr, MsgKind::Warning, "w", MsgButtons::OkAbort),
            MsgAnswer::Abort);
  dialogs.QueueFile(std::string("/x/y.bmp"));
  EXPECT_EQ(dialogs.OpenFile(nullptr), std::optional<std::string>("/x/y.bmp"));
  EXPECT_FALSE(dialogs.OpenFile(nullptr).has_value());
  EXPECT_EQ(dialogs.shown().size(), 3u);
}

class WindowServicesTest : public WindowTest {};

TEST_F(WindowServicesTest, BusyCursorDoesNotStack) {
  WriteConfig("2 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  w_->SetBusyCursor(true);
  w_->SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  w_->SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // A message box is not shown under the hourglass, which comes back after.
  w_->SetBusyCursor(true);
  w_->ShowMessage(MsgKind::Error, "x", MsgButtons::Ok);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  w_->SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowServicesTest, ProgressBarAdapter) {
  WriteConfig("2 1 -1 0 0 0 1 0 1 zip 1");
  Start();
  ProgressBar& bar = w_->Progress();
  bar.SetVisible(true);
  bar.SetPosition(42);
  EXPECT_TRUE(w_->ProgressBar->isVisible());
  EXPECT_EQ(w_->ProgressBar->value(), 42);
  EXPECT_EQ(bar.Position(), 42);
  bar.SetVisible(false);
  EXPECT_FALSE(w_->ProgressBar->isVisible());
}

TEST_F(WindowServicesTest, RequestKeyReturnsModeAndText) {
  WriteConfig("2 1 -1 0 0 0 2 0 1 zip 1");  // keyMode 2: hex preset
  Start();
  dialogs_.QueueExec([](QDialog& d) {
    d.show();  // the first showing applies the hex preset
    auto& f = dynamic_cast<TPassword_Form&>(d);
    EXPECT_TRUE(f.rbHex->isChecked());
    f.eEnter->setText(QStringLiteral("00112233445566778899aabbccddeeff"));
    f.bOK->click();
    f.hide();
    return f.result();
  });
  KeyRequest request;
  request.maskInput = true;
  request.applyKeyMode = true;
  const KeyReply reply = w_->RequestKey(request);
  EXPECT_TRUE(reply.ok);
  EXPECT_TRUE(reply.hexMode);
  EXPECT_EQ(reply.text.View(), "00112233445566778899aabbccddeeff");
  EXPECT_TRUE(w_->Password_Form->maskInput);

  dialogs_.QueueExec(CancelDialog());
  EXPECT_FALSE(w_->RequestKey(request).ok);
}

}  // namespace
}  // namespace pt::gui::test

namespace pt::gui::test {
namespace {

class DisclaimerPicture : public ::testing::TestWithParam<int> {};

// Drawn at the screen's scale factor: twice the pixels at scale 2, so the
// text is as sharp as the rest of the window.
TEST_P(DisclaimerPicture, SixteenColoursAndNothingCutAtTheBottom) {
  const int scale = GetParam();
  const QImage img = RenderDisclaimerPicture(scale);
  EXPECT_EQ(img.size(), QSize(452, 330) * scale);
  EXPECT_EQ(img.devicePixelRatio(), scale);
  EXPECT_EQ(img.format(), QImage::Format_Indexed8);
  EXPECT_LE(img.colorCount(), 16);
  int dark = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 128) ++dark;
  EXPECT_GT(dark, 2000 * scale * scale);  // there is text
  // The last rows stay white: the text ended inside the picture.
  for (int y = img.height() - 12 * scale; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      ASSERT_EQ(img.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Scales, DisclaimerPicture, ::testing::Values(1, 2));

TEST(DisclaimerForm, LooksAsDesigned) {
  TDisclaimerForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Disclaimer/Legalities"));
  EXPECT_EQ(form.size(), QSize(483, 462));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form.rbNo->isChecked());
  EXPECT_FALSE(form.rbYes->isChecked());
  EXPECT_EQ(Caption(form.rbNo), "I don't accept these terms");
  EXPECT_EQ(Caption(form.rbYes), "I accept these terms ");
  EXPECT_EQ(form.Image1->size(), QSize(452, 330));
  EXPECT_EQ(form.lTitle->font().pixelSize(), 32);
  EXPECT_FALSE(form.lIcon->pixmap().isNull());
  form.setResult(QDialog::Rejected);
  form.show();
  form.bOK->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace pt::gui::test
