#pragma once

#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "UiTestSupport.h"
#include "app/MainFrame.h"
#include "app/VellumcraftApp.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/DocWriter.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

// The running program with one new label open at 100 %, driven as a user drives it:
// commands through the menus' and tool bars' actions, gestures as mouse events on the
// real canvas. Nothing here calls the update pass itself: Settle lets the coalesced
// one run, as the event loop would before the next click.
class SessionTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        CVellumcraftApp::Options options;
        options.splash = false;
        options.instanceFolder = m_dir.path();
        ASSERT_TRUE(app.InitInstance(options));
        frame = app.MainFrame();
        frame->resize(1200, 800);
        NewLabel();
    }
    void TearDown() override
    {
        // Nothing left to ask about: the fixture's labels are thrown away.
        for (LabelDocumentWindow* window : frame->LabelWindows())
            static_cast<CChildFrame*>(window)->View().SetModified(false);
        app.ExitInstance();
    }

    // A new label through File > New, its settings sheet confirmed as it opens.
    void NewLabel()
    {
        services.OnNextDialog([](QDialog& dialog) { dialog.accept(); });
        ASSERT_TRUE(Trigger(CmdFileNew));
        ASSERT_NE(frame->ActiveLabelWindow(), nullptr);
        ASSERT_TRUE(Trigger(CmdZoomActual));
        ASSERT_TRUE(Trigger(CmdCentreLabel));
    }
    CChildFrame& Window() const { return *static_cast<CChildFrame*>(frame->ActiveLabelWindow()); }
    CChildView& View() const { return Window().View(); }

    static void Settle() { QCoreApplication::processEvents(); }
    QAction* Action(int id) { return frame->Commands().Action(id); }
    bool Enabled(int id)
    {
        Settle();
        return Action(id)->isEnabled();
    }
    bool Checked(int id)
    {
        Settle();
        return Action(id)->isChecked();
    }
    // Triggers the action as a menu entry would; false when it was disabled.
    bool Trigger(int id)
    {
        Settle();
        if (!Action(id)->isEnabled())
            return false;
        Action(id)->trigger();
        Settle();
        return true;
    }

    // The client point of a label position in millimetres.
    QPoint At(float x, float y)
    {
        const CanvasMapping m = View().Mapping();
        return m.FromLabel(QPointF(x * m.dpiX / 25.4, y * m.dpiY / 25.4));
    }
    void Drag(QPoint from, QPoint to, int steps = 2)
    {
        QTest::mousePress(&View(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(&View(), from + (to - from) * i / steps);
        QTest::mouseRelease(&View(), Qt::LeftButton, {}, to);
    }
    void Click(QPoint at) { Drag(at, at, 0); }
    // A click on a control, as the shared test helper makes it.
    static void Click(QWidget* control) { ::Click(control); }
    void DoubleClick(QPoint at)
    {
        Click(at);
        QTest::mousePress(&View(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(&View(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(&View(), Qt::LeftButton, {}, at);
    }
    // Draws one object with the tool picked from the 创建 menu.
    void Create(int tool, float x, float y)
    {
        ASSERT_TRUE(Trigger(tool)) << tool;
        switch (tool) {
        case CmdToolBarcode:
        case CmdToolText:
        case CmdToolImage: Click(At(x, y)); break;
        case CmdToolPolygon:
            Click(At(x, y));
            Click(At(x + 12, y));
            DoubleClick(At(x + 6, y + 8));
            break;
        default: Drag(At(x, y), At(x + 15, y + 8)); break;
        }
    }
    CBaseProxy* Last() const { return View().ObjectList().back().get(); }

    // The label as the writer would store it now.
    QByteArray LabelBytes()
    {
        // A barcode's settings keep a copy of its box from its last drawing; the file
        // stores that copy too, though nothing reads it back. Drawn now, it agrees.
        QImage scratch(4, 4, QImage::Format_ARGB32);
        QPainter painter(&scratch);
        for (const auto& proxy : View().ObjectList())
            if (proxy->GetObject()->GetKind() == KindBarcode)
                proxy->GetObject()->Draw(painter);
        const auto scope = Window().WholeLabel();
        CDocWriterV1_0 writer;
        writer.m_pLabelData = &scope.Label();
        return writer.DocumentBytes();
    }

    FakeServices services;
    CVellumcraftApp app;
    CMainFrame* frame = nullptr;
};
