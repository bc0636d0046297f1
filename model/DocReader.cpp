#include "model/DocReader.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/DataSourceSection.h"
#include "model/DocFormat.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/SDGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/Archive.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/InputLimits.h"
#include "platform/VXException.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>
#include <type_traits>


namespace {

[[noreturn]] void ThrowUnknown(const char* what, int64_t code)
{
    throw CArchiveException(QStringLiteral("The file holds an unknown %1 (%2).").arg(QLatin1String(what)).arg(code));
}

// A linked picture: only a regular file within the picture bound is read, so a path
// naming a device, a pipe or an endless /proc file cannot stall opening a label.
std::unique_ptr<ImageHolder> LoadLinkedPicture(const QString& path)
{
    auto image = std::make_unique<ImageHolder>(ImageHolder::FromFile(path));
    if (image->IsEmpty())
        return nullptr;
    return image;
}

// A file whose counts and sizes pass every check can still ask for more memory than
// there is; that is a file this program cannot read, said as such.
template <class Read> void ThrowOutOfMemoryAsArchiveError(Read read)
{
    try {
        read();
    } catch (const std::bad_alloc&) {
        throw CArchiveTooLargeException(QStringLiteral("The file is too large to be read into memory."));
    }
}

// A label ends with its last record: bytes after it mean the counts read earlier
// were not the ones written (a damaged copy may read as a label with no objects),
// so opening it would show, and a save would keep, something else than was saved.
void ExpectEnd(const CArchiveReader& ar)
{
    if (!ar.AtEnd())
        throw CArchiveException(QStringLiteral("The file holds %1 bytes after its last record.").arg(ar.BytesLeft()));
}

CLabelData& Label(CDocReader& reader)
{
    Q_ASSERT(reader.m_pLabelData);
    return *reader.m_pLabelData;
}

// Walks a record's fields as the file holds them and brings each into the range the
// program can draw and print: a number that is not finite means a damaged file, a
// number beyond its bound is moved to it, a code that names none of its field's
// choices becomes one, a text is held to the length of a typed one. The reader counts
// what changed, for one warning at the end.
class FieldBounds
{
public:
    static constexpr bool kLoading = false;
    explicit FieldBounds(CDocReader& reader) : m_reader(reader) {}

    template <typename T> void operator()(T& v)
    {
        if constexpr (std::is_floating_point_v<T>)
            Number(v, -kMaxLabelLengthMm, kMaxLabelLengthMm);
        else if constexpr (std::is_same_v<T, QString>)
            Text(v);
    }
    void operator()(Colour) {}

    template <typename T> void Number(T& v, float low, float high)
    {
        if (!std::isfinite(v))
            throw CArchiveException(QStringLiteral("The file holds a number that is not finite."));
        Adjust(v, T(low), T(high));
    }
    void Count(int32_t& v, int32_t low, int32_t high) { Adjust(v, low, high); }
    // A code outside the field's choices becomes `otherwise`: the choice the program
    // already treats every other code as where there is one, else the field's
    // default. The dialogs then show what is drawn, and a save stores a known code.
    void Choice(int32_t& v, std::initializer_list<int32_t> known, int32_t otherwise)
    {
        if (std::find(known.begin(), known.end(), v) != known.end())
            return;
        v = otherwise;
        ++m_reader.m_nNumbersBounded;
    }
    void Choice(int32_t& v, int32_t last, int32_t otherwise)
    {
        if (v < 0 || v > last) {
            v = otherwise;
            ++m_reader.m_nNumbersBounded;
        }
    }
    void Text(QString& text)
    {
        if (text.size() <= kMaxValueLength)
            return;
        // A pair of surrogates is kept whole or not at all.
        text.truncate(text.at(kMaxValueLength - 1).isHighSurrogate() ? kMaxValueLength - 1 : kMaxValueLength);
        ++m_reader.m_nTextsShortened;
    }

private:
    template <typename T> void Adjust(T& v, T low, T high)
    {
        const T bounded = std::clamp(v, low, high);
        if (bounded != v) {
            v = bounded;
            ++m_reader.m_nNumbersBounded;
        }
    }

