#pragma once
// The toolkit object's waiting box: a window without buttons that tells the user to wait while
// the caller goes on working, created by the first call and given new texts by later ones.

#include "platform/trayicon.h"

#include <QColor>
#include <QDialog>
#include <QString>
#include <memory>

class QLabel;

// The box itself: the warning icon and one text. Closing it hides it; it is deleted only by its
// owner, so a pointer to it never dangles.
class TWaitBox : public QDialog
{
    Q_OBJECT
public:
    struct Look
    {
        QString paddedText; // the first text; its spaces set the width
        int height = 0;
        QColor colour;
        QString caption;
        bool closeBox = false;
    };
    explicit TWaitBox(const Look& look);

    QString text() const;
    void setText(const QString& text);
    // Keeps the text's current size, wraps it and aligns it to the right.
    void fixText();

private:
    QLabel* m_text;
};

class TWaitingBoxes
{
public:
    TWaitingBoxes();
    virtual ~TWaitingBoxes();

    // The notification-area icon; off, and nothing in the program turns it on. While it is on,
    // the waiting texts go to its balloon in place of the box.
    std::unique_ptr<rimo::TrayIcon> CTrayI;

    // The box while it exists, else nullptr.
    std::unique_ptr<TWaitBox> MsgBoxForm;

    void ShowBoxMessage(const QString& Msg);
    void ShowBigBoxMessage(const QString& Msg);
    // `Color` is a blue-green-red value (red in the low byte).
    void ShowBoxMessageColor(const QString& Msg, quint32 Color);
    void ShowBoxClose();

private:
    void show(const TWaitBox::Look& look, const QString& Msg, bool fixText);
};

namespace rimo {

// The colour of a 24-bit blue-green-red value.
QColor colourFromBgr(quint32 bgr);

} // namespace rimo
