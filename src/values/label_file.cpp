#include "values/label_file.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString dec(int n) {
    return QString::number(n);
}

// A value of blanks only counts as missing; IniFile already trims.
QString lookup(const IniFile& file, const QString& section, const QString& key,
               const QString& fallback) {
    const QString value = file.readString(section, key);
    return value.isEmpty() ? fallback : value;
}

QString afterFirstEquals(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}
} // namespace

QString LabelFileName(const QString& partNumber) {
    QString name = partNumber;
    name.remove(QLatin1Char(' '));
    return name;
}

QString LabelFilePath(const QString& programDir, const QString& languageCode,
                      const QString& partNumber) {
    const QString folder = QStringLiteral("labelfiles_") + languageCode;
    return QDir(programDir)
        .filePath(folder + QLatin1Char('/') + LabelFileName(partNumber) + QStringLiteral(".ini"));
}

IniFile OpenLabelFile(const QString& programDir, const QString& languageCode,
                      const QString& partNumber) {
    // The part number comes from the control unit; it must not lead out of
    // the label folder.
    const QString name = LabelFileName(partNumber);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        return {};

    const QString path = LabelFilePath(programDir, languageCode, partNumber);
    if (QFileInfo(path).isFile())
        return IniFile::open(path, LabelFileLimits);

    const QFileInfo wanted(path);
    const QDir folder = wanted.dir();
    const QStringList files = folder.entryList(QDir::Files);
    for (const QString& file : files) {
        if (file.compare(wanted.fileName(), Qt::CaseInsensitive) == 0)
            return IniFile::open(folder.filePath(file), LabelFileLimits);
    }
    return {};
}

IniFile OpenLabelFile(const QStringList& dataDirs, const QString& languageCode,
                      const QString& partNumber) {
    for (const QString& dir : dataDirs) {
        IniFile file = OpenLabelFile(dir, languageCode, partNumber);
        if (file.isOpen())
            return file;
    }
    return {};
}

QString LookupGroupLabel(const IniFile& labelFile, int group, int field, int formulaType) {
    if (formulaType == -1)
        return QStringLiteral("-");
    if (!labelFile.isOpen())
        return dec(formulaType);
    return lookup(labelFile, QStringLiteral("Groups"),
                  QLatin1Char('G') + dec(group) + QLatin1Char('.') + dec(field), dec(formulaType));
}

QString LookupRawLabel(const IniFile& labelFile, int n) {
    if (!labelFile.isOpen())
        return QString();
    return lookup(labelFile, QStringLiteral("Raw"), QStringLiteral("raw") + dec(n), dec(n));
}

QString LookupAdaptionLabel(const IniFile& labelFile, int channel, int n, int formulaType) {
    if (!labelFile.isOpen())
        return dec(formulaType);
    return lookup(labelFile, QStringLiteral("Adaption"),
                  QLatin1Char('K') + dec(channel) + QStringLiteral("-V") + dec(n),
                  dec(formulaType));
}

QString LookupAdaptionTitle(const IniFile& labelFile, int channel) {
    return labelFile.readString(QStringLiteral("Adaption"),
                                QLatin1Char('K') + dec(channel) + QLatin1Char('T'));
}

QStringList AdaptionHelpLines(const IniFile& labelFile, int channel) {
    const QString mark = QLatin1Char('K') + dec(channel) + QLatin1Char('.');
    QStringList lines;
    for (const QString& line : labelFile.readSection(QStringLiteral("Adaption"))) {
        if (line.contains(mark))
            lines << afterFirstEquals(line);
    }
    return lines;
}

QStringList LabelHelpLines(const IniFile& labelFile, const QString& section) {
    QStringList lines;
    for (const QString& line : labelFile.readSection(section))
        lines << afterFirstEquals(line);
    return lines;
}
