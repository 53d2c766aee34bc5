// Captions in both languages and the places of the controls.
#include "support/ui/window_fixture.h"
#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>

class CaptionsTest : public WindowTest {};

TEST_F(CaptionsTest, GermanAndEnglish) {
    struct Lang {
        const char* sprache;
        QString groupBox1, connect, disconnect, tab0, tab10, search, unit1, gridHeader0, panel0,
            readiness0, copy, disclaimer;
    };
    const Lang langs[] = {
        {"de", "Steuergerät:", "&Verbinden", "&Trennen", "Steuergeräte-&Infos",
         "Stellglieddiagn&ose", "Steuergerätesuche", "001 [01] - Motor (ECU)", "Nr.",
         "Keine Verbindung", "Katalysator", "Kopieren", "Bezeichner und Berechnungen ohne Gewähr!"},
        {"en", "Control Unit:", "&Connect", "&Disconnect", "Control &Unit Data", "Output &Test",
         "Control Module Finder", "001 [01] - Engine (ECU)", "#", "No connection",
         "Catalytic Converter", "Copy", "Designator and computations without guarantee!"},
    };
    for (const Lang& l : langs) {
        SCOPED_TRACE(l.sprache);
        writeIni(QByteArray("[Config]\nSplash=nein\nSprache=") + l.sprache + "\n");
        TForm1& f = makeWindow();
        EXPECT_EQ(f.GroupBox1->title(), l.groupBox1);
        EXPECT_EQ(f.GroupBox2->title(), QStringLiteral("Port:"));
        EXPECT_EQ(f.BitBtn3->text(), l.connect);
        EXPECT_EQ(f.BitBtn2->text(), l.disconnect);
        EXPECT_EQ(f.BitBtn1->text(), QString());
        EXPECT_EQ(f.TabSheet1->caption(), l.tab0);
        EXPECT_EQ(f.TabSheet13->caption(), l.tab10);
        EXPECT_EQ(f.TabSheet7->caption(), l.search);
        EXPECT_EQ(f.StringGrid1->cell(0, 0), l.gridHeader0);
        EXPECT_EQ(f.StringGrid1->cell(1, 0), QStringLiteral("DTC"));
        EXPECT_EQ(f.StatusBar1->panelText(0), l.panel0);
        EXPECT_EQ(f.Label81->text(), l.readiness0);
        EXPECT_EQ(f.BitBtn16->text(), l.copy);
        EXPECT_EQ(f.Label131->text(), l.disclaimer);
        // The same 94 units in both lists, after the two fixed entries.
        ASSERT_EQ(f.ComboBox2->count(), 96);
        ASSERT_EQ(f.CheckListBox1->count(), 94);
        EXPECT_EQ(f.ComboBox2->itemText(1), l.search);
        EXPECT_EQ(f.ComboBox2->itemText(2), l.unit1);
        for (int i = 0; i < 94; ++i)
            EXPECT_EQ(f.CheckListBox1->item(i)->text(), f.ComboBox2->itemText(i + 2));
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Vandrix  |  Version 1.41"));
    }
}

TEST_F(CaptionsTest, ControlsSitWhereTheLayoutPutsThem) {
    TForm1& f = makeWindow();
    EXPECT_EQ(f.size(), QSize(740, 555));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    const struct {
        QWidget* w;
        QRect r;
    } places[] = {
        {f.GroupBox1, {16, 8, 233, 57}},      {f.ComboBox2, {8, 24, 217, 21}},
        {f.GroupBox2, {264, 8, 193, 57}},     {f.BitBtn3, {104, 22, 81, 25}},
        {f.BitBtn2, {104, 22, 81, 25}},       {f.CheckBox7, {8, 27, 89, 17}},
        {f.BitBtn1, {688, 8, 41, 25}},        {f.BitBtn6, {688, 40, 41, 25}},
        {f.PageControl1, {16, 72, 716, 450}}, {f.PageControl2, {16, 72, 713, 450}},
        {f.Label97, {220, 32, 450, 16}},      {f.Label55, {544, 356, 152, 28}},
        {f.Edit5, {8, 358, 33, 21}},          {f.UpDown4, {41, 358, 15, 21}},
        {f.Label36, {16, 21, 65, 28}},        {f.GroupBox12, {320, 304, 257, 65}},
        {f.StringGrid1, {8, 8, 690, 345}},    {f.BitBtn4, {544, 360, 153, 25}},
        {f.Memo5, {248, 21, 441, 340}},       {f.Label112, {184, 181, 152, 28}},
        {f.Label72, {200, 24, 25, 32}},       {f.Label80, {264, 240, 25, 20}},
        {f.Label143, {640, 116, 57, 28}},     {f.Label151, {308, 288, 152, 28}},
        {f.CheckBox15, {284, 294, 17, 17}},   {f.CheckListBox1, {16, 80, 185, 313}},
        {f.Memo2, {224, 24, 465, 369}},       {f.StatusBar1, {0, 536, 740, 19}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.w->geometry(), p.r) << p.w->objectName().toStdString();
    EXPECT_EQ(f.Label146->color(), QColor(192, 220, 192));
    EXPECT_EQ(f.Label38->font().pixelSize(), 20);
    EXPECT_TRUE(f.Label38->font().bold());
    EXPECT_EQ(f.Label11->text(), QStringLiteral("-"));
    EXPECT_EQ(f.UpDown4->max(), 255);
    EXPECT_EQ(f.UpDown5->max(), 99);
    EXPECT_EQ(f.UpDown6->min(), 0);
    EXPECT_EQ(f.Edit2->maxLength(), 3);
    EXPECT_EQ(f.StringGrid1->colWidth(2), 360);
    EXPECT_EQ(f.StringGrid1->rowHeight(1), 37);
    EXPECT_EQ(f.StatusBar1->panel(4).width, 170);
    EXPECT_TRUE(f.StatusBar1->panel(1).ownerDraw);
    EXPECT_FALSE(f.StatusBar1->panel(2).ownerDraw);
    EXPECT_EQ(f.Label153->text(), QStringLiteral("ADC 1"));
}

TEST_F(CaptionsTest, EveryControlHasAUniqueName) {
    TForm1& f = makeWindow();
    QSet<QString> seen;
    int named = 0;
    for (QWidget* w : f.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        ++named;
        EXPECT_FALSE(seen.contains(name)) << name.toStdString();
        seen.insert(name);
    }
    EXPECT_GT(named, 240);
    EXPECT_EQ(f.findChild<QWidget*>(QStringLiteral("Label145")), f.Label145);
}
