#include "waitbox.h"

#include "platform/uifont.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {

const QString Wait = QStringLiteral("لطفا صبر كنيد");

QString padded(int before, int after)
{
    return QString(before, u' ') + Wait + QString(after, u' ');
}

// Qt's own caption of a warning box.
QString warningCaption()
{
    return QCoreApplication::translate("QMessageBox", "Warning");
}

} // namespace

QColor rimo::colourFromBgr(quint32 bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

TWaitBox::TWaitBox(const Look& look)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           (look.closeBox ? Qt::WindowCloseButtonHint : Qt::WindowType(0))),
      m_text(new QLabel(look.paddedText, this))
{
    setObjectName(QStringLiteral("waitbox"));
    setModal(false);
    setWindowTitle(look.caption);
    setLayoutDirection(Qt::RightToLeft);
    setFont(rimo::tahomaFont());
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setTextFormat(Qt::PlainText);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side));
    auto* row = new QHBoxLayout(this);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, look.colour);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(sizeHint().width(), look.height);
}

QString TWaitBox::text() const
{
    return m_text->text();
}

void TWaitBox::setText(const QString& text)
{
    m_text->setText(text);
}

void TWaitBox::fixText()
{
    m_text->setFixedSize(m_text->size());
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

TWaitingBoxes::TWaitingBoxes() : CTrayI(std::make_unique<rimo::QtTrayIcon>()) {}

TWaitingBoxes::~TWaitingBoxes() = default;

void TWaitingBoxes::show(const TWaitBox::Look& look, const QString& Msg, bool fixText)
{
    if (CTrayI->Enabled) {
        CTrayI->showBalloon(QStringLiteral("پيام"), Msg, rimo::BalloonIcon::Information, 10000);
        return;
    }
    if (!MsgBoxForm) {
        MsgBoxForm = std::make_unique<TWaitBox>(look);
        MsgBoxForm->show();
    }
    if (!Msg.isEmpty()) {
        if (fixText)
            MsgBoxForm->fixText();
        MsgBoxForm->setText(Msg);
    }
    // Painted now: the caller goes on working without returning to the event loop.
    QCoreApplication::processEvents();
}

void TWaitingBoxes::ShowBoxMessage(const QString& Msg)
{
    show({padded(11, 15), 100, QColor(249, 255, 225), QStringLiteral("پيام"), false}, Msg, true);
}

void TWaitingBoxes::ShowBigBoxMessage(const QString& Msg)
{
    show({padded(43, 43), 120, QColor(255, 219, 202), warningCaption(), true}, Msg, false);
}

void TWaitingBoxes::ShowBoxMessageColor(const QString& Msg, quint32 Color)
{
    show({padded(11, 15), 150, rimo::colourFromBgr(Color), warningCaption(), true}, Msg, false);
}

void TWaitingBoxes::ShowBoxClose()
{
    if (CTrayI->Enabled) {
        CTrayI->hideBalloon();
        return;
    }
    MsgBoxForm.reset();
}
