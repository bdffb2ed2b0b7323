// File names, and the log lines that show them, between Qt and the rest of
// the program: the file system's own bytes (QFile's encoding, UTF-8 in a
// UTF-8 locale, any bytes otherwise).
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace pt::gui {

inline std::string ProgramText(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

inline QString QtText(const std::string& name) {
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

}  // namespace pt::gui
