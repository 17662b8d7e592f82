#include "dbcontrols/dbwidgets.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), m_buttons(new QButtonGroup(this))
{
    new QVBoxLayout(this);
}

void TRadioGroup::setItems(const QStringList& items)
{
    for (QAbstractButton* b : m_buttons->buttons()) {
        m_buttons->removeButton(b);
        delete b;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items.at(i), this);
        layout()->addWidget(b);
        m_buttons->addButton(b, i);
    }
}

int TRadioGroup::ItemIndex() const
{
    return m_buttons->checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    if (QAbstractButton* b = m_buttons->button(index)) {
        b->setChecked(true);
        return;
    }
    // Unchecking the checked button of an exclusive group needs the group's exclusivity off.
    if (QAbstractButton* checked = m_buttons->checkedButton()) {
        m_buttons->setExclusive(false);
        checked->setChecked(false);
        m_buttons->setExclusive(true);
    }
}
