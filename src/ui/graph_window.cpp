#include "ui/graph_window.h"

#include "config/app_locale.h"
#include "config/atomic_file.h"
#include "config/strings.h"
#include "config/web_links.h"
#include "graph/graph_export.h"
#include "log/log_format.h"
#include "log/log_reader.h"
#include "ui/prompts.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <memory>

namespace {

// Sixteen colours apart enough to tell the lines of four full groups from
// each other; the chart's theme repeats after five.
const QColor LineColours[] = {
    {31, 119, 180}, {214, 39, 40},   {44, 160, 44}, {255, 127, 14}, {148, 103, 189}, {23, 190, 207},
    {140, 86, 75},  {227, 119, 194}, {90, 90, 90},  {188, 189, 34}, {0, 0, 140},     {120, 0, 40},
    {0, 110, 60},   {255, 200, 0},   {0, 170, 255}, {170, 110, 0},
};

// Pieces of one line beyond this are joined: breaks closer together than a
// few pixels cannot be seen anyway.
constexpr int MaxPiecesPerLine = 64;

// Logs from this size on are read with a progress box that can cancel.
constexpr qint64 ProgressFromBytes = 4 * 1024 * 1024;

// Of the chart's width, how much the value axes may take before the lines
// share one: beyond it the plot shrinks and the axes' titles are cut to dots.
constexpr double AxesShareOfWidth = 0.5;

QString LineId(const GraphModel::Series& s) {
    return s.key + QLatin1Char('\n') + s.unit;
}

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// Whole seconds between time labels, about eight labels across the span; a
// span that holds no whole second is labelled in tenths and their multiples.
double TimeStep(double t0, double t1) {
    const double span = t1 - t0;
    if (std::ceil(t0) > t1) {
        for (double step : {0.5, 0.2, 0.1, 0.05, 0.02})
            if (span / step >= 2)
                return step;
        return 0.01;
    }
    for (double step : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0,
                        3600.0, 7200.0})
        if (span / step <= 8)
            return step;
    return std::ceil(span / 8 / 3600) * 3600;
}

// low and high widened to whole steps of 1, 2 or 5 times a power of ten,
// about five steps in all; a flat line gets room around it.
std::pair<double, double> NiceRange(double low, double high) {
    if (high - low < 1e-9) {
        const double room = std::max(1.0, std::abs(low) * 0.1);
        low -= room;
        high += room;
    }
    const double rough = (high - low) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (double factor : {1.0, 2.0, 5.0})
        if (rough <= factor * power) {
            step = factor * power;
            break;
        }
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

} // namespace

GraphWindow::GraphWindow(Prompts& prompts, int languageOffset, Source source, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts), m_languageOffset(languageOffset),
      m_source(source), m_model(source == Source::Live ? LiveKeepSeconds : 0) {
    setObjectName(QStringLiteral("GraphWindow"));
    createControls();
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &GraphWindow::onTimer);
    if (source == Source::Live)
        m_timer->start(RedrawMs);
    resize(1100, 620);
}

QString GraphWindow::str(int id) const {
    return LoadStr(id + m_languageOffset);
}

