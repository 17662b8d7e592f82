#pragma once
// The program entry's objects, created in the fixed start-up order: main window, toolkit object,
// herd data module. Tests build the same objects with platform doubles and a program folder.

#include "platform/services.h"

#include <QString>
#include <memory>

class TForm1;
class TTools;
class TDM;

struct ProgramOptions
{
    rimo::PlatformServices platform;
    QString appPath; // empty: the executable's folder
};

class Program
{
public:
    // Creates the main window, the toolkit object and the herd data module, which finds the
    // herd's settings and connects; an error escaping that reaches the standard error box.
    explicit Program(ProgramOptions options = {});
    ~Program();

    // Shows the main window and runs the event loop, unless an end was requested already.
    int exec();

    TForm1* form() const { return m_form.get(); }
    TTools* tools() const { return m_tools.get(); }
    TDM* dataModule() const { return m_dm.get(); }

private:
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TTools> m_tools;
    std::unique_ptr<TDM> m_dm;
};
