#include "core/lifecycle.h"

#include <QCoreApplication>
#include <cstdlib>

namespace rimo {

namespace {
bool g_terminate = false;
std::function<void(int)> g_halt;
} // namespace

void requestTerminate()
{
    g_terminate = true;
    if (QCoreApplication::instance())
        QCoreApplication::quit();
}

bool terminateRequested()
{
    return g_terminate;
}

void resetTerminateRequest()
{
    g_terminate = false;
}

void haltProcess(int code)
{
    if (g_halt)
        g_halt(code);
    std::_Exit(code);
}

void setHaltAction(std::function<void(int)> action)
{
    g_halt = std::move(action);
}

} // namespace rimo
