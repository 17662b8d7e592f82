#include "calendar/widgets/solarmonthcalendar.h"

#include "calendar/dateoperations.h"
#include "calendar/widgets/calendarparts.h"
#include "calendar/widgets/calendartexts.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/linuxservices.h"
#include "platform/uifont.h"

#include <QActionGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QToolButton>

static void initCalendarGlyphs()
{
    // The glyphs live in a static library, whose resources are registered explicitly.
    Q_INIT_RESOURCE(calendarglyphs);
}

using namespace rimo;
using namespace rimo::calendarparts;
namespace texts = rimo::calendarwidgettexts;
namespace cell = rimo::calendarcell;

namespace {

constexpr int kWidth = 322;
constexpr int kHeight = 215;
constexpr int kResizedHeight = 195;
constexpr int kWeekdayLeft[7] = {285, 235, 192, 143, 95, 50, 10};
// The year box's up-down range; Enter accepts years above 1340 (solar) or from 1900 (Gregorian).
constexpr int kFirstBoxYear = 1340;
constexpr int kLastBoxYear = 9999;

QColor color(TColor c)
{
    return toQColor(c, QPalette());
}

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// Today's date as a library date text of the calendar.
QString todayOf(const Clock& clock, TDateKind kind)
{
    const QDate today = clock.today();
    quint16 y = static_cast<quint16>(today.year());
    quint16 m = static_cast<quint16>(today.month());
    quint16 d = static_cast<quint16>(today.day());
    if (kind == dkSolar)
        GregorianToSolar(y, m, d);
    return JoinDate(y, m, d);
}

QToolButton* captionButton(QWidget* parent, const QString& name)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setIconSize(QSize(16, 16));
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    // The caption bar is dark (navy unless the custom interface says otherwise).
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, Qt::white);
    b->setPalette(p);
    return b;
}

} // namespace

TCustomSolarCalendar::TCustomSolarCalendar(QWidget* parent, std::shared_ptr<const Clock> clock,
                                           std::shared_ptr<Beeper> beeper)
    : QWidget(parent), m_clock(clock ? std::move(clock) : std::make_shared<SystemClock>()),
      m_beeper(beeper ? std::move(beeper) : std::make_shared<QtBeeper>()), m_about(texts::kAbout)
{
    initCalendarGlyphs();
    resize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, color(m_backgroundColor));
    setPalette(p);
    setFont(tahomaFont());
    setLayoutDirection(Qt::LeftToRight);
    m_miladi = todayOf(*m_clock, dkGregorian);
    m_solar = todayOf(*m_clock, dkSolar);
    OutDate = m_solar;
    readPartsFrom(OutDate);
    createParts();
    BuildLayout();
}

TCustomSolarCalendar::~TCustomSolarCalendar() = default;

