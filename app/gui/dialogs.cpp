#include "app/gui/dialogs.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QGridLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "app/gui/path_text.h"
#include "app/gui/program_icon.h"
#include "app/window/window_logic.h"

namespace pt::gui {

namespace {

constexpr int kMinimumBoxWidth = 300;

QMessageBox::StandardButton StandardButtonOf(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::Abort: return QMessageBox::Abort;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    case MsgAnswer::Ok: break;
  }
  return QMessageBox::Ok;
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

// Lines of the form "label<TAB>...value" (the about box, the version lines
// of the newer-version warning) are set as table rows, so their values line
// up in any font; everything else stays plain text, line for line.
QString BoxText(const std::string& text, Qt::TextFormat& format) {
  const QString plain = QString::fromUtf8(text.c_str());
  format = Qt::PlainText;
  if (!plain.contains(QLatin1Char('\t'))) return plain;
  format = Qt::RichText;
  QString html;
  bool inTable = false;
  const QStringList lines = plain.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (line.contains(QLatin1Char('\t'))) {
      if (!inTable) html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\">");
      inTable = true;
      html += QStringLiteral("<tr>");
      const QStringList cells = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
      for (qsizetype c = 0; c < cells.size(); ++c) {
        const QString pad = c + 1 < cells.size() ? QStringLiteral(" padding-right:12px;")
                                                   : QString();
        html += QStringLiteral("<td style=\"white-space:pre;%1\">%2</td>")
                    .arg(pad, cells[c].toHtmlEscaped());
      }
      html += QStringLiteral("</tr>");
      continue;
    }
    if (inTable) html += QStringLiteral("</table>");
    inTable = false;
    html += QStringLiteral("<span style=\"white-space:pre;\">") + line.toHtmlEscaped() +
            QStringLiteral("</span>");
    // A table ends its own line.
    const bool nextIsRow = i + 1 < lines.size() && lines[i + 1].contains(QLatin1Char('\t'));
    if (i + 1 < lines.size() && !nextIsRow) html += QStringLiteral("<br>");
  }
  if (inTable) html += QStringLiteral("</table>");
  return html;
}

MsgAnswer RunBox(QWidget* parent, MsgKind kind, const std::string& text,
                 MsgButtons buttons, const QPixmap& icon) {
  Qt::TextFormat format = Qt::PlainText;
  const QString shownText = BoxText(text, format);
  QMessageBox box(IconFor(kind), MessageTitle(kind), QString(), QMessageBox::NoButton, parent);
  box.setTextFormat(format);
  box.setText(shownText);
  if (!icon.isNull()) box.setIconPixmap(icon);
  // The box sizes a rich-text label as if it could wrap; the table's lines
  // must not wrap (nor be cut).
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label && format == Qt::RichText) {
    QTextDocument doc;
    doc.setDefaultFont(label->font());
    doc.setHtml(shownText);
    label->setMinimumWidth(static_cast<int>(std::ceil(doc.idealWidth())) + 8);
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkAbort: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Abort); break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  }
  box.setDefaultButton(StandardButtonOf(pt::window::EnterAnswer(buttons)));
  box.setEscapeButton(StandardButtonOf(pt::window::EscapeAnswer(buttons)));
  // A short text ("User Abort !") would give a box narrower than its own
  // title bar; keep room for the caption and the frame's buttons.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(kMinimumBoxWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Abort: return MsgAnswer::Abort;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: break;
  }
  return pt::window::EscapeAnswer(buttons);
}

}  // namespace

QString MessageTitle(MsgKind kind) { return QString::fromUtf8(pt::window::MessageTitle(kind)); }

MsgAnswer Dialogs::Message(QWidget* parent, MsgKind kind,
                           const std::string& text, MsgButtons buttons) {
  shown_.push_back({kind, text, buttons});
  if (scripted_) {
    if (answers_.empty()) return pt::window::EscapeAnswer(buttons);
    const MsgAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  return RunBox(parent, kind, text, buttons, QPixmap());
}

void Dialogs::About(QWidget* parent, const std::string& text) {
  shown_.push_back({MsgKind::Information, text, MsgButtons::Ok});
  if (scripted_) return;
  const qreal ratio = parent ? parent->devicePixelRatioF() : qGuiApp->devicePixelRatio();
  RunBox(parent, MsgKind::Information, text, MsgButtons::Ok, ProgramPixmap(64, ratio));
}

std::optional<std::string> Dialogs::OpenFile(QWidget* parent, const std::string& folder) {
  ++fileDialogs_;
  fileDialogFolder_ = folder;
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
  if (!folder.empty()) dialog.setDirectory(QtText(folder));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().constFirst();
  if (path.isEmpty()) return std::nullopt;
  return ProgramText(path);
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
