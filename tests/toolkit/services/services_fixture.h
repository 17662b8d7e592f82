#pragma once
// A stand-in for the toolkit object: the date and value services with recording hooks.

#include "db/msdataset.h"
#include "platform/testing/doubles.h"
#include "toolkit/services/dateservices.h"
#include "toolkit/services/valueservices.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <tuple>

class RecordingServices : public TDateServices, public TValueServices
{
public:
    QStringList messages;
    QList<std::tuple<TMSTable*, QString, QString>> fieldWrites;
    rimo::fakes::FixedClock testClock;
    rimo::fakes::RecordingTone tone;

    void ShowMsg(const QString& St) override { messages << St; }
    const rimo::Clock& clock() const override { return testClock; }
    rimo::TonePlayer& tonePlayer() override { return tone; }

    // The one message shown since the last call, or "" when none; more than one fails the test.
    QString takeMessage()
    {
        EXPECT_LE(messages.size(), 1) << messages.join(u'|').toStdString();
        const QString m = messages.value(0);
        messages.clear();
        return m;
    }

protected:
    void writeDateField(TMSTable* InTable, const QString& field, const QString& value) override
    {
        fieldWrites.append({InTable, field, value});
    }
};

// Persian texts of the checks, as the user reads them.
namespace msg {
inline const QString Cr = QStringLiteral("\r");
inline QString date(const QString& t, const QString& reason)
{
    return QStringLiteral(" تاريخ  ") + t + QStringLiteral("  صحيح نمي باشد") + Cr + reason;
}
inline QString time(const QString& t, const QString& reason)
{
    return QStringLiteral(" ساعت  ") + t + QStringLiteral("  صحيح نمي باشد") + Cr + reason;
}
inline const QString SlashCount = QStringLiteral("تعداد / صحيح نيست");
inline const QString Digits = QStringLiteral("جهت تاريخ از اعداد 0 تا 9 استفاده كنيد");
inline const QString DateEntry = QStringLiteral("اشكال در ورود تاريخ");
inline const QString Month = QStringLiteral("ماه صحيح نيست");
inline const QString Day = QStringLiteral("روز صحيح نيست");
inline const QString ColonCount = QStringLiteral("تعداد \":\" درست نيست");
inline const QString TimeChars = QStringLiteral("علامتهاي مجاز اعداد 1 تا 9 و علامت \":\" مي باشد");
inline const QString TimeEntry = QStringLiteral("اشكال در ورود ساعت");
inline const QString Hour = QStringLiteral("ساعت صحيح نيست");
inline const QString Minute = QStringLiteral("دقيقه صحيح نيست");
inline const QString Years = QStringLiteral(" سال ");
inline const QString Months = QStringLiteral(" ماه ");
inline const QString Days = QStringLiteral(" روز ");
} // namespace msg
