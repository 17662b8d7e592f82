// Date and time entry checks: the order of the checks, their Persian messages (one per
// rejection), completion to the canonical forms, and the edit-box checks.
#include "core/error.h"
#include "core/formatsettings.h"
#include "services_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

TEST(EntryChecks, DateMessages)
{
    struct Case
    {
        QString text;
        QString message; // "" when accepted
    } cases[] = {
        {"", msg::date("", msg::SlashCount)},
        {"1389/11", msg::date("1389/11", msg::SlashCount)},
        {"1389-11-04", msg::date("1389-11-04", msg::SlashCount)},
        {"1389/11/04/1", msg::date("1389/11/04/1", msg::SlashCount)},
        {"1389/1a/04", msg::date("1389/1a/04", msg::Digits)},
        {"1389/ 1/04", msg::date("1389/ 1/04", msg::Digits)},
        {"1389//04", msg::DateEntry},
        {"/11/04", msg::DateEntry},
        {"1389/11/", msg::DateEntry},
        {"1389/13/01", msg::date("1389/13/01", msg::Month)},
        {"1389/00/01", msg::date("1389/00/01", msg::Month)},
        {"1389/12/32", msg::date("1389/12/32", msg::Day)},
        {"1389/12/0", msg::date("1389/12/0", msg::Day)},
        // The message quotes the text without its surrounding blanks.
        {"  1389/12/32 \t", msg::date("1389/12/32", msg::Day)},
        // Neither the year nor the month length is checked.
        {"1389/07/31", ""},
        {"1388/12/30", ""},
        {"0/1/1", ""},
        {"13890/1/1", ""},
        {" 89/11/4 ", ""},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.IsValidDate(c.text), c.message.isEmpty()) << c.text.toStdString();
        EXPECT_EQ(s.takeMessage(), c.message) << c.text.toStdString();
    }
}

TEST(EntryChecks, CompleateDate)
{
    struct Case
    {
        QString text, completed;
    } cases[] = {
        {"89/11/4", "1389/11/04"},
        {"1/2/3", "1301/02/03"},
        {"1390/1/1", "1390/01/01"},
        {"389/1/1", "1389/01/01"},
        {"13890/1/1", "13890/01/01"},
        {"0089/1/1", "0089/01/01"},
        {"1389/11/04", "1389/11/04"},
        // Surrounding blanks are not part of the date, so the completed text is canonical.
        {" 89/11/4 ", "1389/11/04"},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.CompleateDate(c.text), c.completed) << c.text.toStdString();
        EXPECT_EQ(s.takeMessage(), "");
    }
    EXPECT_EQ(s.CompleateDate("12345/123/45"), "12345/123/45");
    EXPECT_EQ(s.takeMessage(), msg::date("12345/123/45", msg::Month));
}

TEST(EntryChecks, TimeMessages)
{
    struct Case
    {
        QString text;
        QString message;
    } cases[] = {
        {"", msg::time(":00", msg::TimeEntry)},
        {"24:00", msg::time("24:00", msg::Hour)},
        {"23:60", msg::time("23:60", msg::Minute)},
        {"8:30:00", msg::time("8:30:00", msg::ColonCount)},
        {"8.30", msg::time("8.30:00", msg::TimeChars)},
        {"8:", msg::time("8:", msg::TimeEntry)},
        {":30", msg::time(":30", msg::TimeEntry)},
        {"0:0", ""},
        {"23:59", ""},
        {" 7 ", ""},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.IsValidTime(c.text), c.message.isEmpty()) << c.text.toStdString();
        EXPECT_EQ(s.takeMessage(), c.message) << c.text.toStdString();
    }
}

TEST(EntryChecks, CompleateTime)
{
    RecordingServices s;
    for (const auto& [text, completed] : {std::pair{"7", "07:00"},
                                          {"07:5", "07:05"},
                                          {"8:5", "08:05"},
                                          {"14:30", "14:30"},
                                          {" 8 ", "08:00"},
                                          {"0:0", "00:00"}}) {
        EXPECT_EQ(s.CompleateTime(text), completed) << text;
        EXPECT_EQ(s.takeMessage(), "");
    }
    EXPECT_EQ(s.CompleateTime("24:00"), "");
    EXPECT_EQ(s.takeMessage(), msg::time("24:00", msg::Hour));
}

