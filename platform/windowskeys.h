#pragma once
// The keyboard as the program's users know it from Windows, for every window the program
// opens: Enter on a focused push button presses it (Qt presses it only in dialogs), and a
// multi-line text box passes Tab on to the next control instead of typing it.

class QObject;
class QWidget;

namespace rimo {

// Gives `widget` the Windows keys if it is a push button or a multi-line text box.
void applyWindowsKeys(QWidget* widget);

// Applies them to every widget the application polishes from now on. Idempotent; needs a
// QApplication.
void installWindowsKeys();

} // namespace rimo