    CDocReader& m_reader;
};

void BoundLabelSettings(CDocReader& reader, CLabelData& label)
{
    FieldBounds bound(reader);
    TransferLabelSettingsHead(bound, label);
    TransferLabelSettingsTail(bound, label);
    for (float* size : {&label.m_fPaperWidth, &label.m_fPaperHeight, &label.m_fLabelWidth, &label.m_fLabelHeight})
        bound.Number(*size, 0.0f, kMaxLabelLengthMm);
    // No rows or columns is what a page too small for its label counts, shown as such.
    bound.Count(label.m_nRows, 0, kMaxLabelsAcross);
    bound.Count(label.m_nColumns, 0, kMaxLabelsAcross);
    bound.Count(label.m_nPrintCount, 1, kMaxLabelCopies);
    bound.Count(label.m_nCopies, 1, kMaxLabelCopies);
    bound.Count(label.m_nPreloadPages, 1, kMaxPreloadPages);
    bound.Count(label.m_nResolution, -1, kMaxPrinterDpi);

    bound.Choice(label.m_nPrinterType, 1, 1); // any but 0 prints as a label printer
    bound.Choice(label.m_nShape, ShapeEllipse, ShapeRectangle); // drawn as a rectangle
    bound.Choice(label.m_nStartCorner, CornerBottomRight, CornerBottomRight);
    bound.Choice(label.m_nFillDirection, FillVertical, FillVertical); // any but 0 fills by columns
    bound.Choice(label.m_nCutMarks, 3, 0);
    bound.Choice(label.m_nHeaderPosition, 1, 1); // any but 0 at the bottom
    bound.Choice(label.m_nHeaderAlign, 3, 0);    // placed at the margin
    bound.Choice(label.m_nHeaderKind, 2, 2);     // any but a text or an object: a file
    bound.Choice(label.m_nNumberPosition, 3, 0); // no other code places the number
    bound.Choice(label.m_nNumberAlign, 3, 0);
    bound.Choice(label.m_nNumberStyle, 1, 1); // any but 0 shows "- 1 -"
    bound.Choice(label.m_nNumberRange, 1, 0);
    bound.Choice(label.m_nBackgroundSource, 2, 0);
    bound.Choice(label.m_nImagePlacement, 3, 3); // the label's box, as stretched
    bound.Choice(label.m_nCopyMode, 1, 1);       // any but 0 counts copies from a field
}

void BoundBands(CDocReader& reader, DataBandList& bands)
{
    FieldBounds bound(reader);
    for (auto& band : bands) {
        TransferDataBand(bound, *band);
        bound.Choice(band->m_nKind,
                     {BandConstant, BandDate, BandTime, BandSerial, BandDatabase, BandWindowData, BandItemValue,
                      BandNamedSubstring},
                     BandConstant);
        bound.Choice(band->m_nSerialBase,
                     {SerialDecimal, SerialHex, SerialLetters, SerialBase36, SerialNoIOLQ, SerialNoIOQU, SerialNoIO,
                      SerialCustomAlphabet},
                     SerialDecimal);
        bound.Choice(band->m_nChineseMode, ChineseAmountSimple, ChineseNone);
    }
}

// What a data load does with every other code: sort descending, load every record,
// split a text line at commas.
void BoundDataSources(CDocReader& reader, CLabelData& label)
{
    FieldBounds bound(reader);
    for (auto& source : label.m_dataSources) {
        bound.Choice(source->m_nSortOrder, 1, 1);
        bound.Choice(source->m_nRangeMode, RangeSQL, RangeAll);
        if (auto* text = dynamic_cast<CTextDS*>(source.get()))
            bound.Choice(text->m_nSeparator, TextSeparatorCustom, TextSeparatorComma);
    }
}

// A symbology's own codes, each brought to what its encoder makes of any other (an
// automatic choice where there is one, else the default).
void BoundSymbologyChoices(FieldBounds& bound, CBarcodeSettings& settings)
{
    if (auto* code128 = dynamic_cast<CBarcodeSettings_Code128*>(&settings)) {
        bound.Choice(code128->m_nCodeSet, Code128SetAuto, Code128SetAuto);
    } else if (auto* eju = dynamic_cast<CBarcodeSettings_EJU*>(&settings)) {
        bound.Choice(eju->m_nAddonKind, AddonFiveDigits, AddonNone);
        bound.Choice(eju->m_nAddonStyle, 4, 0);
    } else if (auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&settings)) {
        bound.Choice(pdf->m_nECLevel, 9, 9); // 9 chooses the level
    } else if (auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&settings)) {
        bound.Choice(qr->m_nECLevel, 3, 0); // any other encodes as L
        bound.Choice(qr->m_nMode, {0, 1, 2, 3, 5}, 5); // shown as Auto
        bound.Choice(qr->m_nMask, {-1, 0, 1, 2, 3, 4, 5, 6, 7}, -1);
        bound.Choice(qr->m_nVersion, 40, 0); // 0 chooses the version
    } else if (auto* matrix = dynamic_cast<CBarcodeSettings_DataMatrix*>(&settings)) {
        bound.Choice(matrix->m_nEncodation, 5, 0); // any other encodes as ASCII
        bound.Choice(matrix->m_nSizeChoice, 32, 1); // any other: the automatic square
    }
}

