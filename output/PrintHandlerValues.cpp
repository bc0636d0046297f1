// Per-label values: every value of label n (the s-th of its page) comes from n, s
// and the page alone, never from the labels before it, so any page costs the same.

#include "output/PrintHandler.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QDateTime>

bool CPrintHandler::Draws(const CBaseGraph& object) const
{
    return m_nMode == ModePrint ? !object.m_bNotPrinted : !object.m_bHiddenInPreview;
}

QString CPrintHandler::DateTimeText(const CDataBand& band)
{
    // The start time is fixed for the job, so each kind, offset and format has one text.
    const QString key = QString::number(band.m_nKind) + u'\x1f' + QString::number(band.m_nDateTimeOffset) + u'\x1f'
                        + band.m_strDateTimeFormat;
    const auto found = m_dateTimeTexts.find(key);
    if (found != m_dateTimeTexts.end())
        return found->second;
    const QString text = FormatDateTime(band.m_strDateTimeFormat,
                                        band.OffsetTime(QDateTime::fromSecsSinceEpoch(m_tStartTime)));
    m_dateTimeTexts.emplace(key, text);
    return text;
}

QString CPrintHandler::BandValue(const CDataBand& band, int sequence, int labelNumber)
{
    QString raw;
    switch (band.m_nKind) {
    case BandConstant:
    case BandItemValue: raw = band.m_strValue; break;
    case BandDate:
    case BandTime: raw = DateTimeText(band); break;
    case BandSerial: raw = band.FormatSerial(band.GetSerialValue(labelNumber)); break;
    case BandDatabase: raw = FieldValue(band.m_strDataSource, band.m_strFieldName, sequence, labelNumber); break;
    case BandWindowData:
        for (const auto& tag : m_windowDataTags) {
            if (tag->m_pItem && tag->m_pItem->m_strName == band.m_strWindowItem) {
                raw = tag->m_strValue;
                break;
            }
        }
        break;
    case BandNamedSubstring:
        for (const auto& named : m_pLabelData->m_namedSubstrings) {
            if (named->m_strName == band.m_strRefBandName) {
                raw = named->m_strCurrentValue;
                break;
            }
        }
        break;
    default:
        // A kind this program does not know contributes nothing.
        return {};
    }
    return band.FormatValue(raw);
}

QString CPrintHandler::EvaluateBands(const std::vector<std::unique_ptr<CDataBand>>& bands, int sequence,
                                    int labelNumber)
{
    QString value;
    for (const auto& band : bands)
        AppendBandText(value, BandValue(*band, sequence, labelNumber));
    return value;
}

void CPrintHandler::EvaluateNamedSubstrings(int sequence, int labelNumber)
{
    for (const auto& named : m_pLabelData->m_namedSubstrings) {
        // Substrings of substrings are not followed, and kinds this program does not
        // know are not computed: both keep what they hold.
        switch (named->m_nKind) {
        case BandConstant:
        case BandDate:
        case BandTime:
        case BandSerial:
        case BandDatabase:
        case BandWindowData:
        case BandItemValue: named->m_strCurrentValue = BandValue(*named, sequence, labelNumber); break;
        default: break;
        }
    }
}

QString CPrintHandler::FieldValue(const QString& dataSource, const QString& field, int sequence, int labelNumber) const
{
    const CDatabaseDataLoad* load = nullptr;
    for (const auto& candidate : m_dataLoads) {
        if (candidate->m_strName.compare(dataSource, Qt::CaseInsensitive) == 0) {
            load = candidate.get();
            break;
        }
    }
    if (!load)
        return {};
    qint64 row = 0;
    if (m_bSeveralCopies) {
        row = RowOfLabel(labelNumber);
    } else {
        row = sequence - 1;
        if (m_pLabelData->m_nPreloadPages > 1)
            row += static_cast<qint64>(m_nCurrentPage - m_nFirstLoadedPage) * m_nLabelsPerPage;
    }
    if (row < 0 || row >= load->RowCount())
        return {};
    const int column = load->FieldIndex(field);
    return column < 0 ? QString() : load->m_rows.Value(static_cast<int>(row), column);
}

