#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "model/Utils.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(Services, FakeIsInstalledForItsLifeAndTheDesktopsAfter)
{
    UiServices* before = &Services();
    {
        FakeServices fake;
        EXPECT_EQ(&Services(), &fake);
        EXPECT_EQ(Services().ShowMessage(nullptr, QStringLiteral("a"), MessageIcon::Question,
                                         MessageButtons::YesNo, {}),
                  IDYES);
        fake.answers.push_back(IDNO);
        EXPECT_EQ(Services().ShowMessage(nullptr, QStringLiteral("b"), MessageIcon::Question,
                                         MessageButtons::YesNo, {}),
                  IDNO);
        EXPECT_EQ(fake.MessageTexts(), QStringList({"a", "b"}));
        EXPECT_TRUE(Services().GetOpenFileName(nullptr, {}, {}, {}).isEmpty());
        EXPECT_FALSE(Services().GetColor(nullptr, Qt::red).isValid());
    }
    EXPECT_EQ(&Services(), before);
}

TEST(Services, ModalRunIsFilledThroughTheControls)
{
    FakeServices fake;
    QDialog dialog;
    auto* edit = SetCtlId(new QLineEdit(&dialog), 1183);
    auto* ok = SetCtlId(new QPushButton(QStringLiteral("确定"), &dialog), 1);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    fake.OnNextDialog([](QDialog& d) {
        QTest::keyClicks(ctl<QLineEdit>(&d, 1183), QStringLiteral("secret"));
        QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
    });
    EXPECT_EQ(Services().RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(edit->text(), "secret");
    EXPECT_EQ(fake.dialogClasses, std::vector<QString>{"QDialog"});
    // A handler that leaves the dialog open counts as cancelled.
    fake.OnNextDialog([](QDialog&) {});
    EXPECT_EQ(Services().RunModal(dialog), QDialog::Rejected);
    EXPECT_EQ(ctl<QLineEdit>(&dialog, 9999), nullptr);
    EXPECT_EQ(ctl<QPushButton>(&dialog, 1183), nullptr); // found only as its own class
}