void GraphWindow::createControls() {
    setWindowTitle(str(TeamText::GraphTitle));

    m_pause = new QPushButton(str(TeamText::GraphPause), this);
    m_pause->setObjectName(QStringLiteral("PauseButton"));
    m_pause->setCheckable(true);
    connect(m_pause, &QPushButton::toggled, this, &GraphWindow::setPaused);

    m_follow = new QPushButton(str(TeamText::GraphFollow), this);
    m_follow->setObjectName(QStringLiteral("FollowButton"));
    connect(m_follow, &QPushButton::clicked, this, &GraphWindow::follow);

    m_spanLabel = new QLabel(str(TeamText::GraphSpan), this);
    m_span = new QSpinBox(this);
    m_span->setObjectName(QStringLiteral("SpanBox"));
    m_span->setRange(2, LiveKeepSeconds);
    m_span->setValue(DefaultSpanSeconds);
    m_span->setSuffix(QStringLiteral(" s"));
    connect(m_span, &QSpinBox::valueChanged, this, &GraphWindow::setSpan);

    m_recording = new QComboBox(this);
    m_recording->setObjectName(QStringLiteral("RecordingBox"));
    m_recording->hide();
    connect(m_recording, &QComboBox::activated, this, &GraphWindow::showRecording);

    m_open = new QPushButton(str(TeamText::GraphOpenLog), this);
    m_open->setObjectName(QStringLiteral("OpenLogButton"));
    connect(m_open, &QPushButton::clicked, this, &GraphWindow::chooseLog);
    m_savePicture = new QPushButton(str(ReaderText::GraphSavePicture), this);
    m_savePicture->setObjectName(QStringLiteral("SavePictureButton"));
    connect(m_savePicture, &QPushButton::clicked, this, &GraphWindow::savePicture);
    m_saveReadings = new QPushButton(str(ReaderText::GraphSaveReadings), this);
    m_saveReadings->setObjectName(QStringLiteral("SaveReadingsButton"));
    connect(m_saveReadings, &QPushButton::clicked, this, &GraphWindow::saveReadings);

    m_sourceLabel = new QLabel(this);
    m_sourceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    // The list beside the chart is the legend: whole names, the colour of
    // each line and its tick, where the chart's own would cut names short.
    m_chart->legend()->hide();
    m_timeAxis = new QValueAxis;
    m_timeAxis->setTitleText(str(TeamText::GraphTimeAxis));
    m_timeAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    // The plot's width is known only once the chart is laid out, after the
    // first lines were thinned for a guess; thinned again for the real one.
    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF& plot) {
        if (std::max(1, int(plot.width())) == m_drawnWidth || m_model.series().isEmpty())
            return;
        QTimer::singleShot(0, this, [this] {
            if (std::max(1, int(m_chart->plotArea().width())) != m_drawnWidth)
                refresh();
        });
    });
    setXRange(0, DefaultSpanSeconds);
    connect(m_timeAxis, &QValueAxis::rangeChanged, this, &GraphWindow::onXRangeChanged);

    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("ChartView"));
    // Plain lines: smoothing them tripled the cost of every frame.
    m_view->setRenderHint(QPainter::Antialiasing, false);
    // A drag picks a time span; the right button steps back out.
    m_view->setRubberBand(QChartView::HorizontalRubberBand);
    m_view->setToolTip(str(TeamText::GraphZoomHint));
    m_view->viewport()->installEventFilter(this);

    auto* linesTitle = new QLabel(str(TeamText::GraphLines), this);
    m_lineList = new QListWidget(this);
    m_lineList->setObjectName(QStringLiteral("LineList"));
    connect(m_lineList, &QListWidget::itemChanged, this, &GraphWindow::onLineItemChanged);
    m_textValues = new QLabel(this);
    m_textValues->setObjectName(QStringLiteral("TextValues"));
    m_textValues->setWordWrap(true);
    m_textValues->hide();
    m_scalesLegend = new QLabel(this);
    m_scalesLegend->setObjectName(QStringLiteral("ScalesLegend"));
    m_scalesLegend->setWordWrap(true);
    m_scalesLegend->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scalesLegend->hide();

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_pause);
    bar->addWidget(m_follow);
    bar->addSpacing(12);
    bar->addWidget(m_spanLabel);
    bar->addWidget(m_span);
    bar->addWidget(m_recording, 1);
    bar->addStretch();
    bar->addWidget(m_savePicture);
    bar->addWidget(m_saveReadings);
    bar->addSpacing(12);
    bar->addWidget(m_open);

    auto* side = new QVBoxLayout;
    side->addWidget(linesTitle);
    side->addWidget(m_lineList, 1);
    side->addWidget(m_scalesLegend);
    side->addWidget(m_textValues);

    auto* body = new QHBoxLayout;
    body->addWidget(m_view, 1);
    body->addLayout(side);
    m_lineList->setFixedWidth(280);

    auto* all = new QVBoxLayout(this);
    all->addLayout(bar);
    all->addWidget(m_sourceLabel);
    all->addLayout(body, 1);

    if (m_source == Source::File) {
        // A recording does not move: nothing to pause, and the whole of it
        // is one click away.
        m_pause->hide();
        m_follow->setText(str(TeamText::GraphWhole));
        m_spanLabel->hide();
        m_span->hide();
        m_paused = true;
    } else {
        // A live window shows the Group page.
        m_title = LogFormat::WithoutAccelerator(str(10));
    }
}

