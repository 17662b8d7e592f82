#pragma once
// Definition files of the toolkit object's windows, as a base class TTools inherits; it
// supplies the program folder.

#include <QString>

class QWidget;

class TFormDefinitions
{
public:
    virtual ~TFormDefinitions() = default;
    // The program folder with a trailing separator; the files live in its folder "ini".
    virtual QString programFolder() const = 0;

    // Writes "1" + the window's name + ".Ini" listing every component with a value of one space;
    // raises rimo::Error when the file cannot be written (no "ini" folder).
    void SaveTempleateForDef(QWidget* Sender);
    // Sets the window's controls from its definition file; nothing without the file.
    void LoadDef(QWidget* Sender);
    // Updates the existing definition file from the controls; nothing without the file.
    void SaveDef(QWidget* Sender);
};
