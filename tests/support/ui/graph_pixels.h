#pragma once
// What a rendered graph shows: how many pixels of its plot area are close to
// a line's colour. A drawn line leaves hundreds, a hidden one none.
#include "ui/graph_window.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <cstdlib>

inline int LinePixels(GraphWindow& graph, const QColor& colour) {
    const QImage image = graph.chartView()->grab().toImage();
    const QRect plot = graph.chartView()->chart()->plotArea().toRect().adjusted(1, 1, -1, -1);
    const qreal scale = image.devicePixelRatio();
    int n = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) {
            const QColor c = image.pixelColor(int(x * scale), int(y * scale));
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                ++n;
        }
    return n;
}
