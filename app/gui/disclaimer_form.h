// The disclaimer shown until it has been accepted once. It has no logic of
// its own: the start-up sequence reads rbNo after it closes.
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;
class QRadioButton;

// The notice as a 452 x 330 picture in 16 colours, drawn for a screen of the
// given scale factor (the image then has that device pixel ratio).
QImage RenderDisclaimerPicture(qreal scale = 1);

class TDisclaimerForm : public QDialog {
  Q_OBJECT

 public:
  explicit TDisclaimerForm(QWidget* parent = nullptr);
  ~TDisclaimerForm() override;

  QLabel* lIcon;
  QLabel* lTitle;
  QLabel* Image1;
  QRadioButton* rbNo;
  QRadioButton* rbYes;
  QPushButton* bOK;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The picture and the icon at the screen's scale factor.
  void ShowPictures();
};
