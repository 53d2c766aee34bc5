#pragma once
// Read-only INI files with the semantics the program's files were written for:
// case-insensitive section and key names, the value after the first "=" trimmed
// and stripped of matching quotes, at most 2047 characters, first of duplicate
// keys wins for lookups, ";" comment lines skipped. UTF-8 when the file is valid UTF-8,
// else Windows-1252.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

class IniFile {
public:
    static constexpr int MaxValueLength = 2047;

    IniFile() = default;
    // A missing or unreadable file gives a closed IniFile; every read then
    // returns the caller's default.
    static IniFile open(const QString& path);
    static IniFile fromBytes(const QByteArray& bytes);

    bool isOpen() const { return m_open; }
    const QString& path() const { return m_path; }

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    bool hasKey(const QString& section, const QString& key) const;
    // The section's entries as "key=value" lines, in file order, duplicates
    // included.
    QStringList readSection(const QString& section) const;
    QStringList sectionNames() const;

    static QString decode(const QByteArray& bytes);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, int> index; // lower-case key -> first entry
    };
    const Section* find(const QString& section) const;

    bool m_open = false;
    QString m_path;
    std::vector<Section> m_sections;
    QHash<QString, int> m_sectionIndex; // lower-case name -> first section
};
