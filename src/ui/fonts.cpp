#include "ui/fonts.h"

#include <QStringList>

namespace {
QFont make(const QStringList& families, int pixelSize, bool bold, bool italic) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}
} // namespace

namespace Fonts {
QFont verdana(int pixelSize, bool bold, bool italic) {
    // DejaVu Sans descends from the same wide, open design.
    return make({"Verdana", "DejaVu Sans", "Bitstream Vera Sans"}, pixelSize, bold, italic);
}

QFont msSansSerif(int pixelSize) {
    return make(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"},
        pixelSize, false, false);
}

QFont courierNew(int pixelSize) {
    return make({"Courier New", "Liberation Mono", "DejaVu Sans Mono"}, pixelSize, false, false);
}
} // namespace Fonts
