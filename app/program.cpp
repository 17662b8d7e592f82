#include "app/program.h"

#include "app/mainwindow.h"
#include "app/texts.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/lifecycle.h"
#include "toolkit/tools.h"

#include <QApplication>

Program::Program(ProgramOptions options)
{
    rimo::setApplicationTitle(rimo::texts::AppTitle);
    QCoreApplication::setApplicationName(rimo::texts::AppTitle);
    m_form = std::make_unique<TForm1>();
    m_tools = std::make_unique<TTools>(std::move(options.platform), options.appPath);
}

Program::~Program() = default;

int Program::exec()
{
    if (rimo::terminateRequested())
        return 0;
    m_form->show();
    QApplication::exec();
    return 0;
}
