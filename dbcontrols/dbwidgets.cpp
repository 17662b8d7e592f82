#include "dbcontrols/dbwidgets.h"

#include "db/msdataset.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), m_buttons(new QButtonGroup(this))
{
    new QVBoxLayout(this);
    connect(m_buttons, &QButtonGroup::idToggled, this,
            [this](int, bool) { Q_EMIT itemIndexChanged(ItemIndex()); });
}

void TRadioGroup::setItems(const QStringList& items)
{
    m_items = items;
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

TDBEdit::TDBEdit(QWidget* parent)
    : QLineEdit(parent), FieldBinding(this, [this](const TField* f) { setText(f->AsString()); })
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { write(text); });
}

TDBComboBox::TDBComboBox(QWidget* parent)
    : QComboBox(parent), FieldBinding(this, [this](const TField* f) {
          const QString text = f->AsString();
          if (isEditable())
              setCurrentText(text);
          else
              setCurrentIndex(findText(text, Qt::MatchFixedString));
      })
{
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) { write(text); });
}

TDBCheckBox::TDBCheckBox(QWidget* parent)
    : QCheckBox(parent), FieldBinding(this, [this](const TField* f) {
          setChecked(rimo::dbcontrols::checkedFromText(f->AsString()));
      })
{
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (const TField* f = field())
            write(rimo::dbcontrols::textFromChecked(on, f->isNumber()));
    });
}

TDBRadioGroup::TDBRadioGroup(QWidget* parent)
    : TRadioGroup(parent), FieldBinding(this, [this](const TField* f) {
          setItemIndex(rimo::dbcontrols::indexFromText(f->AsString(), valuesInUse()));
      })
{
    connect(this, &TRadioGroup::itemIndexChanged, this, [this](int index) {
        // Unchecking one button on the way to checking another says -1 first: only a chosen
        // item is written.
        if (index >= 0)
            write(rimo::dbcontrols::textFromIndex(index, valuesInUse()));
    });
}

void TDBRadioGroup::setValues(const QStringList& values)
{
    m_values = values;
    refresh();
}