// The rotation point: 8 names the centre, where every other code turns an object too.
constexpr int32_t kAnchorCentre = 8;

void BoundTextChoices(FieldBounds& bound, CTextGraph& text)
{
    bound.Choice(text.m_nLayoutMode, CurvedText, SingleLine);
    // A vertical text runs right to left for every code but 0, as its page stores 2.
    bound.Choice(text.m_nAlignment, 3, text.m_nLayoutMode == VertText ? 2 : 0);
    bound.Choice(text.m_nVertAlignment, 2, 0);
    bound.Choice(text.m_nLineSpacingChoice, 3, 0);
    bound.Choice(text.m_nSeparatorChoice, 3, 0);
    bound.Choice(text.m_nWrapDirection, 1, 1); // any but 0 counter-clockwise
    bound.Choice(text.m_nTextDirection, 1, 0);
}


void BoundObject(CDocReader& reader, CBaseGraph& object)
{
    FieldBounds bound(reader);
    TransferCommonObjectFields(bound, object);
    bound.Choice(object.m_nAnchor, kAnchorCentre, kAnchorCentre);
    if (auto* text = dynamic_cast<CTextGraph*>(&object)) {
        TransferTextFields(bound, *text);
        BoundTextChoices(bound, *text);
    } else if (auto* line = dynamic_cast<CLineGraph*>(&object)) {
        TransferLineFields(bound, *line);
        bound.Choice(line->m_nDashStyle, DashStyleDashDotDot, DashStyleSolid);
        bound.Choice(line->m_nLineEnd, 1, 0);
    } else if (auto* rectangle = dynamic_cast<CRectangleGraph*>(&object)) {
        bound(rectangle->m_fCornerRadius);
    } else if (auto* polygon = dynamic_cast<CPolygonGraph*>(&object)) {
        for (QPointF& point : polygon->m_points) {
            bound(point.rx());
            bound(point.ry());
        }
    } else if (auto* image = dynamic_cast<CImageGraph*>(&object)) {
        TransferImageFields(bound, *image);
        bound.Choice(image->m_nSourceKind, ImageDataSource, ImageEmbedded);
        bound.Choice(image->m_nSizeMode, ImageSizeFitBox, ImageSizeFitBox); // any other keeps the box
        bound.Choice(image->m_nErrorHandling, ImageErrorAbort, ImageErrorIgnore); // only 2 stops a job
    } else if (auto* barcode = dynamic_cast<CBarcodeGraph*>(&object); barcode && barcode->GetImpl()) {
        CBarcodeSettings& settings = *barcode->GetImpl()->GetSettings();
        TransferBarcodeSettings(bound, settings);
        TransferBarcodeBlockExtension(bound, settings);
        bound.Choice(settings.m_nAnchor, kAnchorCentre, kAnchorCentre);
        bound.Choice(settings.m_nTextAlign, 3, CBarcodeSettings().m_nTextAlign);
        bound.Choice(settings.m_nStartChar, 3, 3); // any but 0 to 2 is "D"
        bound.Choice(settings.m_nStopChar, 3, 3);
        bound.Choice(settings.m_nSeparator, SeparatorFixedGap, SeparatorSpace);
        BoundSymbologyChoices(bound, settings);
    }
    // Unknown dash styles draw solid.
    if (auto* shape = dynamic_cast<CFilledShapeGraph*>(&object))
        bound.Choice(shape->m_nDashStyle, DashStyleDashDotDot, DashStyleSolid);
    if (DataBandList* bands = ObjectBands(&object))
        BoundBands(reader, *bands);
}

