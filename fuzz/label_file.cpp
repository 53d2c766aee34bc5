// Label lookups: the label file comes from outside, and so does the part
// number that names it (the unit sends it). Input: a part number, the numbers
// of one lookup, then the label file's bytes.
#include "values/label_file.h"
#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
// A program folder with one label file, and files beside and above the
// label folder that no part number may reach.
struct ProgramFolder {
    QTemporaryDir dir;
    QString labels;
    ProgramFolder() {
        QDir(dir.path()).mkpath(QStringLiteral("labelfiles_de"));
        QDir(dir.path()).mkpath(QStringLiteral("other"));
        labels = QFileInfo(dir.filePath(QStringLiteral("labelfiles_de"))).canonicalFilePath();
        for (const char* name : {"labelfiles_de/036906034AM.ini", "vandrix.ini", "other/x.ini"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            f.open(QIODevice::WriteOnly);
            f.write("[Groups]\nG1.1=Drehzahl\n");
        }
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ProgramFolder folder;
    FuzzInput in(data, size);
    const QString part = in.text(40);
    const int group = in.inRange(0, 255);
    const int field = in.inRange(1, 4);
    const int type = in.inRange(-1, 255);
    const int channel = in.inRange(0, 99);
    const int n = in.inRange(1, 10);

    const IniFile opened = OpenLabelFile(folder.dir.path(), QStringLiteral("de"), part);
    if (opened.isOpen())
        FUZZ_CHECK(QFileInfo(opened.path()).canonicalPath() == folder.labels);
    FUZZ_CHECK(!LabelFileName(part).contains(QLatin1Char(' ')));

    const IniFile none;
    FUZZ_CHECK(LookupGroupLabel(none, group, field, type) ==
               (type == -1 ? QStringLiteral("-") : QString::number(type)));
    FUZZ_CHECK(LookupRawLabel(none, n).isEmpty());
    FUZZ_CHECK(LookupAdaptionLabel(none, channel, field, type) == QString::number(type));
    FUZZ_CHECK(LabelHelpLines(none, QStringLiteral("Login")).isEmpty());

    const IniFile labels = IniFile::fromBytes(in.rest());
    const QString groupKey = QStringLiteral("G%1.%2").arg(group).arg(field);
    const QString named = labels.readString(QStringLiteral("Groups"), groupKey);
    const QString groupLabel = LookupGroupLabel(labels, group, field, type);
    if (type == -1)
        FUZZ_CHECK(groupLabel == QStringLiteral("-"));
    else
        FUZZ_CHECK(groupLabel == (named.isEmpty() ? QString::number(type) : named));
    FUZZ_CHECK(!LookupRawLabel(labels, n).isEmpty());
    FUZZ_CHECK(!LookupAdaptionLabel(labels, channel, field, type).isEmpty());
    LookupAdaptionTitle(labels, channel);
    FUZZ_CHECK(AdaptionHelpLines(labels, channel).size() <=
               labels.readSection(QStringLiteral("Adaption")).size());
    FUZZ_CHECK(LabelHelpLines(labels, QStringLiteral("Coding")).size() ==
               labels.readSection(QStringLiteral("Coding")).size());
    return 0;
}