void GraphWindow::addReading(const QString& key, const QString& name, const QString& group,
                             double t, const QString& shownText) {
    m_model.add(
        key, name, group, t,
        ParseShownValue(shownText, AppLocale::decimalSeparator(), AppLocale::thousandsSeparator()));
}

bool GraphWindow::openLog(const QString& path) {
    // A large log is read with a box that shows how far and can cancel;
    // the window keeps painting meanwhile.
    std::unique_ptr<QProgressDialog> progressBox;
    const LogProgress progress = [&](qint64 done, qint64 total) {
        if (!progressBox && total >= ProgressFromBytes) {
            progressBox = std::make_unique<QProgressDialog>(
                str(ReaderText::GraphReading), str(ReaderText::GraphCancel), 0, 1000, this);
            progressBox->setObjectName(QStringLiteral("LogProgress"));
            progressBox->setWindowModality(Qt::WindowModal);
            progressBox->setMinimumDuration(300);
        }
        if (progressBox) {
            progressBox->setValue(int(total > 0 ? done * 1000 / total : 0));
            QCoreApplication::processEvents();
            if (progressBox->wasCanceled())
                return false;
        }
        return true;
    };
    NumericLog log = ReadLogNumbers(path, LogReadLimits{}, progress);
    progressBox.reset();
    if (log.cancelled)
        return false;
    if (log.refusal) {
        m_prompts.message(str(301),
                          str(TeamText::GraphUnreadable) + QLatin1Char('\n') +
                              log.refusal.text(m_languageOffset),
                          PromptIcon::Error);
        return false;
    }
    QList<NumericRecording> usable;
    for (NumericRecording& r : log.recordings)
        if (r.rows > 0 && !r.columns.isEmpty())
            usable << std::move(r);
    if (usable.isEmpty()) {
        m_prompts.message(str(301), str(TeamText::GraphNotALog) + QLatin1Char('\n') + path,
                          PromptIcon::Error);
        return false;
    }
    m_recordings = std::move(usable);
    m_logNote =
        log.rowsCut ? str(ReaderText::GraphRowsCut).arg(LogReadLimits{}.maxReadings) : QString();
    setWindowTitle(str(TeamText::GraphTitle) + QStringLiteral(" [") + QFileInfo(path).fileName() +
                   QLatin1Char(']'));
    m_recording->clear();
    for (int i = 0; i < m_recordings.size(); ++i)
        m_recording->addItem(QStringLiteral("%1 %2: %3")
                                 .arg(str(TeamText::GraphRecording))
                                 .arg(i + 1)
                                 .arg(m_recordings[i].started));
    m_recording->setVisible(m_recordings.size() > 1);
    showRecording(int(m_recordings.size() - 1));
    return true;
}

void GraphWindow::showRecording(int index) {
    if (index < 0 || index >= m_recordings.size())
        return;
    m_recording->setCurrentIndex(index);
    // The points are shared with the copy kept for the recording box.
    NumericRecording r = m_recordings[index];
    QStringList notes{m_logNote};
    if (r.columnsInLog > r.columns.size())
        notes << str(ReaderText::GraphColumnsCut).arg(r.columns.size()).arg(r.columnsInLog);
    m_sourceLabel->setText((QStringList({r.started, r.unitEntry, r.partNumber, r.title}) + notes)
                               .filter(QRegularExpression(QStringLiteral("\\S")))
                               .join(QStringLiteral("  |  ")));
    m_unitEntry = r.unitEntry;
    m_partNumber = r.partNumber;
    m_title = r.title;
    m_started = QDateTime();
    m_startedText = r.started;
    m_model.clear();
    AddRecording(m_model, std::move(r));
    m_zoomHistory.clear();
    follow();
}

