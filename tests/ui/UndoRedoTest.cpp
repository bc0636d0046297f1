#include "ProxyTestSupport.h"

#include "editor/UndoRecordBuilder.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "platform/VXException.h"

#include <QScopeGuard>
#include <gtest/gtest.h>

namespace {

// The canvas with its history and builders, as the document window holds them.
struct Editor
{
    Editor()
    {
        canvas.modifiedSource = &manager.m_bModified;
    }
    FakeCanvas canvas;
    CUndoRedoManager manager{&canvas};
    CUndoRecordBuilder builder{canvas, manager};
};

QByteArray Bytes(const FakeCanvas& canvas)
{
    return ObjectBytes(canvas.objects);
}

std::unique_ptr<CBaseGraph> ObjectOfKind(int kind)
{
    switch (kind) {
    case KindBarcode: return MakeBarcode(SymbologyCode39, "AB12");
    case KindText: {
        auto text = MakeBox<CTextGraph>(10, 10, 30, 8);
        text->m_strText = "Hello";
        return text;
    }
    case KindLine: return MakeLine(5, 6, 25, 16);
    case KindRectangle: return MakeBox<CRectangleGraph>(10, 10, 20, 10);
    case KindEllipse: return MakeBox<CEllipseGraph>(12, 14, 22, 11);
    case KindPolygon: return MakePolygon({{10, 10}, {20, 12}, {15, 30}});
    default: {
        auto image = MakeBox<CImageGraph>(10, 10, 20, 10);
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(QImage(20, 10, QImage::Format_RGB32)));
        return image;
    }
    }
}

// Empty when equal, else where the bytes first differ.
std::string Difference(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return {};
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return "differs at byte " + std::to_string(i) + " of " + std::to_string(expected.size());
}

// Runs one recorded change and checks that undo and redo give back the exact bytes.
template <class Change>
void ExpectExactUndoRedo(Editor& editor, Change change, const std::string& what)
{
    const QByteArray before = Bytes(editor.canvas);
    change();
    const QByteArray after = Bytes(editor.canvas);
    EXPECT_NE(before, after) << what;
    editor.manager.Undo();
    EXPECT_EQ(Difference(Bytes(editor.canvas), before), "") << "undo " << what;
    editor.manager.Redo();
    EXPECT_EQ(Difference(Bytes(editor.canvas), after), "") << "redo " << what;
    editor.manager.Undo();
    EXPECT_EQ(Difference(Bytes(editor.canvas), before), "") << "undo again " << what;
}

TEST(UndoRedo, GeometryOfEveryKindUndoesExactly)
{
    ScopedDpi dpi(96);
    for (int kind = KindBarcode; kind <= KindImage; ++kind) {
        for (float angle : {0.0f, 30.0f}) {
            Editor editor;
            CBaseProxy* proxy = editor.canvas.Add(ObjectOfKind(kind));
            proxy->GetObject()->m_fAngle = angle;
            proxy->GetObject()->m_nAnchor = 8;
            const std::string name = "kind " + std::to_string(kind) + " at " + std::to_string(angle);
            ExpectExactUndoRedo(editor, [&] {
                CPendingRecord record = editor.builder.BeginMove({proxy});
                proxy->SaveGeometry();
                proxy->MoveBy(QPoint(0, 0), QPoint(17, -9), true);
                editor.builder.End(std::move(record));
            }, "move " + name);
            ExpectExactUndoRedo(editor, [&] {
                CPendingRecord record = editor.builder.BeginSize({proxy});
                proxy->SaveGeometry();
                proxy->SizeBy(QPoint(0, 0), QPoint(23, 19), true, kind == KindLine ? 1 : 4);
                editor.builder.End(std::move(record));
            }, "size " + name);
            if (proxy->CanRotate()) {
                ExpectExactUndoRedo(editor, [&] {
                    CPendingRecord record = editor.builder.BeginRotate({proxy});
                    proxy->SaveGeometry();
                    proxy->RotateBy(QPoint(900, 900), QPoint(900, 1000), true);
                    editor.builder.End(std::move(record));
                }, "rotate " + name);
            }
        }
    }
}

