#pragma once
// Shared pieces of the calendar fuzz targets: the input as text, a services object without a
// window, and a check that stops the run when an invariant breaks.

#include "fuzzcheck.h"
#include "toolkit/services/dateservices.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

class SilentServices : public TDateServices
{
public:
    int shown = 0;
    rimo::SystemClock systemClock;
    void ShowMsg(const QString&) override { ++shown; }
    const rimo::Clock& clock() const override { return systemClock; }
};

inline QString fuzzText(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
