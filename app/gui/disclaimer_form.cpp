#include "app/gui/disclaimer_form.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

#include <initializer_list>

#include "app/gui/program_icon.h"
#include "app/gui/form_style.h"

namespace {

// The sixteen colours of the classic VGA palette.
QList<QRgb> VgaPalette() {
  return {qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),
          qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128),
          qRgb(0, 128, 128),   qRgb(192, 192, 192), qRgb(128, 128, 128),
          qRgb(255, 0, 0),     qRgb(0, 255, 0),     qRgb(255, 255, 0),
          qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255),
          qRgb(255, 255, 255)};
}

}  // namespace

QImage RenderDisclaimerPicture(qreal scale) {
  if (scale < 1) scale = 1;
  // Drawn at the screen's own resolution, so the text stays sharp on a
  // scaled display instead of being enlarged from 452 x 330 pixels.
  QImage img(qRound(452 * scale), qRound(330 * scale), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.scale(scale, scale);
  p.setRenderHint(QPainter::TextAntialiasing, false);

  QFont heading = pt::gui::FormFont(17);
  heading.setBold(true);
  QFont body = pt::gui::FormFont(14);

  p.setPen(QColor(128, 0, 0));
  p.setFont(heading);
  p.drawText(QRect(10, 8, 432, 26), Qt::AlignHCenter | Qt::AlignVCenter,
             QString::fromUtf8(pt::window::kDisclaimerHeading));
  p.setPen(QColor(128, 128, 128));
  p.drawLine(20, 38, 431, 38);

  p.setFont(body);
  int y = 50;
  for (const char* paragraph : pt::window::kDisclaimerParagraphs) {
    const QString text = QString::fromUtf8(paragraph);
    const QRect box(16, y, 420, 330 - y);
    const QRect used =
        p.boundingRect(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    p.setPen(QColor(0, 0, 128));
    p.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    y = used.bottom() + 12;
  }
  p.setPen(QColor(0, 128, 0));
  p.drawText(QRect(16, y, 420, 330 - y), Qt::TextWordWrap | Qt::AlignHCenter,
             QString::fromUtf8(pt::window::kDisclaimerClosing));
  p.end();
  QImage picture = img.convertToFormat(QImage::Format_Indexed8, VgaPalette(),
                                       Qt::ThresholdDither | Qt::AvoidDither);
  picture.setDevicePixelRatio(scale);
  return picture;
}

TDisclaimerForm::TDisclaimerForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DisclaimerForm"));
  setWindowTitle(QStringLiteral("Disclaimer/Legalities"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFont(pt::gui::FormFont(12));
  setFixedSize(483, 462);

  auto* top = new QFrame(this);
  top->setObjectName(QStringLiteral("pTop"));
  top->setFrameStyle(QFrame::Panel | QFrame::Raised);
  top->setGeometry(0, 0, 483, 56);
  lTitle = new QLabel(QStringLiteral("Disclaimer"), top);
  lTitle->setObjectName(QStringLiteral("lTitle"));
  QFont big = pt::gui::FormFont(32);
  big.setBold(true);
  lTitle->setFont(big);
  lTitle->setAlignment(Qt::AlignCenter);
  lTitle->setGeometry(2, 2, 479, 52);
  lIcon = new QLabel(top);
  lIcon->setObjectName(QStringLiteral("lIcon"));
  lIcon->setGeometry(12, 4, 48, 48);

  auto* middle = new QFrame(this);
  middle->setObjectName(QStringLiteral("pMiddle"));
  middle->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  middle->setAutoFillBackground(true);
  QPalette white = middle->palette();
  white.setColor(QPalette::Window, Qt::white);
  middle->setPalette(white);
  middle->setGeometry(8, 62, 467, 344);
  Image1 = new QLabel(middle);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(7, 7, 452, 330);
  ShowPictures();

  rbNo = new QRadioButton(QStringLiteral("I don't accept these terms"), this);
  rbNo->setObjectName(QStringLiteral("rbNo"));
  rbNo->setGeometry(16, 412, 300, 20);
  rbNo->setChecked(true);
  rbYes = new QRadioButton(QStringLiteral("I accept these terms "), this);
  rbYes->setObjectName(QStringLiteral("rbYes"));
  rbYes->setGeometry(16, 434, 300, 20);

  bOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                        QStringLiteral("OK"), this);
  bOK->setObjectName(QStringLiteral("bOK"));
  bOK->setGeometry(375, 418, 100, 32);
  bOK->setDefault(true);
  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
  for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{rbNo, rbYes, bOK})
    pt::gui::SetMnemonic(button, pt::window::kDisclaimerMnemonics);
}

TDisclaimerForm::~TDisclaimerForm() = default;

void TDisclaimerForm::ShowPictures() {
  const qreal ratio = devicePixelRatioF();
  const QPixmap shown = Image1->pixmap();
  if (!shown.isNull() && qFuzzyCompare(shown.devicePixelRatio(), ratio)) return;
  Image1->setPixmap(QPixmap::fromImage(RenderDisclaimerPicture(ratio)));
  lIcon->setPixmap(pt::gui::ProgramPixmap(48, ratio));
}

void TDisclaimerForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The screen (and with it the scale factor) is known for certain now.
  ShowPictures();
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}
