// The reference files as the window loads them at start-up, and the search
// page's handlers that work on the car list and the search list.
#include "support/ui/window_fixture.h"
#include "ui/form_widgets.h"

#include <set>

namespace {

const QByteArray GermanIni = "[Config]\r\nSprache=de\r\nSplash=nein\r\n";

std::set<int> tickedAddresses(const TForm1& f) {
    std::set<int> out;
    for (int i = 0; i < f.CheckListBox1->count(); ++i)
        if (f.CheckListBox1->item(i)->checkState() == Qt::Checked)
            out.insert(f.CheckListBox1->item(i)->text().left(3).toInt());
    return out;
}

QListWidgetItem* entryOf(const TForm1& f, int address) {
    for (int i = 0; i < f.CheckListBox1->count(); ++i)
        if (f.CheckListBox1->item(i)->text().left(3).toInt() == address)
            return f.CheckListBox1->item(i);
    return nullptr;
}

// As a user's choice of a car: the selection, then the handler.
void chooseCar(TForm1& f, const QString& name) {
    const int index = f.ComboBox3->findText(name);
    ASSERT_GT(index, 0) << name.toStdString();
    f.ComboBox3->setCurrentIndex(index);
    emit f.ComboBox3->activated(index);
}

} // namespace

class ReferenceFilesTest : public WindowTest {
protected:
    void writeFile(const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(ReferenceFilesTest, CarsAreSortedByNameWhateverTheKeysAndFileOrder) {
    writeIni(GermanIni);
    writeFile("autoscan.ini", "[Carlist]\r\nB=Passat,1,3\r\nA=Audi A4,1,2\r\n"
                              "C=golf,9\r\nD=17\r\n[Other]\r\nZ=Zafira,1\r\n");
    TForm1& f = makeWindow();
    QStringList names;
    for (int i = 0; i < f.ComboBox3->count(); ++i)
        names << f.ComboBox3->itemText(i);
    // A value without a comma gives an empty name; it sorts by its digits.
    EXPECT_EQ(names, QStringList({"Bitte auswählen", "", "Audi A4", "golf", "Passat"}));
    EXPECT_EQ(f.ComboBox3->currentIndex(), 0);
    EXPECT_EQ(f.state.CarList, QStringList({"17", "1,2", "9", "1,3"}));

    chooseCar(f, "");
    EXPECT_EQ(tickedAddresses(f), (std::set<int>{17}));
}

TEST_F(ReferenceFilesTest, ChoosingACarTicksItsAddressesUpToTheFirstThatIsNoNumber) {
    writeIni(GermanIni);
    writeFile("autoscan.ini", "[Carlist]\r\n"
                              "a=With Airbag,1,21,3\r\n"
                              "b=Letter,1,x,3\r\n"
                              "c=Blank After Comma,1, 3\r\n"
                              "d=Blank Before Comma,1 ,3\r\n"
                              "e=Leading Zeros,001,017\r\n"
                              "f=Empty Part,2,,3\r\n");
    TForm1& f = makeWindow();
    const struct {
        const char* car;
        std::set<int> ticked;
    } cases[] = {
        {"With Airbag", {1, 3}},       {"Letter", {1}},
        {"Blank After Comma", {1, 3}}, {"Blank Before Comma", {}},
        {"Leading Zeros", {1, 17}},    {"Empty Part", {2}},
    };
    for (const auto& c : cases) {
        // Ticks left from before go, and so does "select all".
        f.CheckBox6->setChecked(true);
        entryOf(f, 126)->setCheckState(Qt::Checked);
        chooseCar(f, c.car);
        EXPECT_EQ(tickedAddresses(f), c.ticked) << c.car;
        EXPECT_FALSE(f.CheckBox6->isChecked()) << c.car;
        // Ticks set by the choice do not count as the user's own.
        EXPECT_EQ(f.ComboBox3->currentText(), c.car);
    }
    EXPECT_EQ(prompts.shown().size(), 0u);
}

TEST_F(ReferenceFilesTest, TickingTheAirbagUnitAsksFirstAndAnyTickForgetsTheCar) {
    writeIni(GermanIni);
    writeFile("autoscan.ini", "[Carlist]\r\na=Golf,1,3\r\n");
    TForm1& f = makeWindow();
    chooseCar(f, "Golf");

    prompts.expectConfirm(2, 2); // OK without the tick
    entryOf(f, 21)->setCheckState(Qt::Checked);
    prompts.verifyDone();
    EXPECT_EQ(entryOf(f, 21)->checkState(), Qt::Unchecked);
    EXPECT_EQ(f.ComboBox3->currentIndex(), 0);

    prompts.expectConfirm(2, 1);
    entryOf(f, 21)->setCheckState(Qt::Checked);
    prompts.verifyDone();
    EXPECT_EQ(tickedAddresses(f), (std::set<int>{1, 3, 21}));

    // Unticking never asks.
    entryOf(f, 21)->setCheckState(Qt::Unchecked);
    chooseCar(f, "Golf");
    entryOf(f, 9)->setCheckState(Qt::Checked);
    EXPECT_EQ(f.ComboBox3->currentIndex(), 0);
    EXPECT_EQ(tickedAddresses(f), (std::set<int>{1, 3, 9}));
}

TEST_F(ReferenceFilesTest, SelectAllTicksEveryUnitButTheAirbagAndUnticksAll) {
    writeIni(GermanIni);
    TForm1& f = makeWindow();
    // Without a car list only the prompt entry is offered.
    EXPECT_EQ(f.ComboBox3->count(), 1);
    prompts.expectConfirm(2, 1);
    entryOf(f, 21)->setCheckState(Qt::Checked);
    ASSERT_EQ(entryOf(f, 21)->checkState(), Qt::Checked);

    f.CheckBox6->click();
    const std::set<int> all = tickedAddresses(f);
    EXPECT_EQ(all.size(), 93u);
    EXPECT_EQ(all.count(21), 0u);
    f.CheckBox6->click();
    EXPECT_TRUE(tickedAddresses(f).empty());
}

TEST_F(ReferenceFilesTest, StatusPanelSixNamesTheFaultTextsFound) {
    const struct {
        const char* language;
        bool codes, status;
        const char* panel;
    } cases[] = {
        {"de", true, true, "DTCs: Codes + Status"},
        {"en", true, true, "DTC's: Codes + Status"},
        {"de", true, false, "DTCs: Codes"},
        {"de", false, true, "DTCs: Status"},
        {"de", false, false, ""},
    };
    for (const auto& c : cases) {
        for (const char* name :
             {"dtc_list_de.ini", "dtc_list_en.ini", "dtc_status_de.ini", "dtc_status_en.ini"})
            QFile::remove(dir.filePath(name));
        const QString lang = QString::fromLatin1(c.language);
        if (c.codes)
            writeFile("dtc_list_" + lang + ".ini", "[DTC]\r\n283=  Sensor vorn links  \r\n");
        if (c.status)
            writeFile("dtc_status_" + lang + ".ini", "[status]\r\n35=Unterbrechung\r\n");
        writeIni("[Config]\r\nSplash=nein\r\nSprache=" + QByteArray(c.language) + "\r\n");
        TForm1& f = makeWindow();
        EXPECT_EQ(f.StatusBar1->panelText(6), c.panel) << c.language << c.codes << c.status;
        EXPECT_EQ(f.DtcCodeText(283), c.codes ? "Sensor vorn links" : "");
        EXPECT_EQ(f.DtcStatusText(35), c.status ? "Unterbrechung" : "");
        EXPECT_EQ(f.DtcCodeText(290), "");
    }
}

TEST_F(ReferenceFilesTest, ShippedFilesNameWhatTheDemoCarReports) {
    const QDir data(qEnvironmentVariable("VANDRIX_DATA"));
    for (const char* name : {"dtc_list_de.ini", "dtc_list_en.ini", "dtc_status_de.ini",
                             "dtc_status_en.ini", "autoscan.ini"})
        ASSERT_TRUE(QFile::copy(data.filePath(name), dir.filePath(name))) << name;
    for (const char* language : {"de", "en"}) {
        writeIni("[Config]\r\nSplash=nein\r\nSprache=" + QByteArray(language) + "\r\n");
        TForm1& f = makeWindow();
        for (int code : {283, 290, 771, 799, 1039, 1044})
            EXPECT_NE(f.DtcCodeText(code), "") << language << " code " << code;
        for (int status : {35, 36})
            EXPECT_NE(f.DtcStatusText(status), "") << language << " status " << status;
        // The demo car's units are all in the list, the airbag unit left unticked.
        chooseCar(f, "Demo car");
        EXPECT_EQ(tickedAddresses(f), (std::set<int>{1, 2, 3, 9, 23}));
    }
}
