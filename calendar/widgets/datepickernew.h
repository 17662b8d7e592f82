#pragma once
// The date picker window: the month calendar with an OK and a Cancel button, opened modally for
// an edit box. Enter means OK and Esc Cancel wherever the focus is; the key still reaches the
// focused control first (Enter in the year box applies the typed year, then the window closes).

#include "calendar/widgets/solarmonthcalendar.h"
#include "core/clock.h"
#include "platform/services.h"

#include <QDialog>
#include <memory>

class TXFBitBtn;

class TDatePickerNew : public QDialog
{
    Q_OBJECT
public:
    // Without a clock the system's is used; the calendar starts on that clock's today.
    explicit TDatePickerNew(QWidget* parent = nullptr, std::shared_ptr<const rimo::Clock> clock = {},
                            std::shared_ptr<rimo::Beeper> beeper = {});
    ~TDatePickerNew() override;

    // The window on screen or being prepared (one at a time); nullptr when there is none.
    static TDatePickerNew* DatePickerNew();

    // The window's key handler: Enter asks for OK, Esc for Cancel. `Key` is the typed character.
    void FormKeyPress(QObject* Sender, QChar& Key);

    TSolarMonthCalendar* Calndr = nullptr;
    TXFBitBtn* BConSet = nullptr;
    TXFBitBtn* XFBitBtn3 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyPickerValues();
    void setupButton(TXFBitBtn* button, const QString& caption, int x, int modalResult, bool swap);

    QWidget* m_client = nullptr;
    int m_asked = 0;           // modal result asked for by the key handler, 0 for none
    bool m_delivering = false; // the previewed key is on its way to the focused control
};
