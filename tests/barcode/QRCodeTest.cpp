#include "Barcode2DSupport.h"
#include "TestSupport.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/CodePage.h"
#include "barcode/QRCode.h"
#include "platform/Drawing.h"
#include "platform/VXException.h"

#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>
#include <qrencode.h>

TEST(CodePage, ConvertsToEachCodePageAndMarksWhatItCannotHold)
{
    const QString zhong = QStringLiteral("中");
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageUTF8), QByteArray("\xe4\xb8\xad"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageSystem), QByteArray("\xe4\xb8\xad"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageGBK), QByteArray("\xd6\xd0"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageBig5), QByteArray("\xa4\xa4"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("a€b"), CodePageGBK), QByteArray("a\x80" "b"));
    // Outside the code page: one "?" per character, surrogate pairs included.
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("x😀y한z"), CodePageGBK), QByteArray("x?y?z"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("简한"), CodePageBig5), QByteArray("??"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("😀"), CodePageUTF8), QByteArray("\xf0\x9f\x98\x80"));
    QString lone = QStringLiteral("ab");
    lone.insert(1, QChar(0xD800));
    EXPECT_EQ(ConvertToCodePage(lone, CodePageUTF8), QByteArray("a?b"));
    EXPECT_EQ(ConvertToCodePage(lone, CodePageGBK), QByteArray("a?b"));
    // A number that is no code page of ours keeps the content as UTF-8.
    EXPECT_EQ(ConvertToCodePage(zhong, 1252), QByteArray("\xe4\xb8\xad"));
    // Long text passes the conversion buffer boundary intact.
    const QString longText = QString(zhong).repeated(1000) + QStringLiteral("😀");
    const QByteArray gbk = ConvertToCodePage(longText, CodePageGBK);
    EXPECT_EQ(gbk.size(), 2001);
    EXPECT_EQ(gbk.right(3), QByteArray("\xd6\xd0?"));
}

namespace {

struct QRFixture
{
    std::unique_ptr<CBarcodeImpl> impl = CreateBarcodeImpl(SymbologyQRCode);
    CBarcodeImpl_QRCode& qr = static_cast<CBarcodeImpl_QRCode&>(*impl);
    CBarcodeSettings_QRCode& s = static_cast<CBarcodeSettings_QRCode&>(*impl->GetSettings());

    void Encode(const QString& content)
    {
        s.m_strContent = content;
        impl->Encode();
        impl->CalcSize();
    }
};

// libqrencode's own symbol for the bytes, as rows of 0/1.
std::vector<uint8_t> LibraryGrid(const QByteArray& bytes, int version, QRecLevel level, int* width)
{
    QRcode* code = QRcode_encodeString(bytes.constData(), version, level, QR_MODE_8, 1);
    if (!code)
        return {};
    *width = code->width;
    std::vector<uint8_t> grid(size_t(code->width) * size_t(code->width));
    for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = code->data[i] & 1;
    QRcode_free(code);
    return grid;
}

} // namespace

TEST(QRCode, DefaultSymbolIsVersionOneAtFifteenMil)
{
    QRFixture f;
    EXPECT_EQ(f.qr.m_nModuleCount, 0);
    f.Encode(QStringLiteral("0123456789"));
    EXPECT_EQ(f.qr.m_nModuleCount, 21);
    EXPECT_FLOAT_EQ(f.s.m_fWidth, 8.001f);
    EXPECT_FLOAT_EQ(f.s.m_fHeight, 8.001f);
    EXPECT_EQ(f.qr.m_nECLevel, 1);
    EXPECT_EQ(f.qr.m_nMask, -1);
    EXPECT_EQ(f.qr.m_nAutoExtend, 1);
    f.impl->Resize(50.0f, 50.0f);
    EXPECT_FLOAT_EQ(f.s.m_fWidth, 8.001f);
    EXPECT_EQ(f.qr.m_nModuleCount, 21);
}

