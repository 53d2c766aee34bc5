#include "log/log_header.h"

namespace LogFormat {

QStringList HeaderLines(const HeaderInfo& info) {
    return {PairLine(QStringLiteral("Vandrix ") + info.versionText, info.webAddress),
            PairLine(info.dateText, info.timeText), PairLine(info.unitCaption, info.unitText),
            PairLine(info.partCaption, info.partNumber), QString()};
}

QStringList GroupHeaderLines(const HeaderInfo& info, const QString& pageCaption,
                             const QString& groupWord, const QString& timeWord,
                             const QList<GroupSlot>& ticked) {
    return HeaderLines(info) << WithoutAccelerator(pageCaption)
                             << Cells(GroupTitleCells(groupWord, ticked))
                             << Cells(GroupColumnCells(timeWord, ticked));
}

} // namespace LogFormat
