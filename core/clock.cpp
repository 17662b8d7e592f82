#include "core/clock.h"

namespace rimo {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace rimo
