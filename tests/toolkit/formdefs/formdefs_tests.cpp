// Definition files of windows: the lines, the controls they set and read, and the files.
#include "core/error.h"
#include "dbcontrols/dbwidgets.h"
#include "toolkit/formdefs/formdefinitions.h"
#include "toolkit/formdefs/formdefs.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rimo::formdefs;

namespace {

class Definitions : public TFormDefinitions
{
public:
    QString folder;
    QString programFolder() const override { return folder; }
};

class FormDefs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        defs.folder = dir.path() + u'/';
        window.setObjectName("FrmCow");
        edit = new TDBEdit(&window);
        edit->setObjectName("DBEdit12");
        combo = new TDBComboBox(&window);
        combo->setObjectName("Breed");
        combo->addItems({"Holstein", "Jersey"});
        radio = new TDBRadioGroup(&window);
        radio->setObjectName("Sex");
        radio->setItems({"m", "f", "x"});
        plainRadio = new TRadioGroup(&window);
        plainRadio->setObjectName("Kind");
        plainRadio->setItems({"a", "b"});
        check = new TDBCheckBox(&window);
        check->setObjectName("Dry");
        label = new QLabel(&window);
        label->setObjectName("Label1");
    }
    QString iniPath(const QString& name) const { return dir.filePath("ini/" + name); }
    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir(dir.path()).mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    Definitions defs;
    QWidget window;
    TDBEdit* edit;
    TDBComboBox* combo;
    TDBRadioGroup* radio;
    TRadioGroup* plainRadio;
    TDBCheckBox* check;
    QLabel* label;
};

} // namespace

TEST(DefLines, SplitAtTheFirstTwoTildes)
{
    const DefLine l = splitDefLine("TDBEdit~DBEdit12~Hol~stein~");
    EXPECT_TRUE(l.split);
    EXPECT_EQ(l.cls, "TDBEdit");
    EXPECT_EQ(l.name, "DBEdit12");
    EXPECT_EQ(l.value, "Hol~stein~");
    EXPECT_EQ(joinDefLine(l), "TDBEdit~DBEdit12~Hol~stein~");
    for (const QString& whole : {QString(""), QString("no tilde"), QString("one~tilde")}) {
        const DefLine w = splitDefLine(whole);
        EXPECT_FALSE(w.split);
        EXPECT_EQ(joinDefLine(w), whole);
    }
    EXPECT_EQ(splitDefLine("~~").value, "");
}

TEST_F(FormDefs, LoadSetsEveryKind)
{
    writeFile(iniPath("FrmCow.Ini"), "TDBEdit~DBEdit12~Holstein\r\n"
                                     "tdbcombobox~breed~jERSEY\r\n"
                                     "TDBRadioGroup~Sex~2\r\n"
                                     "TRadioGroup~Kind~1\r\n"
                                     "TDBCheckBox~Dry~1\r\n"
                                     "TLabel~Label1~ignored\r\n"
                                     "TDBEdit~Gone~x\r\n");
    defs.LoadDef(&window);
    EXPECT_EQ(edit->text(), "Holstein");
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(radio->ItemIndex(), 2);
    EXPECT_EQ(plainRadio->ItemIndex(), 1);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(label->text(), "");
}

