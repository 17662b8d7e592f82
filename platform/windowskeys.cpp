#include "platform/windowskeys.h"

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>

namespace rimo {

namespace {

// Every widget is polished once before it is first shown, children included, so this sees the
// widgets of windows made later as well as those made before it was installed.
class WindowsKeysFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && watched->isWidgetType())
            applyWindowsKeys(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void applyWindowsKeys(QWidget* widget)
{
    // An auto-default button takes Enter in its own key handler, so a window that looks at
    // keys first (a form's key preview) still sees Enter before the button does.
    if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setAutoDefault(true);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
        plain->setTabChangesFocus(true);
    else if (auto* rich = qobject_cast<QTextEdit*>(widget))
        rich->setTabChangesFocus(true);
}

void installWindowsKeys()
{
    static QPointer<WindowsKeysFilter> installed;
    if (installed || !qApp)
        return;
    installed = new WindowsKeysFilter(qApp);
    qApp->installEventFilter(installed);
}

} // namespace rimo
