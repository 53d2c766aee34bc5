#pragma once
// The header that starts every recording of the measurement log, as lines
// ready to write (each followed by CR LF by the writer).
#include "log/log_format.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace LogFormat {

// Lines 1 to 5: program and web address, date and time, the unit, its part
// number, an empty line. Captions arrive as the window shows them.
struct HeaderInfo {
    QString versionText; // "Version 1.41"
    QString webAddress;
    QString dateText; // short date of the regional settings
    QString timeText; // long time of the regional settings
    QString unitCaption;
    QString unitText; // the unit list's entry
    QString partCaption;
    QString partNumber;
};
QStringList HeaderLines(const HeaderInfo& info);

// The Group page's header: lines 1 to 5, the page caption without its
// accelerator, the group titles and the column names of the ticked slots.
QStringList GroupHeaderLines(const HeaderInfo& info, const QString& pageCaption,
                             const QString& groupWord, const QString& timeWord,
                             const QList<GroupSlot>& ticked);

} // namespace LogFormat
