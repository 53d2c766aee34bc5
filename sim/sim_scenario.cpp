#include "sim/sim_scenario.h"

#include "config/ini_file.h"
#include "config/strings.h"

#include <QRegularExpression>
#include <cmath>
#include <numbers>

namespace {

bool parseNumber(QStringView t, double* out) {
    bool ok = false;
    if (t.startsWith(u"0x", Qt::CaseInsensitive))
        *out = double(t.mid(2).toLongLong(&ok, 16));
    else if (t.startsWith(u"0b", Qt::CaseInsensitive))
        *out = double(t.mid(2).toLongLong(&ok, 2));
    else
        *out = t.toDouble(&ok);
    return ok && t.size() > 0;
}

bool parseInt(const QString& t, int64_t lo, int64_t hi, int64_t* out) {
    double d = 0;
    if (!parseNumber(QStringView(t).trimmed(), &d) || d != std::floor(d) || d < double(lo) ||
        d > double(hi))
        return false;
    *out = int64_t(d);
    return true;
}

uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// "\xHH" puts any byte into an identification line; "\\" is a backslash.
std::string unescape(const QString& text) {
    const QByteArray in = text.toLatin1();
    std::string out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && (in[i + 1] == 'x' || in[i + 1] == 'X')) {
            bool ok = false;
            const int v = in.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(v);
                i += 3;
                continue;
            }
        }
        if (in[i] == '\\' && i + 1 < in.size() && in[i + 1] == '\\') {
            out += '\\';
            ++i;
            continue;
        }
        out += in[i];
    }
    return out;
}

QStringList splitList(const QString& v) {
    return v.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
}

struct UnitReader {
    const QString& section;
    QString* error;

    bool fail(const QString& key, const QString& what) {
        if (error)
            *error = QStringLiteral("[%1] %2: %3").arg(section, key, what);
        return false;
    }
};

