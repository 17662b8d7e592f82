// Shows the toolkit's error dialog (ShowExceptMsg) with a long Persian statement and a server
// text through the real Qt message box, saves a picture of it to the file named by the first
// argument and closes it. Each CR of the text should start a line.
#include "platform/dialogs.h"
#include "toolkit/tools.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: exceptmsg_demo <picture.png>");
        return 2;
    }
    const QString picture = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir folder;
    TTools tools({}, folder.path());
    bool saved = false;
    QTimer::singleShot(300, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            saved = box->grab().save(picture);
            box->close();
        }
    });
    const QString statement = QStringLiteral("ثبت ركورد شير گاو شماره 1024 در دوره شيردهي دوم با تاريخ "
                                             "1389/11/04 انجام نشد. ")
                                  .repeated(6);
    tools.ShowExceptMsg(statement,
                        QStringLiteral("Violation of PRIMARY KEY constraint 'PK_FirstRec'. Cannot insert "
                                       "duplicate key in object 'dbo.FirstRec'."));
    return saved ? 0 : 1;
}
