// Every control unit search keeps its report, as shown plus the marks of its
// reads, in the user's data folder, named by date, time and the car when one
// was chosen.
// Owns: ScanSavedLabel.
#include "config/strings.h"
#include "reports/kept_scan.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <algorithm>

namespace {

// "Bericht gespeichert: …/vandrix/scans/name.txt": the file name whole, the
// folder shortened from its start as far as the label needs.
QString ShownPath(const QFontMetrics& metrics, const QString& pattern, const QString& path,
                  int width) {
    const QFileInfo info(path);
    const QString folder = QDir::toNativeSeparators(info.path()) + QDir::separator();
    const int room = width - metrics.horizontalAdvance(pattern.arg(info.fileName()));
    return pattern.arg(metrics.elidedText(folder, Qt::ElideLeft, std::max(room, 0)) +
                       info.fileName());
}

} // namespace

void TForm1::KeepScanReport(const QStringList& lines) {
    const KeptScan kept =
        SaveScanReport(lines.join(QLatin1Char('\n')),
                       ComboBox3->currentIndex() > 0 ? ComboBox3->currentText() : QString());
    const QFontMetrics metrics = ScanSavedLabel->fontMetrics();
    const int width = ScanSavedLabel->width();
    if (kept.saved()) {
        ScanSavedLabel->setText(ShownPath(metrics, Str(TeamText::ScanSaved), kept.path, width));
        ScanSavedLabel->setToolTip(
            Str(TeamText::ScanSaved).arg(QDir::toNativeSeparators(kept.path)));
    } else {
        ScanSavedLabel->setText(metrics.elidedText(Str(TeamText::ScanNotSaved).arg(kept.failure),
                                                   Qt::ElideRight, width));
        ScanSavedLabel->setToolTip(Str(TeamText::ScanNotSaved).arg(kept.failure));
    }
}
