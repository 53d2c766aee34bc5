#pragma once
// The graph window: the numeric values of the measuring groups over time, one
// line per field, one axis per unit. A live window follows the session's
// readings over the last span of seconds; a file window shows a CSV log of
// this program. The data lives in a GraphModel; this window only draws it.
#include "graph/graph_model.h"
#include "log/log_reader.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

class Prompts;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTimer;
class QValueAxis;

class GraphWindow : public QWidget {
    Q_OBJECT
public:
    enum class Source { Live, File };
    // Seconds shown while following, and how much a live window keeps for
    // looking back after a pause.
    static constexpr int DefaultSpanSeconds = 60;
    static constexpr int LiveKeepSeconds = 600;
    // How often a live window redraws at most.
    static constexpr int RedrawMs = 500;

    GraphWindow(Prompts& prompts, int languageOffset, Source source, QWidget* parent = nullptr);

    // Live: one field's reading as its value box shows it, t in seconds.
    void addReading(const QString& key, const QString& name, const QString& group, double t,
                    const QString& shownText);
    // Live: forgets every reading, for a new session (another unit's lines
    // must not continue this one's).
    void clearReadings();
    // File: reads a log of this program and shows its last recording; false,
    // after telling the user, when there is nothing to plot.
    bool openLog(const QString& path);
    void showRecording(int index);
    const QList<NumericRecording>& recordings() const { return m_recordings; }
    // What the window said about the log beyond its lines (columns or rows
    // left out); empty when it shows all of it.
    QString logNote() const { return m_logNote; }

    const GraphModel& model() const { return m_model; }
    Source source() const { return m_source; }

    // What the buttons do.
    bool isPaused() const { return m_paused; }
    void setPaused(bool paused);
    void follow();             // live: back to the newest span; file: the whole recording
    void setSpan(int seconds); // width of the followed span
    void zoomTo(double t0, double t1);
    // The span shown before the last zoom (the right button).
    void stepBack();
    // The pieces a line is drawn in: more than one where polling paused.
    QList<QLineSeries*> lineSegments(int index) const;
    // How many colours pass before one repeats.
    static int colourCount();
    void setLineVisible(int index, bool visible);
    // Opens a file window for a log the user chooses.
    void chooseLog();
    // Where that choice starts: the folder of the user's logs.
    void setLogFolder(const QString& folder) { m_logFolder = folder; }
    // The file window opened last from this one.
    GraphWindow* lastLogWindow() const { return m_lastLogWindow; }

    // Live: the unit the readings come from, for the saved readings' header.
    void setUnitInfo(const QString& unitEntry, const QString& partNumber);
    // Live: no session feeds it; the window says to open a log instead.
    void setNotConnected(bool notConnected);
    QLabel* sourceLabel() const { return m_sourceLabel; }
    // What the save buttons write: the chart as shown with a legend of the
    // shown lines below it, and the shown lines' readings within the time
    // span shown, as a log of this program.
    QImage picture();
    QStringList readingsLines() const;
    void savePicture();
    void saveReadings();

    // With more units than have room for an axis each, the lines share one
    // axis, each unit stretched to its span, and a legend gives the spans.
    bool sharesOneAxis() const { return m_oneAxis; }
    QValueAxis* scaleAxis() const { return m_scaleAxis; }
    QLabel* scalesLegend() const { return m_scalesLegend; }

    // Brings the chart up to date now.
    void redraw();
    // The time span shown.
    double viewStart() const { return m_x0; }
    double viewEnd() const { return m_x1; }

    QChartView* chartView() const { return m_view; }
    QLineSeries* line(int index) const;
    QValueAxis* axisOfUnit(const QString& unit) const { return m_axes.value(unit); }
    QListWidget* lineList() const { return m_lineList; }
    QLabel* textValues() const { return m_textValues; }
    QPushButton* pauseButton() const { return m_pause; }
    QPushButton* followButton() const { return m_follow; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* savePictureButton() const { return m_savePicture; }
    QPushButton* saveReadingsButton() const { return m_saveReadings; }
    QSpinBox* spanBox() const { return m_span; }
    QComboBox* recordingBox() const { return m_recording; }

private:
    QString str(int id) const;
    void createControls();
    void onTimer();
    void onXRangeChanged(double min, double max);
    void onLineItemChanged(QListWidgetItem* item);
    void setXRange(double x0, double x1);
    void fitValueAxes();
    void setTimeTicks();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void syncLines();
    void refresh();
    bool axesFit(int units) const;
    void chooseAxes(const QStringList& units);
    void fitScales();
    void showScales();
    QColor colourOf(const QString& lineId);
    QString saveTo(int titleId, int filterId, const QString& suffix);
    void resizeEvent(QResizeEvent* event) override;

    Prompts& m_prompts;
    int m_languageOffset;
    Source m_source;
    GraphModel m_model;
    QList<NumericRecording> m_recordings;
    QString m_logNote;
    QList<std::pair<double, double>> m_zoomHistory;
    QString m_logFolder;

    bool m_paused = false;
    bool m_settingRange = false; // the window moves the axis itself, not the user
    bool m_syncingList = false;
    double m_x0 = 0;
    double m_x1 = DefaultSpanSeconds;
    int m_spanSeconds = DefaultSpanSeconds;
    quint64 m_drawnRevision = ~quint64(0);
    int m_drawnWidth = 0; // the plot's width in pixels the lines were thinned for
    size_t m_nextColour = 0;
    QHash<QString, QColor> m_colours; // by line, kept when the axes change
    bool m_oneAxis = false;
    QHash<QString, std::pair<double, double>> m_scales; // by unit, while sharing one axis
    // The header of saved readings.
    QDateTime m_started = QDateTime::currentDateTime(); // live: when the lines start
    QString m_startedText;                              // file: as the log says
    QString m_unitEntry;
    QString m_partNumber;
    QString m_title;

    QChart* m_chart;
    QChartView* m_view;
    QValueAxis* m_timeAxis;
    // By series key and unit: the first piece, then the pieces after breaks.
    QHash<QString, QList<QLineSeries*>> m_lines;
    QHash<QString, QValueAxis*> m_axes; // by unit
    QValueAxis* m_scaleAxis = nullptr;  // the one axis instead
    QLabel* m_scalesLegend;
    QListWidget* m_lineList;
    QLabel* m_textValues;
    QPushButton* m_pause;
    QPushButton* m_follow;
    QPushButton* m_open;
    QPushButton* m_savePicture;
    QPushButton* m_saveReadings;
    QSpinBox* m_span;
    QLabel* m_spanLabel;
    QComboBox* m_recording;
    QLabel* m_sourceLabel;
    QTimer* m_timer;
    QPointer<GraphWindow> m_lastLogWindow;
};
