#include "graph/graph_model.h"

#include "log/log_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A unit may follow a number directly ("1,23ms", "5%"); a colon, a slash or
// more digits after it make the whole text something else ("12:34").
bool StartsUnit(QChar c) {
    return c.isSpace() || c.isLetter() || c == QLatin1Char('%') || c == QChar(0x00B0) ||
           c == QLatin1Char('\\');
}

bool IsThousandsMark(QChar c, QChar thousandsSeparator) {
    if (c == thousandsSeparator)
        return true;
    // Regional settings with a blank between thousands write one of these.
    return thousandsSeparator.isSpace() && (c.isSpace() || c == QChar(0x202F));
}

} // namespace

ShownValue ParseShownValue(const QString& text, QChar decimalSeparator, QChar thousandsSeparator) {
    ShownValue out;
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("NA") || t.startsWith(QLatin1String("NA ")))
        return out;

    qsizetype i = 0;
    QString number;
    if (t.at(0) == QLatin1Char('-') || t.at(0) == QLatin1Char('+')) {
        number += t.at(0);
        ++i;
    }
    int digits = 0;
    while (i < t.size()) {
        const QChar c = t.at(i);
        if (c.isDigit()) {
            number += c;
            ++digits;
            ++i;
        } else if (digits > 0 && IsThousandsMark(c, thousandsSeparator) && i + 1 < t.size() &&
                   t.at(i + 1).isDigit()) {
            ++i;
        } else {
            break;
        }
    }
    if (digits > 0 && i + 1 < t.size() && t.at(i) == decimalSeparator && t.at(i + 1).isDigit()) {
        number += QLatin1Char('.');
        ++i;
        while (i < t.size() && t.at(i).isDigit())
            number += t.at(i++);
    }
    out.kind = ShownValue::Text;
    if (digits == 0 || (i < t.size() && !StartsUnit(t.at(i))))
        return out;
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok)
        return out;
    out.kind = ShownValue::Number;
    out.number = value;
    out.unit = t.mid(i).trimmed();
    return out;
}

void GraphModel::add(const QString& key, const QString& name, const QString& group, double t,
                     const ShownValue& value) {
    m_lastTime = std::max(m_lastTime, t);
    ++m_revision;
    if (value.kind == ShownValue::Text) {
        const auto known = std::find_if(m_textFields.begin(), m_textFields.end(),
                                        [&](const TextField& f) { return f.key == key; });
        if (known == m_textFields.end())
            m_textFields.append({key, name, t});
        else
            known->lastSeen = t;
    } else if (value.kind == ShownValue::Number) {
        auto it = std::find_if(m_series.begin(), m_series.end(), [&](const Series& s) {
            return s.key == key && s.unit == value.unit;
        });
        if (it == m_series.end()) {
            m_series.append({key, name, group, value.unit, {}, true});
            it = m_series.end() - 1;
        }
        // A reading from before the line's last one would fold the line back.
        if (it->points.isEmpty() || it->points.last().x() <= t) {
            // A pause in the polling (a dialog, another page) breaks the line
            // instead of drawing a ramp across time without readings.
            if (!it->points.isEmpty()) {
                const QString id = key + QLatin1Char('\n') + value.unit;
                const double last = it->points.last().x();
                const double gap = t - last;
                double& interval = m_lastInterval[id];
                if (gap > std::max(LogBreakSeconds, 4 * interval))
                    it->points.append(QPointF(last, std::numeric_limits<double>::quiet_NaN()));
                else
                    interval = gap;
            }
            it->points.append(QPointF(t, value.number));
        }
    }
    prune();
}

void GraphModel::prune() {
    if (m_keepSeconds <= 0)
        return;
    const double cutoff = m_lastTime - m_keepSeconds;
    for (Series& s : m_series) {
        qsizetype old = 0;
        while (old < s.points.size() && s.points[old].x() < cutoff)
            ++old;
        // A break at the front joins nothing any more.
        while (old < s.points.size() && std::isnan(s.points[old].y()))
            ++old;
        if (old > 0)
            s.points.remove(0, old);
    }
    m_series.removeIf([](const Series& s) { return s.points.isEmpty(); });
    m_textFields.removeIf([cutoff](const TextField& f) { return f.lastSeen < cutoff; });
}

void GraphModel::addLine(const QString& key, const QString& name, const QString& group,
                         const QString& unit, QList<QPointF> points) {
    if (points.isEmpty())
        return;
    m_lastTime = std::max(m_lastTime, points.constLast().x());
    ++m_revision;
    m_series.append({key, name, group, unit, std::move(points), true});
}

void GraphModel::addTextField(const QString& key, const QString& name, double lastSeen) {
    ++m_revision;
    m_textFields.append({key, name, lastSeen});
}

void GraphModel::clear() {
    m_lastInterval.clear();
    m_series.clear();
    m_textFields.clear();
    m_lastTime = 0;
    ++m_revision;
}

