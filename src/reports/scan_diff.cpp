#include "reports/scan_diff.h"

#include "config/strings.h"

#include <QMap>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString HeadMark = QStringLiteral("======== ");
const QString EndMark = QStringLiteral("******** ");
const QString FaultReadMark = QStringLiteral("## faults: ");
const QString CutShortMark = QStringLiteral("## search: cut short");

struct ReadWord {
    ScanFaultRead read;
    const char* word;
    int text;
};
const ReadWord ReadWords[] = {
    {ScanFaultRead::Found, "found", OutcomeText::ReadFound},
    {ScanFaultRead::Empty, "empty", OutcomeText::ReadEmpty},
    {ScanFaultRead::Unsupported, "unsupported", OutcomeText::ReadUnsupported},
    {ScanFaultRead::Refused, "refused", OutcomeText::ReadRefused},
    {ScanFaultRead::Unreadable, "unreadable", OutcomeText::ReadUnreadable},
    {ScanFaultRead::Unknown, "unknown", OutcomeText::ReadNotRecorded},
};

const ReadWord& wordOf(ScanFaultRead read) {
    for (const ReadWord& w : ReadWords)
        if (w.read == read)
            return w;
    return ReadWords[std::size(ReadWords) - 1];
}

ScanFaultRead readOfWord(const QString& word) {
    for (const ReadWord& w : ReadWords)
        if (word == QLatin1String(w.word))
            return w.read;
    return ScanFaultRead::Unknown;
}

// Compared only where the read is known to have worked.
bool known(ScanFaultRead read) {
    return read == ScanFaultRead::Found || read == ScanFaultRead::Empty;
}

// The fault lines: "-- 1 --", " 18010  text", " 35     text".
const QRegularExpression FaultNumberLine(QStringLiteral("^-- \\d+ --$"));
const QRegularExpression FaultCodeLine(QStringLiteral("^ (\\d{5,})  ?(.*)$"));
const QRegularExpression FaultStatusLine(QStringLiteral("^ (-?\\d+) *(.*)$"));

// Identification lines put their value at column 30.
constexpr int ValueColumn = 30;

ScanUnit ParseUnit(const QString& head, const QStringList& body) {
    ScanUnit unit;
    QString entry = head.mid(HeadMark.size());
    while (entry.endsWith(QLatin1Char('=')))
        entry.chop(1);
    unit.entry = entry.trimmed();
    unit.address = unit.entry.left(3).toInt();
    // Found: the found line, a blank, then the identification; not found:
    // the not-found line and the two blank lines.
    unit.found = body.size() > 3 && !body[2].trimmed().isEmpty();
    if (!unit.found)
        return unit;
    const auto value = [&](qsizetype i) {
        return i < body.size() ? body[i].mid(ValueColumn).trimmed() : QString();
    };
    unit.partNumber = value(2);
    unit.component = value(3);
    unit.workshopCode = value(5);
    unit.coding = value(6);
    bool marked = false;
    for (const QString& line : body)
        if (line.startsWith(FaultReadMark)) {
            unit.faultRead = readOfWord(line.mid(FaultReadMark.size()).trimmed());
            marked = true;
        }
    for (qsizetype i = 0; i + 2 < body.size(); ++i) {
        if (!FaultNumberLine.match(body[i]).hasMatch())
            continue;
        const auto code = FaultCodeLine.match(body[i + 1]);
        const auto status = FaultStatusLine.match(body[i + 2]);
        if (!code.hasMatch() || !status.hasMatch())
            continue;
        ScanFault fault;
        fault.code = code.captured(1).toInt();
        fault.codeText = code.captured(2).trimmed();
        fault.status = status.captured(1).toInt();
        fault.statusText = status.captured(2).trimmed();
        unit.faults << fault;
        i += 2;
    }
    // Faults listed are a read that worked, marks or not.
    if (!marked && !unit.faults.isEmpty())
        unit.faultRead = ScanFaultRead::Found;
    return unit;
}

QString FaultText(const ScanFault& f) {
    QString text = QStringLiteral("%1").arg(f.code, 5, 10, QLatin1Char('0'));
    if (!f.codeText.isEmpty())
        text += QLatin1Char(' ') + f.codeText;
    return text;
}

QString StatusText(const ScanFault& f) {
    QString text = QString::number(f.status);
    if (!f.statusText.isEmpty())
        text += QLatin1Char(' ') + f.statusText;
    return text;
}

QString UnitText(const ScanUnit& u) {
    return u.partNumber.isEmpty() ? u.entry : u.entry + QStringLiteral(" (") + u.partNumber + ')';
}

QString IdentText(const ScanUnit& u) {
    return u.component.isEmpty() ? u.partNumber : u.partNumber + QLatin1Char(' ') + u.component;
}

} // namespace

namespace ScanMark {
QString FaultRead(ScanFaultRead read) {
    return FaultReadMark + QLatin1String(wordOf(read).word);
}
QString CutShort() {
    return CutShortMark;
}
} // namespace ScanMark

QString ScanFaultReadText(ScanFaultRead read, int languageOffset) {
    return LoadStr(wordOf(read).text + languageOffset);
}

