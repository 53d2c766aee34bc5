#include "config/user_data.h"

#include <QStandardPaths>

QString UserDataPath(const QString& relative) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vandrix/") + relative;
}
