#pragma once
// The program's notification-area icon and its balloon tips. The icon is off unless enabled;
// the toolkit shows its waiting texts there in place of a window while it is on.

#include <QString>
#include <memory>

class QSystemTrayIcon;

namespace rimo {

enum class BalloonIcon { None, Information, Warning, Critical };

class TrayIcon
{
public:
    virtual ~TrayIcon() = default;

    bool Enabled = false;

    virtual void showBalloon(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs) = 0;
    virtual void hideBalloon() = 0;
};

// The icon of Qt's system tray. Qt has no call that withdraws a balloon: hideBalloon hides the
// icon and shows it again, which takes its balloon away on the usual notification areas; where
// it does not, the balloon ends with its time-out.
class QtTrayIcon : public TrayIcon
{
public:
    QtTrayIcon();
    ~QtTrayIcon() override;
    void showBalloon(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs) override;
    void hideBalloon() override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace rimo
