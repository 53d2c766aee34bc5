// The fault text files: an endless device or a folder in a text file's place
// only removes its texts.
#include "services/fault_texts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FaultTexts, EndlessDeviceOrFolderGivesNoTexts) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("dtc_list_de.ini")));
    QFile status(dir.filePath("dtc_status_de.ini"));
    ASSERT_TRUE(status.open(QIODevice::WriteOnly));
    status.write("[Status]\n35=Signal zu groß\n");
    status.close();
    const FaultTexts texts = FaultTexts::open(QStringList{dir.path()}, "de");
    EXPECT_FALSE(texts.Codes.isOpen());
    EXPECT_EQ(texts.codeText(16684), QString());
    EXPECT_EQ(texts.statusText(35), QStringLiteral("Signal zu groß"));

    ASSERT_TRUE(QDir(dir.path()).mkdir("dtc_list_en.ini"));
    EXPECT_FALSE(FaultTexts::open(dir.path(), "en").Codes.isOpen());
}
