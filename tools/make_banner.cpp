// Draws the banner picture of the start-up window and the report header:
// 396 x 50, the shop's name in bold blue-grey over a faint, much larger
// lettering on white. Usage: make_banner <output.jpg>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("banner.jpg");

    QImage image(396, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QFont faint;
    faint.setFamilies({"DejaVu Sans", "Liberation Sans"});
    faint.setPixelSize(72);
    faint.setBold(true);
    p.setFont(faint);
    p.setPen(QColor(232, 236, 242));
    p.drawText(QRect(-6, -16, 420, 90), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VANDRIX"));

    QLinearGradient rule(0, 0, 396, 0);
    rule.setColorAt(0, QColor(84, 104, 128));
    rule.setColorAt(1, QColor(84, 104, 128, 0));
    p.fillRect(QRect(14, 42, 370, 2), rule);

    QFont name;
    name.setFamilies({"DejaVu Sans", "Liberation Sans"});
    name.setPixelSize(30);
    name.setBold(true);
    p.setFont(name);
    p.setPen(QColor(84, 104, 128));
    p.drawText(QRect(14, 2, 300, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vandrix Shop"));

    QFont tag;
    tag.setFamilies({"DejaVu Sans", "Liberation Sans"});
    tag.setPixelSize(11);
    p.setFont(tag);
    p.setPen(QColor(120, 134, 150));
    p.drawText(QRect(250, 8, 136, 30), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Pro interfaces\nand cables"));
    p.end();

    // Baseline JPEG, as every decoder reads it.
    return image.save(out, "JPEG", 85) ? 0 : 1;
}
