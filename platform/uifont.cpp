#include "platform/uifont.h"

namespace rimo {

QFont tahomaFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans")});
    f.setPointSize(8);
    return f;
}

} // namespace rimo
