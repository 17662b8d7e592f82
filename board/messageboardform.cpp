#include "board/messageboardform.h"

#include "board/boardrows.h"
#include "board/texts.h"
#include "core/error.h"
#include "core/wholefile.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/uifont.h"
#include "platform/windowframe.h"
#include "widgets/tprprogressbar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyleOptionSlider>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kBorder = 5;
constexpr int kClientWidth = 547; // inside the border
constexpr int kClientHeight = 590;
constexpr int kBarHeight = 41;
const QColor kListBackground(255, 255, 230);

// The list shows vertical grid lines only; Qt's table grid draws both directions.
class VerticalGridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QRect r = option.rect;
        const int x = option.direction == Qt::RightToLeft ? r.left() : r.right();
        painter->save();
        painter->setPen(QColor(192, 192, 192));
        painter->drawLine(x, r.top(), x, r.bottom());
        painter->restore();
    }
};

// Each post grows the scroll range by a row or two; past a few screens of rows the handle keeps
// its size and place, yet the bar would be drawn again every time. Redraws it only when the range
// change moves what it shows: the handle or the ends' enabled arrows.
class SteadyScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        const Look now = look();
        if (change == SliderRangeChange && now == m_shown)
            return;
        m_shown = now;
        QScrollBar::sliderChange(change);
    }

    void paintEvent(QPaintEvent* event) override
    {
        m_shown = look();
        QScrollBar::paintEvent(event);
    }

public:
    // Runs `change` (new range and value) and draws the bar again only when its picture changed:
    // QAbstractSlider asks for a repaint on every new range and value, and once the list is long
    // a post moves both without moving the handle.
    template <class Change> void changeQuietly(Change change)
    {
        const bool wasOff = testAttribute(Qt::WA_UpdatesDisabled);
        // The attribute itself, not setUpdatesEnabled, which repaints when it turns updates on.
        setAttribute(Qt::WA_UpdatesDisabled, true);
        change();
        setAttribute(Qt::WA_UpdatesDisabled, wasOff);
        if (!wasOff && look() != m_shown)
            update();
    }

private:
    struct Look
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                value() == minimum(), value() == maximum()};
    }

    Look m_shown;
};

// Rows are only ever appended to a recording's list, and a table view answers every change of the
// row count by repainting all it shows: with the viewport full of rows that is most of a post's
// cost. An append changes nothing above the new rows, so only the scroll range and the new rows
// (when they are in view) are brought up to date; every other layout takes the full path.
class AppendingListView : public QTableView
{
public:
    explicit AppendingListView(QWidget* parent) : QTableView(parent)
    {
        auto* bar = new SteadyScrollBar(Qt::Vertical, this);
        setVerticalScrollBar(bar);
        // The scroll area lays its bars out again after every range change, raising both bar
        // containers and so repainting them; only a change between "nothing to scroll" and
        // "something to scroll" can show or hide the bar.
        disconnect(bar, &QAbstractSlider::rangeChanged, this, nullptr);
        connect(bar, &QAbstractSlider::rangeChanged, this, [this](int minimum, int maximum) {
            const bool scrolls = maximum > minimum;
            if (scrolls == m_barScrolls)
                return;
            m_barScrolls = scrolls;
            QMetaObject::invokeMethod(this, "_q_showOrHideScrollBars", Qt::QueuedConnection);
        });
    }

    // A log follows its newest row: after rows are appended the last one is in view. Scrolling by a row
    // moves the pixels already drawn and paints only the band that comes into view.
    void setFollowsNewest(bool follows) { m_followsNewest = follows; }

