// The reference files of the program: fault code and status texts, and
// the car list of the search page with that page's three handlers.
// Owns: state.DtcTextFile, state.DtcStatusFile, state.CarList, status panel 6,
// the entries of ComboBox3 and the ticks of CheckListBox1.
#include "config/app_locale.h"
#include "config/car_list.h"
#include "services/fault_texts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>

namespace {

// The unit of a list entry: "021 [15] - Airbag" is 21.
int entryAddress(const QListWidgetItem* item) {
    return item->text().left(3).toInt();
}

} // namespace

void TForm1::LoadCarList() {
    state.CarList.clear();
    const QString path = DataFile(QStringLiteral("autoscan.ini"));
    if (QFileInfo(path).isFile()) {
        const IniFile file = IniFile::open(path, CarListLimits);
        for (const QString& line : file.readSection(QStringLiteral("Carlist")))
            state.CarList << line.mid(line.indexOf(QLatin1Char('=')) + 1);
    }
    QCollator collator(AppLocale::locale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Names that compare equal keep the order of the file.
    std::stable_sort(
        state.CarList.begin(), state.CarList.end(),
        [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    for (QString& line : state.CarList) {
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        ComboBox3->addItem(comma < 0 ? QString() : line.left(comma));
        line = line.mid(comma + 1);
    }
    ComboBox3->setCurrentIndex(0);
}

void TForm1::LoadDtcTextFiles() {
    const QString list =
        DataFile(QStringLiteral("dtc_list_") + state.LanguageCode + QStringLiteral(".ini"));
    const QString status =
        DataFile(QStringLiteral("dtc_status_") + state.LanguageCode + QStringLiteral(".ini"));
    state.DtcTextFile = QFileInfo(list).isFile() ? IniFile::open(list, FaultTextLimits) : IniFile();
    state.DtcStatusFile =
        QFileInfo(status).isFile() ? IniFile::open(status, FaultTextLimits) : IniFile();

    QString panel;
    if (state.DtcTextFileOpen() && state.DtcStatusFileOpen())
        panel = Str(92) + Str(93) + QStringLiteral(" + ") + Str(94);
    else if (state.DtcTextFileOpen())
        panel = Str(92) + Str(93);
    else if (state.DtcStatusFileOpen())
        panel = Str(92) + Str(94);
    StatusBar1->setPanelText(6, panel);
}

QString TForm1::DtcCodeText(int code) const {
    return state.DtcTextFile.readString(QStringLiteral("DTC"), QString::number(code)).trimmed();
}

QString TForm1::DtcStatusText(int status) const {
    return state.DtcStatusFile.readString(QStringLiteral("Status"), QString::number(status))
        .trimmed();
}

void TForm1::ComboBox3Change() {
    const int index = ComboBox3->currentIndex();
    if (index <= 0 || index > state.CarList.size())
        return;
    const QSignalBlocker quiet(CheckListBox1);
    CheckBox6->setChecked(false);
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(Qt::Unchecked);

    for (int address : CarAddresses(state.CarList.at(index - 1))) {
        // The airbag unit is only ever ticked by hand, past its warning.
        if (address == 21)
            continue;
        for (int i = 0; i < CheckListBox1->count(); ++i)
            if (entryAddress(CheckListBox1->item(i)) == address)
                CheckListBox1->item(i)->setCheckState(Qt::Checked);
    }
}

void TForm1::CheckListBox1ClickCheck(int index) {
    ComboBox3->setCurrentIndex(0);
    QListWidgetItem* item = CheckListBox1->item(index);
    if (!item || entryAddress(item) != 21 || item->checkState() != Qt::Checked)
        return;
    if (prompts.confirm(2) != 1) {
        const QSignalBlocker quiet(CheckListBox1);
        item->setCheckState(Qt::Unchecked);
    }
}

void TForm1::CheckBox6Click() {
    const Qt::CheckState tick = CheckBox6->isChecked() ? Qt::Checked : Qt::Unchecked;
    const QSignalBlocker quiet(CheckListBox1);
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        QListWidgetItem* item = CheckListBox1->item(i);
        item->setCheckState(entryAddress(item) == 21 ? Qt::Unchecked : tick);
    }
}
