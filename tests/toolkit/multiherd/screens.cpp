// Shows the central connect dialog and the herd chooser with sample Persian herd names and saves
// a picture of each window into the folder given as the argument (run it under Xvfb).

#include "db/msconnection.h"
#include "toolkit/multiherd/msconnectdialog2.h"
#include "toolkit/multiherd/multiuserform.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

// The window with its frame, as the screen shows it.
bool saveWindow(QWidget& w, const QString& file)
{
    w.show();
    w.raise();
    w.activateWindow();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    const QRect frame = w.frameGeometry();
    const QPixmap shot = w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return shot.save(file);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    QObject owner;
    TConnectDialog* dialog = rimo::createMSConnectDialog2(&owner);
    TMSConnection connection;
    TConnectForm connect(*dialog);
    connect.loadFrom(connection);
    connect.edUsername->setText(QStringLiteral("sa"));
    connect.edServer->setText(QStringLiteral("192.168.1.10,1433"));
    connect.edPassword->setText(QStringLiteral("secret"));
    bool ok = saveWindow(connect, folder + QStringLiteral("/connect-dialog.png"));
    connect.hide();

    TMultiUserForm chooser;
    for (const char* name : {"دامداري آفتاب", "گاوداري بهار", "مجتمع 'نمونه' شير", "دامپروري البرز",
                             "شركت كشت و صنعت مغان", "گاوداري صنعتي زاگرس", "دامداري سبزدشت", "مزرعه نمونه 2",
                             "گله شماره ۱۲", "مجتمع شير پاك", "دامداري نيك", "گاوداري خزر"})
        chooser.RadioGroup1->addItem(QString::fromUtf8(name));
    for (int i = 1; i <= 26; ++i)
        chooser.RadioGroup1->addItem(QStringLiteral("دامداري شماره %1").arg(i));
    chooser.RadioGroup1->setCurrentRow(1);
    ok = saveWindow(chooser, folder + QStringLiteral("/herd-chooser.png")) && ok;
    std::printf("%s\n", ok ? "saved" : "failed");
    return ok ? 0 : 1;
}