QString GraphModel::legendName(int index) const {
    const Series& s = m_series[index];
    const bool shared = std::any_of(m_series.begin(), m_series.end(), [&](const Series& other) {
        return &other != &s && other.name == s.name;
    });
    if (!shared || s.group.isEmpty())
        return s.name;
    return s.name + QStringLiteral(" (") + s.group + QLatin1Char(')');
}

QStringList GraphModel::units() const {
    QStringList out;
    for (const Series& s : m_series)
        if (!out.contains(s.unit))
            out << s.unit;
    return out;
}

QStringList GraphModel::textFields() const {
    QStringList out;
    for (const TextField& f : m_textFields) {
        const bool plotted = std::any_of(m_series.begin(), m_series.end(),
                                         [&](const Series& s) { return s.key == f.key; });
        if (!plotted)
            out << f.name;
    }
    return out;
}

void GraphModel::setVisible(int index, bool visible) {
    if (index < 0 || index >= m_series.size() || m_series[index].visible == visible)
        return;
    m_series[index].visible = visible;
    ++m_revision;
}

std::optional<std::pair<double, double>> GraphModel::valueRange(const QString& unit, double t0,
                                                                double t1) const {
    std::optional<std::pair<double, double>> range;
    for (const Series& s : m_series) {
        if (!s.visible || s.unit != unit)
            continue;
        auto from = std::lower_bound(s.points.begin(), s.points.end(), t0,
                                     [](const QPointF& p, double t) { return p.x() < t; });
        for (auto p = from; p != s.points.end() && p->x() <= t1; ++p) {
            if (std::isnan(p->y()))
                continue;
            if (!range)
                range = std::make_pair(p->y(), p->y());
            range->first = std::min(range->first, p->y());
            range->second = std::max(range->second, p->y());
        }
    }
    return range;
}

double GraphModel::firstTime() const {
    std::optional<double> first;
    for (const Series& s : m_series)
        if (!s.points.isEmpty() && (!first || s.points.first().x() < *first))
            first = s.points.first().x();
    return first.value_or(0);
}

void AddRecording(GraphModel& model, const LogRecording& recording) {
    const QChar decimal = recording.decimalSeparator;
    const QChar thousands = decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    for (const LogRecording::Row& row : recording.rows) {
        for (qsizetype c = 0; c < recording.columns.size() && c < row.values.size(); ++c) {
            const LogColumn& column = recording.columns[c];
            ShownValue value = ParseShownValue(row.values[c], decimal, thousands);
            // The cells hold the number alone; the unit is the column's.
            if (value.kind == ShownValue::Number)
                value.unit = column.unit;
            model.add(QString::number(c), column.name, column.group,
                      double(row.blockMs[column.block]) / 1000.0, value);
        }
    }
}

void AddRecording(GraphModel& model, NumericRecording&& recording) {
    for (qsizetype c = 0; c < recording.columns.size(); ++c) {
        const LogColumn& column = recording.columns[c];
        const QString key = QString::number(c);
        if (recording.points[c].isEmpty()) {
            if (recording.hadText[c])
                model.addTextField(key, column.name, recording.textLastSeen[c]);
            continue;
        }
        model.addLine(key, column.name, column.group, column.unit, std::move(recording.points[c]));
    }
}

QList<QList<QPointF>> SplitAtBreaks(const QList<QPointF>& points) {
    QList<QList<QPointF>> pieces;
    QList<QPointF> piece;
    for (const QPointF& p : points) {
        if (std::isnan(p.y())) {
            if (!piece.isEmpty())
                pieces << std::move(piece);
            piece = {};
        } else {
            piece << p;
        }
    }
    if (!piece.isEmpty())
        pieces << std::move(piece);
    return pieces;
}

QList<QPointF> PointsToDraw(const QList<QPointF>& points, double x0, double x1, int width) {
    auto from = std::lower_bound(points.begin(), points.end(), x0,
                                 [](const QPointF& p, double t) { return p.x() < t; });
    auto to = std::upper_bound(from, points.end(), x1,
                               [](double t, const QPointF& p) { return t < p.x(); });
    // One beyond each edge, so that a line runs to the border.
    if (from != points.begin())
        --from;
    if (to != points.end())
        ++to;
    width = std::max(width, 1);
    if (to - from <= 2 * qsizetype(width) || x1 <= x0)
        return QList<QPointF>(from, to);

    QList<QPointF> out;
    out.reserve(2 * qsizetype(width) + 8);
    const double perPixel = double(width) / (x1 - x0);
    auto column = [&](const QPointF& p) {
        return std::clamp<qint64>(qint64(std::floor((p.x() - x0) * perPixel)), -1, width);
    };
    auto it = from;
    while (it != to) {
        if (std::isnan(it->y())) {
            out << *it++;
            continue;
        }
        // One pixel column up to the next break: its smallest and its
        // largest point, in time order.
        const qint64 c = column(*it);
        auto low = it, high = it;
        for (++it; it != to && !std::isnan(it->y()) && column(*it) == c; ++it) {
            if (it->y() < low->y())
                low = it;
            if (it->y() > high->y())
                high = it;
        }
        out << *std::min(low, high);
        if (low != high)
            out << *std::max(low, high);
    }
    return out;
}
