// The INI reader on any bytes: configuration, label, fault text and car list
// files all come from outside. Every entry a section read lists is found by
// its key, in any letter case, with the value of its first occurrence.
#include "config/ini_file.h"
#include "fuzz_support.h"

namespace {
bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini =
        IniFile::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    FUZZ_CHECK(ini.isOpen());
    QStringList seen;
    for (const QString& section : ini.sectionNames()) {
        FUZZ_CHECK(!seen.contains(section.toLower()));
        seen << section.toLower();
        QStringList keysSeen;
        for (const QString& line : ini.readSection(section)) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            FUZZ_CHECK(eq > 0);
            const QString key = line.left(eq);
            const QString value = line.mid(eq + 1);
            FUZZ_CHECK(!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')));
            FUZZ_CHECK(value.size() <= IniFile::MaxValueLength);
            FUZZ_CHECK(ini.hasKey(section, key));
            const QString found = ini.readString(section, key, QStringLiteral("\x01"));
            if (!keysSeen.contains(key.toLower()))
                FUZZ_CHECK(found == value);
            keysSeen << key.toLower();
            if (isAscii(section) && isAscii(key)) {
                FUZZ_CHECK(ini.readString(section.toUpper(), key.toUpper()) == found);
                FUZZ_CHECK(ini.readString(section.toLower(), key.toLower()) == found);
            }
        }
    }
    // A name that is in no file gives the caller's default: a section name
    // with a line end cannot be read from any line.
    FUZZ_CHECK(ini.readString(QStringLiteral("\n"), QStringLiteral("k"), QStringLiteral("d")) ==
               QStringLiteral("d"));
    return 0;
}
