// Every control unit search keeps its report, as shown, in the user's data
// folder, named by date, time and the car when one was chosen.
// Owns: ScanSavedLabel.
#include "config/strings.h"
#include "config/user_data.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <algorithm>

namespace {

// A car name as part of a file name: no folder separators, no blanks.
QString FileNamePart(const QString& text) {
    QString out;
    for (const QChar c : text.trimmed())
        out += (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.'))
                   ? c
                   : QLatin1Char('_');
    return out;
}

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

void TForm1::KeepScanReport() {
    const QString folder = UserDataPath(QStringLiteral("scans"));
    QString base = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (ComboBox3->currentIndex() > 0)
        base += QLatin1Char('_') + FileNamePart(ComboBox3->currentText());
    // Two searches in one second keep two reports.
    QString path = folder + QLatin1Char('/') + base + QStringLiteral(".txt");
    for (int n = 2; QFile::exists(path); ++n)
        path = folder + QLatin1Char('/') + base + QStringLiteral("-%1.txt").arg(n);

    QString failure;
    // A folder that cannot be made shows in the file's own reason below.
    QDir().mkpath(folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write((Memo2->toPlainText() + QLatin1Char('\n')).toUtf8()) < 0 || !file.commit())
        failure = QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.errorString();
    const QFontMetrics metrics = ScanSavedLabel->fontMetrics();
    const int width = ScanSavedLabel->width();
    if (failure.isEmpty()) {
        ScanSavedLabel->setText(ShownPath(metrics, Str(TeamText::ScanSaved), path, width));
        ScanSavedLabel->setToolTip(Str(TeamText::ScanSaved).arg(QDir::toNativeSeparators(path)));
    } else {
        ScanSavedLabel->setText(
            metrics.elidedText(Str(TeamText::ScanNotSaved).arg(failure), Qt::ElideRight, width));
        ScanSavedLabel->setToolTip(Str(TeamText::ScanNotSaved).arg(failure));
    }
}
