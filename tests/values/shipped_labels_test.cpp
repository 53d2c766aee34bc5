// The label files that ship with the program, for the demo car's units.
#include "support/qt_printers.h"
#include "values/label_file.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {
QString dataDir() {
    return qEnvironmentVariable("VANDRIX_DATA", QStringLiteral(VANDRIX_SOURCE_DATA));
}

QStringList keys(const IniFile& file) {
    QStringList out;
    for (const QString& section : file.sectionNames())
        for (const QString& line : file.readSection(section))
            out << section + '/' + line.left(line.indexOf('='));
    return out;
}

TEST(ShippedLabels, BothLanguagesNameTheSameKeys) {
    const QStringList units = {"036 906 034 AM", "09G 927 750 FA", "1J0 920 826 C",
                               "1C0 959 799 B"};
    for (const QString& unit : units) {
        SCOPED_TRACE(unit.toStdString());
        const IniFile de = OpenLabelFile(dataDir(), "de", unit);
        const IniFile en = OpenLabelFile(dataDir(), "en", unit);
        ASSERT_TRUE(de.isOpen());
        ASSERT_TRUE(en.isOpen());
        EXPECT_FALSE(keys(de).isEmpty());
        EXPECT_EQ(keys(de), keys(en));
    }
    for (const QString& unit : {QStringLiteral("1J0 907 379 P"), QStringLiteral("1C0 909 605 F")}) {
        EXPECT_FALSE(OpenLabelFile(dataDir(), "de", unit).isOpen());
        EXPECT_FALSE(OpenLabelFile(dataDir(), "en", unit).isOpen());
    }
}

TEST(ShippedLabels, DemoCarTexts) {
    const IniFile engine = OpenLabelFile(dataDir(), "de", "036 906 034 AM");
    EXPECT_EQ(LookupGroupLabel(engine, 1, 2, 5), QString::fromUtf8("Kühlmitteltemperatur"));
    EXPECT_EQ(LookupRawLabel(engine, 5), "5");

    const IniFile comfort = OpenLabelFile(dataDir(), "en", "1C0 959 799 B");
    EXPECT_EQ(
        AdaptionHelpLines(comfort, 1),
        QStringList({"0 = off, 1 = on.", "Closes the windows while the lock button is held."}));
    EXPECT_EQ(AdaptionHelpLines(comfort, 10).size(), 1);

    const IniFile cluster = OpenLabelFile(dataDir(), "en", "1J0 920 826 C");
    EXPECT_EQ(LabelHelpLines(cluster, "Coding").size(), 5);
    EXPECT_EQ(LabelHelpLines(cluster, "Login").size(), 3);
    EXPECT_EQ(LookupAdaptionTitle(cluster, 30), "Fuel sender correction");
}
} // namespace
