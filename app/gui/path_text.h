// File names between Qt and the rest of the program, whose text is UTF-8.
// On Linux the file system's own bytes (QFile's encoding, UTF-8 in a UTF-8
// locale, any bytes otherwise); on Windows UTF-8, where QFile's 8-bit names
// are in the ANSI code page and lose every character outside it.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace pt::gui {

inline std::string ProgramText(const QString& name) {
#ifdef _WIN32
  return name.toUtf8().toStdString();
#else
  return QFile::encodeName(name).toStdString();
#endif
}

inline QString QtText(const std::string& name) {
#ifdef _WIN32
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
#else
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
#endif
}

}  // namespace pt::gui
