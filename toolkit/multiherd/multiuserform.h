#pragma once
// The herd chooser of multi-herd mode: the herd names in a three-column list; "ورود", Enter or a
// double-click closes it with the OK result when a name is selected, and does nothing otherwise.
// It is run through the dialog seam; the window cannot be dismissed with Escape.

#include <QDialog>
#include <QPixmap>

class QLabel;
class QListWidget;
class QPushButton;

class TMultiUserForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMultiUserForm(QWidget* parent = nullptr);

    QLabel* StaticText1;
    QListWidget* RadioGroup1;
    QWidget* dxContainer1;
    QPushButton* dxButton1;
    QLabel* Image1;

    void dxButton1Click();
    void RadioGroup1DblClick();

    // The selected herd name, empty when none is selected.
    QString selectedName() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

namespace rimo {
// The picture of the chooser's strip: a barn with a cow in front of it, drawn at `size`.
QPixmap drawHerdPicture(QSize size);
} // namespace rimo