    void doItemsLayout() override
    {
        const bool appended = m_rowsAppended;
        m_rowsAppended = false;
        if (m_appendedFirst < 0 || m_fullLayout) {
            m_appendedFirst = -1;
            m_fullLayout = false;
            QTableView::doItemsLayout();
            if (appended)
                followNewest();
            return;
        }
        const int first = m_appendedFirst;
        m_appendedFirst = -1;
        // The table's own geometry update also lays out the scroll area's margins again, which
        // repaints both scroll bars: with the bar already shown only its range changes.
        auto* bar = static_cast<SteadyScrollBar*>(verticalScrollBar());
        const int scrolledFrom = bar->value();
        if (m_barScrolls) {
            bar->changeQuietly([this] {
                updateScrollRange();
                followNewest();
            });
        } else {
            updateGeometries();
            followNewest();
        }
        // When the list scrolled, the row above the new ones is painted again as well: on a window
        // system that scrolls by copying pixels, a row still waiting for its own paint is copied
        // half drawn, and the copy is never painted over.
        const bool scrolled = bar->value() != scrolledFrom;
        const int top = rowViewportPosition(scrolled && first > 0 ? first - 1 : first);
        const int bottom = viewport()->height();
        if (top < bottom)
            viewport()->update(0, qMax(0, top), viewport()->width(), bottom - qMax(0, top));
    }

    void reset() override
    {
        m_fullLayout = true;
        m_appendedFirst = -1;
        QTableView::reset();
    }

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override
    {
        QTableView::rowsInserted(parent, start, end);
        const bool atEnd = !parent.isValid() && end == model()->rowCount() - 1;
        m_rowsAppended = m_rowsAppended || atEnd;
        if (!atEnd) {
            m_fullLayout = true;
            return;
        }
        if (m_appendedFirst < 0 || start < m_appendedFirst)
            m_appendedFirst = start;
    }

    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override
    {
        m_appendedFirst = -1;
        m_fullLayout = true;
        QTableView::rowsAboutToBeRemoved(parent, start, end);
    }

private:
    void followNewest()
    {
        QScrollBar* bar = verticalScrollBar();
        if (m_followsNewest && bar->value() != bar->maximum())
            bar->setValue(bar->maximum());
    }

    // The vertical range as the table computes it for rows of one height.
    void updateScrollRange()
    {
        QScrollBar* bar = verticalScrollBar();
        const int rows = model()->rowCount();
        const int rowHeight = qMax(1, verticalHeader()->defaultSectionSize());
        const int height = viewport()->height();
        if (verticalScrollMode() == ScrollPerItem) {
            const int inView = qMax(1, qMin(rows, height / rowHeight));
            bar->setRange(0, rows - inView);
            bar->setPageStep(inView);
        } else {
            bar->setRange(0, qMax(0, rows * rowHeight - height));
            bar->setPageStep(height);
        }
    }

    int m_appendedFirst = -1;  // first row appended since the last layout, -1 when none
    bool m_fullLayout = false; // a change other than an append awaits the full layout
    bool m_barScrolls = false;
    bool m_followsNewest = false;
    bool m_rowsAppended = false; // rows were appended at the end since the last layout
};

QScreen* screenOf(const QWidget* w)
{
    QScreen* s = w->screen();
    return s ? s : QGuiApplication::primaryScreen();
}

} // namespace

TMessageBoardForm::TMessageBoardForm(std::shared_ptr<rimo::ShellOpener> opener, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_opener(std::move(opener)), m_rows(new rimo::board::RowModel(this))
{
    setObjectName(QStringLiteral("MessageBoardForm"));
    setLayoutDirection(Qt::RightToLeft);
    // Closing the board hides it; it must never end the program as a last window would.
    setAttribute(Qt::WA_QuitOnClose, false);
    rimo::keepWithoutTitleButtons(this);
    setFont(rimo::tahomaFont());

    createList();
    createProgressBar();
    QWidget* bar = createButtonBar();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    layout->setSpacing(0);
    layout->addWidget(MessageList, 1);
    layout->addWidget(PBT);
    layout->addWidget(bar);

    setFixedSize(kClientWidth + 2 * kBorder, kClientHeight + 2 * kBorder);

    connect(dxButton1, &QPushButton::clicked, this, rimo::guarded([this] { dxButton1Click(); }));
    connect(dxButton2, &QPushButton::clicked, this, rimo::guarded([this] { dxButton2Click(); }));
    installKeyPreview();
}

TMessageBoardForm::~TMessageBoardForm() = default;

void TMessageBoardForm::createList()
{
    auto* list = new AppendingListView(this);
    list->setFollowsNewest(true);
    MessageList = list;
    MessageList->setObjectName(QStringLiteral("MessageList"));
    MessageList->setModel(m_rows);
    MessageList->setItemDelegate(new VerticalGridDelegate(MessageList));
    MessageList->setShowGrid(false);
    MessageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MessageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    MessageList->setSelectionMode(QAbstractItemView::SingleSelection);
    MessageList->setWordWrap(false);
    // A value wider than its column shows its start and an ellipsis, as a Windows list does; the
    // whole text is in the tooltip and the saved report.
    MessageList->setTextElideMode(Qt::ElideRight);
    QPalette listPalette = MessageList->palette();
    listPalette.setColor(QPalette::Base, kListBackground);
    MessageList->setPalette(listPalette);
    // Fixed row heights keep a post independent of the number of rows already listed.
    QHeaderView* rowsHeader = MessageList->verticalHeader();
    rowsHeader->hide();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    const int rowHeight = fontMetrics().height() + 1;
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setDefaultSectionSize(rowHeight);
    QHeaderView* titles = MessageList->horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: rgb(217, 255, 217);"
                                         " border: 0px; border-right: 1px solid silver;"
                                         " border-bottom: 1px solid silver; }"));
    titles->setFixedHeight(rowHeight);
    titles->resizeSection(0, 188);
    titles->resizeSection(1, 357);
}

