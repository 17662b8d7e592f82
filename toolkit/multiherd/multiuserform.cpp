#include "toolkit/multiherd/multiuserform.h"

#include "platform/guard.h"
#include "platform/uifont.h"
#include "platform/windowframe.h"
#include "toolkit/multiherd/texts.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace {

constexpr int kClientWidth = 549;
constexpr int kClientHeight = 417;
constexpr int kPromptHeight = 17;
constexpr int kStripWidth = 66;
constexpr int kRowHeight = 13;
constexpr int kColumns = 3;

// White strip with a green line on each side.
class GreenBorderStrip : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(128, 255, 0));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

namespace rimo {

QPixmap drawHerdPicture(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 59.0, size.height() / 80.0); // drawn on a 59 x 80 grid

    // Sky and meadow.
    p.fillRect(QRectF(0, 0, 59, 50), QColor(214, 236, 255));
    p.fillRect(QRectF(0, 50, 59, 30), QColor(150, 205, 90));

    // Barn: red walls, dark roof, white-framed door with a cross brace.
    p.setPen(QPen(QColor(90, 30, 20), 1));
    p.setBrush(QColor(190, 40, 35));
    p.drawRect(QRectF(10, 22, 39, 30));
    QPainterPath roof;
    roof.moveTo(6, 24);
    roof.lineTo(29.5, 6);
    roof.lineTo(53, 24);
    roof.closeSubpath();
    p.setBrush(QColor(110, 45, 35));
    p.drawPath(roof);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(150, 30, 25));
    const QRectF door(22, 34, 15, 18);
    p.drawRect(door);
    p.drawLine(door.topLeft(), door.bottomRight());
    p.drawLine(door.topRight(), door.bottomLeft());
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(29.5, 17), 3, 3); // hay-loft window

    // Cow: white body with black patches, head to the left, four legs.
    p.setPen(QPen(Qt::black, 0.8));
    for (const qreal x : {20.0, 25.0, 38.0, 43.0})
        p.drawLine(QPointF(x, 66), QPointF(x, 76));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(16, 56, 31, 12), 5, 5);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(24, 57, 8, 6));
    p.drawEllipse(QRectF(37, 60, 6, 5));
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 53, 11, 9)); // head
    p.setBrush(QColor(240, 170, 170));
    p.drawEllipse(QRectF(5, 58, 7, 5)); // muzzle
    p.setPen(QPen(QColor(120, 90, 60), 1));
    p.drawLine(QPointF(10, 54), QPointF(8, 50)); // horns
    p.drawLine(QPointF(15, 54), QPointF(17, 50));
    p.setPen(QPen(Qt::black, 0.8));
    p.drawLine(QPointF(47, 59), QPointF(51, 66)); // tail
    p.setBrush(QColor(240, 170, 170));
    p.drawEllipse(QRectF(30, 67, 5, 3)); // udder
    return pm;
}

} // namespace rimo

namespace {

// The list's current row carries the keyboard focus even before a name is chosen; its focus
// frame would then read as a choice. Only a chosen name shows where the focus is.
class ChoiceDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        if (!(o.state & QStyle::State_Selected))
            o.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, o, index);
    }

    // Every entry is a row of the radio group's height, whatever the font's own height.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
    }
};

} // namespace

TMultiUserForm::TMultiUserForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MultiUserForm"));
    // Single fixed frame without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    rimo::keepWithoutTitleButtons(this);
    rimo::keepEmptyTitleEmpty(this); // no caption: not the application's name either
    setFixedSize(kClientWidth, kClientHeight);
    setLayoutDirection(Qt::RightToLeft);
    setFont(rimo::tahomaFont());

    StaticText1 = new QLabel(rimo::texts::ChooserPrompt, this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(0, 0, kClientWidth, kPromptHeight);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->setAutoFillBackground(true);
    QPalette pal = StaticText1->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 217));
    StaticText1->setPalette(pal);

    RadioGroup1 = new QListWidget(this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(0, kPromptHeight, 481, 398);
    RadioGroup1->setLayoutDirection(Qt::RightToLeft);
    RadioGroup1->setFrameShape(QFrame::NoFrame);
    RadioGroup1->setSelectionMode(QAbstractItemView::SingleSelection);
    RadioGroup1->setItemDelegate(new ChoiceDelegate(RadioGroup1));
    // Columns filled top to bottom, then the next column, like a multi-column list box.
    RadioGroup1->setFlow(QListView::TopToBottom);
    RadioGroup1->setWrapping(true);
    RadioGroup1->setResizeMode(QListView::Adjust);
    RadioGroup1->setUniformItemSizes(true);
    RadioGroup1->setTextElideMode(Qt::ElideRight);
    RadioGroup1->setGridSize(QSize(481 / kColumns, kRowHeight));
    RadioGroup1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RadioGroup1->viewport()->installEventFilter(this);
    // The view keeps room for a scroll bar it might need, which costs a row in every column; a
    // list that fits the three columns therefore gets none, like a multi-column list box.
    const auto fitScrollBar = [this] {
        const int fits = kColumns * (RadioGroup1->height() / kRowHeight);
        RadioGroup1->setHorizontalScrollBarPolicy(RadioGroup1->count() > fits ? Qt::ScrollBarAsNeeded
                                                                              : Qt::ScrollBarAlwaysOff);
    };
    QAbstractItemModel* model = RadioGroup1->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, fitScrollBar);
    connect(model, &QAbstractItemModel::rowsRemoved, this, fitScrollBar);
    connect(model, &QAbstractItemModel::modelReset, this, fitScrollBar);
    fitScrollBar();

    dxContainer1 = new GreenBorderStrip(this);
    dxContainer1->setObjectName(QStringLiteral("dxContainer1"));
    dxContainer1->setGeometry(kClientWidth - kStripWidth, kPromptHeight, kStripWidth,
                              kClientHeight - kPromptHeight);

    dxButton1 = new QPushButton(rimo::texts::ChooserEnterButton, dxContainer1);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setGeometry(1, 1, 64, 32);
    dxButton1->setDefault(true);
    connect(dxButton1, &QPushButton::clicked, this, rimo::guarded([this] { dxButton1Click(); }));

    Image1 = new QLabel(dxContainer1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(3, dxContainer1->height() - 80 - 2, 59, 80);
    Image1->setPixmap(rimo::drawHerdPicture(QSize(59, 80)));
}

QString TMultiUserForm::selectedName() const
{
    const QList<QListWidgetItem*> selected = RadioGroup1->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text();
}

void TMultiUserForm::dxButton1Click()
{
    if (!RadioGroup1->selectedItems().isEmpty())
        accept();
}

void TMultiUserForm::RadioGroup1DblClick()
{
    dxButton1Click();
}

void TMultiUserForm::keyPressEvent(QKeyEvent* event)
{
    // The window offers no way out but a choice; Escape would otherwise reject it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TMultiUserForm::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click anywhere in the list acts on the selection, which the first click has made.
    if (watched == RadioGroup1->viewport() && event->type() == QEvent::MouseButtonDblClick)
        rimo::runGuarded([this] { RadioGroup1DblClick(); });
    return QDialog::eventFilter(watched, event);
}
