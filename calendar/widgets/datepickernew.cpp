#include "calendar/widgets/datepickernew.h"

#include "platform/uifont.h"
#include "widgets/xfbitbtn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

namespace {

TDatePickerNew* g_picker = nullptr;

constexpr int kBorderWidth = 5;
constexpr int kClientWidth = 322;
constexpr int kClientHeight = 231;

} // namespace

TDatePickerNew* TDatePickerNew::DatePickerNew()
{
    return g_picker;
}

TDatePickerNew::TDatePickerNew(QWidget* parent, std::shared_ptr<const rimo::Clock> clock,
                               std::shared_ptr<rimo::Beeper> beeper)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("DatePickerNew"));
    setFixedSize(kClientWidth + 2 * kBorderWidth, kClientHeight + 2 * kBorderWidth);
    setLayoutDirection(Qt::RightToLeft);
    setFont(rimo::tahomaFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    // The controls sit inside the border; their places are absolute, so the right-to-left window
    // does not mirror them ("قبول" stays on the right).
    m_client = new QWidget(this);
    m_client->setGeometry(kBorderWidth, kBorderWidth, kClientWidth, kClientHeight);

    Calndr = new TSolarMonthCalendar(m_client, std::move(clock), std::move(beeper));
    Calndr->setObjectName(QStringLiteral("Calndr"));
    Calndr->setLayoutDirection(Qt::LeftToRight);
    Calndr->setGeometry(0, 0, 322, 195);
    applyPickerValues();

    BConSet = new TXFBitBtn(m_client);
    BConSet->setObjectName(QStringLiteral("BConSet"));
    setupButton(BConSet, QStringLiteral("\u0642\u0628\u0648\u0644"), 214, mrOk, false);
    XFBitBtn3 = new TXFBitBtn(m_client);
    XFBitBtn3->setObjectName(QStringLiteral("XFBitBtn3"));
    setupButton(XFBitBtn3, QStringLiteral("\u0627\u0646\u0635\u0631\u0627\u0641"), 7, mrCancel, true);
    setTabOrder(Calndr, BConSet);
    setTabOrder(BConSet, XFBitBtn3);

    // Key preview: every key for this window passes the window's handler first.
    qApp->installEventFilter(this);
    g_picker = this;
}

TDatePickerNew::~TDatePickerNew()
{
    qApp->removeEventFilter(this);
    if (g_picker == this)
        g_picker = nullptr;
}

// The picker instance's stored values, in the order of the control's property table. Caption and
// background colours are stored only, as the default interface keeps its own.
void TDatePickerNew::applyPickerValues()
{
    Calndr->setEnableYearButtons(true);
    Calndr->setMonthObject(moComboBox);
    Calndr->setMiladiDate(QStringLiteral("2010/07/22"));
    Calndr->setHintText(QString());
    Calndr->setSolarDate(QStringLiteral("1389/04/01"));
    Calndr->setDateKind(rimo::dkSolar);
    Calndr->setDisableCellColor(rimo::rgbColor(192, 192, 192));
    Calndr->setFirstRowColor(14811129);
    Calndr->setSecondRowColor(16772063);
    Calndr->setMonthPosition(mpRightYear);
    Calndr->setUserInterface(uiDefault);
    Calndr->setCellFontColor(rimo::rgbColor(0, 0, 0));
    Calndr->setSelectedCellFontColor(rimo::rgbColor(255, 0, 0));
    Calndr->setBackgroundColor(14811120);
    Calndr->setCaptionColor(13565902);
    Calndr->setShowToDay(true);
    Calndr->setShowCellInColor(false);
    Calndr->setVisibleLayoutSwitch(false);
}

void TDatePickerNew::setupButton(TXFBitBtn* button, const QString& caption, int x, int modalResult, bool swap)
{
    button->setGeometry(x, 205, 97, 26);
    button->setText(caption);
    button->setModalResult(modalResult);
    button->setFlat(true);
    button->setFine(true);
    TXFGradient* g = button->Gradient();
    g->setDirection(gdHorizontal);
    g->setEndColor(13041634);
    g->setHotColor(8454143);
    g->setOptions(goGradient | goHotColor);
    g->setSwapColors(swap);
}

void TDatePickerNew::FormKeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key == QChar(13))
        m_asked = mrOk;
    else if (Key == QChar(27))
        m_asked = mrCancel;
}

bool TDatePickerNew::eventFilter(QObject* watched, QEvent* event)
{
    if (m_delivering || event->type() != QEvent::KeyPress)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || (target != this && !isAncestorOf(target)))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    QChar ch;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ch = QChar(13);
        break;
    case Qt::Key_Escape:
        ch = QChar(27);
        break;
    default:
        ch = key->text().isEmpty() ? QChar() : key->text().at(0);
        break;
    }
    m_asked = 0;
    FormKeyPress(this, ch);
    if (m_asked == 0)
        return false;
    // The focused control gets the key first, then the window closes with the asked result.
    const int asked = m_asked;
    m_delivering = true;
    QCoreApplication::sendEvent(watched, event);
    m_delivering = false;
    done(asked);
    return true;
}

void TDatePickerNew::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc are the key handler's; the dialog's own default-button and reject rules stay out.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TDatePickerNew::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}
