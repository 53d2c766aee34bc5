#pragma once
// The one-page diagnosis report. Positions are fixed numbers of device dots
// from the printable area's origin and are not scaled to the resolution; only
// font sizes (points) follow the device. Draws on any paint device, so the
// window prints it and tests render it to a PDF or an image.
#include "reports/copy_texts.h"

#include <QImage>
#include <QString>
#include <array>

class QPainter;
class QPaintDevice;

// Everything the page shows, as the window's controls hold it.
struct ReportContent {
    QString versionText;
    QString webAddress;
    QImage banner;
    QString title;
    QString footer; // date and time of printing

    // Page captions may carry their accelerator "&"; the first one is dropped.
    QString infoCaption;
    QString unitName;
    std::array<CaptionValue, 5> identification;

    QString groupCaption;
    std::array<GroupSlotTexts, 4> groups;

    QString rawCaption;
    std::array<QString, 10> rawValues;

    QString faultCaption;
    std::array<QString, 4> faultHeaders; // "#", code, description, status
    FaultGridRows faultGrid;             // all grid rows, row 0 the header
    bool printNoFaultMessage = true;     // the list's message when it holds no code

    QString readinessCaption;
    bool readinessFailed = false;
    QString readinessFailure;               // the page's failure text
    std::array<QString, 8> readinessDigits; // left to right as the page shows them
    std::array<QString, 8> readinessItems;  // item 1 (catalytic converter) to 8
};

// The printable area: L is its left margin plus 300, T its top margin, W and
// H its size, all in device dots.
struct ReportFrame {
    int L = 0;
    int T = 0;
    int W = 0;
    int H = 0;
};

// The frame of a device: a paged device (printer, PDF) gives its margins, any
// other device has none.
ReportFrame ReportFrameOf(const QPaintDevice& device);

// Draws the page with an active painter on the report's device.
void DrawReportPage(QPainter& painter, const ReportFrame& frame, const ReportContent& content);

// The text of the fault section in list form: entries joined by " --- ".
QString FaultListText(const FaultGridRows& rows);
// "Steuergeräte-&Infos" -> "Steuergeräte-Infos".
QString WithoutAccelerator(const QString& caption);
// Half to the even neighbour, as the column widths are rounded.
int RoundHalfEven(double value);
