#include "TestSupport.h"
#include "model/ExportSettings.h"
#include "model/GlobalSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Points the program folder at a fresh temporary folder for one test.
class GlobalSettingsFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8());
    }
    void TearDown() override { qunsetenv("VELLUMCRAFT_HOME"); }

    QString IniPath() const { return m_dir.filePath("sysconf.ini"); }
    void WriteIni(const QByteArray& text) const
    {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray ReadIni() const
    {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(GlobalSettingsFile, MissingFileGivesTheFileDefaultsAndResetTheOptionDefaults)
{
    CGlobalSettings s;
    EXPECT_EQ(s.m_crMbkgnd, 0xFF909AAEu); // after construction
    EXPECT_EQ(s.m_formatVersions, QStringList{"Vellumcraft Format Version 1.0"});
    s.m_bReservedFlag = false;
    s.m_strStartupPassword = "pw";

    s.LoadOptions();
    EXPECT_EQ(s.m_crMbkgnd, 0xFF000000u); // the file default differs from the reset value
    EXPECT_EQ(s.m_crLbkgnd, 0xFF707070u);
    EXPECT_EQ(s.m_nSaveFileAsFormat, 0);
    EXPECT_TRUE(s.m_bAlertSaveFormat);
    EXPECT_FALSE(s.m_bContinueCreating);
    EXPECT_TRUE(s.m_bInstantMoving && s.m_bInstantSizing && s.m_bInstantRotating);
    EXPECT_FALSE(s.m_bCreateAsHVLine);
    EXPECT_TRUE(s.m_bShowAppWelcome);
    EXPECT_EQ(s.m_nUndoMax, 50);
    EXPECT_EQ(s.m_fDefScale, 2.0f);
    EXPECT_TRUE(s.m_strNewLabelBasedFile.isEmpty());
    EXPECT_FALSE(s.m_bReservedFlag); // not stored, so loading leaves it
    EXPECT_EQ(s.m_strStartupPassword, "pw");

    s.ResetOptions();
    EXPECT_EQ(s.m_crMbkgnd, 0xFF909AAEu);
    EXPECT_EQ(s.m_crLbkgnd, 0xFF707070u);
    EXPECT_TRUE(s.m_bReservedFlag);
    EXPECT_TRUE(s.m_strStartupPassword.isEmpty());
    EXPECT_EQ(s.m_nReserved3, 120);
}

TEST_F(GlobalSettingsFile, SavedFileHasEveryKeyInOrderAndReadsBack)
{
    WriteIni("; kept\n[General]\nForeign=1\n");
    CGlobalSettings s;
    s.m_nSaveFileAsFormat = 2;
    s.m_bAlertSaveFormat = false;
    s.m_bContinueCreating = true;
    s.m_bInstantMoving = false;
    s.m_bInstantSizing = false;
    s.m_bInstantRotating = false;
    s.m_bCreateAsHVLine = true;
    s.m_bShowAppWelcome = false;
    s.m_nAppStartBehavior = 1;
    s.m_nNewLabelBehavior = 2;
    s.m_strNewLabelBasedFile = QStringLiteral(u"/标签/a.vmk");
    s.m_crMbkgnd = 0xFF0A141Eu;
    s.m_crLbkgnd = 0x00FFFFFFu; // alpha is not stored
    s.m_nUndoMax = 7;
    s.m_fDefScale = 1.5f;
    ASSERT_TRUE(s.SaveOptions());
    EXPECT_EQ(QString::fromUtf8(ReadIni()), QStringLiteral(u"; kept\n"
                                                           "[General]\n"
                                                           "Foreign=1\n"
                                                           "SaveFileAsFormat=2\n"
                                                           "AlertSaveFormat=0\n"
                                                           "ContinueCreating=1\n"
                                                           "InstantMoving=0\n"
                                                           "InstantSizing=0\n"
                                                           "InstantRotating=0\n"
                                                           "CreateAsHVLine=1\n"
                                                           "ShowAppWelcome=0\n"
                                                           "AppStartBehavior=1\n"
                                                           "[Create]\n"
                                                           "NewLabelBehavior=2\n"
                                                           "NewLabelBasedFile=/标签/a.vmk\n"
                                                           "[Others]\n"
                                                           "Mbkgnd=(10,20,30)\n"
                                                           "Lbkgnd=(255,255,255)\n"
                                                           "UndoMax=7\n"
                                                           "DefScale=1.50\n"));

    CGlobalSettings back;
    back.LoadOptions();
    EXPECT_EQ(back.m_nSaveFileAsFormat, 2);
    EXPECT_FALSE(back.m_bAlertSaveFormat);
    EXPECT_TRUE(back.m_bContinueCreating);
    EXPECT_FALSE(back.m_bInstantMoving || back.m_bInstantSizing || back.m_bInstantRotating);
    EXPECT_TRUE(back.m_bCreateAsHVLine);
    EXPECT_FALSE(back.m_bShowAppWelcome);
    EXPECT_EQ(back.m_nAppStartBehavior, 1);
    EXPECT_EQ(back.m_nNewLabelBehavior, 2);
    EXPECT_EQ(back.m_strNewLabelBasedFile, s.m_strNewLabelBasedFile);
    EXPECT_EQ(back.m_crMbkgnd, 0xFF0A141Eu);
    EXPECT_EQ(back.m_crLbkgnd, 0xFFFFFFFFu);
    EXPECT_EQ(back.m_nUndoMax, 7);
    EXPECT_EQ(back.m_fDefScale, 1.5f);
}

TEST_F(GlobalSettingsFile, HandEditedValuesReadLeniently)
{
    WriteIni("[general]\n"
             "alertsaveformat=7\n"
             "InstantMoving=0\n"
             "UndoMax=\n"
             "[OTHERS]\n"
             "Mbkgnd=(10, 20, 30)\n"
             "Lbkgnd=red\n"
             "UndoMax=x\n"
             "DefScale=9\n");
    CGlobalSettings s;
    s.LoadOptions();
    EXPECT_TRUE(s.m_bAlertSaveFormat);
    EXPECT_FALSE(s.m_bInstantMoving);
    EXPECT_EQ(s.m_crMbkgnd, 0xFF0A141Eu);
    EXPECT_EQ(s.m_crLbkgnd, 0xFF000000u);
    EXPECT_EQ(s.m_nUndoMax, 0);
    EXPECT_EQ(s.m_fDefScale, 5.0f);

    for (const auto& [text, expected] : {std::pair{"0.01", 0.2f}, {"abc", 0.2f}, {"", 0.2f}, {"0.2", 0.2f},
                                         {"5", 5.0f}, {"1.25x", 1.25f}}) {
        WriteIni(QByteArray("[Others]\nDefScale=") + text + "\n");
        s.LoadOptions();
        EXPECT_EQ(s.m_fDefScale, expected) << text;
    }
    s.m_fDefScale = 0.0f;
    ASSERT_TRUE(s.SaveOptions());
    EXPECT_TRUE(ReadIni().contains("DefScale=0.20\n"));
}

TEST_F(GlobalSettingsFile, SavingKeepsLinesItDoesNotChangeByteForByte)
{
    // Paths written in the system code page by an older version: GBK bytes.
    const QByteArray gbkPath = QStringEncoder("GB18030").encode(QStringLiteral(u"/标签/模板.vmk"));
    const QByteArray lastPath = "LastPath=" + gbkPath + "\r\n";
    const QByteArray basedOn = "NewLabelBasedFile=" + gbkPath + "\r\n";
    WriteIni("[General]\r\n" + lastPath + "[Create]\r\n" + basedOn + "[Others]\r\nUndoMax=10\r\n");
    CGlobalSettings s;
    s.LoadOptions();
    EXPECT_EQ(s.m_strNewLabelBasedFile, QStringLiteral(u"/标签/模板.vmk"));
    s.m_nUndoMax = 20;
    ASSERT_TRUE(s.SaveOptions());
    const QByteArray saved = ReadIni();
    EXPECT_TRUE(saved.contains(lastPath)) << saved.toStdString();
    EXPECT_TRUE(saved.contains(basedOn)) << saved.toStdString();
    EXPECT_TRUE(saved.contains("UndoMax=20\r\n"));
}

TEST_F(GlobalSettingsFile, Utf16FileWithAByteOrderMarkIsRead)
{
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    WriteIni(utf16.encode(QStringLiteral(u"[General]\r\nShowAppWelcome=0\r\n[Create]\r\nNewLabelBasedFile=/标签/a.vmk\r\n"
                                         u"[Others]\r\nUndoMax=7\r\nMbkgnd=(1,2,3)\r\n")));
    CGlobalSettings s;
    s.LoadOptions();
    EXPECT_FALSE(s.m_bShowAppWelcome);
    EXPECT_EQ(s.m_strNewLabelBasedFile, QStringLiteral(u"/标签/a.vmk"));
    EXPECT_EQ(s.m_nUndoMax, 7);
    EXPECT_EQ(s.m_crMbkgnd, 0xFF010203u);
    s.m_nUndoMax = 8;
    ASSERT_TRUE(s.SaveOptions());
    EXPECT_TRUE(ReadIni().startsWith("\xFF\xFE[\0G\0")); // still UTF-16
    CGlobalSettings back;
    back.LoadOptions();
    EXPECT_EQ(back.m_nUndoMax, 8);
    EXPECT_FALSE(back.m_bShowAppWelcome);
}

TEST(GlobalSettings, ColourTexts)
{
    EXPECT_EQ(ParseColorText("(10, 20, 30)"), 0xFF0A141Eu);
    EXPECT_EQ(ParseColorText("(144,154,174)"), 0xFF909AAEu);
    EXPECT_EQ(ParseColorText("1,2"), 0xFF010200u);
    EXPECT_EQ(ParseColorText(""), 0xFF000000u);
    EXPECT_EQ(ParseColorText("(,,5)"), 0xFF050505u); // each part reads from its first digit on
    EXPECT_EQ(ParseColorText("(300,-4,99999999999)"), 0xFFFF04FFu); // never spills into alpha
    EXPECT_EQ(FormatColorText(0x80909AAEu), "(144,154,174)");
}

TEST(GlobalSettings, InitFillsTheTemplateListsAndResetsExportChoices)
{
    // The choices the export dialogs read and write.
    ExportSettings::s_nDestination = 1;
    ExportSettings::s_strFilePath = "/tmp/x.png";
    ExportSettings::s_nColourDepth = 0;
    ExportSettings::s_nDpi = 600;
    CGlobalSettings s;
    s.Init();
    s.Init(); // twice does not grow the lists
    EXPECT_EQ(s.m_dateTemplates,
              QStringList({"yyyy-MM-dd", "yyyy.MM.dd", "MM,dd,yyyy", "yyyyMMdd", "MM-dd-yy", "dd-MM-yy",
                           "MM/dd/yy", "dd/MM/yy", "MM.dd.yy", "dd.MM.yy", "MMddyy", "ddMMyy",
                           "yyyy-MM", "MM-yyyy", "yyyyMM", "MMyyyy", "yy-MM", "MM-yy",
                           "yy/MM", "MM/yy", "yyyy", "M", "MM-dd", "dd-MM",
                           "MM/dd", "dd/MM", "MM.dd", "dd.MM", QStringLiteral(u"yyyy年MM月dd日"),
                           QStringLiteral(u"yyyy年M月d日"), "dddd", QStringLiteral(u"yyyy年MM月"),
                           QStringLiteral(u"yyyy年M月"), QStringLiteral(u"yyyy年"), QStringLiteral(u"M月"),
                           QStringLiteral(u"d日")}));
    EXPECT_EQ(s.m_timeTemplates,
              QStringList({"H:mm:ss", "H:mm", QStringLiteral(u"H时m分s秒"), QStringLiteral(u"H时m分"),
                           "tt H:mm:ss", "tt H:mm", "tt h:mm:ss", "tt h:mm"}));
    EXPECT_EQ(ExportSettings::s_nDestination, 0);
    EXPECT_EQ(ExportSettings::s_nColourDepth, 3);
    EXPECT_EQ(ExportSettings::s_nResolutionMode, 0);
    EXPECT_TRUE(ExportSettings::s_strFilePath.isEmpty());
    EXPECT_EQ(ExportSettings::s_nDpi, 600);
}

TEST(GlobalSettings, SingletonAndSharedDrawingResources)
{
    CGlobalSettings* s = CGlobalSettings::GetInstance();
    EXPECT_EQ(s, CGlobalSettings::GetInstance());

    const QPen& red = s->GetPen(PenDashRed);
    EXPECT_EQ(red.color().rgba(), 0xFFDC0000u);
    EXPECT_EQ(red.widthF(), 1.0);
    EXPECT_FALSE(red.isCosmetic()); // one world unit, not one pixel
    EXPECT_EQ(red.style(), Qt::CustomDashLine);
    EXPECT_EQ(red.dashPattern(), QList<qreal>({3.0, 3.0}));
    EXPECT_EQ(s->GetPen(PenBlack).style(), Qt::SolidLine);
    EXPECT_EQ(s->GetBrush(BrushGreen).color().rgba(), 0xFF00FF00u);
    EXPECT_EQ(s->GetPen(PenDashPurple).color().rgba(), 0xFF800080u);
    EXPECT_EQ(s->GetCursor(CursorSizeWE).shape(), Qt::SizeHorCursor);
    EXPECT_EQ(&s->GetCursor(Cursor297), &s->GetCursor(Cursor297));

    CGlobalSettings::DestroyInstance();
    EXPECT_EQ(CGlobalSettings::GetInstance()->m_nUndoMax, 50);
    CGlobalSettings::DestroyInstance();
}

TEST_F(GlobalSettingsFile, UnwritableProgramFolderUsesTheUserConfigurationFolder)
{
    // A folder below a plain file can be neither created nor written, whoever runs this.
    QFile blocker(m_dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("VELLUMCRAFT_HOME", m_dir.filePath("file/app").toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    const QString userPath = CGlobalSettings::GetSysconfPath();
    QFile::remove(userPath);
    EXPECT_TRUE(userPath.endsWith("/Vellumcraft/sysconf.ini")) << userPath.toStdString();
    EXPECT_FALSE(userPath.startsWith(m_dir.path()));

    CGlobalSettings s;
    s.m_nUndoMax = 12;
    EXPECT_TRUE(s.SaveOptions());
    CGlobalSettings back;
    back.LoadOptions();
    EXPECT_EQ(back.m_nUndoMax, 12);

    QFile::remove(userPath);
    QStandardPaths::setTestModeEnabled(false);
}

// sysconf.ini is read as a label file is: a pipe, a device behind a link, a file past
// the bound or a link to nothing give the defaults and a message naming the file, at
// once; a missing file gives the defaults with no message.
TEST_F(GlobalSettingsFile, AFileThatIsNoOptionsFileGivesTheDefaultsAndAMessage)
{
    CGlobalSettings s;
    EXPECT_EQ(s.LoadOptions(), QString());

    const auto loadsDefaults = [&](const char* what, const QString& why) {
        SCOPED_TRACE(what);
        s.m_nUndoMax = 7;
        const QString message = s.LoadOptions();
        EXPECT_TRUE(message.startsWith(QStringLiteral("无法读取设置文件“%1”：").arg(IniPath())))
            << message.toStdString();
        EXPECT_TRUE(message.contains(why)) << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral("程序以默认设置启动。")));
        EXPECT_EQ(s.m_nUndoMax, 50);
        EXPECT_EQ(s.m_crMbkgnd, 0xFF000000u);
        QFile::remove(IniPath());
    };
    ASSERT_EQ(::mkfifo(QFile::encodeName(IniPath()).constData(), 0600), 0);
    loadsDefaults("fifo", QStringLiteral("不是普通文件"));
    ASSERT_TRUE(QFile::link("/dev/zero", IniPath()));
    loadsDefaults("device", QStringLiteral("不是普通文件"));
    ASSERT_TRUE(QFile::link(m_dir.filePath("gone"), IniPath()));
    loadsDefaults("dangling link", QStringLiteral("文件不存在"));
    {
        QFile big(IniPath());
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write("[Others]\nUndoMax=9\n");
        ASSERT_TRUE(big.resize(int64_t(300) << 20)); // sparse: no disk is used
    }
    loadsDefaults("large", QStringLiteral("文件大于"));

    // At the bound it is still read.
    WriteIni(QByteArray("[Others]\nUndoMax=9\n").leftJustified(1 << 20, ' '));
    EXPECT_EQ(s.LoadOptions(), QString());
    EXPECT_EQ(s.m_nUndoMax, 9);
}
