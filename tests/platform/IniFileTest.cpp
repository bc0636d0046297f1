#include "TestSupport.h"
#include "platform/IniFile.h"

#include <QFile>
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
