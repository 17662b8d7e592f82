#pragma once
// TMessageBoardForm: the stay-on-top window on which long operations list their rows (title,
// value). A recording clears and shows it (StartRecording), adds rows (PostThisMessage) and
// ends (StopRecording); the board then stays until the user closes it, and can save its rows
// as a text report.

#include "platform/services.h"
#include "widgets/tcolor.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;
class TtprProgressBar;

namespace rimo::board {
class RowModel;
}

class TMessageBoardForm : public QWidget
{
    Q_OBJECT
public:
    // `opener` opens saved reports with the desktop's default viewer (may be null: nothing opens).
    explicit TMessageBoardForm(std::shared_ptr<rimo::ShellOpener> opener, QWidget* parent = nullptr);
    ~TMessageBoardForm() override;

    // Clears and shows the board titled `Title`, lists right-to-left when `IsFarsi`, disables both
    // buttons, shows and advances the progress bar, and stretches the board to the screen height.
    void StartRecording(bool IsFarsi, const QString& Title);
    // Shows the board, adds the row (wrapped when the value is long), advances the progress bar,
    // updates the row count and lets the event loop run once.
    void PostThisMessage(const QString& Titr, const QString& Value);
    // Updates the row count, enables both buttons and hides the progress bar; the board stays.
    void StopRecording();

    // Whether the board is on screen (callers post their error rows only while it is).
    bool isOnScreen() const;
    // Opens `FileName` with the desktop's default application; a failure is not reported.
    void ExecuteFile(const QString& FileName);
    // Called each time the board is shown; the toolkit re-imposes its locale settings with it.
    void setShowHook(std::function<void()> hook);

    const rimo::board::RowModel& rows() const { return *m_rows; }
    // The model behind the list (prefilling for measurements).
    rimo::board::RowModel& rowModel() { return *m_rows; }

    // Handlers.
    void dxButton1Click(); // back: closes (hides) the board
    void dxButton2Click(); // save report; a file that cannot be written throws rimo::Error

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormKeyPress(QChar Key);
    void FormKeyUp(int Key);
    void FormShow();
    void showIfHidden();
    void updateRowCount();
    void installKeyPreview();
    void createList();
    void createProgressBar();
    // The bar under the list: the two buttons and the row count between them.
    QWidget* createButtonBar();

    std::shared_ptr<rimo::ShellOpener> m_opener;
    std::function<void()> m_showHook;
    rimo::board::RowModel* m_rows = nullptr;
    QTableView* MessageList = nullptr;
    TtprProgressBar* PBT = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* dxButton1 = nullptr;
    QPushButton* dxButton2 = nullptr;
    bool m_shownBefore = false;
};