bool readUnit(const IniFile& ini, const QString& section, SimUnit* u, QString* error) {
    UnitReader r{section, error};
    u->name = section;
    u->groups.assign(256, {});
    u->basicGroups.assign(256, {});
    u->singles.assign(256, {});
    u->singlePresent.assign(256, false);
    u->channels.assign(100, {});
    static const QRegularExpression numbered(QStringLiteral("^([A-Za-z]+)(\\d+)([A-Za-z]*)$"));

    for (const QString& line : ini.readSection(section)) {
        const qsizetype eq = line.indexOf('=');
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        const QString k = key.toLower();
        int64_t n = 0;
        if (k == u"address") {
            if (!parseInt(value, 1, 126, &n))
                return r.fail(key, QStringLiteral("an address 1..126"));
            u->address = int(n);
        } else if (k == u"protocol") {
            const QString p = QString(value).remove(' ').toUpper();
            if (p == u"1" || p == u"KW1281")
                u->protocol = 1;
            else if (p == u"2" || p == u"KW2000")
                u->protocol = 2;
            else
                return r.fail(key, QStringLiteral("KW1281 or KW2000"));
        } else if (k == u"baud") {
            static const int rates[] = {0, 1200, 2400, 4800, 9600, 14400};
            if (!parseInt(value, 0, 14400, &n))
                return r.fail(key, QStringLiteral("one of 1200, 2400, 4800, 9600, 14400"));
            u->baudCode = 0;
            for (int c = 1; c <= 5; ++c)
                if (rates[c] == n)
                    u->baudCode = c;
        } else if (k == u"coding") {
            if (!parseInt(value, 0, 65535, &n))
                return r.fail(key, QStringLiteral("a number 0..65535"));
            u->coding = int(n);
        } else if (k == u"codingmax") {
            if (!parseInt(value, 0, 65535, &n))
                return r.fail(key, QStringLiteral("a number 0..65535"));
            u->codingMax = int(n);
        } else if (k == u"workshopcode") {
            if (!parseInt(value, 0, 99999, &n))
                return r.fail(key, QStringLiteral("a number 0..99999"));
            u->workshopCode = int(n);
        } else if (k == u"devicenumber") {
            if (!parseInt(value, 0, 9999999, &n))
                return r.fail(key, QStringLiteral("a number 0..9999999"));
            u->deviceNumber = n;
        } else if (k == u"importer") {
            if (!parseInt(value, 0, 999, &n))
                return r.fail(key, QStringLiteral("a number 0..999"));
            u->importer = int(n);
        } else if (k == u"raw" || k == u"rawbasic") {
            auto& list = k == u"raw" ? u->raw : u->rawBasic;
            list.clear();
            for (const QString& item : splitList(value)) {
                SimValue v;
                if (!parseSimValue(item, &v))
                    return r.fail(key, QStringLiteral("bad value \"%1\"").arg(item));
                list.push_back(v);
            }
        } else if (k == u"dtc") {
            u->dtcs.clear();
            for (const QString& item : splitList(value)) {
                const QStringList cs = item.split(':');
                int64_t code = 0, status = 0;
                if (cs.size() != 2 || !parseInt(cs[0], 0, 65535, &code) ||
                    !parseInt(cs[1], 0, 255, &status))
                    return r.fail(key, QStringLiteral("code:status pairs, got \"%1\"").arg(item));
                u->dtcs.push_back({int(code), int(status)});
            }
        } else if (k == u"dtcsupported") {
            u->dtcSupported = value.trimmed() != u"0";
        } else if (k == u"readiness") {
            if (!parseInt(value, 0, 255, &n))
                return r.fail(key, QStringLiteral("a byte"));
            u->readiness = int(n);
        } else if (k == u"logincode") {
            if (!parseInt(value, 0, 65535, &n))
                return r.fail(key, QStringLiteral("a number 0..65535"));
            u->loginCode = int(n);
        } else if (k == u"outputtests") {
            u->outputTests.clear();
            for (const QString& item : splitList(value)) {
                if (!parseInt(item, 0, 65535, &n))
                    return r.fail(key, QStringLiteral("component codes 0..65535"));
                u->outputTests.push_back(int(n));
            }
        } else if (k == u"refuse") {
            u->refuse.clear();
            for (const QString& item : splitList(value))
                u->refuse.push_back(item.toUpper().toStdString());
        } else if (k == u"refuseword") {
            u->refuseWord = value.toStdString();
        } else if (const auto m = numbered.match(key); m.hasMatch()) {
            const QString prefix = m.captured(1).toLower();
            const QString suffix = m.captured(3).toLower();
            const int index = m.captured(2).toInt();
            if (prefix == u"ident" && suffix.isEmpty()) {
                if (index < 1 || index > 32)
                    return r.fail(key, QStringLiteral("identification lines are Ident1..Ident32"));
                if (u->ident.size() < size_t(index))
                    u->ident.resize(size_t(index));
                u->ident[size_t(index - 1)] = unescape(value);
            } else if ((prefix == u"g" || prefix == u"b") && suffix.isEmpty()) {
                if (index < 1 || index > 255)
                    return r.fail(key, QStringLiteral("groups are 1..255"));
                auto& block = (prefix == u"g" ? u->groups : u->basicGroups)[size_t(index)];
                if (!parseSimBlock(value, &block) || block.empty())
                    return r.fail(key, QStringLiteral("fields \"type a b | ...\""));
            } else if (prefix == u"v" && suffix.isEmpty()) {
                if (index > 255 || !parseSimValue(value, &u->singles[size_t(index)]))
                    return r.fail(key, QStringLiteral("channel 0..255 with one value"));
                u->singlePresent[size_t(index)] = true;
            } else if (prefix == u"k" && index <= 99) {
                SimChannel& c = u->channels[size_t(index)];
                if (suffix.isEmpty()) {
                    if (!parseSimValue(value, &c.value))
                        return r.fail(key, QStringLiteral("one value"));
                    c.present = true;
                } else if (suffix == u"range") {
                    const QStringList mm = value.split(QStringLiteral(".."));
                    int64_t lo = 0, hi = 0;
                    if (mm.size() != 2 || !parseInt(mm[0], 0, 65535, &lo) ||
                        !parseInt(mm[1], lo, 65535, &hi))
                        return r.fail(key, QStringLiteral("a range lo..hi"));
                    c.min = int(lo);
                    c.max = int(hi);
                } else if (suffix == u"block") {
                    if (!parseSimBlock(value, &c.block))
                        return r.fail(key, QStringLiteral("fields \"type a b | ...\""));
                } else {
                    return r.fail(key, QStringLiteral("unknown key"));
                }
            } else {
                return r.fail(key, QStringLiteral("unknown key"));
            }
        } else {
            return r.fail(key, QStringLiteral("unknown key"));
        }
    }
    for (size_t i = 0; i < u->ident.size(); ++i)
        if (u->ident[i].empty() && i + 1 < u->ident.size())
            return r.fail(QStringLiteral("Ident%1").arg(i + 1), QStringLiteral("missing"));
    if (u->address == 0)
        return r.fail(QStringLiteral("Address"), QStringLiteral("missing"));
    return true;
}

} // namespace

