// raw, single and basic: the readings of the Raw Data, Single Reading and
// Basic Settings pages, one row per reading, with the pages' requests.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "config/app_locale.h"
#include "config/clock.h"
#include "log/log_format.h"
#include "services/hex_number.h"
#include "services/requests.h"
#include "values/label_file.h"
#include "values/measured_value.h"

#include <QJsonArray>
#include <functional>

namespace {

constexpr int PollInterval = 20; // ms after each reading, as the pages pause

// One reading of a page: its cells after the time, and its JSON.
struct PageReading {
    QStringList cells;
    QJsonObject json;
};
using ReadPage = std::function<PageReading(CommandChannel&, const IniFile& labels)>;

// The last three characters of "000" and the value: 7 is 007, -1 is 0-1.
QString threeDigits(int value) {
    return (QStringLiteral("000") + QString::number(value)).right(3);
}

// Ten bytes of a value block as the pages show them, named where names are
// wanted (the basic setting's raw view has none).
PageReading rawBytes(bool answered, const BlockBuffer& buffer, const IniFile* labels) {
    PageReading r;
    QJsonArray bytes;
    for (int n = 1; n <= 10; ++n) {
        const QString shown = answered ? threeDigits(buffer[n]) : QStringLiteral("NA");
        QJsonObject byte{{QStringLiteral("byte"), n},
                         {QStringLiteral("value"),
                          answered && buffer[n] >= 0 ? QJsonValue(buffer[n]) : QJsonValue()},
                         {QStringLiteral("text"), shown}};
        if (labels) {
            const QString name = answered ? LookupRawLabel(*labels, n) : QString();
            byte.insert(QStringLiteral("name"), name);
            r.cells << name;
        }
        r.cells << shown;
        bytes.append(byte);
    }
    r.json = {{QStringLiteral("answered"), answered}, {QStringLiteral("bytes"), bytes}};
    return r;
}

int numberArgument(const CliContext& c, const QString& text, int least, int most, int message) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < least || n > most)
        throw CliFailure{Exit::Usage, c.text(message).arg(text)};
    return n;
}

// The frame of the three commands: the unit reached, readings until --count
// or --seconds (one without either), each printed as it comes.
int runPage(const CliContext& c, CliOutput& out, QJsonObject& doc, const ReadPage& read,
            bool kw1281Only = false) {
    const Invocation& inv = c.invocation;
    const int address = RequireAddress(c, inv.arguments.value(0));
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    const int count = inv.count.value_or(inv.seconds ? 0 : 1);
    QJsonArray readings;
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    const auto keep = [&] { doc.insert(QStringLiteral("readings"), readings); };
    try {
        link.run([&] {
            CommandChannel& channel = link.connectUnit(address);
            // As the window, which offers the raw data page on KW 1281 only.
            if (kw1281Only && link.protocol() != ProtocolKind::KW1281)
                throw CliFailure{Exit::Usage,
                                 c.text(CliText::RawNeedsKw1281).arg(UnitEntry(address, c.lang))};
            const IniFile labels =
                OpenLabelFile(c.paths.dataDirs(), c.languageCode, link.identification().VAGTyp);
            const int64_t start = Clock::nowMs();
            for (int n = 0;; ++n) {
                if (count && n >= count)
                    break;
                if (inv.seconds && Clock::nowMs() - start >= int64_t(*inv.seconds * 1000))
                    break;
                const int64_t ms = Clock::nowMs() - start;
                PageReading r = read(channel, labels);
                QStringList cells{LogFormat::ElapsedTime(ms, AppLocale::decimalSeparator())};
                for (const QString& cell : r.cells)
                    cells << CliOutput::escaped(cell);
                out.line(cells.join(QLatin1Char('\t')));
                if (out.json()) {
                    r.json.insert(QStringLiteral("ms"), double(ms));
                    r.json.insert(QStringLiteral("time"),
                                  LogFormat::ElapsedTime(ms, QLatin1Char('.')));
                    readings.append(r.json);
                }
                channel.Pause(PollInterval);
                Interrupt::throwIfNew();
            }
        });
    } catch (...) {
        keep();
        throw;
    }
    keep();
    return Exit::Done;
}

} // namespace

int RunRaw(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    BlockBuffer buffer;
    return runPage(
        c, out, doc,
        [&](CommandChannel& channel, const IniFile& labels) {
            const bool answered = ReadRawGroup(channel, buffer);
            return rawBytes(answered, buffer, &labels);
        },
        true);
}

int RunSingle(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int valueChannel =
        numberArgument(c, c.invocation.arguments.value(1), 0, 255, CliText::InvalidChannel);
    doc.insert(QStringLiteral("channel"), valueChannel);
    return runPage(c, out, doc, [&](CommandChannel& channel, const IniFile&) {
        std::optional<int> value;
        const bool answered = ReadSingleValue(channel, valueChannel);
        if (answered) {
            // As the page: an odd value line or a missing prompt costs this
            // reading only.
            try {
                value = HexToIntStrict(channel.LastReply);
            } catch (const EConvertError&) {
            }
            try {
                channel.ReadReply(true, false);
            } catch (const EDataError&) {
            }
        }
        const QString shown = value ? QString::number(*value) : QStringLiteral("NA");
        return PageReading{
            {shown},
            {{QStringLiteral("answered"), answered},
             {QStringLiteral("value"), value ? QJsonValue(*value) : QJsonValue()},
             {QStringLiteral("reason"), value      ? QJsonValue()
                                        : answered ? QJsonValue(QStringLiteral("unreadable"))
                                                   : QJsonValue(QStringLiteral("refused"))}}};
    });
}

int RunBasic(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int group =
        numberArgument(c, c.invocation.arguments.value(1), 0, 255, CliText::InvalidBasicGroup);
    doc.insert(QStringLiteral("group"), group);
    BlockBuffer buffer;
    return runPage(c, out, doc, [&](CommandChannel& channel, const IniFile& labels) {
        // Group 0 is the raw view, without names.
        if (group == 0)
            return rawBytes(ReadRawBasicSetting(channel, buffer), buffer, nullptr);
        const bool answered = ReadBasicSetting(channel, buffer, group);
        PageReading r;
        QJsonArray fields;
        for (int f = 1; f <= 4; ++f) {
            const BlockBuffer::Field field = buffer.field(f);
            const QString name =
                answered ? LookupGroupLabel(labels, group, f, field.type) : QStringLiteral("-");
            const QString shown =
                answered ? FormatMeasuredValue(field.type, field.a, field.b) : QStringLiteral("NA");
            const ValueText v = SplitValue(shown);
            r.cells << name << v.value << v.unit;
            fields.append(ValueJson(name, shown));
        }
        r.json = {{QStringLiteral("answered"), answered}, {QStringLiteral("fields"), fields}};
        return r;
    });
}