void GraphWindow::chooseLog() {
    SaveFileRequest request;
    request.title =
        str(TeamText::GraphOpenLog).remove(QLatin1Char('&')).remove(QStringLiteral("..."));
    request.filter = str(ReaderText::GraphReadingsFilter);
    request.directory = m_logFolder;
    const QString path = m_prompts.openFile(request);
    if (path.isEmpty())
        return;
    // The file windows belong to the main window, so they stay when this
    // one closes.
    QWidget* owner = parentWidget() ? parentWidget() : this;
    auto* window = new GraphWindow(m_prompts, m_languageOffset, Source::File, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->openLog(path)) {
        window->deleteLater();
        return;
    }
    m_lastLogWindow = window;
    window->show();
}

void GraphWindow::setPaused(bool paused) {
    m_paused = paused;
    if (m_pause->isChecked() != paused)
        m_pause->setChecked(paused);
    if (!paused)
        redraw();
}

void GraphWindow::follow() {
    if (m_source == Source::File) {
        const double first = m_model.firstTime();
        const double last = std::max(m_model.lastTime(), first + 1);
        zoomTo(first, last);
        return;
    }
    setPaused(false);
}

void GraphWindow::setSpan(int seconds) {
    m_spanSeconds = seconds;
    if (m_span->value() != seconds)
        m_span->setValue(seconds);
    if (!m_paused)
        redraw();
}

void GraphWindow::zoomTo(double t0, double t1) {
    if (t1 <= t0)
        return;
    // Looking at a span of the past stops the scrolling.
    if (m_source == Source::Live)
        setPaused(true);
    if (t0 != m_x0 || t1 != m_x1)
        m_zoomHistory.append({m_x0, m_x1});
    m_x0 = t0;
    m_x1 = t1;
    redraw();
}

void GraphWindow::stepBack() {
    if (m_zoomHistory.isEmpty()) {
        follow();
        return;
    }
    const auto [t0, t1] = m_zoomHistory.takeLast();
    if (m_source == Source::Live)
        setPaused(true);
    m_x0 = t0;
    m_x1 = t1;
    redraw();
}

