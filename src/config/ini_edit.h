#pragma once
// Setting one value in an INI file the user may have written by hand: every
// other line, comment and blank stays as it was.
#include <QByteArray>
#include <QString>

// bytes with key=value in section: the first line of that key (names compared
// without regard to case, as the reader does) is replaced, else a line is
// added at the end of the section, else the section is added at the end.
QByteArray WithIniValue(const QByteArray& bytes, const QString& section, const QString& key,
                        const QString& value);

// The same on a file, replaced whole or not at all. False, with the file
// untouched, when it cannot be read or written or is UTF-16, which this
// byte-wise edit would break; reason then holds the system's reason, if any.
bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value, QString* reason = nullptr);
