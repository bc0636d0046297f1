#include "TestSupport.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(IniFile, NamesIgnoreCaseAndValuesStandAsWritten)
{
    IniFile ini;
    ini.Parse("\xEF\xBB\xBF"
              "top=outside any section\r\n"
              "[General]\r\n"
              "  SaveFileAsFormat = 3 \r\n"
              "Mbkgnd=(1, 2,3)\r\n"
              "Quoted=\"a b\"\r\n"
              "Empty=\r\n"
              "Path=/home/用户/标签.vmk\r\n"
              "savefileasformat=9\r\n"
              "[general]\r\n"
              "Late=1\r\n");
    EXPECT_EQ(ini.GetString("GENERAL", "saveFILEasformat", "x"), "3"); // the first one wins
    EXPECT_EQ(ini.GetString("General", "Mbkgnd", ""), "(1, 2,3)");
    EXPECT_EQ(ini.GetString("General", "Quoted", ""), "\"a b\"");
    EXPECT_EQ(ini.GetString("General", "Empty", "d"), "");
    EXPECT_EQ(ini.GetString("General", "Path", ""), QStringLiteral(u"/home/用户/标签.vmk"));
    EXPECT_EQ(ini.GetString("General", "Late", "missing"), "missing"); // second [general] is shadowed
    EXPECT_EQ(ini.GetString("", "top", "missing"), "missing");
    EXPECT_EQ(ini.GetString("Other", "Mbkgnd", "d"), "d");
}

TEST(IniFile, IntegersReadTheLeadingNumber)
{
    IniFile ini;
    ini.Parse("[s]\na=12abc\nb=abc\nc=\nd=-3\ne= 7\n");
    EXPECT_EQ(ini.GetInt("s", "a", 5), 12);
    EXPECT_EQ(ini.GetInt("s", "b", 5), 0);
    EXPECT_EQ(ini.GetInt("s", "c", 5), 5);
    EXPECT_EQ(ini.GetInt("s", "d", 5), -3);
    EXPECT_EQ(ini.GetInt("s", "e", 5), 7);
    EXPECT_EQ(ini.GetInt("s", "missing", 5), 5);
}

TEST(IniFile, SettingAValueKeepsTheRestOfTheFile)
{
    IniFile ini;
    ini.Parse("; written by hand\n"
              "[General]\n"
              "Unknown=keep me\n"
              "UNDOMAX=10\n"
              "\n"
              "[Others]\n"
              "x=1\n");
    ini.SetString("general", "UndoMax", "50");  // in place, the key's spelling kept
    ini.SetString("General", "NewKey", "v");     // after the last key, before the blank
    ini.SetString("Create", "NewLabelBasedFile", "a\nb=c"); // new section, one line
    EXPECT_EQ(ini.Serialize(), QByteArray("; written by hand\n"
                                          "[General]\n"
                                          "Unknown=keep me\n"
                                          "UNDOMAX=50\n"
                                          "NewKey=v\n"
                                          "\n"
                                          "[Others]\n"
                                          "x=1\n"
                                          "[Create]\n"
                                          "NewLabelBasedFile=a b=c\n"));
    EXPECT_EQ(ini.GetString("CREATE", "newlabelbasedfile", ""), "a b=c");
}

// A file that ends in a lone carriage return: the return is part of the line end, so
// the last line reads the same before and after a key is added below it (a GBK lead
// byte before the return decoded differently once the return became CR LF).
TEST(IniFile, ALastLineEndingInACarriageReturnKeepsItsText)
{
    const QByteArray bytes("; \xb1\xeav\rmk\n[Others\xc9\r", 18);
    IniFile ini;
    ini.Parse(bytes);
    EXPECT_EQ(ini.Serialize(), bytes);
    ini.SetString("Others", "DefScale", "1.50");
    IniFile again;
    again.Parse(ini.Serialize());
    EXPECT_EQ(again.GetString("others", "defscale", ""), "1.50");
    EXPECT_TRUE(ini.Serialize().startsWith(QByteArray(bytes + "\n")));
}