void BoundFormItem(FieldBounds& bound, CSDGraph& item)
{
    TransferSDItemFields(bound, item);
    bound.Count(item.m_nX, -kMaxFormItemPixels, kMaxFormItemPixels);
    bound.Count(item.m_nY, -kMaxFormItemPixels, kMaxFormItemPixels);
    bound.Count(item.m_nWidth, 0, kMaxFormItemPixels);
    bound.Count(item.m_nHeight, 0, kMaxFormItemPixels);
    if (auto* combo = dynamic_cast<CComboSDGraph*>(&item)) {
        for (QString& entry : combo->m_entries)
            bound(entry);
    } else if (auto* date = dynamic_cast<CDateSDGraph*>(&item)) {
        bound(date->m_strExtra);
    }
}

// The end of a read says once per file what was brought into range.
void ReportBounds(CDocReader& reader)
{
    const QString file = QDir::toNativeSeparators(reader.m_strPath);
    if (reader.m_nNumbersBounded > 0)
        reader.AddWarning(QStringLiteral("文件“%1”中有 %2 个数值超出允许范围，已改为允许的值。")
                              .arg(file)
                              .arg(reader.m_nNumbersBounded));
    if (reader.m_nPicturesUnread > 0)
        reader.AddWarning(QStringLiteral("文件“%1”中有 %2 张图片无法读出或解码后大于 %3 MB，显示为占位图。")
                              .arg(file)
                              .arg(reader.m_nPicturesUnread)
                              .arg(kMaxPictureDecodedMiB));
    if (reader.m_nTextsShortened > 0)
        reader.AddWarning(QStringLiteral("文件“%1”中有 %2 段文字长于 %3 个字符，只保留了前 %3 个字符。")
                              .arg(file)
                              .arg(reader.m_nTextsShortened)
                              .arg(kMaxValueLength));
}

} // namespace

QByteArray ReadFileBytes(const QString& path)
{
    QString reason;
    std::optional<QByteArray> data = ReadRegularFile(path, kMaxLabelFileBytes, reason);
    // A file that reports no bytes (those under /proc among them) is read as empty, and
    // nothing empty is a label.
    if (data && data->isEmpty())
        reason = QStringLiteral("文件是空的");
    if (!data || data->isEmpty())
        throw CFileException(QStringLiteral("无法打开文件“%1”：%2。").arg(QDir::toNativeSeparators(path), reason));
    return std::move(*data);
}

void CDocReader::ReadHeader(CArchiveReader& ar)
{
    for (int i = 0; i < 4; ++i)
        ar.ReadU32();
}

std::unique_ptr<ImageHolder> CDocReader::ReadImage(CArchiveReader& ar, const QString&)
{
    const uint32_t size = ar.ReadU32();
    if (size > static_cast<uint64_t>(ar.BytesLeft()))
        throw CArchiveException(QStringLiteral("The file ends early or is damaged."));
    auto image = std::make_unique<ImageHolder>(ImageHolder::FromBytes(ar.ReadBytes(size)));
    CountUnreadPicture(image.get());
    return image;
}

void CDocReader::CountUnreadPicture(const ImageHolder* image)
{
    // Only the picture's header is read here; its pixels wait until it is drawn.
    if (image && !image->IsEmpty() && !image->IsDecoded())
        ++m_nPicturesUnread;
}

void CDocReaderV1_0::ReadDocument()
{
    ReadDocumentData(ReadFileBytes(m_strPath));
    Label(*this).m_strFilePath = m_strPath;
}

void CDocReaderV1_0::ReadObjects()
{
    ReadObjectsData(ReadFileBytes(m_strPath));
}

void CDocReaderV1_0::ReadDocumentData(const QByteArray& data)
{
    CLabelData& label = Label(*this);
    m_pCurObjects = &label.m_objects;
    ThrowOutOfMemoryAsArchiveError([&] {
        CArchiveReader ar(data);
        ReadHeader(ar);
        ar.ReadString(); // the version, checked by the loader
        ReadLabelSettings(ar, *this);
        ReadScreenDataForm(ar, *this);
        ReadExternalVariables(ar, *this);
        ReadDocumentBands(ar, *this);
        ReadScriptTexts(ar, *this);
        ReadDataSources(ar, label);
        BoundDataSources(*this, label);
        ReadObjectList(ar, *this);
        ExpectEnd(ar);
    });
    ReportBounds(*this);
}