void TCustomSolarCalendar::createParts()
{
    FCaption = new TCaptionBar(this);
    FCaption->setObjectName(QStringLiteral("FCaption"));
    FCaption->onClick = [this] { closeYearBox(); };

    FGrid = new TDayGrid(this);
    FGrid->setObjectName(QStringLiteral("FGrid"));

    FLayout = captionButton(FCaption, QStringLiteral("FLayout"));
    connect(FLayout, &QToolButton::clicked, this, guarded([this] { switchCalendar(); }));
    FPriorButton = captionButton(FCaption, QStringLiteral("FPriorButton"));
    FPriorButton->setIcon(QIcon(QStringLiteral(":/calendar/PRIORYEAR")));
    connect(FPriorButton, &QToolButton::clicked, this, guarded([this] { priorYear(true); }));
    FNextButton = captionButton(FCaption, QStringLiteral("FNextButton"));
    FNextButton->setIcon(QIcon(QStringLiteral(":/calendar/NEXTYEAR")));
    connect(FNextButton, &QToolButton::clicked, this, guarded([this] { nextYear(true); }));

    FYear = new TDirectedLabel(FCaption, Qt::LeftToRight);
    FYear->setObjectName(QStringLiteral("FYear"));
    FYear->setTextColor(Qt::white);
    FYear->onClick = [this] { openYearBox(); };

    FToDay = new TDirectedLabel(this, Qt::LeftToRight);
    FToDay->setObjectName(QStringLiteral("FToDay"));
    QFont underlined = font();
    underlined.setUnderline(true);
    FToDay->setFont(underlined);
    FToDay->setCursor(Qt::PointingHandCursor);
    FToDay->setTextColor(color(cell::kNavy));
    FToDay->setHoverColor(color(cell::kBlue));
    FToDay->onClick = [this] { goToday(); };

    for (int i = 0; i < 7; ++i) {
        FWeekday[i] = new QLabel(this);
        FWeekday[i]->setObjectName(QStringLiteral("FWeekday%1").arg(i));
        QPalette wp = FWeekday[i]->palette();
        wp.setColor(QPalette::WindowText, color(i == 6 ? cell::kMaroon : cell::kGreen));
        FWeekday[i]->setPalette(wp);
    }

    FMonth = new TDirectedLabel(this, Qt::RightToLeft);
    FMonth->setObjectName(QStringLiteral("FMonth"));
    FMonth->setTextColor(color(cell::kNavy));

    FYearEdit = new QLineEdit(FCaption);
    FYearEdit->setObjectName(QStringLiteral("FYearEdit"));
    FYearEdit->setMaxLength(4);
    FYearEdit->setFrame(false);
    FYearEdit->setContextMenuPolicy(Qt::NoContextMenu);
    FYearEdit->installEventFilter(this);
    FYearUpDown = new TYearUpDown(FCaption);
    FYearUpDown->setObjectName(QStringLiteral("FYearUpDown"));
    FYearUpDown->onStep = [this](int delta) { upDownStep(delta); };

    FMenu = new QMenu(this);
    FMenu->setObjectName(QStringLiteral("FMenu"));
    m_menuGroup = new QActionGroup(FMenu);
    m_menuGroup->setExclusive(true);
    setEnableYearButtons(m_enabledYearButton);
}

void TCustomSolarCalendar::BuildLayout()
{
    const bool solar = m_dateKind == dkSolar;
    m_prevMenuItem = m_currMonth;

    FGrid->setGeometry(0, 50, kWidth, 120);
    FGrid->setLayoutDirection(solar ? Qt::RightToLeft : Qt::LeftToRight);

    FCaption->setGeometry(0, 0, kWidth, 25);
    applyCaptionColor();

    FLayout->setGeometry(35, 5, 25, 16);
    FLayout->setText(solar ? texts::kSwitchSolar : texts::kSwitchGregorian);
    FLayout->setToolTip(solar ? texts::kSwitchHint : texts::kSwitchHintEn);
    FLayout->setVisible(m_visibleLayoutSwitch);
    FPriorButton->setGeometry(6, 5, 20, 16);
    FPriorButton->setToolTip(solar ? texts::kPriorHint : texts::kPriorHintEn);
    FNextButton->setGeometry(300, 5, 20, 16);
    FNextButton->setToolTip(solar ? texts::kNextHint : texts::kNextHintEn);

    FYear->move(150, 7);
    FYear->setToolTip(texts::kYearHint);
    applyYearLabel();

    FToDay->setText((solar ? texts::kTodaySolar : texts::kTodayGregorian).arg(todayText()));
    FToDay->adjustSize();
    FToDay->move(solar ? 10 : kWidth - FToDay->width() - 2, 175);
    FToDay->setVisible(m_showToDay);

    const QStringList captions = monthgrid::WeekdayCaptions(m_dateKind);
    for (int i = 0; i < 7; ++i) {
        FWeekday[i]->setText(captions[i]);
        FWeekday[i]->adjustSize();
        FWeekday[i]->move(kWeekdayLeft[i], 30);
    }

    FMonth->setTextDirection(solar ? Qt::RightToLeft : Qt::LeftToRight);
    FMonth->move(258, 175);
    FMonth->setVisible(m_monthObject != moComboBox);

    // An attached up-down sits at the right of its box.
    FYearEdit->setGeometry(150, 5, 35, 17);
    FYearUpDown->setGeometry(185, 5, 13, 17);
    FYearEdit->hide();
    FYearUpDown->hide();

    buildMonthSelector();
    FillGrid();
}

