#include "app/mainwindow.h"

#include "app/texts.h"
#include "core/lifecycle.h"
#include "platform/guard.h"
#include "platform/uifont.h"
#include "platform/windowframe.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>

namespace {
void setBackground(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    // Fixed frame with a title bar and no buttons at all: no system menu, minimise, maximise or close.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    rimo::keepWithoutTitleButtons(this);
    rimo::keepEmptyTitleEmpty(this);
    setLayoutDirection(Qt::LeftToRight);
    setFont(rimo::tahomaFont());
    setFixedSize(572, 367);
    setWindowTitle(QString());

    const QColor banner(242, 255, 230);
    Label1 = new QLabel(rimo::texts::CompanyBanner, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(0, 0, 572, 39);
    Label1->setAlignment(Qt::AlignCenter);
    setBackground(Label1, banner);

    StaticText1 = new QLabel(rimo::texts::Purpose, this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(0, 39, 572, 23);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setBackground(StaticText1, banner);

    mmo1 = new QPlainTextEdit(this);
    mmo1->setObjectName(QStringLiteral("mmo1"));
    mmo1->setGeometry(0, 62, 335, 305);
    mmo1->setPlainText(QString()); // one empty line
    // Tab moves on to the next control, so every control stays reachable by keyboard.
    mmo1->setTabChangesFocus(true);

    pnl1 = new QFrame(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setGeometry(335, 62, 237, 305);
    pnl1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnl1->setLineWidth(1);

    btn1 = new QPushButton(rimo::texts::LactationRebuildButton, pnl1);
    btn1->setObjectName(QStringLiteral("btn1"));
    btn1->setGeometry(4, 4, 229, 43);

    dxContainer2 = new QWidget(pnl1);
    dxContainer2->setObjectName(QStringLiteral("dxContainer2"));
    dxContainer2->setGeometry(4, 47, 229, 29);

    dxButton9 = new QPushButton(rimo::texts::SequenceRebuildButton, pnl1);
    dxButton9->setObjectName(QStringLiteral("dxButton9"));
    dxButton9->setGeometry(4, 76, 229, 40);

    dxButton7 = new QPushButton(rimo::texts::ExitButton, pnl1);
    dxButton7->setObjectName(QStringLiteral("dxButton7"));
    dxButton7->setGeometry(4, 305 - 4 - 41, 229, 41);

    setTabOrder(btn1, dxButton9);
    setTabOrder(dxButton9, mmo1);
    setTabOrder(mmo1, dxButton7);

    connect(btn1, &QPushButton::clicked, this, rimo::guarded([this] { btn1Click(); }));
    connect(dxButton9, &QPushButton::clicked, this, rimo::guarded([this] { dxButton9Click(); }));
    connect(dxButton7, &QPushButton::clicked, this, rimo::guarded([this] { dxButton7Click(); }));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TForm1::runRepair(const std::function<void()>& repair)
{
    // A repair pumps the event loop every tenth row. A second press meanwhile must not start a
    // nested run on the same table objects, so both repair buttons are off until the run ends.
    if (m_running || !repair)
        return;
    m_running = true;
    btn1->setEnabled(false);
    dxButton9->setEnabled(false);
    struct Restore
    {
        TForm1* w;
        ~Restore()
        {
            w->m_running = false;
            w->btn1->setEnabled(true);
            w->dxButton9->setEnabled(true);
            if (w->m_exitRequested)
                w->close();
        }
    } restore{this};
    try {
        repair();
    } catch (const std::exception&) {
        // Exit pressed while a statement waited: the statement was abandoned for it, and its error
        // would only hold up the end the user asked for.
        if (!m_exitRequested)
            throw;
    }
}

void TForm1::dxButton9Click()
{
    runRepair(onRecordSequenceRebuild);
}

void TForm1::btn1Click()
{
    runRepair(onLactationRebuild);
}

void TForm1::dxButton7Click()
{
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        // Exit pressed mid-run: the run stops at the next row boundary, then the window closes.
        m_exitRequested = true;
        event->ignore();
        return;
    }
    event->accept();
    rimo::requestTerminate();
}

void TForm1::appendFailureLine(const QString& line)
{
    QTextCursor c(mmo1->document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    c.insertText(line);
}

QStringList TForm1::memoLines() const
{
    QStringList lines;
    for (QTextBlock b = mmo1->document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}
