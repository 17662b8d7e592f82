// Shows an input dialog, the four-button question and the big waiting box with Persian texts and
// saves a picture of each into the folder given as the argument (run it under Xvfb).

#include "platform/qtdialogs.h"
#include "toolkit/dialoghelpers/inputdialogs.h"
#include "toolkit/dialoghelpers/questions.h"
#include "toolkit/dialoghelpers/waitbox.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
}

bool grab(QWidget& w, const QString& file)
{
    const QRect frame = w.frameGeometry();
    const QPixmap shot = w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return shot.save(file);
}

// Real dialogs, each pictured and then closed without an answer.
class PicturingDialogs : public rimo::QtDialogs
{
public:
    explicit PicturingDialogs(QString folder) : m_folder(std::move(folder)) {}
    bool ok = true;

    int exec(QDialog& dialog) override
    {
        dialog.show();
        settle();
        ok = grab(dialog, m_folder + QStringLiteral("/input-dialog.png")) && ok;
        dialog.hide();
        return QDialog::Rejected;
    }
    int messageBox(const rimo::MessageBoxRequest& request) override
    {
        QTimer::singleShot(0, [this] {
            settle();
            if (QWidget* box = QApplication::activeModalWidget()) {
                ok = grab(*box, m_folder + QStringLiteral("/ask-yes-no-all.png")) && ok;
                box->close();
            }
        });
        return QtDialogs::messageBox(request);
    }

private:
    QString m_folder;
};

class Inputs : public TInputDialogs
{
public:
    void SwitchToFarsi() override {}
    void SwitchToEnglish() override {}
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    PicturingDialogs dialogs(folder);
    rimo::setDialogs(&dialogs);

    Inputs inputs;
    QString value = QStringLiteral("گاوداري نمونه شماره ۱۲");
    inputs.InQuery(QStringLiteral("نام گله جديد را وارد كنيد. اين نام در همه گزارشها نشان داده مي شود"),
                   value);
    const int answer = TQuestions::AskYesNoAll(QStringLiteral("آيا اطلاعات دام شماره 1024 حذف شود؟"));

    TWaitingBoxes boxes;
    boxes.ShowBigBoxMessage(QString());
    settle();
    dialogs.ok = grab(*boxes.MsgBoxForm, folder + QStringLiteral("/big-waiting-box.png")) && dialogs.ok;
    boxes.ShowBoxClose();
    rimo::setDialogs(nullptr);
    std::printf("%s (question closed: %d)\n", dialogs.ok ? "saved" : "failed", answer);
    return dialogs.ok ? 0 : 1;
}
