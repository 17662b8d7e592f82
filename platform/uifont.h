#pragma once
// The program's window font: Tahoma 8 pt. The windows are laid out in pixels for Tahoma's
// metrics; a wider face pushes texts out of their boxes. Where the system has no Tahoma of its
// own, the free Tahoma of Debian's fonts-wine (which carries Persian and Arabic letters) is
// loaded into the application's font database; DejaVu Sans, then Noto, stay as the fallbacks
// when neither is there.

#include <QFont>
#include <QString>
#include <QStringList>

namespace rimo {

// Where fonts-wine puts its Tahoma files (outside fontconfig's folders).
QStringList bundledTahomaFiles();

// Loads `files` into the application font database unless a Tahoma is already known; returns
// whether a Tahoma family is available afterwards. Needs a QGuiApplication.
bool ensureTahoma(const QStringList& files = bundledTahomaFiles());

// The window font; the first call makes sure Tahoma is loaded.
QFont tahomaFont();

} // namespace rimo
