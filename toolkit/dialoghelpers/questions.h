#pragma once
// The toolkit object's Persian questions: message boxes through the dialog seam, their pressed
// button given back as the modal result the callers compare with.

#include "platform/dialogs.h"

#include <QList>
#include <QString>

class TQuestions
{
public:
    virtual ~TQuestions() = default;

    // "بله" 6, "خير" 7; closed without a button 2.
    static int AskYesNo(const QString& St);
    // As AskYesNo, with "خير به همه" 9 and "بله به همه " 10.
    static int AskYesNoAll(const QString& St);
    // The report 6, the chart 7, neither (or closed) 2.
    static int ChartOrFr3();
};

namespace rimo {

struct Question
{
    QString caption;
    QString text;
    QStringList buttons;
    QList<int> results; // the modal result of each button, in order
};

// The question box: question icon, right to left, Arabic font, the first button the default,
// closable without a button.
MessageBoxRequest questionRequest(const Question& question);
// The modal result of the pressed button index; 2 when the box was closed without one.
int questionResult(const Question& question, int pressed);
// Asks through the dialog seam.
int ask(const Question& question);

} // namespace rimo
