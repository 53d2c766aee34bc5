#include "services/fault_texts.h"

#include <QDir>
#include <QFileInfo>

namespace {
IniFile openIfFile(const QString& path) {
    return QFileInfo(path).isFile() ? IniFile::open(path, FaultTextLimits) : IniFile();
}
} // namespace

FaultTexts FaultTexts::open(const QString& folder, const QString& languageCode) {
    const QDir dir(folder);
    FaultTexts texts;
    texts.Codes = openIfFile(
        dir.filePath(QStringLiteral("dtc_list_") + languageCode + QStringLiteral(".ini")));
    texts.Statuses = openIfFile(
        dir.filePath(QStringLiteral("dtc_status_") + languageCode + QStringLiteral(".ini")));
    return texts;
}

FaultTexts FaultTexts::open(const QStringList& dataDirs, const QString& languageCode) {
    const auto find = [&](const QString& name) {
        for (const QString& folder : dataDirs) {
            const QString path = QDir(folder).filePath(name);
            if (QFileInfo(path).isFile())
                return IniFile::open(path, FaultTextLimits);
        }
        return IniFile();
    };
    FaultTexts texts;
    texts.Codes = find(QStringLiteral("dtc_list_") + languageCode + QStringLiteral(".ini"));
    texts.Statuses = find(QStringLiteral("dtc_status_") + languageCode + QStringLiteral(".ini"));
    return texts;
}

QString FaultTexts::codeText(int code) const {
    return Codes.readString(QStringLiteral("DTC"), QString::number(code)).trimmed();
}

QString FaultTexts::statusText(int status) const {
    return Statuses.readString(QStringLiteral("Status"), QString::number(status)).trimmed();
}
