#include "toolkit/formdefs/formdefinitions.h"
#include "toolkit/formdefs/formdefs.h"

#include <QWidget>

using namespace rimo::formdefs;

void TFormDefinitions::SaveTempleateForDef(QWidget* Sender)
{
    writeLines(templateFile(programFolder(), Sender->objectName()), templateLines(Sender));
}

void TFormDefinitions::LoadDef(QWidget* Sender)
{
    const QString path = definitionFile(programFolder(), Sender->objectName());
    if (!path.isEmpty())
        loadLines(Sender, readLines(path));
}

void TFormDefinitions::SaveDef(QWidget* Sender)
{
    const QString path = definitionFile(programFolder(), Sender->objectName());
    if (!path.isEmpty())
        writeLines(path, saveLines(Sender, readLines(path)));
}
