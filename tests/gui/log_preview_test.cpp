// Job log scrolling and copying, and the bitmap preview.
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "tests/gui/gui_fixture.h"

namespace pt::gui::test {
namespace {

const std::string kAcceptedConfig = "2 1 -1 0 0 0 1 0 1 zip,gz 1";

class LogTest : public WindowTest {
 protected:
  void Fill(int n) {
    w_->ClearLog();
    for (int i = 0; i < n; ++i) w_->AddLogLine("line " + std::to_string(i));
  }
};

// Dark pixels in the log's part of what the screen shows of the window.
int InkInLog(TpixelTuck_Form& w) {
  const QPixmap shot = w.screen()->grabWindow(w.winId());
  const QRect log(w.ListBox->viewport()->mapTo(&w, QPoint(0, 0)), w.ListBox->viewport()->size());
  const QImage img = shot.toImage().copy(log);
  int ink = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) ink += qGray(img.pixel(x, y)) < 100 ? 1 : 0;
  return ink;
}

// A job does not return to the event loop: adding a line alone must bring
// it onto the screen.
TEST_F(LogTest, NewLinesShowWithoutTheEventLoop) {
  WriteConfig(kAcceptedConfig);
  Start();
  QTest::qWait(50);
  ASSERT_EQ(InkInLog(*w_), 0);
  for (int i = 0; i < 5; ++i) w_->AddLogLine("-> Calculating CRC 32 checksum ...");
  EXPECT_GT(InkInLog(*w_), 500);
}

TEST_F(LogTest, TwentyTwoLinesStayAtTheTop) {
  WriteConfig(kAcceptedConfig);
  Start();
  Fill(22);
  EXPECT_EQ(w_->FirstVisibleLine(), 0);
  // All 22 lines really fit: the last one ends inside the list.
  const QRect last = w_->ListBox->visualItemRect(w_->ListBox->item(21));
  EXPECT_LE(last.bottom(), w_->ListBox->viewport()->height());
  EXPECT_EQ(last.height(), 15);
}

TEST_F(LogTest, ThirtyLinesShowTheNinthFirst) {
  WriteConfig(kAcceptedConfig);
  Start();
  Fill(30);
  EXPECT_EQ(w_->FirstVisibleLine(), 8);
  EXPECT_EQ(w_->ListBox->indexAt(QPoint(5, 2)).row(), 8);
  const QRect last = w_->ListBox->visualItemRect(w_->ListBox->item(29));
  EXPECT_LE(last.bottom(), w_->ListBox->viewport()->height());
  Fill(3);
  EXPECT_EQ(w_->FirstVisibleLine(), 0);
}

TEST_F(LogTest, LongLinesDoNotHideTheLastLine) {
  WriteConfig(kAcceptedConfig);
  Start();
  w_->ClearLog();
  for (int i = 0; i < 29; ++i) w_->AddLogLine("short " + std::to_string(i));
  w_->AddLogLine("-> \"" + std::string(200, 'n') + ".txt\"");
  EXPECT_EQ(w_->FirstVisibleLine(), 8);
  const QRect last = w_->ListBox->visualItemRect(w_->ListBox->item(29));
  EXPECT_LE(last.bottom(), w_->ListBox->viewport()->height());
}

TEST_F(LogTest, CopyJoinsEveryLineWithCrLf) {
  WriteConfig(kAcceptedConfig);
  Start();
  w_->AddLogLine("Try to encode file:");
  w_->AddLogLine("");
  w_->AddLogLine("-> x");
  w_->CopyLogToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QStringLiteral("Try to encode file:\r\n\r\n-> x\r\n"));
}

TEST_F(LogTest, EmptyLogCopiesEmptyText) {
  WriteConfig(kAcceptedConfig);
  Start();
  QGuiApplication::clipboard()->setText(QStringLiteral("old"));
  w_->ClearLog();
  w_->CopyLogToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

// A long line is elided in the list but shows whole on hover; the context
// menu copies the selected line or the whole log.
TEST_F(LogTest, LongLineOnHoverAndContextMenuCopies) {
  const std::string longLine = "-> \"" + std::string(120, 'x') + ".dat\"";
  WriteConfig(kAcceptedConfig);
  Start();
  w_->ClearLog();
  w_->AddLogLine("one");
  w_->AddLogLine(longLine);
  EXPECT_EQ(w_->ListBox->item(1)->toolTip().toStdString(), longLine);
  EXPECT_EQ(w_->ListBox->contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_TRUE(w_->ListBox->actions().contains(w_->mCopyLine));
  ASSERT_TRUE(w_->ListBox->actions().contains(w_->mCopyLog));
  w_->ListBox->setCurrentRow(1);
  w_->mCopyLine->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), longLine);
  w_->mCopyLog->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "one\r\n" + longLine + "\r\n");
}

