#pragma once
// Where the program reads the current date and time. The toolkit object is given a clock: the
// program passes the system's, tests a fixed one, so that nothing a test checks moves with the
// real time (a test reading today's date after the toolkit did could fail at midnight).

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace rimo {

class Clock
{
public:
    virtual ~Clock() = default;
    // The local date and time.
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
    QTime time() const { return now().time(); }
    // Coordinated Universal Time, for what must not depend on the machine's own zone.
    virtual QDateTime utcNow() const { return now().toUTC(); }
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    QDateTime utcNow() const override;
};

} // namespace rimo
