#pragma once
// The data behind the graph window, free of widgets: readings in (the text a
// value box shows, or a log cell with its column's unit), one series per
// field out, grouped by unit so that each unit gets one axis.
#include <QHash>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

struct LogRecording;
struct NumericRecording;

// A shown value split into number and unit.
struct ShownValue {
    enum Kind {
        Missing, // "NA", empty: no reading this time
        Text,    // a value without a number ("A:012 B:034", "12:34")
        Number,
    };
    Kind kind = Missing;
    double number = 0;
    QString unit;
};

// "1.234,5 km" in German separators -> 1234.5, "km"; "1,23ms" -> 1.23, "ms".
// A number must stand alone or be followed by its unit; "12:34" is text.
ShownValue ParseShownValue(const QString& text, QChar decimalSeparator, QChar thousandsSeparator);

class GraphModel {
public:
    struct Series {
        QString key;   // the field: the same key and unit continue one line
        QString name;  // its label
        QString group; // where it comes from, to tell equal labels apart
        QString unit;
        // x in seconds, y the value; x never falls. A NaN value marks a
        // break: no line joins the points on either side of it.
        QList<QPointF> points;
        bool visible = true;
    };

    // keepSeconds > 0 drops readings older than that before the newest;
    // 0 keeps everything (a log file).
    explicit GraphModel(double keepSeconds = 0) : m_keepSeconds(keepSeconds) {}

    // One field's reading at t seconds.
    void add(const QString& key, const QString& name, const QString& group, double t,
             const ShownValue& value);
    void clear();
    // A whole line at once, as a log file gives it.
    void addLine(const QString& key, const QString& name, const QString& group, const QString& unit,
                 QList<QPointF> points);
    void addTextField(const QString& key, const QString& name, double lastSeen);

    const QList<Series>& series() const { return m_series; }
    // The legend text: the label, with its group when another line has the same label.
    QString legendName(int index) const;
    // Units in the order they first appeared; one axis each.
    QStringList units() const;
    // Labels of fields that showed text and never a number, in order of appearance.
    QStringList textFields() const;

    void setVisible(int index, bool visible);
    // Smallest and largest value of the unit's visible lines within [t0, t1].
    std::optional<std::pair<double, double>> valueRange(const QString& unit, double t0,
                                                        double t1) const;
    // Time of the first and the newest reading kept; 0 when there is none.
    double firstTime() const;
    double lastTime() const { return m_lastTime; }
    // Grows with every change, so a view redraws only when something moved.
    quint64 revision() const { return m_revision; }

private:
    void prune();

    double m_keepSeconds;
    QHash<QString, double> m_lastInterval; // by line id, for breaks
    double m_lastTime = 0;
    quint64 m_revision = 0;
    QList<Series> m_series;
    struct TextField {
        QString key;
        QString name;
        double lastSeen;
    };
    QList<TextField> m_textFields;
};

// Every column of a recording read from a CSV log, as lines of a model; the
// time axis counts from the recording's start.
void AddRecording(GraphModel& model, const LogRecording& recording);
// The same for a log read as numbers; its points move into the model.
void AddRecording(GraphModel& model, NumericRecording&& recording);

// A line's points as drawn across width pixels of [x0, x1]: all of them
// while they are few, else the smallest and largest value of each pixel
// column in time order; the nearest point beyond each edge counts to the
// edge's column. Breaks stay.
QList<QPointF> PointsToDraw(const QList<QPointF>& points, double x0, double x1, int width);
// The pieces of a line between its breaks.
QList<QList<QPointF>> SplitAtBreaks(const QList<QPointF>& points);