TEST(EntryChecks, NumbersBeyondAnIntegerRaiseAnError)
{
    RecordingServices s;
    EXPECT_THROW(s.IsValidDate("1389/999999999999999999999999999999/01"), rimo::Error);
    EXPECT_THROW(s.IsValidDate("1389/01/99999999999"), rimo::Error);
    EXPECT_THROW(s.IsValidTime("99999999999:00"), rimo::Error);
    EXPECT_TRUE(s.messages.isEmpty());
    // Leading zeros are no overflow, and a thirty-digit year is never read as a number.
    EXPECT_TRUE(s.IsValidDate("1389/000000000000000000000000000001/01"));
    EXPECT_TRUE(s.IsValidDate("999999999999999999999999999999/01/01"));
}

TEST(EntryChecks, NowTimeIsTheClockInHoursAndMinutes)
{
    rimo::ScopedFormatSettings formats;
    RecordingServices s;
    rimo::formatSettings().longTimeFormat = QStringLiteral("h.mm AP");
    s.testClock.moment.setTime(QTime(9, 5, 7));
    EXPECT_EQ(s.NowTime(), "09:05");
    s.testClock.moment.setTime(QTime(23, 59, 59));
    EXPECT_EQ(s.NowTime(), "23:59");
    EXPECT_TRUE(s.messages.isEmpty());
    EXPECT_EQ(rimo::formatSettings().longTimeFormat, "HH:mm:ss");
    EXPECT_EQ(rimo::formatSettings().shortDateFormat, "dd/mm/yyyy");
}

namespace {

// A shown window with two edit boxes, so that focus moves can be observed.
struct EditWindow
{
    QWidget window;
    QLineEdit* date = new QLineEdit(&window);
    QLineEdit* other = new QLineEdit(&window);
    EditWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(date);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
        other->setFocus();
        QApplication::processEvents();
    }
};

} // namespace

TEST(EntryChecks, CheckTheDateCompletesOrKeepsTheFocus)
{
    RecordingServices s;
    EditWindow w;
    w.date->setText("89/11/4");
    EXPECT_TRUE(s.CheckTheDate(w.date, nullptr));
    EXPECT_EQ(w.date->text(), "1389/11/04");
    EXPECT_TRUE(s.fieldWrites.isEmpty());

    w.date->setText("1389/13/01");
    ASSERT_TRUE(w.other->hasFocus());
    EXPECT_FALSE(s.CheckTheDate(w.date, nullptr));
    EXPECT_EQ(w.date->text(), "1389/13/01");
    EXPECT_EQ(s.takeMessage(), msg::date("1389/13/01", msg::Month));
    EXPECT_TRUE(w.date->hasFocus());
}

TEST(EntryChecks, CheckTheDateStoresIntoTheDataField)
{
    RecordingServices s;
    TMSTable table;
    QLineEdit edit;
    edit.setProperty("dataField", QStringLiteral("BDate"));
    edit.setText("5/1/2");
    EXPECT_TRUE(s.CheckTheDate(&edit, &table));
    ASSERT_EQ(s.fieldWrites.size(), 1);
    EXPECT_EQ(s.fieldWrites[0],
              std::make_tuple(&table, QStringLiteral("BDate"), QStringLiteral("1305/01/02")));
    EXPECT_EQ(edit.text(), "1305/01/02");

    // A rejected date writes nothing; a data field without a table is an error, not a crash.
    edit.setText("5/1");
    EXPECT_FALSE(s.CheckTheDate(&edit, &table));
    EXPECT_EQ(s.fieldWrites.size(), 1);
    edit.setText("5/1/2");
    EXPECT_THROW(s.CheckTheDate(&edit, nullptr), rimo::Error);
    EXPECT_THROW(s.CheckTheDate(nullptr, &table), rimo::Error);
}

TEST(EntryChecks, CheckTheTime)
{
    RecordingServices s;
    EditWindow w;
    w.date->setText("8:5");
    EXPECT_TRUE(s.CheckTheTime(w.date));
    EXPECT_EQ(w.date->text(), "08:05");
    w.date->setText("8:61");
    ASSERT_TRUE(w.other->hasFocus());
    EXPECT_FALSE(s.CheckTheTime(w.date));
    EXPECT_EQ(w.date->text(), "8:61");
    EXPECT_EQ(s.takeMessage(), msg::time("8:61", msg::Minute));
    EXPECT_TRUE(w.date->hasFocus());
}