TEST(QRCode, GridIsTheLibrarySymbolForEveryLevelAndVersion)
{
    QRFixture f;
    const struct { QString content; int codePage, level, version; QRecLevel libLevel; } cases[] = {
        {QStringLiteral("Hello, World"), CodePageUTF8, 0, 0, QR_ECLEVEL_L},
        {QStringLiteral("HELLO 12345"), CodePageUTF8, 3, 0, QR_ECLEVEL_H},
        {QStringLiteral("中文内容 mixed 123"), CodePageGBK, 2, 5, QR_ECLEVEL_Q},
        {QStringLiteral("a"), CodePageUTF8, 7, 0, QR_ECLEVEL_L},   // unknown level: L
        {QStringLiteral("b"), CodePageUTF8, -1, 10, QR_ECLEVEL_L},
        {QString(600, QLatin1Char('x')), CodePageUTF8, 1, 0, QR_ECLEVEL_M},
    };
    for (const auto& c : cases) {
        f.s.m_nCodePage = c.codePage;
        f.s.m_nECLevel = c.level;
        f.s.m_nVersion = c.version;
        f.Encode(c.content);
        int width = 0;
        const std::vector<uint8_t> expected =
            LibraryGrid(ConvertToCodePage(c.content, c.codePage), c.version, c.libLevel, &width);
        EXPECT_EQ(f.qr.m_nModuleCount, width) << c.content.left(20).toStdString();
        EXPECT_EQ(f.qr.m_grid, expected) << c.content.left(20).toStdString();
    }
}

TEST(QRCode, ZXingReadsRawUtf8AndGbkContent)
{
    QRFixture f;
    f.s.m_crBackground = 0xFFFFFFFFu;
    const struct { QString content; int codePage; QByteArray bytes; } cases[] = {
        {QStringLiteral("lower and UPPER case"), CodePageUTF8, "lower and UPPER case"},
        {QStringLiteral("中文"), CodePageUTF8, "\xe4\xb8\xad\xe6\x96\x87"},
        {QStringLiteral("中文"), CodePageGBK, "\xd6\xd0\xce\xc4"},
        {QStringLiteral("中文"), CodePageBig5, "\xa4\xa4\xa4\xe5"},
        {QStringLiteral("A€😀"), CodePageGBK, "A\x80?"},
        {QString::fromLatin1("\x01\x7f\x1b[0m tab\tend"), CodePageSystem, "\x01\x7f\x1b[0m tab\tend"},
        // A zero byte is content like any other, not the end of it.
        {QString::fromLatin1("LOT-7\0EXP-2025", 14), CodePageUTF8, QByteArray("LOT-7\0EXP-2025", 14)},
        {QString(QChar(0)), CodePageUTF8, QByteArray(1, '\0')},
    };
    for (const auto& c : cases) {
        for (const int level : {0, 1, 2, 3}) {
            f.s.m_nCodePage = c.codePage;
            f.s.m_nECLevel = level;
            f.Encode(c.content);
            const std::optional<QByteArray> read = DecodeWithZXing(RenderBarcode(*f.impl, 300, 2), ZXing::BarcodeFormat::QRCode);
            EXPECT_EQ(read.value_or("(nothing read)"), c.bytes) << c.content.toStdString() << " level " << level;
        }
    }
    // A sweep of lengths up to large versions.
    f.s.m_nCodePage = CodePageUTF8;
    f.s.m_nECLevel = 1;
    f.s.m_fModuleWidthX = 10.0f;
    for (const int length : {1, 17, 50, 130, 400, 1200}) {
        QString content;
        for (int i = 0; i < length; ++i)
            content.append(QChar(u"0123456789abcdefABCDEF-+中"[(i * 7) % 25]));
        f.Encode(content);
        const std::optional<QByteArray> read = DecodeWithZXing(RenderBarcode(*f.impl, 300, 2), ZXing::BarcodeFormat::QRCode);
        EXPECT_EQ(read.value_or("(nothing read)"), content.toUtf8()) << "length " << length << " version width "
                                                                  << f.qr.m_nModuleCount;
    }
}

