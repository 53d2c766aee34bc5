#pragma once
// Where the front end writes: results to standard output (text lines or one
// JSON document), messages, status and progress to standard error. Progress
// and colours only go to a terminal; a pipe gets plain lines.
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

class CliOutput {
public:
    enum class Colour { None, Good, Bad };

    CliOutput();

    void setJson(bool json) { m_json = json; }
    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool json() const { return m_json; }
    bool quiet() const { return m_quiet; }
    bool stdoutIsTerminal() const { return m_stdoutTty; }
    bool stdinIsTerminal() const { return m_stdinTty; }

    // A result line on standard output (text mode only). text is the
    // program's own: a CR in it (the string table breaks lines so) is a line
    // break; what it quotes from a unit or a file is escaped by the caller.
    void line(const QString& text);
    // A result line made of what a unit or a file said: every control
    // character escaped, so a tab or an escape code cannot move the columns
    // or command the terminal.
    void dataLine(const QString& text) { line(escaped(text)); }
    // text with every control character as a visible escape ("\t", "\e",
    // "\x07"); keepLineBreaks leaves LF as it is.
    static QString escaped(const QString& text, bool keepLineBreaks = false);
    // Rows of cells: tab-separated for a pipe, in aligned columns on a
    // terminal, the cells' control characters escaped. Cells may carry a
    // colour for the terminal.
    struct Cell {
        QString text;
        Colour colour = Colour::None;
    };
    void table(const QList<QList<Cell>>& rows);
    void table(const QList<QStringList>& rows);
    // The JSON document of the command; on one line when the command
    // streams JSON Lines.
    void document(const QJsonObject& doc);
    void setJsonLines(bool lines) { m_jsonLines = lines; }
    // One JSON object on one line of standard output, in text mode too.
    void jsonLine(const QJsonObject& object);

    // An error, always shown (standard error).
    void error(const QString& text);
    // A status line ("Connected"): standard error on a terminal, unless quiet.
    void status(const QString& text);
    // A progress line that the next one overwrites; terminal only.
    void progress(const QString& text);
    void endProgress();
    // The recording of the run, for its JSON document.
    void noteRecording(const QString& path) { m_recording = path; }
    const QString& recording() const { return m_recording; }

    // Asks on the terminal; true for yes. A stop or end of input is no.
    bool confirm(const QString& question, const QString& yesNo);

private:
    void write(FILE* stream, const QByteArray& bytes);
    QString coloured(const QString& text, Colour colour) const;

    bool m_json = false;
    bool m_jsonLines = false;
    bool m_quiet = false;
    bool m_stdoutTty = false;
    bool m_stderrTty = false;
    bool m_stdinTty = false;
    bool m_colour = false;
    bool m_progressShown = false;
    QString m_recording;
};
