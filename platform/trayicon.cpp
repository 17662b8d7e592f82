#include "platform/trayicon.h"

#include <QSystemTrayIcon>

namespace rimo {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::showBalloon(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs)
{
    if (!m_icon)
        m_icon = std::make_unique<QSystemTrayIcon>();
    m_icon->show();
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (icon) {
    case BalloonIcon::None:
        break;
    case BalloonIcon::Information:
        kind = QSystemTrayIcon::Information;
        break;
    case BalloonIcon::Warning:
        kind = QSystemTrayIcon::Warning;
        break;
    case BalloonIcon::Critical:
        kind = QSystemTrayIcon::Critical;
        break;
    }
    m_icon->showMessage(title, text, kind, timeoutMs);
}

void QtTrayIcon::hideBalloon()
{
    if (!m_icon || !m_icon->isVisible())
        return;
    m_icon->hide();
    m_icon->show();
}

} // namespace rimo
