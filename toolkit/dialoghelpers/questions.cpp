#include "questions.h"

namespace {

const QString Question = QStringLiteral("سوال");
const QString Yes = QStringLiteral("بله");
const QString No = QStringLiteral("خير");

} // namespace

rimo::MessageBoxRequest rimo::questionRequest(const rimo::Question& question)
{
    MessageBoxRequest r;
    r.icon = MessageIcon::Question;
    r.caption = question.caption;
    r.text = question.text;
    r.buttons = question.buttons;
    r.defaultButton = 0;
    r.closableWithoutButton = true;
    r.rightToLeft = true;
    r.arabicCharset = true;
    return r;
}

int rimo::questionResult(const rimo::Question& question, int pressed)
{
    // Closing the box is the cancel result.
    constexpr int cancelled = 2;
    if (pressed < 0 || pressed >= question.results.size())
        return cancelled;
    return question.results[pressed];
}

int rimo::ask(const rimo::Question& question)
{
    return questionResult(question, dialogs().messageBox(questionRequest(question)));
}

int TQuestions::AskYesNo(const QString& St)
{
    return rimo::ask({Question, St, {Yes, No}, {6, 7}});
}

int TQuestions::AskYesNoAll(const QString& St)
{
    return rimo::ask({Question,
                      St,
                      {Yes, No, QStringLiteral("خير به همه"), QStringLiteral("بله به همه ")},
                      {6, 7, 9, 10}});
}

int TQuestions::ChartOrFr3()
{
    return rimo::ask({QStringLiteral("لطفاانتخاب كنيد"),
                      QStringLiteral("تمايل داريد گزارش نمايش داده شود يا نمودار؟"),
                      {QStringLiteral("گزارش"), QStringLiteral("نمودار"), QStringLiteral("هيچكدام")},
                      {6, 7, 2}});
}
