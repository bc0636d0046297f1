#pragma once

#include "output/JobFeedback.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CBaseGraph;
class CDLBase;
class CDSBase;
class CLabelData;
class QPainter;

// Exports the objects selected on the canvas as pictures: once (a file or an image
// for the clipboard) or once per data row. Headless: the dialogs fill the options and
// call in; putting an image on the clipboard is the caller's.

enum class ExportResult { Success, Cancelled, FileError };

// The margin around the selected objects in every exported picture.
constexpr float kExportMarginMm = 1.0f;

class CExporter
{
public:
    enum Destination { DestinationClipboard = 0, DestinationFile = 1 };

    // The box of the objects that are printed, in millimetres, turned objects by their
    // turned corners. False (and an empty box) when no object counts.
    static bool GetBounds(const std::vector<CBaseGraph*>& selection, float* x, float* y, float* width, float* height);
    // The picture of the selection at dpi in a colour depth (ExportColourDepth): its
    // box plus the margin on each side, on white, resolution recorded. Null when no
    // object is printed.
    static QImage RenderImage(const std::vector<CBaseGraph*>& selection, int dpi, int colourDepth);

    // Writes the file (the clipboard destination writes nothing: the caller takes
    // RenderImage). Success only when the whole file was written; error says why not.
    ExportResult Export(const std::vector<CBaseGraph*>& selection, QString* error = nullptr) const;

    int m_nDestination = DestinationFile;
    QString m_strFilePath;
    int m_nColourDepth = 3;
    int m_nResolutionMode = 0; // the dialog's choice; the DPI below is what counts
    int m_nDpi = 300;
};

// One picture file per data row: the selected objects get each row's values (the
// print job's value generation: serials from the row number, fields from the row)
// and are written to folder/start name + name + extension, the name being the row
// number or the current object's value; a name a row before took gets _2, _3 ...,
// so no file of the run overwrites another.
class CBatchExporter
{
public:
    CBatchExporter();
    ~CBatchExporter();

    QString m_strFolder;
    QString m_strExtension = QStringLiteral(".bmp"); // with its dot
    QString m_strStartName;
    bool m_bNameAfterObject = false;
    int m_nFromRow = 1; // below 1 counts as 1
    int m_nToRow = 1;
    int m_nColourDepth = 0;
    int m_nDpi = 300;
    CLabelData* m_pLabelData = nullptr; // not owned; its data sources feed the rows
    // Raster pictures drawn and written at once, each by a thread with its own copy of
    // the row's objects; 0: one per core. The files are those of a one-thread run.
    int m_nThreads = 0;

    // Seams of the value generation, as the print job's.
    void SetClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    using LoaderFactory = std::function<std::unique_ptr<CDLBase>(const CDSBase&)>;
    void SetLoaderFactory(LoaderFactory factory) { m_loaderFactory = std::move(factory); }

    // Exports the selection (copied: the document never sees the generated values);
    // current is the selected object files may be named after. Success only when every
    // row's file was written; otherwise the failures are counted and error names the
    // first. A data source that cannot be read fails the run before any file.
    ExportResult Run(const std::vector<CBaseGraph*>& selection, const CBaseGraph* current,
                     IJobFeedback* feedback = nullptr, QString* error = nullptr);

    int GetWrittenCount() const { return m_nWritten; }
    int GetFailedCount() const { return m_nFailed; }

private:
    std::function<qint64()> m_clock;
    LoaderFactory m_loaderFactory;
    int m_nWritten = 0;
    int m_nFailed = 0;
};

// A file name made from data values that stays a plain name in its folder: path
// separators, control characters, characters files may not hold (< > : " | ? *) and
// ".." are replaced by '_'; an empty name or "." gives nothing (refused).
QString MakeSafeFileName(const QString& name);