bool GraphWindow::eventFilter(QObject* watched, QEvent* event) {
    // The chart's own right click zooms out by a factor; a user expects the
    // span looked at before.
    if (watched == m_view->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (event->type() == QEvent::MouseButtonRelease)
            stepBack();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int GraphWindow::colourCount() {
    return int(std::size(LineColours));
}

QList<QLineSeries*> GraphWindow::lineSegments(int index) const {
    if (index < 0 || index >= m_model.series().size())
        return {};
    return m_lines.value(LineId(m_model.series()[index]));
}

void GraphWindow::setLineVisible(int index, bool visible) {
    m_model.setVisible(index, visible);
    redraw();
}

QLineSeries* GraphWindow::line(int index) const {
    const QList<QLineSeries*> pieces = lineSegments(index);
    return pieces.isEmpty() ? nullptr : pieces.first();
}

void GraphWindow::onTimer() {
    if (m_paused || !isVisible() || m_model.revision() == m_drawnRevision)
        return;
    redraw();
}

void GraphWindow::onXRangeChanged(double min, double max) {
    if (m_settingRange)
        return;
    // The rubber band moved the time axis.
    if (m_source == Source::Live)
        setPaused(true);
    m_zoomHistory.append({m_x0, m_x1});
    m_x0 = min;
    m_x1 = max;
    // The labels' step was chosen for the span before.
    m_settingRange = true;
    setTimeTicks();
    m_settingRange = false;
    refresh();
}

void GraphWindow::setXRange(double x0, double x1) {
    m_settingRange = true;
    m_timeAxis->setRange(x0, x1);
    setTimeTicks();
    m_settingRange = false;
}

void GraphWindow::setTimeTicks() {
    // Labels on whole seconds, wherever the span starts.
    const double step = TimeStep(m_timeAxis->min(), m_timeAxis->max());
    m_timeAxis->setTickType(QValueAxis::TicksDynamic);
    m_timeAxis->setTickAnchor(0);
    m_timeAxis->setTickInterval(step);
    const QString format = step >= 1     ? QStringLiteral("%.0f")
                           : step >= 0.1 ? QStringLiteral("%.1f")
                                         : QStringLiteral("%.2f");
    if (m_timeAxis->labelFormat() != format)
        m_timeAxis->setLabelFormat(format);
}

void GraphWindow::redraw() {
    if (!m_paused && m_source == Source::Live) {
        const double last = m_model.lastTime();
        const double first = m_model.firstTime();
        // Until a whole span has passed, the lines grow from the left edge.
        m_x1 = std::max(last, first + m_spanSeconds);
        m_x0 = m_x1 - m_spanSeconds;
    }
    setXRange(m_x0, m_x1);
    refresh();
    m_drawnRevision = m_model.revision();
}

void GraphWindow::clearReadings() {
    m_model.clear();
    m_nextColour = 0;
    m_colours.clear();
    m_started = QDateTime::currentDateTime();
    m_x0 = 0;
    m_x1 = m_spanSeconds;
    redraw();
}

void GraphWindow::syncLines() {
    const QList<GraphModel::Series>& all = m_model.series();
    const QStringList units = m_model.units();

    // One axis per unit, alternately left and right.
    for (int u = 0; u < units.size() && !m_oneAxis; ++u) {
        if (m_axes.contains(units[u]))
            continue;
        auto* axis = new QValueAxis;
        axis->setTitleText(units[u].isEmpty() ? str(TeamText::GraphNoUnit) : units[u]);
        // As many digits as the value needs, no fixed count that cuts them.
        axis->setLabelFormat(QStringLiteral("%g"));
        // Many units share the width: a number cut to "..." says nothing.
        axis->setTruncateLabels(false);
        m_chart->addAxis(axis, u % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        m_axes.insert(units[u], axis);
    }

    m_drawnWidth = std::max(1, int(m_chart->plotArea().width()));
    QSet<QString> wanted;
    for (int i = 0; i < all.size(); ++i) {
        const GraphModel::Series& s = all[i];
        const QString id = LineId(s);
        wanted.insert(id);
        QList<QLineSeries*>& pieces = m_lines[id];
        const auto addPiece = [&](const QColor& colour) {
            auto* piece = new QLineSeries;
            m_chart->addSeries(piece);
            QPen pen(colour);
            pen.setWidthF(1.5);
            piece->setPen(pen);
            piece->attachAxis(m_timeAxis);
            piece->attachAxis(m_oneAxis ? m_scaleAxis : m_axes.value(s.unit));
            pieces << piece;
            return piece;
        };
        if (pieces.isEmpty()) {
            QLineSeries* series = addPiece(colourOf(id));
            // An axis takes the colour of its unit's first line.
            if (!m_oneAxis &&
                std::none_of(all.begin(), all.begin() + i,
                             [&](const GraphModel::Series& o) { return o.unit == s.unit; }))
                m_axes.value(s.unit)->setTitleBrush(series->color());
        }
        const QString name = m_model.legendName(i);
        if (pieces.first()->name() != name)
            pieces.first()->setName(name);
        QList<QList<QPointF>> drawn;
        if (s.visible) {
            const int width = m_drawnWidth;
            QList<QPointF> points = PointsToDraw(s.points, m_x0, m_x1, width);
            if (m_oneAxis) {
                // Stretched to the unit's span: 0 at its low end, 100 at its high.
                const auto [low, high] = m_scales.value(s.unit, {0.0, 1.0});
                const double factor = high > low ? 100 / (high - low) : 1;
                for (QPointF& p : points)
                    p.setY((p.y() - low) * factor);
            }
            drawn = SplitAtBreaks(points);
            while (drawn.size() > MaxPiecesPerLine)
                drawn[drawn.size() - 2] += drawn.takeLast();
        }
        while (pieces.size() < drawn.size())
            addPiece(pieces.first()->color());
        for (qsizetype k = 0; k < pieces.size(); ++k) {
            if (pieces[k]->isVisible() != s.visible)
                pieces[k]->setVisible(s.visible);
            if (k < drawn.size())
                pieces[k]->replace(drawn[k]);
            else if (pieces[k]->count() > 0)
                pieces[k]->clear();
        }
    }
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        for (QLineSeries* piece : it.value()) {
            m_chart->removeSeries(piece);
            delete piece;
        }
        it = m_lines.erase(it);
    }
    for (auto it = m_axes.begin(); it != m_axes.end();) {
        if (units.contains(it.key())) {
            ++it;
            continue;
        }
        m_chart->removeAxis(it.value());
        delete it.value();
        it = m_axes.erase(it);
    }

    // The list beside the chart: one entry per line, ticked while shown.
    m_syncingList = true;
    while (m_lineList->count() > all.size())
        delete m_lineList->takeItem(m_lineList->count() - 1);
    for (int i = 0; i < all.size(); ++i) {
        if (i >= m_lineList->count()) {
            auto* item = new QListWidgetItem(m_lineList);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        }
        QListWidgetItem* item = m_lineList->item(i);
        const GraphModel::Series& s = all[i];
        const QString text = s.unit.isEmpty()
                                 ? m_model.legendName(i)
                                 : m_model.legendName(i) + QStringLiteral(" [") + s.unit + ']';
        if (item->text() != text) {
            item->setText(text);
            item->setToolTip(text);
        }
        // Every change to an item lays the list out again: only real ones.
        if (item->data(Qt::UserRole).toString() != LineId(s)) {
            item->setData(Qt::UserRole, LineId(s));
            item->setIcon(Swatch(m_lines.value(LineId(s)).first()->color()));
        }
        item->setCheckState(s.visible ? Qt::Checked : Qt::Unchecked);
    }
    m_syncingList = false;

    const QStringList texts = m_model.textFields();
    m_textValues->setVisible(!texts.isEmpty());
    m_textValues->setText(str(TeamText::GraphTextValues) + QLatin1Char('\n') +
                          texts.join(QLatin1Char('\n')));
}

void GraphWindow::fitValueAxes() {
    for (auto it = m_axes.begin(); it != m_axes.end(); ++it) {
        const auto range = m_model.valueRange(it.key(), m_x0, m_x1);
        if (!range)
            continue;
        QValueAxis* axis = it.value();
        // Moving an axis lays the whole chart out again, the dearest step
        // of a redraw: keep it while the lines fit and fill it fairly.
        const double span = axis->max() - axis->min();
        const bool fits = range->first >= axis->min() && range->second <= axis->max();
        const double needed = range->second - range->first;
        if (fits && needed >= span / 4)
            continue;
        const auto [low, high] = NiceRange(range->first, range->second);
        if (low != axis->min() || high != axis->max())
            axis->setRange(low, high);
    }
}

void GraphWindow::onLineItemChanged(QListWidgetItem* item) {
    if (m_syncingList)
        return;
    const QString id = item->data(Qt::UserRole).toString();
    const QList<GraphModel::Series>& all = m_model.series();
    for (int i = 0; i < all.size(); ++i)
        if (LineId(all[i]) == id)
            setLineVisible(i, item->checkState() == Qt::Checked);
}

QColor GraphWindow::colourOf(const QString& lineId) {
    auto it = m_colours.find(lineId);
    if (it == m_colours.end())
        it = m_colours.insert(lineId, LineColours[m_nextColour++ % std::size(LineColours)]);
    return it.value();
}

void GraphWindow::refresh() {
    chooseAxes(m_model.units());
    if (m_oneAxis)
        fitScales();
    syncLines();
    if (!m_oneAxis)
        fitValueAxes();
    showScales();
}

bool GraphWindow::axesFit(int units) const {
    if (units <= 1)
        return true;
    // An axis needs its numbers and its title side by side.
    const QFontMetrics labels(m_timeAxis->labelsFont());
    const QFontMetrics title(m_timeAxis->titleFont());
    const int room = labels.horizontalAdvance(QStringLiteral("-88.888")) + title.height() + 8;
    return units * room <= m_view->width() * AxesShareOfWidth;
}

void GraphWindow::chooseAxes(const QStringList& units) {
    const bool one = !axesFit(int(units.size()));
    if (one == m_oneAxis)
        return;
    // The pieces hang on the axes: both go, and syncLines makes them anew
    // on the other kind, in the same colours.
    for (const QList<QLineSeries*>& pieces : std::as_const(m_lines))
        for (QLineSeries* piece : pieces) {
            m_chart->removeSeries(piece);
            delete piece;
        }
    m_lines.clear();
    for (QValueAxis* axis : std::as_const(m_axes)) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    m_axes.clear();
    if (m_scaleAxis) {
        m_chart->removeAxis(m_scaleAxis);
        delete m_scaleAxis;
        m_scaleAxis = nullptr;
    }
    m_scales.clear();
    m_oneAxis = one;
    if (one) {
        m_scaleAxis = new QValueAxis;
        m_scaleAxis->setObjectName(QStringLiteral("ScaleAxis"));
        m_scaleAxis->setTitleText(str(ViewText::ScaleAxis));
        m_scaleAxis->setLabelFormat(QStringLiteral("%.0f"));
        m_scaleAxis->setRange(0, 100);
        m_scaleAxis->setTickCount(5);
        m_chart->addAxis(m_scaleAxis, Qt::AlignLeft);
    }
    // The list's swatches are set again with the new pieces.
    for (int i = 0; i < m_lineList->count(); ++i)
        m_lineList->item(i)->setData(Qt::UserRole, QVariant());
}

void GraphWindow::fitScales() {
    for (const QString& unit : m_model.units()) {
        const auto range = m_model.valueRange(unit, m_x0, m_x1);
        if (!range)
            continue;
        // As with an axis of its own: kept while the lines fit and fill it fairly.
        const auto known = m_scales.constFind(unit);
        if (known != m_scales.cend()) {
            const auto [low, high] = known.value();
            const bool fits = range->first >= low && range->second <= high;
            if (fits && range->second - range->first >= (high - low) / 4)
                continue;
        }
        m_scales.insert(unit, NiceRange(range->first, range->second));
    }
}

void GraphWindow::showScales() {
    m_scalesLegend->setVisible(m_oneAxis);
    if (!m_oneAxis)
        return;
    const QLocale locale = AppLocale::locale();
    QStringList lines{str(ReaderText::GraphScales)};
    for (const QString& unit : m_model.units()) {
        const auto scale = m_scales.constFind(unit);
        if (scale == m_scales.cend())
            continue;
        lines << QStringLiteral("%1: %2 \u2026 %3")
                     .arg(unit.isEmpty() ? str(TeamText::GraphNoUnit) : unit,
                          locale.toString(scale->first, 'g', 10),
                          locale.toString(scale->second, 'g', 10));
    }
    const QString text = lines.join(QLatin1Char('\n'));
    if (m_scalesLegend->text() != text)
        m_scalesLegend->setText(text);
}

void GraphWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Room for an axis per unit may come or go.
    if (!m_model.series().isEmpty() && axesFit(int(m_model.units().size())) == m_oneAxis)
        redraw();
}

void GraphWindow::setNotConnected(bool notConnected) {
    if (m_source == Source::Live)
        m_sourceLabel->setText(notConnected ? str(ReaderText::GraphNoConnection) : QString());
}

void GraphWindow::setUnitInfo(const QString& unitEntry, const QString& partNumber) {
    m_unitEntry = unitEntry;
    m_partNumber = partNumber;
}

QImage GraphWindow::picture() {
    redraw();
    const QPixmap chart = m_view->grab();
    const qreal ratio = chart.devicePixelRatio();
    const int width = m_view->width();

    // Below the chart, what it shows: where the readings come from, then
    // each shown line in its colour, with its span when the lines share one axis.
    const QFont font = this->font();
    const QFontMetrics metrics(font);
    const int margin = 8;
    const int lineHeight = metrics.height() + 4;
    const int swatch = metrics.height() - 4;
    const int textRoom = width - 2 * margin - swatch - 6;
    struct Entry {
        QColor colour;
        QString text;
        QPoint at;
    };
    QList<Entry> entries;
    const QList<GraphModel::Series>& all = m_model.series();
    for (int i = 0; i < all.size(); ++i) {
        const GraphModel::Series& s = all[i];
        if (!s.visible)
            continue;
        QString text = m_model.legendName(i);
        if (!s.unit.isEmpty())
            text += QStringLiteral(" [") + s.unit + QLatin1Char(']');
        if (m_oneAxis && m_scales.contains(s.unit)) {
            const QLocale locale = AppLocale::locale();
            text += QStringLiteral("  %1 \u2026 %2")
                        .arg(locale.toString(m_scales[s.unit].first, 'g', 10),
                             locale.toString(m_scales[s.unit].second, 'g', 10));
        }
        entries.append(
            {colourOf(LineId(s)), metrics.elidedText(text, Qt::ElideRight, textRoom), QPoint()});
    }
    const QString source =
        metrics.elidedText(m_sourceLabel->text(), Qt::ElideRight, width - 2 * margin);
    int x = margin;
    int y = margin + (source.isEmpty() ? 0 : lineHeight);
    for (Entry& e : entries) {
        const int room = swatch + 6 + metrics.horizontalAdvance(e.text) + 18;
        if (x > margin && x + room > width - margin) {
            x = margin;
            y += lineHeight;
        }
        e.at = QPoint(x, y);
        x += room;
    }
    const int legendHeight = entries.isEmpty() && source.isEmpty() ? 0 : y + lineHeight + margin;

    QImage image((QSizeF(width, m_view->height() + legendHeight) * ratio).toSize(),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, chart);
    painter.translate(0, m_view->height());
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (!source.isEmpty())
        painter.drawText(QPoint(margin, margin + metrics.ascent()), source);
    for (const Entry& e : entries) {
        painter.fillRect(QRect(e.at.x(), e.at.y() + (lineHeight - 4 - swatch) / 2, swatch, swatch),
                         e.colour);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(e.at.x() + swatch + 6, e.at.y() + metrics.ascent()), e.text);
    }
    return image;
}