void CDocReaderV1_0::ReadObjectsData(const QByteArray& data)
{
    Q_ASSERT(m_pObjects);
    // The caller's list gets the objects only when the whole file has been read.
    ObjectList read;
    m_pCurObjects = &read;
    ThrowOutOfMemoryAsArchiveError([&] {
        CArchiveReader ar(data);
        ReadHeader(ar);
        ar.ReadString();
        ReadObjectList(ar, *this);
        ExpectEnd(ar);
    });
    ReportBounds(*this);
    m_pCurObjects = m_pObjects;
    for (auto& object : read)
        m_pObjects->push_back(std::move(object));
}

void ReadLabelSettings(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    TransferLabelSettingsHead(in, label);
    label.m_pImage.reset();
    if (ar.ReadBool()) {
        label.m_pImage = reader.ReadImage(ar, label.m_strImageMimeType);
    } else if (label.m_nBackgroundSource == 2) {
        label.m_pImage = LoadLinkedPicture(label.m_strImagePath);
        reader.CountUnreadPicture(label.m_pImage.get());
    }
    TransferLabelSettingsTail(in, label);
    BoundLabelSettings(reader, label);
}

void ReadScreenDataForm(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    in(label.m_strFormCaption);
    in(label.m_nFormWidth);
    in(label.m_nFormHeight);
    FieldBounds bound(reader);
    bound(label.m_strFormCaption);
    bound.Count(label.m_nFormWidth, 1, kMaxFormSize);
    bound.Count(label.m_nFormHeight, 1, kMaxFormSize);
    // The kind and the common part take at least 45 bytes.
    const uint32_t count = ar.ReadCount(45);
    label.m_formItems.reserve(label.m_formItems.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t kind = ar.ReadI32();
        std::unique_ptr<CSDGraph> item = CreateSDGraph(kind);
        if (!item)
            ThrowUnknown("form item kind", kind);
        TransferSDItemFields(in, *item);
        if (auto* edit = dynamic_cast<CEditSDGraph*>(item.get())) {
            in(edit->m_bMultiLine);
        } else if (auto* combo = dynamic_cast<CComboSDGraph*>(item.get())) {
            in(combo->m_nListValue1);
            in(combo->m_nListValue2);
            const uint32_t entries = ar.ReadCount(kMinStringBytes);
            combo->m_entries.reserve(combo->m_entries.size() + entries);
            for (uint32_t e = 0; e < entries; ++e)
                combo->m_entries.append(ar.ReadString());
        } else if (auto* date = dynamic_cast<CDateSDGraph*>(item.get())) {
            in(date->m_strExtra);
        }
        BoundFormItem(bound, *item);
        label.m_formItems.push_back(std::move(item));
    }
}

void ReadExternalVariables(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    const uint32_t count = ar.ReadCount(3 * kMinStringBytes);
    label.m_externalVariables.reserve(label.m_externalVariables.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        auto variable = std::make_unique<CExternalVariable>();
        TransferExternalVariable(in, *variable);
        FieldBounds bound(reader);
        TransferExternalVariable(bound, *variable);
        label.m_externalVariables.push_back(std::move(variable));
    }
}

void ReadDocumentBands(CArchiveReader& ar, CDocReader& reader)
{
    DataBandList& substrings = Label(reader).m_namedSubstrings;
    ReadDataBandList(ar, substrings);
    BoundBands(reader, substrings);
}

void ReadScriptTexts(CArchiveReader& ar, CDocReader& reader)
{
    for (QString& text : Label(reader).m_strScripts)
        text = ar.ReadString();
}

void ReadDataBandList(CArchiveReader& ar, DataBandList& bands)
{
    FieldIn in(ar);
    const uint32_t count = ar.ReadCount(kMinBandBytes);
    bands.reserve(bands.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        auto band = std::make_unique<CDataBand>();
        TransferDataBand(in, *band);
        bands.push_back(std::move(band));
    }
}

void ReadBarcodeSettings(CArchiveReader& ar, CBarcodeSettings& settings)
{
    FieldIn in(ar);
    TransferBarcodeSettings(in, settings);
    ReadDataBandList(ar, settings.m_bandList);
    TransferBarcodeBlockExtension(in, settings);
}

