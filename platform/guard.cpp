#include "platform/guard.h"

namespace rimo {

void reportEscapedError(const std::exception& e)
{
    if (const auto* err = dynamic_cast<const Error*>(&e))
        showApplicationError(err->text());
    else
        showApplicationError(QString::fromUtf8(e.what()));
}

void reportUnknownError()
{
    showApplicationError(QStringLiteral("Unknown error"));
}

} // namespace rimo
