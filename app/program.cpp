#include "app/program.h"

#include "app/datamodule.h"
#include "app/mainwindow.h"
#include "app/texts.h"
#include "core/lifecycle.h"
#include "db/session.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/qttranslation.h"
#include "platform/windowskeys.h"
#include "repairs/run.h"
#include "toolkit/tools.h"

#include <QApplication>

Program::Program(ProgramOptions options)
{
    rimo::setApplicationTitle(rimo::texts::AppTitle);
    QCoreApplication::setApplicationName(rimo::texts::AppTitle);
    rimo::installWindowsKeys();
    rimo::installQtPersianTexts();
    m_form = std::make_unique<TForm1>();
    m_tools = std::make_unique<TTools>(std::move(options.platform), options.appPath);
    m_dm = std::make_unique<TDM>(*m_tools);
    // Errors of the directory statements in multi-herd mode reach the error box; the program
    // then goes on to its main window with the herd connection unset.
    rimo::runGuarded([this] { m_dm->DataModuleCreate(); });

    TForm1* form = m_form.get();
    // While a statement waits for the server the window repaints and its exit button acts; exit
    // abandons the statement at once.
    rimo::db::setWaitHooks({[] { QCoreApplication::processEvents(); },
                            [form] { return form->stopRequested() || rimo::terminateRequested(); }});
    RepairDisplay display;
    display.setTitle = [form](const QString& t) { form->setProgressText(t); };
    display.appendLine = [form](const QString& l) { form->appendFailureLine(l); };
    display.pumpEvents = [] { QCoreApplication::processEvents(); };
    display.stopRequested = [form] { return form->stopRequested(); };
    // Every run leaves its undo journal in the working folder; one that cannot be written stops
    // the run before its first write, and the error reaches the standard error box.
    const auto start = [this, display](rimo::repairs::Repair repair) {
        rimo::repairs::RunOptions run;
        run.journalFolder = m_tools->AppPath + QStringLiteral("T4R");
        rimo::repairs::RunSummary summary;
        rimo::repairs::runRepair(repair,
                                 {*m_dm->HConnection, *m_dm->TSqlTable, *m_dm->TZayesh, *m_dm->QAskGeneral},
                                 run, display, summary);
    };
    form->onRecordSequenceRebuild = [start] { start(rimo::repairs::Repair::Sequence); };
    form->onLactationRebuild = [start] { start(rimo::repairs::Repair::Lactation); };
}

Program::~Program()
{
    rimo::db::setWaitHooks({});
}

int Program::exec()
{
    if (rimo::terminateRequested())
        return 0;
    m_form->show();
    QApplication::exec();
    return 0;
}