TEST(QRCode, EmptyContentMakesNoSymbolAndNoError)
{
    QRFixture f;
    f.Encode(QString());
    EXPECT_EQ(f.qr.m_nModuleCount, 0);
    EXPECT_EQ(f.s.m_fWidth, 0.0f);
    f.Encode(QStringLiteral("abc"));
    EXPECT_EQ(f.qr.m_nModuleCount, 21);
    // The last symbol's size does not survive an empty content.
    f.Encode(QString());
    EXPECT_EQ(f.qr.m_nModuleCount, 0);
    EXPECT_TRUE(f.qr.m_grid.empty());
    EXPECT_EQ(f.s.m_fWidth, 0.0f);
    EXPECT_EQ(f.s.m_fHeight, 0.0f);
    // Nothing is drawn in the object's box, not even an opaque background.
    f.s.m_fWidth = f.s.m_fHeight = 10.0f;
    f.s.m_crBackground = 0xFF000000u;
    const QImage image = RenderBarcode(*f.impl, 100, 1);
    EXPECT_EQ(image.convertToFormat(QImage::Format_Grayscale8).pixelColor(image.rect().center()), QColor(Qt::white));
}

TEST(QRCode, ContentNoVersionCanHoldIsReportedNotDrawnEmpty)
{
    QRFixture f;
    // A fixed version is where the library starts: it grows the symbol to hold the data.
    f.s.m_nVersion = 1;
    f.Encode(QString(40, QLatin1Char('x')));
    EXPECT_EQ(f.qr.m_nModuleCount, 29);

    f.s.m_nVersion = 0;
    f.s.m_strContent = QString(3000, QLatin1Char('x'));  // more than version 40 holds at M
    EXPECT_EQ(EncodeError(*f.impl), kQRCodeTooMuchData);
    // The state stays as without a report: light grid, count of the last symbol.
    EXPECT_EQ(f.qr.m_nModuleCount, 29);
    EXPECT_TRUE(std::all_of(f.qr.m_grid.begin(), f.qr.m_grid.end(), [](uint8_t m) { return m == 0; }));
    const std::unique_ptr<CBarcodeImpl> copy = f.impl->Clone();
    const auto& qrCopy = static_cast<const CBarcodeImpl_QRCode&>(*copy);
    EXPECT_EQ(qrCopy.m_nModuleCount, 29);
    EXPECT_EQ(qrCopy.m_grid, f.qr.m_grid);

    f.s.m_nVersion = 41;
    f.s.m_strContent = QStringLiteral("abc");
    EXPECT_EQ(EncodeError(*f.impl), kQRCodeBadVersion);
}

TEST(QRCode, CopyDrawsTheSameModulesIndependently)
{
    QRFixture f;
    f.s.m_fModuleWidthX = 20.0f;
    f.Encode(QStringLiteral("copy me"));
    const std::unique_ptr<CBarcodeImpl> copy = f.impl->Clone();
    const QImage a = RenderBarcode(*f.impl, 200, 1);
    const QImage b = RenderBarcode(*copy, 200, 1);
    EXPECT_EQ(a, b);
    f.Encode(QStringLiteral("changed"));
    EXPECT_NE(static_cast<const CBarcodeImpl_QRCode&>(*copy).m_grid, f.qr.m_grid);
    EXPECT_EQ(copy->GetSettings()->m_strContent, QStringLiteral("copy me"));
}

TEST(QRCode, RotatedSymbolTurnsAboutItsAnchorPoint)
{
    QRFixture f;
    f.s.m_fModuleWidthX = 20.0f;  // 0.508 mm modules
    f.Encode(QStringLiteral("turn"));
    const float side = f.s.m_fWidth;
    // 90 degrees about the top-left corner: the symbol swings to the left of x.
    QImage image = MakeCanvas(2 * side + 4, side + 4, 300);
    f.s.m_fX = side + 2;
    f.s.m_fY = 2;
    f.s.m_fAngle = 90.0f;
    f.s.m_nAnchor = 0;
    {
        QPainter p(&image);
        SetMillimetreWorld(p, 300, 300);
        f.impl->Draw(p);
    }
    // The finder pattern of the top-left corner lands at the top-right of the swung box.
    EXPECT_TRUE(IsDarkAt(image, side + 2 - 0.25, 2.25, 300));
    EXPECT_FALSE(IsDarkAt(image, side + 2 + 0.25, 2.25, 300));
    EXPECT_TRUE(IsDarkAt(image, 2 + 0.25, 2.25, 300));  // the top-right finder, turned
    EXPECT_EQ(DecodeWithZXing(image, ZXing::BarcodeFormat::QRCode).value_or("(nothing)"), QByteArray("turn"));
}