TEST(UndoRedo, BatchesUndoEveryObject)
{
    ScopedDpi dpi(96);
    Editor editor;
    ProxySelection all;
    for (int kind = KindBarcode; kind <= KindImage; ++kind)
        all.push_back(editor.canvas.Add(ObjectOfKind(kind)));
    ExpectExactUndoRedo(editor, [&] {
        CPendingRecord record = editor.builder.BeginMove(all);
        for (CBaseProxy* p : all)
            p->MoveBy(QPoint(0, 0), QPoint(40, 40), false);
        editor.builder.End(std::move(record));
    }, "move batch");
    ExpectExactUndoRedo(editor, [&] {
        CPendingRecord record = editor.builder.BeginSize(all);
        for (CBaseProxy* p : all)
            p->SetSize(p->GetWidth() * 1.5f, p->GetHeight() * 1.25f);
        editor.builder.End(std::move(record));
    }, "size batch");
    ExpectExactUndoRedo(editor, [&] {
        CPendingRecord record = editor.builder.BeginRotate(all);
        for (CBaseProxy* p : all)
            p->GetObject()->m_fAngle = 45.0f;
        editor.builder.End(std::move(record));
    }, "rotate batch");
}

TEST(UndoRedo, TwoDimensionalBarcodeSizesComeBack)
{
    for (int code : {SymbologyPDF417, SymbologyQRCode, SymbologyDataMatrix}) {
        Editor editor;
        std::unique_ptr<CBarcodeGraph> object;
        try {
            object = MakeBarcode(code, "HELLO");
        } catch (const CBarcodeException&) {
            continue;
        }
        object->m_fWidth = object->m_fHeight = 20.0f;
        CBaseProxy* proxy = editor.canvas.Add(std::move(object));
        ExpectExactUndoRedo(editor, [&] {
            CPendingRecord record = editor.builder.BeginSize({proxy});
            proxy->SetSize(30.0f, 30.0f);
            editor.builder.End(std::move(record));
        }, "2-D size " + std::to_string(code));
    }
}

TEST(UndoRedo, TextResizeAndFormatTellTheWindow)
{
    ScopedDpi dpi(96);
    Editor editor;
    CBaseProxy* proxy = editor.canvas.Add(ObjectOfKind(KindText));
    ExpectExactUndoRedo(editor, [&] {
        CPendingRecord record = editor.builder.BeginSize({proxy});
        proxy->SetSize(40, 12);
        editor.builder.End(std::move(record));
    }, "text size");
    auto& text = static_cast<CTextGraph&>(*proxy->GetObject());
    ExpectExactUndoRedo(editor, [&] {
        auto record = std::make_unique<CFormatURC>();
        CUndoRecordBuilder::BeginFormatRecord(*record, proxy);
        text.m_strFontName = "Liberation Serif";
        text.m_bBold = text.m_bUnderline = true;
        text.m_byStyle5 = 1;
        text.m_nAlignment = 2;
        text.m_crText = 0xFF123456u;
        text.m_fWidth = 50;
        text.m_nLayoutMode = MultiLine;
        editor.builder.EndFormatRecord(std::move(record));
    }, "text format");
    const int notified = editor.canvas.fontSizeChanges;
    editor.manager.Redo();
    EXPECT_EQ(editor.canvas.fontSizeChanges, notified + 1);
}

TEST(UndoRedo, BarcodeFormatRestoresObjectAndSettings)
{
    Editor editor;
    CBaseProxy* proxy = editor.canvas.Add(MakeBarcode(SymbologyCode39, "AB"));
    proxy->GetObject()->m_crSpare = 0xFF00FF00u; // not one the format change touches
    CBarcodeSettings& s = *static_cast<CBarcodeGraph&>(*proxy->GetObject()).GetImpl()->GetSettings();
    ExpectExactUndoRedo(editor, [&] {
        auto record = std::make_unique<CFormatURC>();
        CUndoRecordBuilder::BeginFormatRecord(*record, proxy);
        s.m_strFontName = "Liberation Mono";
        s.m_fFontSize = 14.0f;
        s.m_bItalic = s.m_bStrikeout = true;
        s.m_nTextAlign = 3;
        s.m_crBar = 0xFF0000FFu;
        s.m_crBackground = 0xFFFFFF00u;
        editor.builder.EndFormatRecord(std::move(record));
    }, "barcode format");
}

TEST(UndoRedo, EditRecordKeepsWholeCopies)
{
    Editor editor;
    CBaseProxy* proxy = editor.canvas.Add(ObjectOfKind(KindEllipse));
    ExpectExactUndoRedo(editor, [&] {
        editor.builder.BeginEditRecord(proxy);
        proxy->GetObject()->m_strName = "椭圆 9";
        proxy->GetObject()->m_crLine = 0xFF808080u;
        static_cast<CEllipseGraph&>(*proxy->GetObject()).m_nDashStyle = 2;
        editor.builder.EndEditRecord();
    }, "edit");
    EXPECT_GE(editor.canvas.paneUpdates, 3);
}

