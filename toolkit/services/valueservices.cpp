#include "toolkit/services/valueservices.h"

#include "core/formatsettings.h"
#include "core/integertext.h"
#include "core/textutil.h"
#include "toolkit/scramble.h"

#include <algorithm>
#include <cmath>

namespace rimo {

QString generalNumberText(double value, QChar decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    // Rounded to 15 significant digits first, so the exponent is that of the rounded value.
    const QString scientific = QString::number(value, 'e', 14); // "-1.23450000000000e+02"
    const qsizetype e = scientific.indexOf(u'e');
    const int exponent = scientific.mid(e + 1).toInt();
    const auto withoutTrailingZeros = [](QString digits) {
        if (digits.contains(u'.')) {
            while (digits.endsWith(u'0'))
                digits.chop(1);
            if (digits.endsWith(u'.'))
                digits.chop(1);
        }
        return digits;
    };
    QString text;
    if (exponent >= 15 || std::fabs(value) < 0.00001)
        text = withoutTrailingZeros(scientific.left(e)) + u'E' + QString::number(exponent);
    else
        text = withoutTrailingZeros(QString::number(value, 'f', std::max(0, 14 - exponent)));
    text.replace(u'.', decimalSeparator);
    return text;
}

} // namespace rimo

QVariant TValueServices::iif(bool Test, const QVariant& TrueR, const QVariant& FalseR)
{
    return Test ? TrueR : FalseR;
}

bool TValueServices::IsBlank(const QString& St)
{
    for (const QChar c : St) {
        if (c.unicode() > 32)
            return false;
    }
    return true;
}

QString TValueServices::RemoveRLBLank(const QString& InSt)
{
    if (IsBlank(InSt))
        return InSt;
    return rimo::trimmedView(InSt, rimo::TrimSet::Blanks).toString();
}

bool TValueServices::IsValidNum(const QString& St)
{
    for (const QChar c : St) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || u == u'-' || u == u'.'))
            return false;
    }
    return true;
}

double TValueServices::To2DigitFloat(double InNum)
{
    // The rounding stays in long double, so values beyond any integer type need no check.
    const long double scaled = static_cast<long double>(InNum) * 100.0L;
    return static_cast<double>(std::nearbyintl(scaled) / 100.0L);
}

int TValueServices::ToInt(double Num)
{
    QString text = rimo::generalNumberText(Num, rimo::formatSettings().decimalSeparator);
    const qsizetype point = text.indexOf(u'.');
    if (point >= 0)
        text.remove(point, 80);
    return rimo::integerOrError(text);
}

QString TValueServices::FindXOR(const QString& St)
{
    return rimo::FindXOR(St);
}

QString TValueServices::FindXORSimple(const QString& St)
{
    return rimo::FindXORSimple(St);
}

void TValueServices::Sound(int aFreq, int aDelay)
{
    tonePlayer().tone(aFreq, aDelay);
}

void TValueServices::NoSound()
{
    tonePlayer().silence();
}

void TValueServices::WarningSound()
{
    Sound(1200, 50);
    Sound(900, 100);
    NoSound();
}