QStringList GraphWindow::readingsLines() const {
    const QLocale locale = AppLocale::locale();
    ReadingsExport what;
    what.header.versionText = LoadStr(0);
    what.header.webAddress = WebLinks::InfoPage;
    if (m_started.isValid()) {
        what.header.dateText = locale.toString(m_started.date(), AppLocale::shortDateFormat());
        what.header.timeText = locale.toString(m_started.time(), AppLocale::longTimeFormat());
    } else {
        // A log's own start, "12.03.2025 14:05:42".
        const qsizetype blank = m_startedText.indexOf(QLatin1Char(' '));
        what.header.dateText = blank < 0 ? m_startedText : m_startedText.left(blank);
        what.header.timeText = blank < 0 ? QString() : m_startedText.mid(blank + 1);
    }
    what.header.unitCaption = str(1);
    what.header.unitText = m_unitEntry;
    what.header.partCaption = str(16);
    what.header.partNumber = m_partNumber;
    what.title = m_title;
    what.timeWord = str(75);
    what.decimalSeparator = AppLocale::decimalSeparator();
    return ReadingsLogLines(m_model, m_x0, m_x1, what);
}

QString GraphWindow::saveTo(int titleId, int filterId, const QString& suffix) {
    SaveFileRequest request;
    request.title = str(titleId).remove(QLatin1Char('&')).remove(QStringLiteral("..."));
    request.filter = str(filterId);
    request.defaultSuffix = suffix;
    request.directory = m_logFolder;
    return m_prompts.saveFile(request);
}

void GraphWindow::savePicture() {
    const QString path =
        saveTo(ReaderText::GraphSavePicture, ReaderText::GraphPictureFilter, QStringLiteral("png"));
    if (path.isEmpty())
        return;
    const QImage image = picture();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    QString reason;
    bool written = false;
    // Written whole or not at all: a full disk leaves an earlier file of the name as it was.
    if (!writer.write(image)) {
        reason = writer.errorString();
    } else {
        const AtomicWriteResult result = WriteFileAtomically(path, buffer.data());
        written = result.written;
        reason = result.reason;
    }
    if (!written)
        m_prompts.message(str(301), str(ReaderText::GraphNotWritten).arg(path, reason),
                          PromptIcon::Error);
}

void GraphWindow::saveReadings() {
    const QString path = saveTo(ReaderText::GraphSaveReadings, ReaderText::GraphReadingsFilter,
                                QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    // Lines end as the measurement log's do.
    const QByteArray bytes =
        (readingsLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLocal8Bit();
    const AtomicWriteResult written = WriteFileAtomically(path, bytes);
    if (!written)
        m_prompts.message(str(301), str(ReaderText::GraphNotWritten).arg(path, written.reason),
                          PromptIcon::Error);
}