TEST_F(FormDefs, LoadValueTable)
{
    const struct
    {
        const char* line;
        int radio;
        bool checked;
        int combo;
        QString edit;
    } cases[] = {
        {"TDBRadioGroup~Sex~x", -1, false, 0, ""},
        {"TDBCheckBox~Dry~0", 1, false, 0, ""},
        {"TDBCheckBox~Dry~TRUE", 1, true, 0, ""},
        {"TDBCheckBox~Dry~-1", 1, true, 0, ""},
        {"TDBCheckBox~Dry~yes", 1, false, 0, ""},
        {"TDBComboBox~Breed~Angus", 1, false, -1, ""},
        {"TDBEdit~DBEdit12~a~b", 1, false, 0, "a~b"},
        // A class that does not fit its control is skipped.
        {"TDBCheckBox~DBEdit12~1", 1, false, 0, ""},
    };
    for (const auto& c : cases) {
        radio->setItemIndex(1);
        check->setChecked(c.line == QStringLiteral("TDBCheckBox~Dry~0"));
        combo->setCurrentIndex(0);
        edit->clear();
        writeFile(iniPath("FrmCow.Ini"), QByteArray(c.line) + "\r\n");
        defs.LoadDef(&window);
        EXPECT_EQ(radio->ItemIndex(), c.radio) << c.line;
        EXPECT_EQ(check->isChecked(), c.checked) << c.line;
        EXPECT_EQ(combo->currentIndex(), c.combo) << c.line;
        EXPECT_EQ(edit->text(), c.edit) << c.line;
    }
}

TEST_F(FormDefs, SaveUpdatesKnownLinesAndKeepsTheRest)
{
    writeFile(iniPath("frmcow.ini"), "tdbedit~dbedit12~old\r\n"
                                     "\r\n"
                                     "TDBComboBox~Breed~x\r\n"
                                     "TDBRadioGroup~Sex~0\r\n"
                                     "TDBCheckBox~Dry~0\r\n"
                                     "TLabel~Label1~keep~me\r\n"
                                     "TDBEdit~Gone~stays\r\n"
                                     "just text\r\n");
    edit->setText("new~value");
    combo->setCurrentIndex(1);
    radio->setItemIndex(-1);
    check->setChecked(true);
    defs.SaveDef(&window);
    const QByteArray once = readFile(iniPath("frmcow.ini"));
    EXPECT_EQ(once, "TDBEdit~dbedit12~new~value\r\n"
                    "TDBComboBox~Breed~Jersey\r\n"
                    "TDBRadioGroup~Sex~-1\r\n"
                    "TDBCheckBox~Dry~-1\r\n"
                    "QLabel~Label1~keep~me\r\n"
                    "TDBEdit~Gone~stays\r\n"
                    "just text\r\n");
    defs.SaveDef(&window);
    EXPECT_EQ(readFile(iniPath("frmcow.ini")), once);
    EXPECT_FALSE(QFile::exists(iniPath("FrmCow.Ini")));
}

TEST_F(FormDefs, SaveKeepsTheValueOfAClassThatDoesNotFit)
{
    writeFile(iniPath("FrmCow.Ini"), "TDBCheckBox~DBEdit12~mismatch\r\nTDBEdit~Dry~x\r\n");
    edit->setText("text");
    defs.SaveDef(&window);
    // The control's own class is written, so the next save treats the line by its real kind.
    EXPECT_EQ(readFile(iniPath("FrmCow.Ini")), "TDBEdit~DBEdit12~mismatch\r\nTDBCheckBox~Dry~x\r\n");
}

TEST_F(FormDefs, NoFileNothingDone)
{
    edit->setText("kept");
    defs.LoadDef(&window);
    defs.SaveDef(&window);
    EXPECT_EQ(edit->text(), "kept");
    EXPECT_FALSE(QDir(dir.path()).exists("ini"));
}

TEST_F(FormDefs, TemplateListsEveryNamedComponent)
{
    QDir(dir.path()).mkdir("INI");
    edit->setText("not written");
    defs.SaveTempleateForDef(&window);
    EXPECT_EQ(readFile(dir.filePath("INI/1FrmCow.Ini")), "TDBEdit~DBEdit12~ \r\n"
                                                         "TDBComboBox~Breed~ \r\n"
                                                         "TDBRadioGroup~Sex~ \r\n"
                                                         "TRadioGroup~Kind~ \r\n"
                                                         "TDBCheckBox~Dry~ \r\n"
                                                         "QLabel~Label1~ \r\n");
}

TEST_F(FormDefs, TemplateWithoutIniFolderRaises)
{
    EXPECT_THROW(defs.SaveTempleateForDef(&window), rimo::Error);
}
