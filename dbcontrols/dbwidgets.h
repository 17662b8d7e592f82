#pragma once
// The data-entry controls the definition files name by class: an edit box, a combo box, a check
// box and radio groups. The data-aware ones name a data source and a column like the memo does;
// the definition files only read and set their shown values.

#include "dbcontrols/datasource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>

class QButtonGroup;

class TDBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
    TDataSource* DataSource = nullptr;
    QString DataField;
};

class TDBComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit TDBComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}
    TDataSource* DataSource = nullptr;
    QString DataField;
};

class TDBCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr) : QCheckBox(parent) {}
    TDataSource* DataSource = nullptr;
    QString DataField;
};

// A group of exclusive radio buttons, one per item; ItemIndex is the checked one, -1 for none.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    void setItems(const QStringList& items);
    int ItemIndex() const;
    // An index outside the items checks none.
    void setItemIndex(int index);

private:
    QButtonGroup* m_buttons;
};

class TDBRadioGroup : public TRadioGroup
{
    Q_OBJECT
public:
    explicit TDBRadioGroup(QWidget* parent = nullptr) : TRadioGroup(parent) {}
    TDataSource* DataSource = nullptr;
    QString DataField;
};
