#include "OutputSupport.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/TextGraph.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <ZXing/ReadBarcode.h>
// ZXing's error macro would rewrite a member of the script host where both meet in one batch.
#undef FormatError
#include <gtest/gtest.h>

std::unique_ptr<CLabelData> MakeGridLabel(int rows, int columns)
{
    auto label = std::make_unique<CLabelData>();
    label->m_nRows = rows;
    label->m_nColumns = columns;
    label->m_fLabelWidth = 30.0f;
    label->m_fLabelHeight = 20.0f;
    label->m_fLeftMargin = 10.0f;
    label->m_fTopMargin = 10.0f;
    label->m_fHorzGap = 5.0f;
    label->m_fVertGap = 5.0f;
    label->m_nShape = ShapeRectangle;
    return label;
}

std::unique_ptr<CDataBand> ConstantBand(const QString& text)
{
    auto band = std::make_unique<CDataBand>();
    band->m_strValue = text;
    return band;
}

std::unique_ptr<CDataBand> SerialBand(int start, int step)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandSerial;
    band->m_strStartValue = QString::number(start);
    band->m_nSerialStep = step;
    return band;
}

std::unique_ptr<CDataBand> FieldBand(const QString& source, const QString& field)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDatabase;
    band->m_strDataSource = source;
    band->m_strFieldName = field;
    return band;
}

CTextGraph& AddText(CLabelData& label, const QString& name, std::vector<std::unique_ptr<CDataBand>> bands)
{
    auto text = std::make_unique<CTextGraph>();
    text->m_strName = name;
    text->m_bands = std::move(bands);
    text->m_fX = 1.0f;
    text->m_fY = 1.0f;
    CTextGraph& ref = *text;
    label.m_objects.push_back(std::move(text));
    return ref;
}

CBarcodeGraph& AddSerialBarcode(CLabelData& label, const QString& name, int start, float x, float y)
{
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_strName = name;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(SerialBand(start));
    barcode->m_fX = x;
    barcode->m_fY = y;
    CBarcodeGraph& ref = *barcode;
    label.m_objects.push_back(std::move(barcode));
    return ref;
}

CBarcodeGraph& AddEncodedBarcode(CLabelData& label, const QString& content)
{
    CBarcodeGraph& barcode = AddSerialBarcode(label, QStringLiteral("B"), 1, 5.0f, 5.0f);
    CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    settings.m_bandList.clear();
    settings.m_strContent = content;
    EncodeToSize(barcode);
    return barcode;
}

void EncodeToSize(CBarcodeGraph& barcode)
{
    CBarcodeImpl& impl = *barcode.GetImpl();
    impl.Encode();
    impl.BuildBars();
    impl.BuildBarsFromText();
    impl.CalcSize();
    barcode.m_fWidth = impl.GetSettings()->m_fWidth;
    barcode.m_fHeight = impl.GetSettings()->m_fHeight;
}

bool FakeLoader::LoadRows(int first, int last, LoaderRow& rows)
{
    if (m_loads)
        ++*m_loads;
    if (m_fail)
        return Fail(m_failure);
    const int columns = m_data.empty() ? 1 : static_cast<int>(m_data.front().size());
    rows.Reset(columns);
    for (int i = std::max(first, 1); i <= last && i <= static_cast<int>(m_data.size()); ++i)
        rows.AppendRow(m_data[i - 1]);
    return true;
}

std::vector<PreviewCell> PreviewPage(CPrintHandler& job, int page, const QString& object)
{
    GeneratedLabels items;
    job.DrawPreviewPage(items, page);
    std::vector<PreviewCell> cells;
    for (const auto& item : items) {
        PreviewCell cell{item->m_nLabelNumber, item->m_fX, item->m_fY, {}};
        for (const auto& o : item->m_objects) {
            if (o->m_strName != object)
                continue;
            if (o->GetKind() == KindBarcode)
                cell.text = static_cast<CBarcodeGraph&>(*o).GetImpl()->GetSettings()->m_strContent;
            else
                cell.text = o->m_strText;
        }
        cells.push_back(cell);
    }
    return cells;
}

std::optional<QByteArray> ReadSymbol(const QImage& image, ZXing::BarcodeFormat format)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                int(grey.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return std::nullopt;
    const ZXing::ByteArray& bytes = result.bytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::optional<QString> ReadCode128(const QImage& image)
{
    const auto bytes = ReadSymbol(image, ZXing::BarcodeFormat::Code128);
    return bytes ? std::optional<QString>(QString::fromLatin1(*bytes)) : std::nullopt;
}

std::vector<QByteArray> InflatedPdfStreams(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<QByteArray> streams;
    for (qsizetype at = bytes.indexOf("stream\n"); at >= 0; at = bytes.indexOf("stream\n", at)) {
        const qsizetype begin = at + 7;
        const qsizetype end = bytes.indexOf("endstream", begin);
        if (end < 0)
            break;
        // qUncompress wants the inflated size first; an upper bound does.
        QByteArray framed(4, '\0');
        qToBigEndian<quint32>(quint32(1) << 20, framed.data());
        framed += bytes.mid(begin, end - begin);
        if (QByteArray inflated = qUncompress(framed); !inflated.isEmpty())
            streams.push_back(std::move(inflated));
        at = end + 9;
    }
    return streams;
}

PrintResult PrintAllToPdf(CPrintHandler& job, CLabelData& label, const QString& pdf, QString* error)
{
    job.SetLabelData(&label);
    job.Prepare();
    auto target = CPrinterTarget::ForPdf(pdf);
    return RunPrintJob(job, *target, {1, job.GetPageCount(), 1, true}, nullptr, error);
}

std::vector<QImage> RasterisePdf(const QString& pdf, int dpi)
{
    QTemporaryDir dir;
    QProcess raster;
    raster.start("pdftoppm", {"-r", QString::number(dpi), "-png", pdf, dir.filePath("page")});
    if (!raster.waitForFinished(60000) || raster.exitCode() != 0) {
        ADD_FAILURE() << "pdftoppm failed: " << raster.readAllStandardError().toStdString();
        return {};
    }
    std::vector<QImage> pages;
    for (const QString& png : QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name))
        pages.emplace_back(dir.filePath(png));
    return pages;
}

QStringList PdfPageTexts(const QString& pdf)
{
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    if (!text.waitForFinished(60000) || text.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed: " << text.readAllStandardError().toStdString();
        return {};
    }
    // pdftotext ends every page with a form feed.
    QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}
