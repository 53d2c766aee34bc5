#pragma once
// MeasurementLog: the CSV file the user chose. Bound to a name first, opened
// only when recording starts. An existing file is never emptied: it is
// appended to after a separator. Every cell and line end goes to the system
// at once (no buffer of our own), so a crash or a pulled plug loses at most
// the cell being written; a row gathered with addRowCells goes in one write
// with its line end, so it is lost whole or not at all. Failures never throw: the writers return
// false and the first failure since opening is kept for the window to report once. After a failure
// nothing more is written until the file is opened again: a later cell that got through would leave
// a row with fewer cells than its header. A write the system takes only in part (a disk that fills
// up) is taken back, so the file still ends after a whole cell.
#include <QFile>
#include <QString>
#include <QStringList>

class MeasurementLogFile {
public:
    MeasurementLogFile() = default;
    MeasurementLogFile(const MeasurementLogFile&) = delete;
    MeasurementLogFile& operator=(const MeasurementLogFile&) = delete;

    // Names the file; nothing is opened or created yet. An open file is left
    // open (the caller closes it first).
    void bind(const QString& path) { m_path = path; }
    QString fileName() const { return m_path; }
    bool isBound() const { return !m_path.isEmpty(); }

    // Opens the bound file for appending, creating it when missing. When it
    // already existed, two empty lines and a line of "*" set the new
    // recording apart. False when it cannot be opened or the separator fails.
    bool open();
    bool isOpen() const { return m_file.isOpen(); }
    // Closing a file that is not open does nothing.
    void close();

    // text made safe as a cell, followed by ";".
    bool writeCell(const QString& text);
    // Cell by cell; stops at the first that fails.
    bool writeCells(const QStringList& cells);
    // text followed by CR LF.
    bool writeLine(const QString& text);
    bool endLine() { return writeLine(QString()); }

    // Cells kept back and written in one write with whatever is written
    // next (the row's line end), so a kill in the middle of a pass leaves no
    // part of a row in the file. Cells still kept back when the file is
    // closed (a session stopped mid-pass) are dropped.
    void addRowCells(const QStringList& cells);

    // The reason of the first failure since the last open(), once: later
    // calls give the empty text until the file is opened again. Writes to a
    // file that is not open fail quietly and are not counted.
    QString takeFailure();

    // What the window tells the user, in their language.
    static QString FailureMessage(int languageOffset, const QString& path, const QString& reason);

private:
    bool write(const QByteArray& bytes);
    void fail(const QString& reason);

    QString m_path;
    QFile m_file;
    QString m_row; // the cells of the row not yet ended
    QString m_failure;
    bool m_failureTaken = false;
    bool m_failed = false;
};
