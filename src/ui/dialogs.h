#pragma once
// The three small windows beside the main window: TForm2 (About), TForm3
// (banner) and TForm4 (confirmation of risky actions). All are modal, fixed in
// size and centred over the main window.
#include <QDialog>
#include <QImage>

class QCheckBox;
class QLabel;
class QPushButton;
class TBevel;
class TLabel;

// The banner picture, 396 x 50, also printed in the report header. A null
// image when the picture cannot be decoded.
QImage BannerPicture();

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    TBevel* Bevel1;
    TLabel* Label1;
    TLabel* Label3;
    TLabel* Label2; // information page link
    TLabel* Label4; // shop link
    QPushButton* Button1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    QLabel* Image1;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_cursorOverridden = false;
};

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(int languageOffset, QWidget* parent = nullptr);

    // Chooses the texts: 1 clear fault codes, 2 airbag unit, 3 output test.
    int Tag = 0;
    int LanguageOffset = 0;

    // 1: OK with CheckBox1 ticked; 2: OK without it, or closed; 3: "Abbrechen".
    int ShowModal();

    TLabel* Label1;
    QCheckBox* CheckBox1;
    QPushButton* BitBtn2; // OK
    QPushButton* BitBtn1; // Abbrechen

public slots:
    // The title bar's close button.
    void reject() override { done(2); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyTag();
};