TEST(UndoRedo, AddDeleteAndOrder)
{
    Editor editor;
    FakeCanvas& canvas = editor.canvas;
    CBaseProxy* a = canvas.Add(ObjectOfKind(KindRectangle));
    CBaseProxy* b = canvas.Add(ObjectOfKind(KindEllipse));
    CBaseProxy* c = canvas.Add(ObjectOfKind(KindLine));
    CBaseProxy* d = canvas.Add(ObjectOfKind(KindText));
    const auto order = [&] {
        std::vector<CBaseProxy*> list;
        for (const auto& p : canvas.objects)
            list.push_back(p.get());
        return list;
    };
    using V = std::vector<CBaseProxy*>;

    canvas.selection = {b, c};
    canvas.current = c;
    editor.manager.AddCommand(std::make_unique<CDeleteBatchURC>(canvas, ProxySelection{c, a}));
    EXPECT_EQ(order(), (V{b, d}));
    EXPECT_EQ(canvas.selection, (ProxySelection{b}));
    EXPECT_EQ(canvas.current, nullptr);
    editor.manager.Undo(); // each back in its place, whatever order they were selected in
    EXPECT_EQ(order(), (V{a, b, c, d}));
    editor.manager.Redo();
    EXPECT_EQ(order(), (V{b, d}));
    editor.manager.Undo();
    EXPECT_EQ(order(), (V{a, b, c, d}));
    // Selected top first, with one left between them.
    editor.manager.AddCommand(std::make_unique<CDeleteBatchURC>(canvas, ProxySelection{d, c, a}));
    EXPECT_EQ(order(), (V{b}));
    editor.manager.Undo();
    EXPECT_EQ(order(), (V{a, b, c, d}));

    editor.manager.AddCommand(std::make_unique<CDeleteURC>(canvas, b));
    EXPECT_EQ(order(), (V{a, c, d}));
    editor.manager.Undo();
    EXPECT_EQ(order(), (V{a, b, c, d}));

    editor.manager.AddCommand(std::make_unique<CZOrderURC>(a, 0, 4));
    canvas.objects.push_back(TakeFromCanvas(canvas, a));
    EXPECT_EQ(order(), (V{b, c, d, a}));
    editor.manager.Undo();
    EXPECT_EQ(order(), (V{a, b, c, d}));
    editor.manager.Redo();
    EXPECT_EQ(order(), (V{b, c, d, a}));

    // An added object undone and then dropped with the redo history is freed with it.
    CBaseProxy* e = canvas.Add(ObjectOfKind(KindPolygon));
    editor.manager.AddCommand(std::make_unique<CAddURC>(e));
    editor.manager.Undo();
    EXPECT_EQ(order(), (V{b, c, d, a}));
    CLabelData label;
    label.m_bDesignBackground = true;
    editor.manager.AddCommand(std::make_unique<CBkgndURC>(&label, false, true));
    EXPECT_EQ(editor.manager.RedoCount(), 0u);
    EXPECT_EQ(order(), (V{b, c, d, a}));
}

TEST(UndoRedo, LockStates)
{
    Editor editor;
    CBaseProxy* a = editor.canvas.Add(ObjectOfKind(KindRectangle));
    CBaseProxy* b = editor.canvas.Add(ObjectOfKind(KindImage));
    b->GetObject()->m_bLocked = true;
    ExpectExactUndoRedo(editor, [&] {
        auto record = std::make_unique<CLockAllURC>();
        record->RecordOldStates({a, b});
        a->GetObject()->m_bLocked = true;
        b->GetObject()->m_bLocked = false;
        record->RecordNewStates();
        editor.manager.AddCommand(std::move(record));
    }, "lock all");
    ExpectExactUndoRedo(editor, [&] {
        auto record = std::make_unique<CLockPrintPreviewURC>(a);
        a->GetObject()->m_bNotPrinted = true;
        a->GetObject()->m_bHiddenInPreview = true;
        record->RecordNewStates();
        editor.manager.AddCommand(std::move(record));
    }, "lock, print, preview");
}

