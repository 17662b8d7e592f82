#include "platform/error.h"
#include "toolkit/tools.h"

void TTools::FindConStrMultiHerd(QString&, QString&, QString&, QString&)
{
    throw rimo::Error(QStringLiteral("Multi-herd mode is not available in this build"));
}
