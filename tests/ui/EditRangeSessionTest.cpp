// Labels made by editing in the running program stay inside the ranges the label file
// reader and the property dialogs take: saved, closed and opened again they read back
// with no message and as the same bytes, and each object's dialog takes its own values
// on an OK that changed nothing.
#include "SessionTestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "model/BarcodeGraph.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/TextGraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EditRangeSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        settings.m_bInstantSizing = false;
        settings.m_bContinueCreating = false;
    }
    void TearDown() override
    {
        settings.m_bInstantSizing = savedInstantSizing;
        settings.m_bContinueCreating = savedContinue;
        SessionTest::TearDown();
    }

    CTextGraph& TextOf(CBaseProxy* proxy) const { return static_cast<CTextGraph&>(*proxy->GetObject()); }

    // Where a handle of the object is drawn, in client pixels.
    QPoint HandleAt(CBaseProxy* proxy, int handle)
    {
        View().Render();
        const CanvasMapping m = View().Mapping();
        return proxy->GetHandleRect(handle).center() + m.ZoomedMargin()
               - QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
    }
    void SetFontSize(const QString& size)
    {
        QComboBox* box = frame->FontSizeCombo();
        Settle();
        ASSERT_TRUE(box->isEnabled());
        RetypeText(box->lineEdit(), size);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        Settle();
    }
    // Saved, closed and opened again: no message, and the label the window then holds
    // is the file as written.
    void SaveAndReopen(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        services.files = {path};
        ASSERT_TRUE(Trigger(CmdFileSave));
        ASSERT_TRUE(Trigger(CmdFileClose));
        services.files = {path};
        ASSERT_TRUE(Trigger(CmdFileOpen));
        ASSERT_NE(frame->ActiveLabelWindow(), nullptr);
        EXPECT_EQ(services.MessageTexts(), QStringList());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == LabelBytes());
        EXPECT_FALSE(Window().IsModified());
    }
    // The object's property dialog, opened with a double click and confirmed at once,
    // closes accepted with no message.
    void ExpectUntouchedOkTaken(CBaseProxy* proxy)
    {
        ASSERT_TRUE(Trigger(CmdToolSelect));
        const CBaseGraph& object = *proxy->GetObject();
        bool closed = false;
        services.OnNextDialog([&](QDialog& d) {
            ClickButton(&d, 1);
            closed = !d.isVisible() && d.result() == QDialog::Accepted;
            if (!closed)
                d.reject();
        });
        DoubleClick(At(object.GetX() + 2, object.GetY() + std::min(object.GetHeight() / 2, 2.0f)));
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        EXPECT_TRUE(closed);
        EXPECT_EQ(services.MessageTexts(), QStringList());
    }

    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const bool savedInstantSizing = settings.m_bInstantSizing;
    const bool savedContinue = settings.m_bContinueCreating;
};

// A text pressed flat by its bottom handle is stretched wide; a large font then
// widens its box only up to the widest box a label holds.
TEST_F(EditRangeSession, AFlatTextGivenALargeFontStopsAtTheWidestBox)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    const QPoint bottom = HandleAt(proxy, 5);
    const int tall = static_cast<int>(proxy->GetHeightPixels());
    Drag(bottom, bottom - QPoint(0, tall));
    ASSERT_GT(text.m_fHorzScale, 20.0f);
    SetFontSize(QStringLiteral("200"));
    EXPECT_FLOAT_EQ(text.m_fFontSize, 200.0f);
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);
    EXPECT_LE(text.m_fHorzScale, kMaxLabelLengthMm);

    SaveAndReopen(QStringLiteral("flat.vmk"));
    ExpectUntouchedOkTaken(Last());
    EXPECT_EQ(TextOf(Last()).GetWidth(), kMaxLabelLengthMm);
}