TEST(UndoRedoManager, MarkerFollowsTheSavedState)
{
    Editor editor;
    CBaseProxy* proxy = editor.canvas.Add(ObjectOfKind(KindRectangle));
    const auto change = [&] {
        CPendingRecord record = editor.builder.BeginMove({proxy});
        proxy->MoveBy(QPoint(0, 0), QPoint(4, 0), false);
        editor.builder.End(std::move(record));
    };
    change();
    EXPECT_EQ(editor.manager.UndoCount(), 2u);
    EXPECT_EQ(editor.canvas.title, "label *");
    editor.manager.Undo();
    EXPECT_EQ(editor.canvas.title, "label");
    EXPECT_FALSE(editor.manager.m_bModified);
    EXPECT_EQ(editor.manager.UndoCount(), 0u);
    editor.manager.Redo();
    EXPECT_EQ(editor.canvas.title, "label *");
    EXPECT_EQ(editor.manager.UndoCount(), 2u);

    // Fifty changes after a save: the marker goes with the first change.
    editor.manager.Clear();
    editor.manager.m_bModified = false;
    for (int i = 0; i < 49; ++i)
        change();
    EXPECT_EQ(editor.manager.UndoCount(), 50u);
    change();
    EXPECT_EQ(editor.manager.UndoCount(), 49u);
    for (int i = 0; i < 60; ++i)
        editor.manager.Undo();
    EXPECT_TRUE(editor.manager.m_bModified);
    EXPECT_EQ(editor.canvas.title, "label *");
    EXPECT_EQ(editor.manager.RedoCount(), 49u);
    change();
    EXPECT_EQ(editor.manager.RedoCount(), 0u);
    for (int i = 0; i < 60; ++i)
        change();
    EXPECT_EQ(editor.manager.UndoCount(), 50u);
    // The options' 撤销操作最大次数 holds from the next record on.
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const auto restore = qScopeGuard([&settings] { settings.m_nUndoMax = 50; });
    settings.m_nUndoMax = 5;
    change();
    EXPECT_EQ(editor.manager.UndoCount(), 5u);
    settings.m_nUndoMax = 0; // as a damaged settings file reads: one step still
    change();
    EXPECT_EQ(editor.manager.UndoCount(), 1u);

    // An empty batch still counts as a change.
    Editor fresh;
    fresh.builder.End(fresh.builder.BeginMove({}));
    EXPECT_EQ(fresh.canvas.title, "label *");
}

TEST(UndoRedoBuilder, SecondBeginDropsTheFirst)
{
    Editor editor;
    CBaseProxy* proxy = editor.canvas.Add(ObjectOfKind(KindRectangle));
    CPendingRecord record = editor.builder.BeginSize({proxy});
    proxy->SetWidth(50);
    record = editor.builder.BeginSize({proxy});
    proxy->SetWidth(60);
    editor.builder.End(std::move(record));
    editor.manager.Undo();
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fWidth, 50.0f);
    EXPECT_FALSE(editor.manager.CanUndo());
    // A begun record that never ends is freed with the canvas.
    editor.builder.BeginEditRecord(proxy);
    EXPECT_TRUE(editor.builder.HasPendingEdit());
}

TEST(DefaultNames, SkipTakenNamesAndCountOn)
{
    Editor editor;
    EXPECT_EQ(editor.builder.MakeDefaultName(KindRectangle), "矩形 1");
    editor.canvas.Add(ObjectOfKind(KindRectangle))->GetObject()->m_strName = "矩形 2";
    EXPECT_EQ(editor.builder.MakeDefaultName(KindRectangle), "矩形 3");
    EXPECT_EQ(editor.builder.MakeDefaultName(KindRectangle), "矩形 3"); // the counter stayed at 2
    EXPECT_EQ(editor.builder.MakeDefaultName(KindRectangle), "矩形 4");

    // Names count across kinds; barcodes are named in their settings.
    editor.canvas.Add(ObjectOfKind(KindText))->GetObject()->m_strName = "线条 1";
    EXPECT_EQ(editor.builder.MakeDefaultName(KindLine), "线条 2");
    auto* barcode = editor.canvas.Add(ObjectOfKind(KindBarcode));
    static_cast<CBarcodeGraph&>(*barcode->GetObject()).GetImpl()->GetSettings()->m_strName = "条形码 1";
    EXPECT_EQ(editor.builder.MakeDefaultName(KindBarcode), "条形码 2");
    EXPECT_EQ(editor.builder.MakeDefaultName(KindText), "文字 1");
    EXPECT_EQ(editor.builder.MakeDefaultName(KindEllipse), "椭圆 1");
    EXPECT_EQ(editor.builder.MakeDefaultName(KindPolygon), "多边形 1");
    EXPECT_EQ(editor.builder.MakeDefaultName(7), "");
    EXPECT_EQ(editor.builder.MakeDefaultName(-1), "");

    for (int k = 1; k <= 2012; ++k)
        editor.canvas.Add(ObjectOfKind(KindRectangle))->GetObject()->m_strName = QStringLiteral("图片 %1").arg(k);
    EXPECT_EQ(editor.builder.MakeDefaultName(KindImage), "");
}

} // namespace
