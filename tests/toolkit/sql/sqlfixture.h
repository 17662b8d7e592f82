#pragma once
// The toolkit object on a temporary program folder with platform doubles, its ServerConnection
// on the test server's database "herd", the dialogs recorded and the real message board.

#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "herdconnection.h"
#include "platform/testing/doubles.h"
#include "toolkit/tools.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class SqlFixture : public ::testing::Test
{
protected:
    // The suite's server with a database "herd"; `schema` runs there once.
    static void startServer(const std::string& schema)
    {
        server = new rimo::testsupport::TdsServer();
        server->exec("CREATE DATABASE herd");
        if (!schema.empty())
            server->exec(schema, "herd");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        rimo::PlatformServices s;
        s.keyboard = std::make_shared<rimo::fakes::RecordingKeyboard>();
        s.osVersion = std::make_shared<rimo::fakes::FakeOsVersion>();
        s.beeper = beeper;
        s.shellOpener = std::make_shared<rimo::fakes::RecordingShellOpener>();
        s.tone = std::make_shared<rimo::fakes::RecordingTone>();
        s.clock = std::make_shared<rimo::fakes::FixedClock>();
        tools = std::make_unique<TTools>(s, dir.path());
        rimo::testsupport::connectToServer(*tools->ServerConnection, *server, "herd");
        rimo::resetTerminateRequest();
        TSqlServices::SqlTraceEnabled = false;
    }
    void TearDown() override
    {
        TSqlServices::SqlTraceEnabled = false;
        rimo::resetTerminateRequest();
    }

    // The board's rows as "title=value".
    QStringList boardRows() const
    {
        QStringList out;
        for (const rimo::board::Row& row : tools->messageBoard()->rows().rows())
            out << row.title + u'=' + row.value;
        return out;
    }
    void showBoard() { tools->messageBoard()->StartRecording(true, QStringLiteral("t")); }

    // The texts of the dialogs shown since the last call.
    QStringList takeMessages()
    {
        const QStringList texts = dialogs.texts();
        dialogs.messages.clear();
        return texts;
    }

    // A file of T4R, as bytes; a null array when it does not exist.
    QByteArray t4r(const QString& name) const { return readFile(dir.filePath("T4R/" + name)); }
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QByteArray bytes = f.readAll();
        return bytes.isNull() ? QByteArray("") : bytes;
    }
    void removeLogs() const
    {
        for (const char* name : {"Try Doing ExecSql.Txt", "SqlExecuteErrorLog.Txt", "Try Do Sql.Txt"})
            QFile::remove(dir.filePath(QString("T4R/") + name));
    }

    static inline rimo::testsupport::TdsServer* server = nullptr;
    rimo::ScopedFormatSettings formats;
    rimo::fakes::ScopedFakeDialogs dialogs;
    std::shared_ptr<rimo::fakes::RecordingBeeper> beeper = std::make_shared<rimo::fakes::RecordingBeeper>();
    QTemporaryDir dir;
    std::unique_ptr<TTools> tools;
};

namespace sqlmsg {
inline const QString Cr = QStringLiteral("\r");
inline const QString Error = QStringLiteral("خطا");
inline const QString ProgrammingFault = QStringLiteral("اشكال در برنامه نويسي");
inline QString countFailed(const QString& statement)
{
    return QStringLiteral("اشكال در اجرا دستور . با برنامه نويس تماس بگيريد.- شمارش - ") + Cr + statement;
}
inline const QString VersionFailed = QStringLiteral("خطا در دريافت نسخه اسكيوال سرور");
} // namespace sqlmsg
