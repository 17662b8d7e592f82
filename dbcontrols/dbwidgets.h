#pragma once
// The data-entry controls the definition files name by class: an edit box, a combo box, a check
// box and radio groups. The data-aware ones name a data source and a column like the memo does;
// the definition files only read and set their shown values.

#include "dbcontrols/datasource.h"
#include "dbcontrols/fieldbinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>

class QButtonGroup;

// An edit box showing the column's text; what is typed or set goes into the row in editing.
class TDBEdit : public QLineEdit, public rimo::dbcontrols::FieldBinding
{
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);
};

// A combo box showing the column's text as its text (the entry of that text when it cannot be
// typed into); the chosen or typed text goes into the row.
class TDBComboBox : public QComboBox, public rimo::dbcontrols::FieldBinding
{
    Q_OBJECT
public:
    explicit TDBComboBox(QWidget* parent = nullptr);
};

// Checked for a number other than zero or the word true; writes 1/0 into number columns and
// True/False into text columns.
class TDBCheckBox : public QCheckBox, public rimo::dbcontrols::FieldBinding
{
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);
};

// A group of exclusive radio buttons, one per item; ItemIndex is the checked one, -1 for none.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    void setItems(const QStringList& items);
    QStringList Items() const { return m_items; }
    int ItemIndex() const;
    // An index outside the items checks none.
    void setItemIndex(int index);

Q_SIGNALS:
    void itemIndexChanged(int index);

private:
    QButtonGroup* m_buttons;
    QStringList m_items;
};

// The item whose value equals the column's text is checked (none without a match); choosing an
// item writes its value. The values are `Values`, or the items' captions when it is empty.
class TDBRadioGroup : public TRadioGroup, public rimo::dbcontrols::FieldBinding
{
    Q_OBJECT
public:
    explicit TDBRadioGroup(QWidget* parent = nullptr);
    void setValues(const QStringList& values);
    QStringList Values() const { return m_values; }

private:
    QStringList valuesInUse() const { return m_values.isEmpty() ? Items() : m_values; }
    QStringList m_values;
};
