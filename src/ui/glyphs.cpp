#include "ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void page(QPainter& p, QRectF r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setPen(QPen(QColor(120, 140, 170), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void plug(QPainter& p, const QColor& colour, bool apart) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal shift = apart ? 2 : 0;
    p.drawRoundedRect(QRectF(1, 5, 6 - shift, 6), 1.5, 1.5); // left half
    p.drawRect(QRectF(7 - shift, 6.5, 2, 1));
    p.drawRect(QRectF(7 - shift, 8.5, 2, 1));
    p.drawRoundedRect(QRectF(9 + shift, 5, 6 - shift, 6), 1.5, 1.5); // right half
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.drawLine(QPointF(0, 8), QPointF(1, 8));
    p.drawLine(QPointF(15, 8), QPointF(16, 8));
}

void draw(QPainter& p, Glyph glyph) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::Connect:
        plug(p, QColor(0, 140, 0), false);
        break;
    case Glyph::Disconnect:
        plug(p, QColor(200, 30, 30), true);
        break;
    case Glyph::LogFile:
        page(p, QRectF(3.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(0, 120, 0), 1.6));
        p.drawLine(QPointF(6, 12), QPointF(8, 9));
        p.drawLine(QPointF(8, 9), QPointF(10, 11));
        p.drawLine(QPointF(10, 11), QPointF(12.5, 6));
        break;
    case Glyph::Help: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        QFont f;
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::Print:
        p.setPen(QPen(QColor(70, 70, 70), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper in
        p.setBrush(QColor(170, 170, 170));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4)); // paper out
        p.setPen(QPen(QColor(0, 160, 0), 1));
        p.drawPoint(QPointF(12.5, 8.5));
        break;
    case Glyph::Copy:
        page(p, QRectF(1.5, 1.5, 8, 10));
        page(p, QRectF(6.5, 4.5, 8, 10));
        break;
    case Glyph::ClearCodes:
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3.5, 4.5, 9, 10));
        p.drawRect(QRectF(2.5, 2.5, 11, 2));
        p.drawRect(QRectF(6.5, 1, 3, 1.5));
        p.setPen(QPen(QColor(200, 30, 30), 1.6));
        p.drawLine(QPointF(5.5, 7), QPointF(10.5, 12.5));
        p.drawLine(QPointF(10.5, 7), QPointF(5.5, 12.5));
        break;
    case Glyph::Reprogram: {
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(QColor(240, 200, 40));
        QPolygonF pencil;
        pencil << QPointF(2, 14) << QPointF(3, 10) << QPointF(11, 2) << QPointF(14, 5)
               << QPointF(6, 13);
        p.drawPolygon(pencil);
        p.setBrush(QColor(230, 120, 120));
        QPolygonF top;
        top << QPointF(11, 2) << QPointF(14, 5) << QPointF(15, 4) << QPointF(12, 1);
        p.drawPolygon(top);
        break;
    }
    case Glyph::Login:
        p.setPen(QPen(QColor(120, 90, 0), 1));
        p.setBrush(QColor(230, 180, 40));
        p.drawEllipse(QRectF(1.5, 4.5, 7, 7));
        p.drawRect(QRectF(8, 7, 7, 2));
        p.drawRect(QRectF(11.5, 9, 1.5, 2.5));
        p.drawRect(QRectF(13.5, 9, 1.5, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(3.5, 6.5, 2.5, 2.5));
        break;
    case Glyph::Start: {
        p.setPen(QPen(QColor(0, 90, 0), 1));
        p.setBrush(QColor(0, 170, 0));
        QPolygonF play;
        play << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
        p.drawPolygon(play);
        break;
    }
    case Glyph::Ok: {
        p.setPen(QPen(QColor(0, 150, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick;
        tick << QPointF(2.5, 8.5) << QPointF(6.5, 12.5) << QPointF(13.5, 3.5);
        p.drawPolyline(tick);
        break;
    }
    case Glyph::Cancel:
        p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    }
}

} // namespace

QIcon GlyphIcon(Glyph glyph) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    draw(p, glyph);
    p.end();
    QIcon icon(pixmap);
    return icon;
}