void TMessageBoardForm::createProgressBar()
{
    PBT = new TtprProgressBar(this);
    PBT->setObjectName(QStringLiteral("PBT"));
    PBT->setFixedHeight(13);
    PBT->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The tick width is checked against the bar's width, so the bar has its size first.
    PBT->setGeometry(kBorder, kBorder, kClientWidth, 13);
    PBT->setColor(rimo::rgbColor(255, 255, 230));
    PBT->setTickColor(rimo::rgbColor(255, 121, 121));
    PBT->setTickWidth(200);
    PBT->setTickJump(1);
    PBT->setTickCount(5);
    PBT->setStyle(tprBouncer);
    PBT->hide();
}

QWidget* TMessageBoardForm::createButtonBar()
{
    auto* bar = new QWidget(this);
    bar->setFixedHeight(kBarHeight);
    dxButton2 = new QPushButton(rimo::boardtexts::SaveReportButton, bar);
    dxButton2->setObjectName(QStringLiteral("dxButton2"));
    dxButton2->setFixedSize(73, 30);
    dxButton1 = new QPushButton(rimo::boardtexts::BackButton, bar);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setFixedSize(73, 30);
    Label1 = new QLabel(bar);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFixedSize(281, 20);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAutoFillBackground(true);
    QPalette labelPalette = Label1->palette();
    labelPalette.setColor(QPalette::Window, QColor(228, 225, 220));
    Label1->setPalette(labelPalette);

    // Right to left: the first item sits at the right end.
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->addWidget(dxButton2, 0, Qt::AlignVCenter);
    barLayout->addStretch(1);
    barLayout->addWidget(Label1, 0, Qt::AlignVCenter);
    barLayout->addStretch(1);
    barLayout->addWidget(dxButton1, 0, Qt::AlignVCenter);
    return bar;
}

