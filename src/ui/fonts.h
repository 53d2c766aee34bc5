#pragma once
// The three type faces of the program. Each asks for its family first and
// names the closest look-alike that Linux systems ship, so the layout keeps
// its proportions where the original faces are missing.
#include <QColor>
#include <QFont>

namespace Fonts {
// Page texts; 13 px normal, 20 px bold value boxes, 27 px readiness digits.
QFont verdana(int pixelSize = 13, bool bold = false, bool italic = false);
// Window chrome, tab captions and the status bar.
QFont msSansSerif(int pixelSize = 11);
// The search report.
QFont courierNew(int pixelSize = 13);
} // namespace Fonts

// Colours the window and its pages share.
namespace Colours {
inline const QColor Idle{192, 220, 192};
inline const QColor Highlight{166, 202, 240};
inline const QColor Page{236, 233, 216};
inline const QColor Disclaimer{238, 51, 55};
inline const QColor Silver{192, 192, 192};
} // namespace Colours