namespace {

template <class T> std::unique_ptr<T> ReadObjectHead(FieldIn& in)
{
    auto object = std::make_unique<T>();
    TransferCommonObjectFields(in, *object);
    return object;
}

std::unique_ptr<CBaseGraph> ReadBarcodeObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CBarcodeGraph>(in);
    const int32_t code = ar.ReadI32();
    try {
        object->m_pBarcodeImpl = CreateBarcodeImpl(code);
    } catch (const CBarcodeException&) {
        ThrowUnknown("barcode symbology", code);
    }
    ReadBarcodeSettings(ar, *object->m_pBarcodeImpl->GetSettings());
    return object;
}

// Content that no longer encodes (a changed rule, a damaged field) costs the bars of
// this one barcode, not the file.
void EncodeReadBarcode(CBarcodeGraph& object, CDocReader& reader)
{
    CBarcodeImpl& impl = *object.m_pBarcodeImpl;
    try {
        impl.Encode();
        impl.BuildBars();
        impl.BuildBarsFromText();
    } catch (const CBarcodeException& e) {
        impl.GetData()->ClearBars();
        reader.AddWarning(QStringLiteral("%1: %2").arg(ShortenedText(object.m_strName, kShownTextLength), e.GetMessage()));
    }
}

std::unique_ptr<CBaseGraph> ReadTextObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CTextGraph>(in);
    TransferTextFields(in, *object);
    ReadDataBandList(ar, object->m_bands);
    return object;
}

std::unique_ptr<CBaseGraph> ReadLineObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CLineGraph>(in);
    TransferLineFields(in, *object);
    return object;
}

std::unique_ptr<CBaseGraph> ReadRectangleObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CRectangleGraph>(in);
    in(object->m_fCornerRadius);
    TransferFillBlock(in, *object);
    return object;
}

std::unique_ptr<CBaseGraph> ReadEllipseObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CEllipseGraph>(in);
    TransferFillBlock(in, *object);
    return object;
}

std::unique_ptr<CBaseGraph> ReadPolygonObject(CArchiveReader& ar)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CPolygonGraph>(in);
    const uint32_t count = ar.ReadCount(8);
    object->m_points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const float x = ar.ReadF32();
        const float y = ar.ReadF32();
        object->m_points.emplace_back(x, y);
    }
    TransferFillBlock(in, *object);
    return object;
}

std::unique_ptr<CBaseGraph> ReadImageObject(CArchiveReader& ar, CDocReader& reader)
{
    FieldIn in(ar);
    auto object = ReadObjectHead<CImageGraph>(in);
    TransferImageFields(in, *object);
    if (ar.ReadBool()) {
        object->m_pImage = reader.ReadImage(ar, object->m_strMimeType);
    } else if (object->m_nSourceKind == ImageLinked) {
        object->m_pImage = LoadLinkedPicture(object->m_strFileName);
        reader.CountUnreadPicture(object->m_pImage.get());
    }
    if (!object->m_pImage)
        object->m_pImage = std::make_unique<ImageHolder>(ImageHolder::Placeholder());
    return object;
}

} // namespace

void ReadObjectList(CArchiveReader& ar, CDocReader& reader)
{
    ObjectList& objects = *reader.m_pCurObjects;
    const uint32_t count = ar.ReadCount(kMinObjectBytes);
    objects.reserve(objects.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t kind = ar.ReadI32();
        std::unique_ptr<CBaseGraph> object;
        switch (kind) {
        case KindBarcode:
            object = ReadBarcodeObject(ar);
            break;
        case KindText:
            object = ReadTextObject(ar);
            break;
        case KindLine:
            object = ReadLineObject(ar);
            break;
        case KindRectangle:
            object = ReadRectangleObject(ar);
            break;
        case KindEllipse:
            object = ReadEllipseObject(ar);
            break;
        case KindPolygon:
            object = ReadPolygonObject(ar);
            break;
        case KindImage:
            object = ReadImageObject(ar, reader);
            break;
        default:
            // Nothing tells how long a record of an unknown kind is.
            ThrowUnknown("object kind", kind);
        }
        BoundObject(reader, *object);
        if (kind == KindBarcode)
            EncodeReadBarcode(static_cast<CBarcodeGraph&>(*object), reader);
        objects.push_back(std::move(object));
    }
}
