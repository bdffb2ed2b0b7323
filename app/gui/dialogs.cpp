#include "app/gui/dialogs.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace pt::gui {

namespace {

MsgAnswer DefaultAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::OkAbort: return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::Ok: break;
  }
  return MsgAnswer::Ok;
}

QMessageBox::Icon IconFor(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return QMessageBox::Critical;
    case MsgKind::Warning: return QMessageBox::Warning;
    case MsgKind::Confirmation: return QMessageBox::Question;
    case MsgKind::Information: return QMessageBox::Information;
    case MsgKind::Plain: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString MessageTitle(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return QStringLiteral("Error");
    case MsgKind::Warning: return QStringLiteral("Warning");
    case MsgKind::Confirmation: return QStringLiteral("Confirm");
    case MsgKind::Information: return QStringLiteral("Information");
    case MsgKind::Plain: break;
  }
  return QStringLiteral("pixelTuck");
}

MsgAnswer Dialogs::Message(QWidget* parent, MsgKind kind,
                           const std::string& text, MsgButtons buttons) {
  shown_.push_back({kind, text, buttons});
  if (scripted_) {
    if (answers_.empty()) return DefaultAnswer(buttons);
    const MsgAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }

  QMessageBox box(IconFor(kind), MessageTitle(kind),
                  QString::fromUtf8(text.c_str()), QMessageBox::NoButton,
                  parent);
  box.setTextFormat(Qt::PlainText);
  switch (buttons) {
    case MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case MsgButtons::OkAbort:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Abort);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Abort);
      break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No |
                             QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case MsgButtons::YesNo:
      // Replacing a file is never the default: Enter and Escape keep it.
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Abort: return MsgAnswer::Abort;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: break;
  }
  return DefaultAnswer(buttons);
}

std::optional<std::string> Dialogs::OpenFile(QWidget* parent) {
  ++fileDialogs_;
  if (scripted_) {
    if (files_.empty()) return std::nullopt;
    auto f = files_.front();
    files_.pop_front();
    return f;
  }
  QFileDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // "All files" first and selected, so names without an extension show.
  dialog.setNameFilters({QStringLiteral("All files (*)"), QStringLiteral("BMP files (*.bmp)")});
  dialog.selectNameFilter(QStringLiteral("All files (*)"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().constFirst();
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

int Dialogs::Exec(QDialog& dialog) {
  ++execs_;
  if (!handlers_.empty()) {
    ExecHandler h = std::move(handlers_.front());
    handlers_.pop_front();
    return h(dialog);
  }
  return dialog.exec();
}

std::vector<std::string> Dialogs::ShownTexts() const {
  std::vector<std::string> out;
  for (const auto& s : shown_) out.push_back(s.text);
  return out;
}

}  // namespace pt::gui