void TCustomSolarCalendar::buildMonthSelector()
{
    const QStringList names = monthgrid::MonthNames(m_dateKind);
    if (m_monthObject != moComboBox && FMonthCombo)
        delete FMonthCombo.data();
    FGrid->setMonthMenu(m_monthObject == moPopupMenu ? FMenu : nullptr);
    if (m_monthObject == moPopupMenu) {
        FMenu->clear();
        for (int m = 1; m <= 12; ++m) {
            QAction* a = FMenu->addAction(names[m - 1]);
            a->setCheckable(true);
            a->setChecked(m == m_prevMenuItem);
            m_menuGroup->addAction(a);
            connect(a, &QAction::triggered, this, guarded([this, m] { selectMonth(m); }));
        }
    } else if (m_monthObject == moComboBox) {
        if (!FMonthCombo) {
            FMonthCombo = new QComboBox(this);
            FMonthCombo->setObjectName(QStringLiteral("FMonthCombo"));
            connect(FMonthCombo, &QComboBox::activated, this,
                    guarded([this](int index) { selectMonth(index + 1); }));
        }
        const QSignalBlocker block(FMonthCombo);
        FMonthCombo->clear();
        FMonthCombo->addItems(names);
        FMonthCombo->setMaxVisibleItems(12);
        const bool solar = m_dateKind == dkSolar;
        FMonthCombo->setLayoutDirection(solar ? Qt::RightToLeft : Qt::LeftToRight);
        FMonthCombo->setGeometry(solar ? 222 : 2, 172, 100, FMonthCombo->sizeHint().height());
        FMonthCombo->setCurrentIndex(m_prevMenuItem - 1);
        FMonthCombo->show();
    }
}

void TCustomSolarCalendar::FillGrid()
{
    m_grid = monthgrid::FillGrid(m_dateKind, m_currYear, m_currMonth, m_currDay, m_monthObject != moNone);
    FMonth->setText(MonthName());
    FMonth->adjustSize();
    // The month name keeps 4 pixels from the edge its calendar reads from.
    FMonth->move(m_dateKind == dkGregorian ? 4 : kWidth - 4 - FMonth->width(), 175);
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::applyYearLabel()
{
    FYear->setText((m_dateKind == dkSolar ? texts::kYearSolar : texts::kYearGregorian).arg(m_currYear));
    FYear->adjustSize();
}

void TCustomSolarCalendar::applyCaptionColor()
{
    QPalette p = FCaption->palette();
    p.setColor(QPalette::Window, color(m_captionColor));
    FCaption->setPalette(p);
}

void TCustomSolarCalendar::applyBackgroundColor()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color(m_backgroundColor));
    setPalette(p);
}

QString TCustomSolarCalendar::todayText() const
{
    return todayOf(*m_clock, m_dateKind);
}

void TCustomSolarCalendar::readPartsFrom(const QString& date)
{
    SplitDate(date, m_currYear, m_currMonth, m_currDay);
}

// --- Selection and the month selector ---

bool TCustomSolarCalendar::SelectCell(int col, int row)
{
    if (!monthgrid::ColumnEnabled(m_enabledDays, col))
        return false;
    const int index = row * monthgrid::kColumns + col;
    const int last = m_grid.lastRow * monthgrid::kColumns + m_grid.lastCol;
    const bool hasSelector = m_monthObject != moNone;
    if (row == 0 && col < m_grid.firstCell) {
        if (hasSelector) {
            if (m_currMonth > 1)
                selectMonth(m_currMonth - 1);
            else if (dateops::YearConverts(m_dateKind, m_currYear - 1)) {
                m_currYear = m_currYear - 1;
                applyYearLabel();
                selectMonth(12);
            }
        }
    } else if (index > last) {
        if (hasSelector) {
            if (m_currMonth < 12)
                selectMonth(m_currMonth + 1);
            else if (dateops::YearConverts(m_dateKind, m_currYear + 1)) {
                m_currYear = m_currYear + 1;
                applyYearLabel();
                selectMonth(1);
            }
        }
    } else {
        const int day = index - m_grid.firstCell + 1;
        OutDate = JoinDate(m_currYear, m_currMonth, static_cast<quint16>(day));
        LastCol = static_cast<quint8>(col);
        LastRow = static_cast<quint8>(row);
        FGrid->setToolTip(QStringLiteral("%1 %2 %3").arg(day).arg(MonthName()).arg(m_currYear));
    }
    readPartsFrom(OutDate);
    m_inDate = OutDate;
    closeYearBox();
    FillGrid();
    return true;
}

