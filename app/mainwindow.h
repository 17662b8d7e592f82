#pragma once
// The main window: the program's purpose, the two repair buttons, the exit button and the
// memo that lists failed rows of the lactation rebuild. The title bar is the progress display.

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* StaticText1;
    QPlainTextEdit* mmo1;
    QFrame* pnl1;
    QPushButton* btn1;
    QWidget* dxContainer2;
    QPushButton* dxButton9;
    QPushButton* dxButton7;

    // What the repair buttons run; set by the program once the data module exists.
    std::function<void()> onRecordSequenceRebuild;
    std::function<void()> onLactationRebuild;

    void dxButton9Click();
    void btn1Click();
    void dxButton7Click();

    // Progress display and failure list used by the repairs.
    void setProgressText(const QString& text) { setWindowTitle(text); }
    void appendFailureLine(const QString& line);
    QStringList memoLines() const;

    bool repairRunning() const { return m_running; }
    // True once exit was pressed during a run: the run stops at the next row boundary.
    bool stopRequested() const { return m_exitRequested; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void runRepair(const std::function<void()>& repair);
    bool m_running = false;
    bool m_exitRequested = false;
};
