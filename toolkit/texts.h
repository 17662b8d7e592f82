#pragma once
// The toolkit's own user-visible texts.

#include <QString>

namespace rimo::texts {
inline const QString MsgCaption = QStringLiteral("پيام");
inline const QString MsgReturnButton = QStringLiteral("بازگشت");
inline const QString ToolsCaption = QStringLiteral("Tools");
} // namespace rimo::texts