void TCustomSolarCalendar::gridHint(int col, int row)
{
    const QString text = m_grid.texts[static_cast<size_t>(row * monthgrid::kColumns + col)].trimmed();
    const bool current = text == QString::number(m_currDay);
    FGrid->setToolTip(current ? QString()
                              : QStringLiteral("%1 %2 %3").arg(text, MonthName()).arg(m_currYear));
}

void TCustomSolarCalendar::selectMonth(int month)
{
    m_prevMenuItem = month;
    m_currMonth = static_cast<quint16>(month);
    // A day the new month lacks becomes its last day.
    m_currDay = std::min(m_currDay, DaysOfMonth(m_dateKind, m_currYear, m_currMonth));
    OutDate = JoinDate(m_currYear, m_currMonth, m_currDay);
    m_inDate = OutDate;
    const QList<QAction*> items = FMenu->actions();
    if (m_monthObject == moPopupMenu && month >= 1 && month <= items.size())
        items[month - 1]->setChecked(true);
    if (FMonthCombo) {
        const QSignalBlocker block(FMonthCombo);
        FMonthCombo->setCurrentIndex(month - 1);
    }
    FillGrid();
}

// --- Years ---

void TCustomSolarCalendar::changeYear(int year)
{
    m_currYear = static_cast<quint16>(year);
    applyYearLabel();
    m_currDay = std::min(m_currDay, DaysOfMonth(m_dateKind, m_currYear, m_currMonth));
    OutDate = JoinDate(m_currYear, m_currMonth, m_currDay);
    FillGrid();
}

void TCustomSolarCalendar::priorYear(bool fromButton)
{
    // The buttons stop at the first year the calendar can convert.
    if (!dateops::YearConverts(m_dateKind, m_currYear - 1))
        return;
    changeYear(m_currYear - 1);
    if (fromButton)
        closeYearBox();
    fire(OnPrevClick);
}

void TCustomSolarCalendar::nextYear(bool fromButton)
{
    if (!dateops::YearConverts(m_dateKind, m_currYear + 1))
        return;
    changeYear(m_currYear + 1);
    if (fromButton)
        closeYearBox();
    fire(OnNextClick);
}

void TCustomSolarCalendar::openYearBox()
{
    if (!m_enabledYearButton)
        return;
    m_tempYear = m_currYear;
    FYearEdit->setText(QString::number(m_currYear));
    FYearEdit->show();
    FYearUpDown->show();
    FYearEdit->raise();
    FYearUpDown->raise();
    FYearEdit->setFocus(Qt::OtherFocusReason);
    FYearEdit->deselect();
}

void TCustomSolarCalendar::closeYearBox()
{
    FYearEdit->hide();
    FYearUpDown->hide();
}

bool TCustomSolarCalendar::yearBoxOpen() const
{
    return FYearEdit->isVisible();
}

bool TCustomSolarCalendar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FYearEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        bool consumed = false;
        runGuarded([&] { consumed = yearBoxKey(key->key(), key->text()); });
        return consumed;
    }
    return QWidget::eventFilter(watched, event);
}

// Nothing here touches the desktop's own warning-beep setting: a refused year sounds the beep.
bool TCustomSolarCalendar::yearBoxKey(int key, const QString& text)
{
    switch (key) {
    case Qt::Key_Escape:
        if (m_currYear != m_tempYear)
            changeYear(m_tempYear);
        closeYearBox();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        bool ok = false;
        const int year = FYearEdit->text().toInt(&ok);
        const bool inRange = m_dateKind == dkSolar ? year > kFirstBoxYear : year >= 1900;
        if (ok && inRange && year <= kLastBoxYear && dateops::YearConverts(m_dateKind, year)) {
            if (year != m_currYear)
                changeYear(year);
        } else {
            m_beeper->defaultBeep();
        }
        closeYearBox();
        return true;
    }
    case Qt::Key_Up:
        upDownStep(1);
        return true;
    case Qt::Key_Down:
        upDownStep(-1);
        return true;
    default:
        break;
    }
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    // Digits, backspace and "&" (code 38) reach the box; other printable characters do not.
    const bool allowed = (c >= u'0' && c <= u'9') || c == u'\b' || c == u'&';
    const bool printable = c.unicode() >= 0x20 && c.unicode() != 0x7F;
    return printable && !allowed;
}