void CPrintHandler::GenerateObjectValues(int sequence, int labelNumber)
{
    for (const auto& object : m_pLabelData->m_objects)
        GenerateObjectValue(*object, sequence, labelNumber);
}

void CPrintHandler::GenerateRowValues(const std::vector<CBaseGraph*>& objects, int row)
{
    // The row's place among the loaded rows is its sequence on a page of all of them.
    const int s = row - m_nFirstRow + 1;
    EvaluateNamedSubstrings(s, row);
    for (CBaseGraph* object : objects)
        GenerateObjectValue(*object, s, row);
}

void CPrintHandler::GenerateObjectValue(CBaseGraph& object, int sequence, int labelNumber)
{
    if (!Draws(object))
        return;
    switch (object.GetKind()) {
    case KindText: {
        auto& text = static_cast<CTextGraph&>(object);
        // An object without bands keeps the text it was drawn with.
        if (!text.m_bands.empty())
            text.m_strText = EvaluateBands(text.m_bands, sequence, labelNumber);
        break;
    }
    case KindBarcode: {
        auto& barcode = static_cast<CBarcodeGraph&>(object);
        const CBarcodeImpl* impl = barcode.GetImpl();
        if (!impl || !impl->GetSettings())
            break;
        const auto& bands = impl->GetSettings()->m_bandList;
        UpdateBarcode(barcode, bands.empty() ? impl->GetSettings()->m_strContent
                                             : EvaluateBands(bands, sequence, labelNumber));
        break;
    }
    case KindImage: {
        auto& image = static_cast<CImageGraph&>(object);
        if (image.m_nSourceKind == ImageDataSource)
            UpdateDatabaseImage(image, sequence, labelNumber);
        break;
    }
    default: break;
    }
}

void CPrintHandler::UpdateBarcode(CBarcodeGraph& barcode, const QString& content)
{
    CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    const auto known = m_encodedContent.find(&barcode);
    // The first label of the job encodes too: the bars the object came with may
    // belong to another content. A script may have encoded another content since.
    if (known != m_encodedContent.end() && known->second == content && settings.m_strContent == content)
        return;
    m_encodedContent.erase(&barcode);
    EncodeBarcode(barcode, content);
    m_encodedContent[&barcode] = content;
}

void EncodeBarcode(CBarcodeGraph& barcode, const QString& content)
{
    CBarcodeImpl& impl = *barcode.GetImpl();
    CBarcodeSettings& settings = *impl.GetSettings();
    settings.m_strContent = content;
    QString reason;
    try {
        impl.Encode();
        impl.BuildBars();
        impl.BuildBarsFromText();
        impl.CalcSize();
    } catch (const VXException& e) {
        reason = e.GetMessage();
    }
    // An empty value has no symbol to print, which is no failure.
    if (reason.isEmpty() && settings.m_fWidth <= 0.0f && !content.isEmpty())
        reason = QStringLiteral("无法生成条码");
    if (!reason.isEmpty())
        throw CBarcodeException(QStringLiteral("条码“%1”无法编码“%2”：%3")
                                    .arg(ShortenedText(barcode.m_strName, kShownTextLength),
                                         ShortenedText(content, kShownTextLength), reason));
    barcode.m_fWidth = settings.m_fWidth;
    barcode.m_fHeight = settings.m_fHeight;
}

void CPrintHandler::UpdateDatabaseImage(CImageGraph& image, int sequence, int labelNumber)
{
    const QString path = image.m_strPrefix
                         + FieldValue(image.m_strDataSource, image.m_strFieldName, sequence, labelNumber)
                         + image.m_strSuffix;
    const auto known = m_loadedImagePath.find(&image);
    if (known != m_loadedImagePath.end() && known->second == path)
        return;
    image.m_pImage.reset();
    m_loadedImagePath[&image] = path;
    if (FileExists(path)) {
        auto holder = std::make_unique<ImageHolder>(ImageHolder::FromFile(path));
        if (holder->IsDecoded())
            image.m_pImage = std::move(holder);
    }
    if (!image.m_pImage && image.m_nErrorHandling == ImageErrorAbort) {
        m_loadedImagePath.erase(&image);
        throw VXException(QStringLiteral("无法载入图片“%1”的文件“%2”。").arg(image.m_strName, path));
    }
}
