#include "core/clock.h"

namespace rimo {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

QDateTime SystemClock::utcNow() const
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace rimo
