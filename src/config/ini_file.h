#pragma once
// Read-only INI files with the semantics the program's files were written for:
// case-insensitive section and key names, the value after the first "=" trimmed
// and stripped of matching quotes, at most 2047 characters, first of duplicate
// keys wins for lookups, ";" comment lines skipped. UTF-8 when the file is valid UTF-8,
// else Windows-1252.
#include "config/bounded_file.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// How much of a file a reader takes: each format states its own beside its
// reader, a little above the largest real file of that kind.
struct IniLimits {
    qint64 maxBytes = 16 * 1024 * 1024;
    qsizetype maxEntries = 200000; // entry lines of all sections together
};

class IniFile {
public:
    static constexpr int MaxValueLength = 2047;

    IniFile() = default;
    // A missing, unreadable or oversized file gives a closed IniFile; every
    // read then returns the caller's default, and refusal() says why.
    static IniFile open(const QString& path, const IniLimits& limits = {});
    // Without an entry limit: the caller has already bounded the bytes.
    static IniFile fromBytes(const QByteArray& bytes, qsizetype maxEntries = -1);

    bool isOpen() const { return m_open; }
    const QString& path() const { return m_path; }
    const FileRefusal& refusal() const { return m_refusal; }

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
    FileRefusal m_refusal;
    std::vector<Section> m_sections;
    QHash<QString, int> m_sectionIndex; // lower-case name -> first section
};