void TMessageBoardForm::installKeyPreview()
{
    // The window sees every key before its controls.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TMessageBoardForm::setShowHook(std::function<void()> hook)
{
    m_showHook = std::move(hook);
}

bool TMessageBoardForm::isOnScreen() const
{
    return isVisible();
}

void TMessageBoardForm::showIfHidden()
{
    if (!isVisible())
        show();
}

void TMessageBoardForm::updateRowCount()
{
    Label1->setText(rimo::boardtexts::RowCountPrefix + QString::number(m_rows->rowCount()));
}

void TMessageBoardForm::StartRecording(bool IsFarsi, const QString& Title)
{
    Label1->clear();
    MessageList->setLayoutDirection(IsFarsi ? Qt::RightToLeft : Qt::LeftToRight);
    setWindowTitle(Title);
    m_rows->clear();
    dxButton1->setEnabled(false);
    dxButton2->setEnabled(false);
    showIfHidden();
    PBT->show();
    PBT->Tick();

    // Full screen height less 40 px from the top edge; the left edge and the width stay. The
    // window manager's frame counts towards the height, as it does towards the top edge: the
    // frame's top is at the edge, so the title bar (the recording's title) stays on screen.
    // The window asks for its frame margins afresh; the widget's own may not know them yet.
    const QRect screenRect = screenOf(this)->geometry();
    QWindow* native = windowHandle();
    const QMargins frame = native ? native->frameMargins() : QMargins();
    const int clientHeight = qMax(0, screenRect.height() - 40 - frame.top() - frame.bottom());
    setFixedSize(width(), clientHeight);
    // move() keeps the widget's own geometry in step at once; the window then asks the manager
    // to put its frame there, whatever margins the widget believed.
    const QPoint frameTopLeft(frameGeometry().left(), screenRect.top());
    move(frameTopLeft);
    if (native)
        native->setFramePosition(frameTopLeft);
}

void TMessageBoardForm::PostThisMessage(const QString& Titr, const QString& Value)
{
    showIfHidden();
    m_rows->append(rimo::board::wrapMessage(Titr, Value));
    PBT->Tick();
    updateRowCount();
    // Lets the board repaint (and the user close it) while a long operation posts.
    QCoreApplication::processEvents();
}

void TMessageBoardForm::StopRecording()
{
    updateRowCount();
    dxButton1->setEnabled(true);
    dxButton2->setEnabled(true);
    PBT->hide();
}

void TMessageBoardForm::ExecuteFile(const QString& FileName)
{
    if (m_opener)
        m_opener->open(FileName);
}

void TMessageBoardForm::dxButton1Click()
{
    close();
}

void TMessageBoardForm::dxButton2Click()
{
    const auto& rows = m_rows->rows();
    if (rows.empty()) {
        rimo::MessageBoxRequest r;
        r.icon = rimo::MessageIcon::None;
        r.caption = rimo::applicationTitle();
        r.text = rimo::boardtexts::EmptyList;
        r.buttons = {QStringLiteral("OK")};
        r.escapeButton = 0;
        r.rightToLeft = true;
        r.arabicCharset = true;
        r.parent = this;
        rimo::dialogs().messageBox(r);
        return;
    }
    rimo::FileDialogRequest request;
    request.filter = rimo::boardtexts::ReportFilter;
    request.proposedName = rimo::board::proposedReportName(windowTitle(), rows.front());
    request.parent = this;
    const QString chosen = rimo::dialogs().saveFileName(request);
    if (chosen.isEmpty())
        return;
    // Appended whatever the user typed, as the reports have always been named.
    const QString fileName = chosen + QStringLiteral(".Txt");
    try {
        rimo::writeWholeFile(fileName, rimo::board::reportText(rows));
    } catch (const rimo::Error& e) {
        // Shown here rather than by the handler's guard, so the box belongs to the board.
        rimo::showApplicationError(e.text(), this);
        return;
    }
    ExecuteFile(fileName);
}

void TMessageBoardForm::FormKeyPress(QChar Key)
{
    if (Key == QChar(13))
        dxButton1Click();
}

void TMessageBoardForm::FormKeyUp(int Key)
{
    if (Key == 27)
        dxButton1Click();
}

void TMessageBoardForm::FormShow()
{
    if (m_showHook)
        rimo::runGuarded(m_showHook);
}

bool TMessageBoardForm::eventFilter(QObject* watched, QEvent* event)
{
    // Enter and Escape close the board even while "back" is disabled during a recording.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            rimo::runGuarded([this] { FormKeyPress(QChar(13)); });
            return true;
        }
    } else if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            rimo::runGuarded([this] { FormKeyUp(27); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMessageBoardForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // restored from the task bar, not shown by the program
    if (!m_shownBefore) {
        m_shownBefore = true;
        const QRect screenRect = screenOf(this)->geometry();
        const QSize frame = frameGeometry().size();
        move(screenRect.left() + (screenRect.width() - frame.width()) / 2,
             screenRect.top() + (screenRect.height() - frame.height()) / 2);
    }
    FormShow();
}

void TMessageBoardForm::closeEvent(QCloseEvent* event)
{
    QPalette listPalette = MessageList->palette();
    listPalette.setColor(QPalette::Base, kListBackground);
    MessageList->setPalette(listPalette);
    event->accept();
}
