#include "cli/output.h"

#include "cli/interrupt.h"

#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace {
const char* const ClearLine = "\r\033[K";

// The string table's messages may break lines with a lone CR.
QString withLineBreaks(const QString& text) {
    QString t = text;
    return t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), '\n');
}
} // namespace

QString CliOutput::escaped(const QString& text, bool keepLineBreaks) {
    const auto isControl = [keepLineBreaks](char16_t c) {
        return (c < 0x20 && !(keepLineBreaks && c == u'\n')) || (c >= 0x7f && c < 0xa0);
    };
    if (std::none_of(text.begin(), text.end(), [&](QChar c) { return isControl(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!isControl(u))
            out += c;
        else if (u == u'\t')
            out += QStringLiteral("\\t");
        else if (u == u'\r')
            out += QStringLiteral("\\r");
        else if (u == u'\n')
            out += QStringLiteral("\\n");
        else if (u == 0x1b)
            out += QStringLiteral("\\e");
        else
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
    }
    return out;
}

CliOutput::CliOutput() {
    m_stdoutTty = isatty(STDOUT_FILENO) == 1;
    m_stderrTty = isatty(STDERR_FILENO) == 1;
    m_stdinTty = isatty(STDIN_FILENO) == 1;
    const QByteArray term = qgetenv("TERM");
    m_colour = m_stdoutTty && qEnvironmentVariableIsEmpty("NO_COLOR") && term != "dumb";
}

void CliOutput::write(FILE* stream, const QByteArray& bytes) {
    // A reader that went away (a closed pipe) ends the command like a stop.
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) ||
        std::fflush(stream) != 0) {
        if (stream == stdout && !Interrupt::requested())
            Interrupt::request(SIGPIPE);
    }
}

QString CliOutput::coloured(const QString& text, Colour colour) const {
    if (!m_colour || colour == Colour::None)
        return text;
    const char* code = colour == Colour::Good ? "\033[32m" : "\033[31m";
    return QString::fromLatin1(code) + text + QStringLiteral("\033[0m");
}

void CliOutput::line(const QString& text) {
    if (m_json)
        return;
    endProgress();
    write(stdout, (withLineBreaks(text) + QLatin1Char('\n')).toLocal8Bit());
}

void CliOutput::table(const QList<QList<Cell>>& rows) {
    if (m_json)
        return;
    QList<qsizetype> widths;
    if (m_stdoutTty) {
        for (const auto& row : rows)
            for (qsizetype c = 0; c + 1 < row.size(); ++c) {
                if (widths.size() <= c)
                    widths << 0;
                widths[c] = std::max(widths[c], escaped(row[c].text).size());
            }
    }
    for (const auto& shown : rows) {
        QList<Cell> row = shown;
        for (Cell& cell : row)
            cell.text = escaped(cell.text);
        QString text;
        for (qsizetype c = 0; c < row.size(); ++c) {
            const bool last = c + 1 == row.size();
            if (m_stdoutTty) {
                const QString cell = last ? row[c].text : row[c].text.leftJustified(widths[c]);
                text += coloured(cell, row[c].colour) + (last ? QString() : QStringLiteral("  "));
            } else {
                text += row[c].text + (last ? QString() : QStringLiteral("\t"));
            }
        }
        if (m_stdoutTty)
            text = text.trimmed().isEmpty() ? QString() : text;
        line(text);
    }
}

void CliOutput::table(const QList<QStringList>& rows) {
    QList<QList<Cell>> cells;
    for (const QStringList& row : rows) {
        QList<Cell> r;
        for (const QString& text : row)
            r << Cell{text};
        cells << r;
    }
    table(cells);
}

void CliOutput::document(const QJsonObject& doc) {
    if (m_jsonLines)
        jsonLine(doc);
    else
        write(stdout, QJsonDocument(doc).toJson(QJsonDocument::Indented));
}

void CliOutput::jsonLine(const QJsonObject& object) {
    endProgress();
    write(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void CliOutput::error(const QString& text) {
    endProgress();
    write(stderr, (escaped(withLineBreaks(text), true) + QLatin1Char('\n')).toLocal8Bit());
}

void CliOutput::status(const QString& text) {
    if (m_quiet || !m_stderrTty)
        return;
    endProgress();
    write(stderr, (escaped(withLineBreaks(text), true) + QLatin1Char('\n')).toLocal8Bit());
}

void CliOutput::progress(const QString& text) {
    if (m_quiet || !m_stderrTty)
        return;
    write(stderr, QByteArray(ClearLine) + escaped(text).toLocal8Bit());
    m_progressShown = true;
}

void CliOutput::endProgress() {
    if (!m_progressShown)
        return;
    m_progressShown = false;
    write(stderr, ClearLine);
}

bool CliOutput::confirm(const QString& question, const QString& yesNo) {
    endProgress();
    write(stderr, (question + QLatin1Char(' ') + yesNo + QLatin1Char(' ')).toLocal8Bit());
    QByteArray answer;
    bool lineEnded = false;
    for (;;) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        if (Interrupt::requested() && r <= 0)
            break;
        if (r < 0 && errno != EINTR)
            break;
        if (r <= 0)
            continue;
        char c = 0;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            break;
        if (c == '\n') {
            lineEnded = true;
            break;
        }
        answer += c;
    }
    // The terminal echoed the user's line end; a stop or an end of input did not.
    if (!lineEnded)
        write(stderr, "\n");
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return !Interrupt::requested() && (a == u"y" || a == u"yes" || a == u"j" || a == u"ja");
}