int SimValue::at(int64_t timeMs, uint32_t salt) const {
    double v = lo;
    switch (kind) {
    case Const:
        break;
    case Sine: {
        const double phase = double(timeMs % periodMs) / double(periodMs);
        v = lo + (hi - lo) * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * phase));
        break;
    }
    case Ramp:
        v = timeMs >= periodMs ? hi : lo + (hi - lo) * double(timeMs) / double(periodMs);
        break;
    case Noise: {
        const uint32_t r = mix(uint32_t(timeMs / periodMs) * 2654435761U ^ mix(salt));
        v = lo + (hi - lo) * (double(r) / 4294967295.0);
        break;
    }
    }
    return int(std::lround(v));
}

bool parseSimValue(const QString& text, SimValue* out) {
    const QString t = text.trimmed();
    qsizetype at = t.indexOf('@');
    QStringView body = QStringView(t).left(at < 0 ? t.size() : at);
    double period = 0;
    if (at >= 0 && (!parseNumber(QStringView(t).mid(at + 1), &period) || period <= 0))
        return false;
    for (const auto& [sep, kind, defaultSec] :
         {std::tuple{u'~', SimValue::Sine, 8.0}, std::tuple{u'>', SimValue::Ramp, 120.0},
          std::tuple{u'%', SimValue::Noise, 0.5}}) {
        const qsizetype s = body.indexOf(sep);
        if (s < 0)
            continue;
        SimValue v;
        v.kind = kind;
        if (!parseNumber(body.left(s), &v.lo) || !parseNumber(body.mid(s + 1), &v.hi))
            return false;
        v.periodMs = std::max<int64_t>(1, std::llround((at >= 0 ? period : defaultSec) * 1000));
        *out = v;
        return true;
    }
    double c = 0;
    if (at >= 0 || !parseNumber(body, &c))
        return false;
    *out = SimValue{SimValue::Const, c, c, 0};
    return true;
}

bool parseSimBlock(const QString& text, SimBlock* out) {
    out->clear();
    for (const QString& field : text.split('|')) {
        const QStringList parts = field.split(' ', Qt::SkipEmptyParts);
        SimField f;
        if (parts.size() != 3 || !parseSimValue(parts[0], &f.type) ||
            !parseSimValue(parts[1], &f.a) || !parseSimValue(parts[2], &f.b))
            return false;
        out->push_back(f);
    }
    return true;
}

