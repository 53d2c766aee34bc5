#include "ui/dialogs.h"

#include "config/strings.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/glyphs.h"
#include "ui/web_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

void fixDialog(QDialog* dialog, int width, int height, const QColor& background) {
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setFont(Fonts::msSansSerif());
    dialog->setModal(true);
    if (background.isValid()) {
        QPalette pal = dialog->palette();
        pal.setColor(QPalette::Window, background);
        dialog->setPalette(pal);
        dialog->setAutoFillBackground(true);
    }
}

TLabel* autoLabel(QWidget* parent, const char* name, int x, int y, const QFont& font,
                  const QString& text) {
    auto* label = new TLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->move(x, y);
    label->setAutoSize(true);
    label->setText(text);
    return label;
}

TLabel* linkLabel(QWidget* parent, const char* name, int x, int y, const QString& text) {
    QFont font = Fonts::verdana(13, true);
    font.setUnderline(true);
    TLabel* label = autoLabel(parent, name, x, y, font, text);
    label->setFontColor(QColor(0, 0, 255));
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

bool isClick(QEvent* event) {
    return event->type() == QEvent::MouseButtonRelease &&
           static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
}

} // namespace

QImage BannerPicture() {
    // The picture is compiled into this static library; its resource must be
    // registered by hand.
    static const bool registered = [] {
        Q_INIT_RESOURCE(ui);
        return true;
    }();
    (void)registered;
    static const QImage picture(QStringLiteral(":/vandrix/banner.jpg"));
    return picture;
}

// ---------------------------------------------------------------- TForm2

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    fixDialog(this, 331, 235, Colours::Silver);
    setWindowTitle(QStringLiteral("Info"));

    Bevel1 = new TBevel(TBevel::Frame, this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(17, 16, 297, 209);

    Label1 = autoLabel(this, "Label1", 88, 24, Fonts::verdana(27, true), QStringLiteral("Vandrix"));
    Label1->setFontColor(QColor(128, 0, 0));
    Label3 = autoLabel(this, "Label3", 125, 64, Fonts::verdana(13, true), LoadStr(0));
    Label2 = linkLabel(this, "Label2", 105, 104, WebLinks::InfoCaption);
    Label4 = linkLabel(this, "Label4", 113, 128, WebLinks::ShopCaption);
    Label2->installEventFilter(this);
    Label4->installEventFilter(this);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(128, 184, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (isClick(event)) {
        if (watched == Label2)
            OpenWebPage(WebLinks::InfoPage);
        else if (watched == Label4)
            OpenWebPage(WebLinks::ShopPage);
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- TForm3

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    fixDialog(this, 394, 49, QColor());
    setWindowTitle(WebLinks::ShopCaption);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QImage picture = BannerPicture();
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->setGeometry(0, 0, picture.isNull() ? 396 : picture.width(),
                        picture.isNull() ? 50 : picture.height());
    Image1->installEventFilter(this);
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    if (!m_cursorOverridden) {
        QApplication::setOverrideCursor(Qt::PointingHandCursor);
        m_cursorOverridden = true;
    }
}

void TForm3::hideEvent(QHideEvent* event) {
    if (m_cursorOverridden) {
        QApplication::restoreOverrideCursor();
        m_cursorOverridden = false;
    }
    QDialog::hideEvent(event);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && isClick(event))
        OpenWebPage(WebLinks::BannerPage);
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- TForm4

TForm4::TForm4(int languageOffset, QWidget* parent)
    : QDialog(parent), LanguageOffset(languageOffset) {
    setObjectName(QStringLiteral("Form4"));
    fixDialog(this, 353, 348, Colours::Silver);

    Label1 = new TLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 16, 321, 241);
    Label1->setFont(Fonts::verdana(13, true));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);

    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 272, 329, 17);

    BitBtn2 = new QPushButton(GlyphIcon(Glyph::Ok), QStringLiteral("OK"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(72, 312, 89, 25);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(CheckBox1->isChecked() ? 1 : 2); });

    BitBtn1 = new QPushButton(GlyphIcon(Glyph::Cancel), QStringLiteral("Abbrechen"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(192, 312, 89, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(3); });
}

void TForm4::applyTag() {
    struct Texts {
        int title, warning, confirmation;
    };
    static constexpr Texts byTag[] = {{32, 33, 34}, {57, 58, 59}, {110, 111, 112}};
    if (Tag < 1 || Tag > 3)
        return;
    const Texts& t = byTag[Tag - 1];
    setWindowTitle(LoadStr(t.title + LanguageOffset));
    Label1->setText(LoadStr(t.warning + LanguageOffset));
    CheckBox1->setText(LoadStr(t.confirmation + LanguageOffset));
}

int TForm4::ShowModal() {
    applyTag();
    CheckBox1->setChecked(false);
    BitBtn1->setFocus();
    return exec();
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    // Esc means the cancel button, not closing the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(3);
        return;
    }
    QDialog::keyPressEvent(event);
}