ScanReport ParseScanReport(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);

    ScanReport report;
    QString head;
    QStringList body;
    auto finishUnit = [&] {
        if (!head.isEmpty())
            report.units << ParseUnit(head, body);
        head.clear();
        body.clear();
    };
    for (const QString& line : lines) {
        if (line.startsWith(HeadMark)) {
            finishUnit();
            head = line;
        } else if (line.startsWith(EndMark)) {
            finishUnit();
            report.complete = true;
        } else if (line == CutShortMark) {
            finishUnit();
            report.cutShort = true;
        } else if (!head.isEmpty()) {
            body << line;
        }
    }
    finishUnit();
    return report;
}

ScanDifference DiffScanReports(const ScanReport& older, const ScanReport& newer) {
    ScanDifference diff;
    QMap<int, ScanUnit> before;
    for (const ScanUnit& u : older.units)
        before.insert(u.address, u);
    QMap<int, ScanUnit> after;
    for (const ScanUnit& u : newer.units)
        after.insert(u.address, u);

    for (const ScanUnit& old : before) {
        if (!after.contains(old.address))
            diff.onlyInOlder << old;
    }
    for (const ScanUnit& now : after) {
        if (!before.contains(now.address)) {
            diff.onlyInNewer << now;
            continue;
        }
        const ScanUnit& old = before[now.address];
        if (old.found && !now.found) {
            diff.disappeared << old;
            continue;
        }
        if (!old.found && now.found) {
            diff.appeared << now;
            continue;
        }
        if (!now.found)
            continue;
        if (old.partNumber != now.partNumber || old.component != now.component)
            diff.replaced << ScanUnitChange{old, now};
        else if (old.coding != now.coding || old.workshopCode != now.workshopCode)
            diff.recoded << ScanUnitChange{old, now};
        if (!known(old.faultRead) || !known(now.faultRead)) {
            // Nothing to say when neither read could have shown a fault.
            const auto failed = [](ScanFaultRead r) {
                return r == ScanFaultRead::Refused || r == ScanFaultRead::Unreadable;
            };
            if (!old.faults.isEmpty() || !now.faults.isEmpty() || failed(old.faultRead) ||
                failed(now.faultRead))
                diff.notCompared << ScanUnitChange{old, now};
            continue;
        }
        // Faults pair by code, in report order when a code shows twice.
        QList<bool> oldMatched(old.faults.size(), false);
        for (const ScanFault& fault : now.faults) {
            qsizetype match = -1;
            for (qsizetype i = 0; i < old.faults.size(); ++i)
                if (!oldMatched[i] && old.faults[i].code == fault.code) {
                    match = i;
                    break;
                }
            if (match < 0) {
                diff.newFaults << ScanFaultChange{now.address, now.entry, {}, fault};
                continue;
            }
            oldMatched[match] = true;
            if (old.faults[match].status != fault.status)
                diff.changedStatus
                    << ScanFaultChange{now.address, now.entry, old.faults[match], fault};
        }
        for (qsizetype i = 0; i < old.faults.size(); ++i)
            if (!oldMatched[i])
                diff.goneFaults << ScanFaultChange{old.address, old.entry, old.faults[i], {}};
    }
    return diff;
}

ScanDifference DiffScanReports(const QString& olderText, const QString& newerText) {
    return DiffScanReports(ParseScanReport(olderText), ParseScanReport(newerText));
}

QStringList ScanDifferenceLines(const ScanDifference& d, int languageOffset) {
    auto text = [languageOffset](int id) { return LoadStr(id + languageOffset); };
    QStringList lines;
    for (const ScanUnit& u : d.appeared)
        lines << text(TeamText::ScanUnitAppeared).arg(UnitText(u));
    for (const ScanUnit& u : d.disappeared)
        lines << text(TeamText::ScanUnitDisappeared).arg(UnitText(u));
    for (const ScanUnitChange& c : d.replaced)
        lines << text(OutcomeText::ScanUnitReplaced)
                     .arg(c.after.entry, IdentText(c.before), IdentText(c.after));
    for (const ScanUnitChange& c : d.recoded)
        lines << text(OutcomeText::ScanUnitRecoded)
                     .arg(c.after.entry,
                          text(OutcomeText::ScanCodingAndWorkshop)
                              .arg(c.before.coding, c.before.workshopCode),
                          text(OutcomeText::ScanCodingAndWorkshop)
                              .arg(c.after.coding, c.after.workshopCode));
    for (const ScanUnitChange& c : d.notCompared)
        lines << text(OutcomeText::ScanFaultsNotCompared)
                     .arg(c.after.entry, ScanFaultReadText(c.before.faultRead, languageOffset),
                          ScanFaultReadText(c.after.faultRead, languageOffset));
    for (const ScanFaultChange& c : d.newFaults)
        lines << text(TeamText::ScanFaultNew).arg(c.entry, FaultText(c.after), StatusText(c.after));
    for (const ScanFaultChange& c : d.goneFaults)
        lines << text(TeamText::ScanFaultGone)
                     .arg(c.entry, FaultText(c.before), StatusText(c.before));
    for (const ScanFaultChange& c : d.changedStatus)
        lines << text(TeamText::ScanStatusChanged)
                     .arg(c.entry, FaultText(c.after), StatusText(c.before), StatusText(c.after));
    for (const ScanUnit& u : d.onlyInOlder)
        lines << text(TeamText::ScanOnlyOlder).arg(u.entry);
    for (const ScanUnit& u : d.onlyInNewer)
        lines << text(TeamText::ScanOnlyNewer).arg(u.entry);
    if (lines.isEmpty())
        lines << text(TeamText::ScanNoDifference);
    return lines;
}