// Many letters typed in place, then the largest font: the box stops at the bound and
// the words are pressed into it.
TEST_F(EditRangeSession, LongTypedTextAtTheLargestFontStopsAtTheWidestBox)
{
    Create(CmdToolText, 10, 10);
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(At(11, 11));
    auto* edit = qobject_cast<QLineEdit*>(View().InPlaceEditor());
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString(300, u'W'));
    Click(At(5, 60));
    ASSERT_FALSE(edit->isVisible());
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    ASSERT_EQ(text.m_strText, QString(300, u'W'));
    ASSERT_TRUE(Trigger(CmdToolSelect));
    Click(At(11, text.GetY() + text.GetHeight() / 2));
    ASSERT_EQ(View().CurrentObject(), proxy);
    SetFontSize(QStringLiteral("1000"));
    EXPECT_FLOAT_EQ(text.m_fFontSize, 1000.0f);
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);
    EXPECT_LT(text.m_fHorzScale, 1.0f);

    // Typing in place again refits the same way.
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(At(11, text.GetY() + 5));
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString(400, u'W'));
    Click(At(5, text.GetY() + text.GetHeight() + 20));
    ASSERT_FALSE(edit->isVisible());
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);

    SaveAndReopen(QStringLiteral("long.vmk"));
    ExpectUntouchedOkTaken(Last());
}

// A single-line text's font follows its box's height only up to the largest size the
// font boxes take; a taller box keeps its height.
TEST_F(EditRangeSession, AHandleDragStopsTheFontAtTheLargestSize)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    SetFontSize(QStringLiteral("950"));
    ASSERT_FLOAT_EQ(text.m_fFontSize, 950.0f);
    ASSERT_TRUE(Trigger(CmdZoomOut));
    ASSERT_TRUE(Trigger(CmdZoomOut));
    const float height = text.GetHeight();
    const QPoint bottom = HandleAt(proxy, 5);
    Drag(bottom, bottom + QPoint(0, 60));
    EXPECT_GT(text.GetHeight(), height * 1.1f);
    EXPECT_EQ(text.m_fFontSize, kMaxFontSize);

    SaveAndReopen(QStringLiteral("tall.vmk"));
    ASSERT_TRUE(Trigger(CmdZoomActual));
    ExpectUntouchedOkTaken(Last());
}

// Grouping turned off in the grouping dialog, from a barcode's pane and from a text's:
// the separator kept is one the file reader takes.
TEST_F(EditRangeSession, GroupingTurnedOffKeepsASeparatorTheFileHolds)
{
    Create(CmdToolBarcode, 10, 10);
    Create(CmdToolText, 10, 50);
    ASSERT_TRUE(Trigger(CmdToolSelect));
    for (CBaseProxy* proxy : {View().ObjectList()[0].get(), View().ObjectList()[1].get()}) {
        const bool barcode = proxy->GetObject()->GetKind() == KindBarcode;
        SCOPED_TRACE(barcode ? "barcode" : "text");
        const CBaseGraph& object = *proxy->GetObject();
        services.OnNextDialog([&](QDialog& d) {
            // Grouping on with the ideographic space, then off again.
            for (int pass = 0; pass < 2; ++pass) {
                services.OnNextDialog([pass](QDialog& g) {
                    Click(ctl<QCheckBox>(&g, 1151));
                    if (pass == 0)
                        ChooseItem(ctl<QComboBox>(&g, 1294), SeparatorIdeographicSpace);
                    ClickButton(&g, 1);
                });
                ClickButton(page<QWidget>(&d, barcode ? 266 : 253), 1078);
            }
            ClickButton(&d, 1);
        });
        DoubleClick(At(object.GetX() + 2, object.GetY() + 2));
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        if (barcode) {
            const CBarcodeSettings& s = *static_cast<const CBarcodeGraph&>(object).GetImpl()->GetSettings();
            EXPECT_FALSE(s.m_bGrouping);
            EXPECT_EQ(s.m_nSeparator, SeparatorIdeographicSpace);
        } else {
            EXPECT_FALSE(TextOf(proxy).m_bGrouping);
            EXPECT_EQ(TextOf(proxy).m_nSeparatorChoice, SeparatorIdeographicSpace);
        }
    }
    EXPECT_EQ(services.MessageTexts(), QStringList());
    SaveAndReopen(QStringLiteral("grouping.vmk"));
}

} // namespace
