// Arbitrary content and options for every symbology the engine builds: the engine
// may only ever throw its typed error, and whatever it draws must stay in its box.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/DataMatrix.h"
#include "barcode/Pdf417Encoder.h"
#include "barcode/QRCode.h"
#include "platform/Drawing.h"
#include "platform/VXException.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Reads option values off the front of the input; zero once it runs out.
class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    int32_t Int()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | Byte();
        return int32_t(v);
    }
    // A float within [lo, hi]: the engine's units, not Qt's limits, are under test.
    float Range(float lo, float hi) { return lo + (hi - lo) * float(Byte()) / 255.0f; }
    QString Rest()
    {
        QString text;
        for (; m_pos + 1 < m_size; m_pos += 2)
            text += QChar(char16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8)));
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

std::vector<int32_t> BuiltCodes()
{
    std::vector<int32_t> codes;
    for (const SymbologyInfo& row : GetSymbologyTable())
        if (row.IsBuilt())
            codes.push_back(row.code);
    return codes;
}

// The 2-D symbols' own parts agree with each other and stay within the standards' sizes.
bool Consistent2D(const CBarcodeImpl& impl)
{
    if (const auto* qr = dynamic_cast<const CBarcodeImpl_QRCode*>(&impl))
        return qr->m_nModuleCount <= 177 && qr->m_grid.size() == size_t(qr->m_nModuleCount) * size_t(qr->m_nModuleCount);
    if (const auto* dm = dynamic_cast<const CBarcodeImpl_DataMatrix*>(&impl))
        return dm->m_nRows <= 144 && dm->m_nColumns <= 144 && dm->m_grid.size() == size_t(dm->m_nRows) * size_t(dm->m_nColumns);
    if (const auto* d = dynamic_cast<const CBarcodeData_PDF417*>(impl.GetData()))
        return d->m_nRows >= 3 && d->m_nRows <= kPdf417MaxRows && d->m_nColumns >= 1 && d->m_nColumns <= kPdf417MaxColumns
               && d->m_nRows * d->m_nColumns <= kPdf417MaxCodewords
               && d->m_arrAllCodewords.size() == size_t(d->m_nRows) * size_t(d->m_nColumns)
               && d->m_arrPatternMatrix.size() == size_t(d->m_nRows) * size_t(Pdf417MatrixWidth(*d));
    return true;
}

} // namespace

// Fontconfig keeps what it learns about fonts for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<int32_t> codes = BuiltCodes();
    Reader in(data, size);
    const int32_t code = codes[in.Byte() % codes.size()];
    try {
        std::unique_ptr<CBarcodeImpl> impl = CreateBarcodeImpl(code);
        CBarcodeSettings& s = *impl->GetSettings();
        if (auto* c128 = dynamic_cast<CBarcodeSettings_Code128*>(&s))
            c128->m_nCodeSet = in.Int();
        if (auto* gs1 = dynamic_cast<CBarcodeSettings_EAN128*>(&s))
            gs1->m_bHideParentheses = in.Byte() & 1;
        if (auto* eju = dynamic_cast<CBarcodeSettings_EJU*>(&s)) {
            // Stored values outside the dialog's ranges included: a label file may hold any.
            eju->m_nAddonKind = int8_t(in.Byte());
            eju->m_nAddonStyle = int8_t(in.Byte());
            eju->m_nAddonGap = int8_t(in.Byte());
        }
        constexpr int32_t kCodePages[] = {0, 936, 950, 65001, 1252};
        if (auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&s)) {
            pdf->m_nECLevel = int8_t(in.Byte());
            pdf->m_nRows = int8_t(in.Byte());
            pdf->m_nColumns = int8_t(in.Byte());
            pdf->m_nRowColumnLimit = int8_t(in.Byte());
            pdf->m_nRowHeightRatio = int8_t(in.Byte());
            pdf->m_nCodePage = kCodePages[in.Byte() % 5];
            pdf->m_bTruncated = in.Byte() & 1;
            pdf->m_fQuietZone = in.Range(0.0f, 3.0f);
        }
        if (auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&s)) {
            qr->m_nECLevel = int8_t(in.Byte());
            qr->m_nVersion = int8_t(in.Byte());
            qr->m_nCodePage = kCodePages[in.Byte() % 5];
        }
        if (auto* dm = dynamic_cast<CBarcodeSettings_DataMatrix*>(&s)) {
            dm->m_nEncodation = int8_t(in.Byte());
            dm->m_nSizeChoice = int8_t(in.Byte());
        }
        s.m_nStartChar = int8_t(in.Byte());
        s.m_nStopChar = int8_t(in.Byte());
        s.m_bAddCheckDigit = in.Byte() & 1;
        s.m_bShowText = in.Byte() & 1;
        s.m_bTextAbove = in.Byte() & 1;
        s.m_bGrouping = in.Byte() & 1;
        s.m_nSeparator = int8_t(in.Byte());
        s.m_nTextAlign = int8_t(in.Byte());
        s.m_nAnchor = int8_t(in.Byte());
        s.m_fAngle = in.Range(-360.0f, 360.0f);
        s.m_fModuleWidth = in.Range(1.0f, 40.0f);
        s.m_fRatio = in.Range(1.0f, 4.0f);
        s.m_fBarHeight = in.Range(0.0f, 30.0f);
        s.m_fFontSize = in.Range(1.0f, 24.0f);
        s.m_fTextGap = in.Range(-2.0f, 5.0f);
        s.m_fCharSpacing = in.Range(-1.0f, 3.0f);
        s.m_fGroupGap = in.Range(0.0f, 5.0f);
        s.m_fLeftBlank = in.Range(-5.0f, 20.0f);
        s.m_strSeparator = QString(QChar(char16_t(in.Int())));
        s.m_strGroupRule = QString::number(in.Byte() % 8) + QLatin1Char(',') + QString::number(int8_t(in.Byte()));
        s.m_strContent = in.Rest();

        impl->Encode();
        impl->BuildBars();
        impl->BuildBarsFromText();
        impl->CalcSize();
        if (!Consistent2D(*impl))
            std::abort();
        const CBarcodeData& bars = *impl->GetData();
        if (bars.m_arrX.size() != bars.m_arrWidth.size())
            std::abort();
        for (size_t i = 0; i < bars.m_arrX.size(); ++i) {
            if (bars.m_arrX[i] < 0 || bars.m_arrWidth[i] <= 0 || bars.m_arrX[i] + bars.m_arrWidth[i] > s.m_fWidth + 1e-3f)
                std::abort();
        }
        (void)FormatGroupedText(s, s.m_strDisplayText);

        QImage image = MakeImageAtDpi(60, 40, 48);
        QPainter painter(&image);
        SetMillimetreWorld(painter, 48, 48);
        impl->Draw(painter);
        painter.end();

        auto copy = impl->Clone();
        copy->Resize(s.m_fWidth * 1.3f, s.m_fHeight * 0.7f);
        if (copy->GetSettings()->m_fModuleWidth > s.m_fModuleWidth * 1.3f + 1e-3f)
            std::abort();
    } catch (const CBarcodeException&) {
    }
    return 0;
}
