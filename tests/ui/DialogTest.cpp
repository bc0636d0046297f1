#include "FakeServices.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/HelpWindow.h"
#include "app/PasswordDlg.h"
#include "app/VXBaseDialog.h"
#include "model/GlobalSettings.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// The program folder in a temporary directory, so that saving options writes there.
class ProgramFolder
{
public:
    ProgramFolder() { qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8()); }
    ~ProgramFolder() { qunsetenv("VELLUMCRAFT_HOME"); }

private:
    QTemporaryDir m_dir;
};

struct PasswordCase
{
    const char* password;
    const char* repeat;
    bool closes;
    const char* message; // null: none
    const char* stored;
};

void TypeInto(QDialog& dialog, int id, const QString& text)
{
    QLineEdit* edit = ctl<QLineEdit>(&dialog, id);
    edit->clear();
    TypeText(edit, text);
}

class TestDialog : public CVXBaseDialog
{
public:
    TestDialog()
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                                       QDialogButtonBox::Help));
    }
    std::function<bool()> onOK;

protected:
    bool OnOK() override { return onOK(); }
};

} // namespace

TEST(SetPasswordDlg, StoresOnlyTwoEqualTextsAndClearsOnAnEmptyOne)
{
    const PasswordCase cases[] = {
        {"abc", "abc", true, nullptr, "abc"},
        {"abc", "abd", false, "密码输入不一致", "old"},
        {"abc", "ABC", false, "密码输入不一致", "old"},
        {"abc", "", false, "请再次输入密码", "old"},
        {"", "whatever", false, nullptr, ""},
        {"中文密码", "中文密码", true, nullptr, "中文密码"},
    };
    ProgramFolder folder;
    for (const PasswordCase& c : cases) {
        SCOPED_TRACE(c.password + std::string(" / ") + c.repeat);
        FakeServices services;
        CGlobalSettings::GetInstance()->m_strStartupPassword = QStringLiteral("old");
        CSetPasswordDlg dialog;
        EXPECT_EQ(dialog.windowTitle(), "设置密码");
        services.OnNextDialog([&](QDialog& d) {
            TypeInto(d, 1183, QString::fromUtf8(c.password));
            TypeInto(d, 1184, QString::fromUtf8(c.repeat));
            QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
            EXPECT_EQ(d.isVisible(), !c.closes);
        });
        EXPECT_EQ(Services().RunModal(dialog), c.closes ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(services.MessageTexts(), c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
        if (c.message) {
            EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
        }
        EXPECT_EQ(CGlobalSettings::GetInstance()->m_strStartupPassword, QString::fromUtf8(c.stored));
        // A failed attempt keeps both texts for correction.
        if (!c.closes) {
            EXPECT_EQ(ctl<QLineEdit>(&dialog, 1183)->text(), QString::fromUtf8(c.password));
            EXPECT_EQ(ctl<QLineEdit>(&dialog, 1184)->text(), QString::fromUtf8(c.repeat));
        }
    }
    CGlobalSettings::GetInstance()->m_strStartupPassword.clear();
}

TEST(InputPasswordDlg, AcceptsOnlyThePasswordThatIsSet)
{
    FakeServices services;
    CGlobalSettings::GetInstance()->m_strStartupPassword = QStringLiteral("s3cret");
    for (const auto& [typed, accepted] : {std::pair{"s3cret", true}, {"S3cret", false}, {"", false}}) {
        CInputPasswordDlg dialog;
        EXPECT_FALSE(dialog.m_bAccept);
        services.OnNextDialog([&](QDialog& d) {
            TypeInto(d, 1183, QString::fromUtf8(typed));
            QTest::keyClick(ctl<QLineEdit>(&d, 1183), Qt::Key_Return);
        });
        EXPECT_EQ(Services().RunModal(dialog), QDialog::Accepted);
        EXPECT_EQ(dialog.m_bAccept, accepted) << typed;
        EXPECT_EQ(dialog.m_strPassword, QString::fromUtf8(typed));
        EXPECT_EQ(ctl<QLineEdit>(&dialog, 1183)->echoMode(), QLineEdit::Password);
    }
    CGlobalSettings::GetInstance()->m_strStartupPassword.clear();
}

TEST(VXBaseDialog, HelpButtonAndF1OpenTheHelpFile)
{
    FakeServices services;
    TestDialog dialog;
    EXPECT_EQ(ctl<QPushButton>(&dialog, 9)->text(), "帮助");
    EXPECT_EQ(ctl<QPushButton>(&dialog, 1)->text(), "确定");
    EXPECT_EQ(ctl<QPushButton>(&dialog, 2)->text(), "取消");
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (CHelpWindow::Current())
            delete CHelpWindow::Current();
        if (attempt == 0)
            QTest::mouseClick(ctl<QPushButton>(&dialog, 9), Qt::LeftButton);
        else
            QTest::keyClick(&dialog, Qt::Key_F1);
        ASSERT_NE(CHelpWindow::Current(), nullptr) << attempt;
        EXPECT_TRUE(CHelpWindow::Current()->isVisible());
        EXPECT_EQ(CHelpWindow::Current()->CurrentPage(), "qrc:/help/index.html"); // no page of its own
    }
    EXPECT_TRUE(services.openedDocuments.isEmpty());
    delete CHelpWindow::Current();
}

TEST(VXBaseDialog, OKThatRefusesOrThrowsKeepsTheDialogOpen)
{
    FakeServices services;
    TestDialog dialog;
    int stores = 0;
    dialog.onOK = [&] {
        ++stores;
        if (stores == 1)
            return false;
        if (stores == 2)
            throw CDataSourceException(QStringLiteral("连接失败"));
        return true;
    };
    services.OnNextDialog([](QDialog& d) {
        QPushButton* ok = ctl<QPushButton>(&d, 1);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_EQ(Services().RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(stores, 3);
    EXPECT_EQ(services.MessageTexts(), QStringList{"连接失败"});
}

TEST(VXPage, ReturnAndEscapeInAPageLeaveTheDialogOpen)
{
    FakeServices services;
    TestDialog dialog;
    dialog.onOK = [] { return true; };
    auto* page = new CVXPage(&dialog);
    auto* edit = SetCtlId(new QLineEdit(page), 1100);
    auto* outside = SetCtlId(new QLineEdit(&dialog), 1101);
    static_cast<QVBoxLayout*>(dialog.layout())->insertWidget(0, page);
    static_cast<QVBoxLayout*>(dialog.layout())->insertWidget(0, outside);
    services.OnNextDialog([&](QDialog& d) {
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_TRUE(d.isVisible());
        // Outside a page Return still presses the default button.
        QTest::keyClick(outside, Qt::Key_Return);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(Services().RunModal(dialog), QDialog::Accepted);
}
