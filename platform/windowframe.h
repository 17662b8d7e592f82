#pragma once
// Title bars as the windows ask for them. Qt writes a window's title-bar buttons only as
// decorations; a window manager still offers close (Alt+F4, its window menu) unless the
// functions of the Motif hints say otherwise. A window without title-bar buttons therefore
// writes both, each time it is shown (Qt writes the hints again when a window is created).

class QWidget;

namespace rimo {

// The Motif hints a window without system menu, minimise, maximise or close asks for: a border
// and a title; moving as the only function.
struct MotifHints
{
    unsigned flags = 0;
    unsigned functions = 0;
    unsigned decorations = 0;
};
MotifHints titleOnlyMotifHints();

// Keeps `window` (a top-level widget) free of title-bar buttons under any window manager that
// reads the Motif hints. Does nothing off X11.
void keepWithoutTitleButtons(QWidget* window);

// Keeps an empty title empty on the screen. Qt's X11 windows show the application's name where
// the title is empty; this writes the empty name back whenever the window's title is empty.
void keepEmptyTitleEmpty(QWidget* window);

} // namespace rimo