TEST_F(LogTest, DoubleClickCopies) {
  WriteConfig(kAcceptedConfig);
  Start();
  QGuiApplication::clipboard()->setText(QStringLiteral("old"));
  w_->AddLogLine("one");
  w_->AddLogLine("two");
  const QRect r = w_->ListBox->visualItemRect(w_->ListBox->item(1));
  QTest::mouseDClick(w_->ListBox->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\r\ntwo\r\n"));
  // Below the last line counts too.
  QGuiApplication::clipboard()->setText(QStringLiteral("old"));
  QTest::mouseDClick(w_->ListBox->viewport(), Qt::LeftButton, {}, QPoint(20, 300));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\r\ntwo\r\n"));
}

class PreviewTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteConfig(kAcceptedConfig);
    Start();
    w_->cbShow->setChecked(true);
  }
};

TEST_F(PreviewTest, OnePixelIsEnlargedAndCentred) {
  w_->ShowPreview(WriteBmp(dir_.path(), QStringLiteral("one.bmp"), 1, 1));
  EXPECT_TRUE(w_->Image->isVisible());
  EXPECT_EQ(w_->Image->geometry(), QRect(2, 10, 344, 344));
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(PreviewTest, WidePictureFillsTheWidth) {
  w_->ShowPreview(WriteBmp(dir_.path(), QStringLiteral("wide.bmp"), 1000, 200));
  EXPECT_TRUE(w_->Image->isVisible());
  EXPECT_EQ(w_->Image->geometry(), QRect(2, 148, 344, 68));
  w_->HidePreview();
  EXPECT_FALSE(w_->Image->isVisible());
}

TEST_F(PreviewTest, UncheckedShowsNothing) {
  w_->cbShow->setChecked(false);
  w_->ShowPreview(WriteBmp(dir_.path(), QStringLiteral("one.bmp"), 1, 1));
  EXPECT_FALSE(w_->Image->isVisible());
}

TEST_F(PreviewTest, OverTenMillionBytesGivesTheMessage) {
  const std::string big = Path(QStringLiteral("big.bmp"));
  QFile f(QString::fromStdString(big));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_TRUE(f.resize(10000001));
  f.close();
  w_->ShowPreview(big);
  EXPECT_FALSE(w_->Image->isVisible());
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].text, "Image is not shown because of a size larger than 10MB");
  EXPECT_EQ(dialogs_.shown()[0].buttons, MsgButtons::Ok);

  dialogs_.ClearShown();
  w_->cbShow->setChecked(false);
  w_->ShowPreview(big);
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(PreviewTest, TenMillionBytesExactlyIsNotTooLarge) {
  const std::string edge = Path(QStringLiteral("edge.bmp"));
  QFile f(QString::fromStdString(edge));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_TRUE(f.resize(10000000));
  f.close();
  w_->ShowPreview(edge);
  EXPECT_TRUE(dialogs_.shown().empty());
  EXPECT_FALSE(w_->Image->isVisible());  // zeros are no bitmap
}

TEST_F(PreviewTest, MissingOrDamagedFilesShowNothingSilently) {
  w_->ShowPreview(Path(QStringLiteral("missing.bmp")));
  w_->ShowPreview(WriteFile(dir_.path(), QStringLiteral("text.bmp"), "not a picture"));
  EXPECT_FALSE(w_->Image->isVisible());
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(PreviewTest, OtherPictureTypesCountAsEmpty) {
  QImage png(10, 10, QImage::Format_RGB32);
  png.fill(Qt::red);
  const std::string path = Path(QStringLiteral("pic.png"));
  ASSERT_TRUE(png.save(QString::fromStdString(path), "PNG"));
  w_->ShowPreview(path);
  EXPECT_FALSE(w_->Image->isVisible());
}

}  // namespace
}  // namespace pt::gui::test