bool SimFault::parseList(const QString& list, std::vector<SimFault>* faults, bool* pace,
                         int* klineMs, QString* error) {
    static const std::pair<const char*, Kind> kinds[] = {
        {"silence", Silence},   {"dataerror", DataError}, {"garbage", Garbage},
        {"longline", LongLine}, {"noprompt", NoPrompt},   {"unplug", Unplug},
        {"error", Error},       {"extraline", ExtraLine}, {"endless", Endless},
        {"crlf", CrLf}};
    for (const QString& raw : list.split(',', Qt::SkipEmptyParts)) {
        const QString item = raw.trimmed();
        if (item.isEmpty())
            continue;
        const QString lower = item.toLower();
        if (lower == u"pace") {
            *pace = true;
            continue;
        }
        if (lower == u"crlf") { // line ends of the whole session
            SimFault f;
            f.kind = CrLf;
            f.atCount = 1;
            faults->push_back(f);
            continue;
        }
        if (lower.startsWith(u"kline=")) {
            bool ok = false;
            const int ms = lower.mid(6).toInt(&ok);
            if (!ok || ms < 0) {
                if (error)
                    *error = QStringLiteral("bad fault \"%1\": kline=MS").arg(item);
                return false;
            }
            *klineMs = ms;
            continue;
        }
        // "kind#N" counts commands; "kind@COMMAND[#K]" waits for a command, so
        // a request such as 0801 is never taken for a count.
        const qsizetype at = item.indexOf('@');
        const qsizetype hash = item.indexOf('#');
        const qsizetype nameEnd = at > 0 ? at : hash;
        SimFault f;
        bool ok = false;
        for (const auto& [name, kind] : kinds)
            if (nameEnd > 0 && lower.left(nameEnd) == QLatin1String(name)) {
                f.kind = kind;
                ok = true;
            }
        if (ok && at < 0) {
            f.atCount = item.mid(hash + 1).toInt(&ok);
            ok = ok && f.atCount >= 1;
        } else if (ok) {
            QString when = item.mid(at + 1);
            const qsizetype k = when.indexOf('#');
            if (k >= 0) {
                f.occurrence = when.mid(k + 1).toInt(&ok);
                ok = ok && f.occurrence >= 1;
                when.truncate(k);
            }
            f.atText = when.toUpper().toStdString();
            ok = ok && !f.atText.empty();
        }
        if (!ok) {
            if (error)
                *error = QStringLiteral(
                             "bad fault \"%1\": expected KIND#N, KIND@COMMAND or KIND@COMMAND#K "
                             "with KIND one of silence, dataerror, garbage, longline, "
                             "noprompt, unplug, error, extraline, endless, crlf; or pace, "
                             "crlf, kline=MS")
                             .arg(item);
            return false;
        }
        faults->push_back(f);
    }
    return true;
}

bool SimScenario::load(const QString& path, SimScenario* out, QString* error) {
    // A scenario is a few dozen lines: 1 MB and 10,000 entries bound a
    // mistaken path (a device, a recording) long before the memory.
    constexpr IniLimits ScenarioLimits{1024 * 1024, 10000};
    const IniFile ini = IniFile::open(path, ScenarioLimits);
    if (ini.refusal()) {
        if (error)
            *error = ini.refusal().kind == FileRefusal::Missing
                         ? QStringLiteral("scenario not found: %1").arg(path)
                         : ini.refusal().text(EnglishStringOffset);
        return false;
    }
    if (!fromIni(ini, out, error)) {
        if (error)
            *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}

bool SimScenario::fromIni(const IniFile& ini, SimScenario* out, QString* error) {
    SimScenario s;
    for (const QString& line : ini.readSection(QStringLiteral("Interface"))) {
        const qsizetype eq = line.indexOf('=');
        const QString key = line.left(eq).toLower();
        const QString value = line.mid(eq + 1);
        if (key == u"version") {
            s.chipVersion = value.toStdString();
        } else if (key == u"pace") {
            s.pace = value.trimmed() == u"1";
        } else if (key == u"klinems") {
            int64_t ms = 0;
            if (!parseInt(value, 0, 60000, &ms)) {
                if (error)
                    *error = QStringLiteral("[Interface] KLineMs: milliseconds 0..60000");
                return false;
            }
            s.klineMs = int(ms);
        } else if (key == u"faults") {
            if (!SimFault::parseList(value, &s.faults, &s.pace, &s.klineMs, error))
                return false;
        } else if (key.size() == 2 && key[0] == 'a' && key[1] >= '0' && key[1] <= '5') {
            const int input = key[1].digitValue();
            if (!parseSimValue(value, &s.analog[size_t(input)])) {
                if (error)
                    *error = QStringLiteral("[Interface] %1: one value 0..1023").arg(line.left(eq));
                return false;
            }
            s.analogPresent[size_t(input)] = true;
        } else {
            if (error)
                *error = QStringLiteral("[Interface] %1: unknown key").arg(line.left(eq));
            return false;
        }
    }
    for (const QString& section : ini.sectionNames()) {
        if (section.compare(u"Interface", Qt::CaseInsensitive) == 0)
            continue;
        SimUnit u;
        if (!readUnit(ini, section, &u, error))
            return false;
        if (s.unit(u.address)) {
            if (error)
                *error =
                    QStringLiteral("[%1] Address: %2 is used twice").arg(section).arg(u.address);
            return false;
        }
        s.units.push_back(std::move(u));
    }
    *out = std::move(s);
    return true;
}

const SimUnit* SimScenario::unit(int address) const {
    for (const SimUnit& u : units)
        if (u.address == address)
            return &u;
    return nullptr;
}
