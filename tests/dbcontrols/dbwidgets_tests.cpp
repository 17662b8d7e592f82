// The data-entry controls bound to a table on the test server: they show the current row as the
// cursor moves, and what is typed, chosen or checked goes into the row in editing and out with
// the next Post.
#include "db/msdataset.h"
#include "dbcontrols/dbwidgets.h"
#include "herdconnection.h"
#include "platform/testing/doubles.h"
#include "tdsserver.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>

using rimo::testsupport::TdsServer;

TEST(ControlValues, CheckedAndRadioTexts)
{
    const struct
    {
        const char* text;
        bool checked;
    } checks[] = {{"1", true},    {"-1", true},     {"0", false},   {"", false},   {"True", true},
                  {"TRUE", true}, {"False", false}, {"yes", false}, {"0.5", true}, {" 2 ", true}};
    for (const auto& c : checks)
        EXPECT_EQ(rimo::dbcontrols::checkedFromText(c.text), c.checked) << c.text;
    EXPECT_EQ(rimo::dbcontrols::textFromChecked(true, true), "1");
    EXPECT_EQ(rimo::dbcontrols::textFromChecked(false, true), "0");
    EXPECT_EQ(rimo::dbcontrols::textFromChecked(true, false), "True");
    EXPECT_EQ(rimo::dbcontrols::textFromChecked(false, false), "False");

    const QStringList values{"H", "J", "h"};
    EXPECT_EQ(rimo::dbcontrols::indexFromText("J", values), 1);
    EXPECT_EQ(rimo::dbcontrols::indexFromText("h", values), 2); // exact, letter case counts
    EXPECT_EQ(rimo::dbcontrols::indexFromText("x", values), -1);
    EXPECT_EQ(rimo::dbcontrols::textFromIndex(0, values), "H");
    EXPECT_EQ(rimo::dbcontrols::textFromIndex(-1, values), "");
    EXPECT_EQ(rimo::dbcontrols::textFromIndex(3, values), "");
}

namespace {

class BoundControls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.exec("CREATE DATABASE herd");
        server.exec("CREATE TABLE Cow (Id int PRIMARY KEY, Name nvarchar(20) NULL, Breed nvarchar(20) NULL, "
                    "Dry bit NULL, Mark nvarchar(5) NULL, Grade nvarchar(5) NULL, Age int NULL)",
                    "herd");
        server.exec("INSERT INTO Cow VALUES (1, N'گاو يك', N'Holstein', 1, N'True', N'B', 3), "
                    "(2, N'دوم', N'jersey', 0, N'no', N'x', 4)",
                    "herd");
        rimo::testsupport::connectToServer(connection, server, "herd");
        cow.Connection = &connection;
        cow.TableName = "Cow";
        cow.OrderFields = "Id";
        breed.addItems({"Holstein", "Jersey"}); // pick-only
        grade.setItems({"grade A", "grade B"});
        grade.setValues({"A", "B"});
        bind(name, "Name");
        bind(breed, "Breed");
        bind(dry, "Dry");
        bind(mark, "Mark");
        bind(grade, "Grade");
        bind(age, "Age");
        source.setDataSet(&cow);
    }
    template <typename C> void bind(C& control, const char* field)
    {
        control.setDataSource(&source);
        control.setDataField(field);
    }
    QStringList row(int id)
    {
        TMSQuery q;
        q.Connection = &connection;
        q.setSqlText(
            QStringLiteral("SELECT Name, Breed, Dry, Mark, Grade, Age FROM Cow WHERE Id = %1").arg(id));
        q.Open();
        QStringList out;
        for (int i = 0; i < q.FieldCount(); ++i)
            out << q.Fields(i).AsString();
        return out;
    }

    TdsServer server;
    TMSConnection connection;
    TMSTable cow;
    TDataSource source;
    TDBEdit name;
    TDBComboBox breed;
    TDBCheckBox dry;
    TDBCheckBox mark;
    TDBRadioGroup grade;
    TDBEdit age;
};

} // namespace

TEST_F(BoundControls, ShowTheCurrentRowAsTheCursorMoves)
{
    cow.Open();
    EXPECT_EQ(name.text(), "گاو يك");
    EXPECT_EQ(breed.currentText(), "Holstein");
    EXPECT_TRUE(dry.isChecked());
    EXPECT_TRUE(mark.isChecked()); // the word true in a text column
    EXPECT_EQ(grade.ItemIndex(), 1);
    EXPECT_EQ(age.text(), "3");

    cow.Next();
    EXPECT_EQ(name.text(), "دوم");
    EXPECT_EQ(breed.currentText(), "Jersey"); // the entry of that text, letter case ignored
    EXPECT_FALSE(dry.isChecked());
    EXPECT_FALSE(mark.isChecked());
    EXPECT_EQ(grade.ItemIndex(), -1); // no value matches
    EXPECT_EQ(age.text(), "4");

    ASSERT_TRUE(cow.Locate("Id", {1}));
    EXPECT_EQ(name.text(), "گاو يك");
    // Shown, not written: nothing is in editing and nothing was sent.
    EXPECT_EQ(cow.state(), TMSDataSet::State::Browse);
    EXPECT_EQ(row(2), (QStringList{"دوم", "jersey", "False", "no", "x", "4"}));
}

TEST_F(BoundControls, EditsThroughTheControlsArePosted)
{
    cow.Open();
    cow.Next();
    cow.Edit();
    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ی"));
    QCoreApplication::sendEvent(&name, &typed); // typed at the end of the shown text
    breed.setCurrentIndex(0);
    dry.setChecked(true);
    mark.setChecked(true);
    grade.setItemIndex(0);
    age.setText("12");
    cow.Post();
    EXPECT_EQ(row(2), (QStringList{"دومی", "Holstein", "True", "True", "A", "12"}));
    EXPECT_EQ(row(1), (QStringList{"گاو يك", "Holstein", "True", "True", "B", "3"}));

    // A change outside editing stays on the screen only; Cancel shows the row as it is again.
    name.setText("not sent");
    EXPECT_EQ(row(2)[0], "دومی");
    cow.Edit();
    name.setText("cancelled");
    cow.Cancel();
    EXPECT_EQ(name.text(), "دومی");
    EXPECT_EQ(row(2)[0], "دومی");
}

TEST_F(BoundControls, ATextThatIsNoNumberIsRefusedWithTheErrorBox)
{
    rimo::fakes::ScopedFakeDialogs dialogs;
    cow.Open();
    cow.Edit();
    age.setText("old");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("old"));
    cow.Post();
    EXPECT_EQ(row(1)[5], "3");
}