TEST(IniFile, SavesAndLoadsUtf8Files)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/sysconf.ini");
    IniFile ini;
    ini.Load(path); // missing: empty
    EXPECT_EQ(ini.GetString("s", "k", "d"), "d");
    ini.SetString("s", "k", QStringLiteral(u"中文"));
    ASSERT_TRUE(ini.Save(path));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[s]\nk=\xE4\xB8\xAD\xE6\x96\x87\n"));

    IniFile back;
    back.Load(path);
    EXPECT_EQ(back.GetString("S", "K", ""), QStringLiteral(u"中文"));

    // A location that cannot be written fails without throwing.
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(ini.Save(dir.filePath("file/sysconf.ini")));
}

namespace {

QByteArray Gbk(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

} // namespace

TEST(IniFile, LinesNotChangedKeepTheirBytesWhateverTheirEncoding)
{
    const QByteArray gbkPath = "NewLabelBasedFile=" + Gbk(QStringLiteral(u"/标签/模板.vmk"));
    const QByteArray file = "\xEF\xBB\xBF"
                            "; \xB1\xEA\xC7\xA9\r\n" // a GBK comment
                            "[Create]\r\n"
        + gbkPath
        + "\r\n"
          "NewLabelBehavior=1\r\n"
          "[Others]\r\n"
          "UndoMax=50"; // no line end
    IniFile ini;
    ini.Parse(file);
    EXPECT_EQ(ini.GetString("Create", "NewLabelBasedFile", ""), QStringLiteral(u"/标签/模板.vmk"));
    // The same values set again, as a save of unchanged options does: nothing moves.
    ini.SetString("Create", "NewLabelBasedFile", QStringLiteral(u"/标签/模板.vmk"));
    ini.SetString("Others", "UndoMax", "50");
    EXPECT_EQ(ini.Serialize(), file);

    // A changed value and a new key: only those lines are new, in UTF-8 and with
    // the file's own line end; the last line gets its line end.
    ini.SetString("Create", "NewLabelBehavior", "2");
    ini.SetString("Others", "DefScale", "1.50");
    EXPECT_EQ(ini.Serialize(),
        QByteArray("\xEF\xBB\xBF"
                   "; \xB1\xEA\xC7\xA9\r\n"
                   "[Create]\r\n")
            + gbkPath
            + "\r\n"
              "NewLabelBehavior=2\r\n"
              "[Others]\r\n"
              "UndoMax=50\r\n"
              "DefScale=1.50\r\n");
}

TEST(IniFile, Utf16FilesWithAByteOrderMarkAreReadAndStayUtf16)
{
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        const QString text
            = QStringLiteral(u"[General]\r\nSaveFileAsFormat=3\r\n[Create]\r\nNewLabelBasedFile=/标签/a.vmk\r\n");
        const QByteArray file = encoder.encode(text);
        IniFile ini;
        ini.Parse(file);
        EXPECT_EQ(ini.GetInt("General", "SaveFileAsFormat", 0), 3);
        EXPECT_EQ(ini.GetString("Create", "NewLabelBasedFile", ""), QStringLiteral(u"/标签/a.vmk"));
        ini.SetString("General", "SaveFileAsFormat", "3");
        EXPECT_EQ(ini.Serialize(), file);
        ini.SetString("General", "AlertSaveFormat", "0");
        QStringEncoder again(encoding, QStringConverter::Flag::WriteBom);
        EXPECT_EQ(ini.Serialize(),
            again.encode(QStringLiteral(u"[General]\r\nSaveFileAsFormat=3\r\nAlertSaveFormat=0\r\n[Create]"
                                        u"\r\nNewLabelBasedFile=/标签/a.vmk\r\n")));
    }
    // A cut file loses only its half code unit; what is set afterwards reads back.
    QByteArray cut = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(u"[s]\nk=1");
    cut.append('\0');
    IniFile ini;
    ini.Parse(cut);
    EXPECT_EQ(ini.GetInt("s", "k", 0), 1);
    ini.SetString("s", "n", "2");
    IniFile back;
    back.Parse(ini.Serialize());
    EXPECT_EQ(back.GetInt("s", "n", 0), 2);
    EXPECT_EQ(back.GetInt("s", "k", 0), 1);
}
