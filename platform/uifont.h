#pragma once
// The program's window font: Tahoma 8 pt, falling back to installed fonts that carry Arabic
// script with a similar line height (DejaVu Sans), then to Noto.

#include <QFont>
#include <QStringList>

namespace rimo {
QFont tahomaFont();
}
