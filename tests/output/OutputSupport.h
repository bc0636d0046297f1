#pragma once

#include "model/DLBase.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"

#include <QImage>
#include <QStringList>
#include <ZXing/BarcodeFormat.h>
#include <optional>
#include <memory>
#include <vector>

class CBarcodeGraph;
class CDSBase;
class CTextGraph;

// A label of rows x columns cells of 30 x 20 mm on a large page, without objects.
std::unique_ptr<CLabelData> MakeGridLabel(int rows, int columns);

std::unique_ptr<CDataBand> ConstantBand(const QString& text);
std::unique_ptr<CDataBand> SerialBand(int start, int step = 1);
std::unique_ptr<CDataBand> FieldBand(const QString& source, const QString& field);

// A text object with the given bands, added to the label.
CTextGraph& AddText(CLabelData& label, const QString& name, std::vector<std::unique_ptr<CDataBand>> bands);
// A Code 128 barcode whose content is a serial from start, added to the label.
CBarcodeGraph& AddSerialBarcode(CLabelData& label, const QString& name, int start, float x, float y);
// Encodes the barcode and gives its box the size the symbol takes, as the canvas does.
void EncodeToSize(CBarcodeGraph& barcode);
// A Code 128 barcode named B at (5, 5) with a fixed content, encoded as the canvas
// holds it.
CBarcodeGraph& AddEncodedBarcode(CLabelData& label, const QString& content);

// A data source whose rows are given here; counts its loads.
class FakeLoader : public CDLBase
{
public:
    explicit FakeLoader(std::vector<QStringList> rows, int* loads = nullptr) : m_data(std::move(rows)), m_loads(loads) {}
    int GetRecordCount() override { return static_cast<int>(m_data.size()); }
    bool LoadRows(int first, int last, LoaderRow& rows) override;

    std::vector<QStringList> m_data;
    int* m_loads;
    bool m_fail = false;
    QString m_failure = QStringLiteral("no such table"); // what a failed load says
};

// Adds a text data source with the given fields (the loader comes from the job's
// factory in tests that use FakeLoader).
CDSBase& AddSource(CLabelData& label, const QString& name, const QStringList& fields);
// A SQLite file's table of the same name, sorted by sortField.
CDSBase& AddSqliteSource(CLabelData& label, const QString& name, const QString& path, const QStringList& fields,
                         const QString& sortField);

// Generates page `page` in preview and returns, per label, its number and the text
// of its object named `object`.
struct PreviewCell
{
    int number;
    float x, y;
    QString text;
};
std::vector<PreviewCell> PreviewPage(CPrintHandler& job, int page, const QString& object = QStringLiteral("T"));

// The symbol of a format zxing-cpp finds in the picture: its bytes, nothing when none.
std::optional<QByteArray> ReadSymbol(const QImage& image, ZXing::BarcodeFormat format);
std::optional<QString> ReadCode128(const QImage& image);

// The streams of a PDF file (page contents, fonts) that are compressed, inflated, in
// the order the file holds them.
std::vector<QByteArray> InflatedPdfStreams(const QString& pdf);

// Prepares the job over the label and prints all its pages into the PDF file; the
// reason of a failure in *error.
PrintResult PrintAllToPdf(CPrintHandler& job, CLabelData& label, const QString& pdf, QString* error);

// The pages of a PDF file rasterised by pdftoppm at dpi, in order; a failure is
// reported to the running test and gives no pages.
std::vector<QImage> RasterisePdf(const QString& pdf, int dpi);

// The text of each page of a PDF file as pdftotext reads it, in order; a failure is
// reported to the running test and gives no pages.
QStringList PdfPageTexts(const QString& pdf);
