#pragma once

#include "output/JobFeedback.h"

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <functional>
#include <memory>

class CLabelData;
class CPrintHandler;
class QPrinter;

// Starts a painter on a device drawn in millimetres at dpi, anti-aliased: the set-up
// every picture of labels shares (image pages, exported pictures). False when the
// device cannot be painted on.
bool BeginMillimetrePainter(QPainter& painter, QPaintDevice& device, double dpi);

// The resolution the label's printer prints at, or -1 (exact millimetres) when the
// label names no printer or its resolution cannot be known here.
float LabelPrinterDpi(const CLabelData& label);

// Where printed pages go: a printer, a PDF file, images. Pages are drawn on the
// target's painter, whose world unit is the millimetre with the origin at the
// paper's corner.
class CPrintTarget
{
public:
    virtual ~CPrintTarget() = default;

    // Opens the document for the label's paper and orientation; false with
    // GetError() when that fails.
    virtual bool BeginDocument(const CLabelData& label, const QString& title) = 0;
    // The painter of a new page, null on failure.
    virtual QPainter* BeginPage() = 0;
    virtual bool EndPage() = 0;
    virtual bool EndDocument() = 0;
    // Drops the document; nothing more is output.
    virtual void Abort() = 0;
    // Where the painter's origin lies on the paper, in millimetres.
    virtual QPointF PhysicalOffsetMm() const { return {}; }
    // Dots per inch of what is output, once the document is open: 0 where the
    // device's pixels are the dots (a printer, an image), below 0 where there are
    // none (a PDF drawn exactly in millimetres).
    virtual float OutputDpi() const { return 0.0f; }

    QString GetError() const { return m_strError; }

protected:
    QString m_strError;
};

// A printer by name, or a PDF file, through QPrinter.
class CPrinterTarget : public CPrintTarget
{
public:
    static std::unique_ptr<CPrinterTarget> ForPrinter(const QString& printerName);
    static std::unique_ptr<CPrinterTarget> ForPdf(const QString& path);
    ~CPrinterTarget() override;

    bool BeginDocument(const CLabelData& label, const QString& title) override;
    QPainter* BeginPage() override;
    bool EndPage() override;
    bool EndDocument() override;
    void Abort() override;

    // A PDF file is drawn on the dots of the label's printer when it names one whose
    // resolution is known (its own setting, else the installed printer's), so that
    // the file prints as the printer would; otherwise exactly in millimetres.
    float OutputDpi() const override { return m_fOutputDpi; }

    QPrinter& Printer() { return *m_pPrinter; }

private:
    CPrinterTarget();

    std::unique_ptr<QPrinter> m_pPrinter;
    QString m_strPrinterName; // empty for PDF
    QString m_strPdfPath;     // empty for a printer
    float m_fOutputDpi = 0.0f;
    QPainter m_painter;
    bool m_bFirstPage = true;
};

// Every page as an image at a resolution, on white, handed to the sink as soon as it
// is drawn: only the page being drawn is held, however long the job.
class CImageTarget : public CPrintTarget
{
public:
    // Takes each finished page in print order; false when it could not keep it,
    // which fails the page.
    using PageSink = std::function<bool(const QImage& page)>;

    CImageTarget(double dpi, PageSink sink) : m_dDpi(dpi), m_sink(std::move(sink)) {}
    ~CImageTarget() override;

    bool BeginDocument(const CLabelData& label, const QString& title) override;
    QPainter* BeginPage() override;
    bool EndPage() override;
    bool EndDocument() override { return true; }
    void Abort() override;

private:
    double m_dDpi;
    PageSink m_sink;
    double m_dWidthMm = 0;
    double m_dHeightMm = 0;
    QPainter m_painter;
    QImage m_page;
};

struct PrintRange
{
    int startPage = 1;
    int pageCount = 1;
    int copies = 1;
    bool collate = true; // all copies of a page before the next page
};

enum class PrintResult { Success, Cancelled, Failed };

// Prints pages of a prepared job: sets the job's printer offsets and first printed
// page, then prints each page (copies together when collated, else the whole range
// once per copy). Pages past the highest page number there can be are not printed.
// Every failure is caught and returned as Failed with the message for the user in
// *error.
PrintResult RunPrintJob(CPrintHandler& job, CPrintTarget& target, const PrintRange& range,
                        IJobFeedback* feedback = nullptr, QString* error = nullptr);
