#include "toolkit/scramble.h"

namespace rimo {

QString FindXOR(const QString& St)
{
    QString result(St.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < St.size(); ++i) {
        const auto key = static_cast<char16_t>(2 * (i + 1)); // wraps at 65536 on purpose
        result[i] = QChar(static_cast<char16_t>(St[i].unicode() ^ key));
    }
    return result;
}

QString FindXORSimple(const QString& St)
{
    QString result(St.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < St.size(); ++i)
        result[i] = QChar(static_cast<char16_t>(St[i].unicode() ^ 1));
    return result;
}

} // namespace rimo
