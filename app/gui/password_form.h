// The modal key entry dialog. It only collects and validates the key text;
// the job turns the text into key bytes (KeyBytesFromDialog).
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "carrier/settings.h"
#include "util/key_text.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TPassword_Form : public QDialog {
  Q_OBJECT

 public:
  explicit TPassword_Form(QWidget* parent = nullptr);
  ~TPassword_Form() override;

  // Set by each job before its first showing (from hidePassword).
  bool maskInput = false;
  // Set once at the main window's first activation (from keyMode); the next
  // activation of this dialog applies it and forgets it.
  std::optional<pt::KeyMode> pendingKeyMode;

  // Shows the error boxes of bOKClick; the window routes it through its
  // message-box service. Defaults to a critical QMessageBox.
  std::function<void(const QString&)> errorBox;

  void ApplyKeyMode();
  void rbASCIIClick();
  void FormActivate();
  void bOKClick();

  bool HexMode() const;
  // eEnter as the job takes it: one Windows-1252 byte per character (the
  // hex digits in hex mode); empty when a character has no such byte, which
  // bOKClick never lets pass.
  pt::KeyText KeyText() const;
  // Overwrites and empties both key fields (once a job has its key bytes).
  void WipeFields();
  bool ReenterShown() const;

  QFrame* Panel1;
  QLabel* lEnter;
  QLineEdit* eEnter;
  QLabel* lMeasure1;
  QLabel* Label1;
  QGroupBox* GroupBox1;
  QRadioButton* rbASCII;
  QRadioButton* rbHex;
  QFrame* Panel2;
  QLabel* lReenter;
  QLineEdit* eReenter;
  QLabel* lMeasure2;
  QPushButton* bOK;
  QPushButton* bCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
};