void TCustomSolarCalendar::upDownStep(int delta)
{
    bool ok = false;
    int position = FYearEdit->text().toInt(&ok);
    if (!ok)
        position = m_currYear;
    const int moved = std::clamp(position + delta, kFirstBoxYear, kLastBoxYear);
    if (moved == std::clamp(position, kFirstBoxYear, kLastBoxYear))
        return;
    if (moved < m_currYear)
        priorYear(false);
    else if (moved > m_currYear)
        nextYear(false);
    FYearEdit->setText(QString::number(m_currYear));
}

// --- Today, the date setter and the calendar switch ---

void TCustomSolarCalendar::goToday()
{
    setInDate(todayText());
    closeYearBox();
}

void TCustomSolarCalendar::setInDate(const QString& value)
{
    if (blank(value))
        return;
    quint16 y = 0;
    quint16 m = 0;
    quint16 d = 0;
    SplitDate(value, y, m, d);
    if (y == 0 || m == 0 || d == 0 || !dateops::YearConverts(m_dateKind, y)) {
        refuseDate();
        return;
    }
    m_inDate = JoinDate(y, m, d);
    m_currYear = y;
    m_currMonth = m;
    m_currDay = d;
    applyYearLabel();
    m_prevMenuItem = m;
    const QList<QAction*> items = FMenu->actions();
    if (m_monthObject == moPopupMenu && m <= items.size())
        items[m - 1]->setChecked(true);
    if (FMonthCombo) {
        const QSignalBlocker block(FMonthCombo);
        FMonthCombo->setCurrentIndex(m - 1);
    }
    OutDate = m_inDate;
    FillGrid();
}

void TCustomSolarCalendar::refuseDate()
{
    MessageBoxRequest request;
    request.icon = MessageIcon::None;
    request.caption = applicationTitle();
    request.text = m_dateKind == dkSolar ? texts::kInvalidSolar : texts::kInvalidGregorian;
    request.buttons = {QStringLiteral("OK")};
    dialogs().messageBox(request);
}

void TCustomSolarCalendar::switchCalendar()
{
    setDateKind(m_dateKind == dkSolar ? dkGregorian : dkSolar);
    closeYearBox();
    fire(OnLayoutClick);
}

void TCustomSolarCalendar::setDateKind(TDateKind value)
{
    if (value != m_dateKind) {
        const TDateKind from = m_dateKind;
        m_dateKind = value;
        // The date shown is converted (the year buttons move it without touching InDate).
        quint16 y = 0;
        quint16 m = 0;
        quint16 d = 0;
        SplitDate(blank(OutDate) ? m_inDate : OutDate, y, m, d);
        // A day its month lacks converts as the month's last day.
        d = std::min(d, DaysOfMonth(from, y, m));
        const bool converted = from == dkSolar ? SolarToGregorian(y, m, d) : GregorianToSolar(y, m, d);
        const QString date = converted ? JoinDate(y, m, d) : todayText();
        (value == dkGregorian ? m_miladi : m_solar) = date;
        OutDate = date;
        m_inDate = date;
        readPartsFrom(date);
    }
    BuildLayout();
}

void TCustomSolarCalendar::fire(const TNotifyEvent& event)
{
    if (event)
        event(this);
}

void TCustomSolarCalendar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Whatever size a form asks for, the control keeps its own.
    if (event->size() != QSize(kWidth, kResizedHeight) && !m_fixingSize) {
        m_fixingSize = true;
        resize(kWidth, kResizedHeight);
        m_fixingSize = false;
    }
}
