// Records a few Persian and English rows on the message board, stops, and saves a picture of
// the board to the file named by the first argument (and one taken while still recording, with
// "-recording" added to the name). With a second argument N it then stays
// on screen N seconds (for a screen capture of the whole display); with a third, R, the list
// holds R rows before the posts and stays on screen those N seconds while still recording (a long
// recording as its partial repaints left it on screen).
#include "board/boardrows.h"
#include "board/messageboardform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: board_demo <picture.png> [seconds on screen] [rows listed first]");
        return 2;
    }
    TMessageBoardForm board(nullptr);
    board.StartRecording(true, QStringLiteral("گزارش مشخصات سيستم"));
    if (argc > 3) {
        board.show();
        QList<rimo::board::Row> listed;
        const int rows = QString::fromLocal8Bit(argv[3]).toInt();
        for (int i = 1; i <= rows; ++i)
            listed.append({QStringLiteral("سطر %1").arg(i), QStringLiteral("value of row %1").arg(i)});
        board.rowModel().append(listed);
        QApplication::processEvents();
    }
    board.PostThisMessage(QStringLiteral("نام كامپيوتر"), QStringLiteral("DAIRY-PC"));
    board.PostThisMessage(QStringLiteral("نسخه ويندوز"), QStringLiteral("610-wvSeven"));
    board.PostThisMessage(QStringLiteral("تاريخ امروز"), QStringLiteral("1389/11/04"));
    board.PostThisMessage(QStringLiteral("Memory"), QStringLiteral("2048 MB"));
    board.PostThisMessage(QStringLiteral("Server"), QStringLiteral("SQL Server 2008 on 127.0.0.1"));
    board.PostThisMessage(
        QStringLiteral("خطا"),
        QStringLiteral("Update FirstRec Set RecSeq = 1 Where Serial = 1024 And MilkPeriod = 2 "
                       "And RDate = '2010/01/24' -- the statement was too long for one row"));
    board.PostThisMessage(QStringLiteral("پيام"), QStringLiteral("عمليات با موفقيت انجام شد"));
    const QString picture = QString::fromLocal8Bit(argv[1]);
    QString recording = picture;
    recording.insert(recording.lastIndexOf(u'.') < 0 ? recording.size() : recording.lastIndexOf(u'.'),
                     QStringLiteral("-recording"));
    board.grab().save(recording);
    if (argc > 3) { // a long recording stays on screen while it records
        QTimer::singleShot(QString::fromLocal8Bit(argv[2]).toInt() * 1000, &app, &QApplication::quit);
        app.exec();
    }
    board.StopRecording();
    QApplication::processEvents();
    board.grab().save(picture);
    if (argc != 3)
        return 0;
    QTimer::singleShot(QString::fromLocal8Bit(argv[2]).toInt() * 1000, &app, &QApplication::quit);
    return app.exec();
}
