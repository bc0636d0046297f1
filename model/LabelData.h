#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class CBaseGraph;
class CDataBand;
class CDSBase;
class CSDGraph;
class ImageHolder;

// The owning lists the record, the file reader and writer and the print job share.
using ObjectList = std::vector<std::unique_ptr<CBaseGraph>>;
using DataBandList = std::vector<std::unique_ptr<CDataBand>>;

// The bands of a text or a barcode; null for the other kinds.
DataBandList* ObjectBands(CBaseGraph* object);
const DataBandList* ObjectBands(const CBaseGraph* object);

// Index of the eleven event-script texts of a label.
enum ScriptEvent : int32_t {
    ScriptShared = 0,
    ScriptOnPrintStart = 1,
    ScriptOnPrintEnd = 2,
    ScriptOnPrintCancel = 3,
    ScriptOnPageStart = 4,
    ScriptOnPageEnd = 5,
    ScriptOnLabelStart = 6,
    ScriptOnLabelEnd = 7,
    ScriptOnBeforePrompt = 8,
    ScriptOnAfterPrompt = 9,
    ScriptOnIdenticalCopies = 10,
};
constexpr int kScriptEventCount = 11;
constexpr int kScriptTextCount = 21;
// The stored text after the event texts: the label's free script text (标签 → 编写脚本),
// which no job runs. The texts after it are kept and stored only.
constexpr int kScriptPlainText = kScriptEventCount;

struct ScriptEventInfo
{
    const char16_t* procedure; // the Sub the print job wraps the text in; empty for shared code
    const char16_t* initialText;
    const char16_t* listed; // its entry in the script editor's event list
};
// The one table of event names and the comment lines a new label starts with.
extern const std::array<ScriptEventInfo, kScriptEventCount> g_scriptEvents;

enum LabelShape : int32_t { ShapeRectangle = 0, ShapeRoundRect = 1, ShapeEllipse = 2 };
enum LabelStartCorner : int32_t { CornerTopLeft = 0, CornerTopRight = 1, CornerBottomLeft = 2, CornerBottomRight = 3 };
enum LabelFillDirection : int32_t { FillHorizontal = 0, FillVertical = 1 };

// A named value kept in the label record; only label files bring them in.
class CExternalVariable
{
public:
    QString m_strName;
    QString m_strText2;
    QString m_strText3;
};

class CLabelData;

// Copies the label's settings (what the label settings sheet edits and the file's
// settings section holds: printer, page, shape, layout, advanced, background with its
// picture, print count, grid) and nothing else of the record.
void CopyLabelSettings(const CLabelData& from, CLabelData& to);

// The whole in-memory record of one label document. A plain record: the dialogs,
// the reader and the writer work on its fields directly.
class CLabelData
{
public:
    CLabelData();
    ~CLabelData();
    CLabelData(const CLabelData&) = delete;
    CLabelData& operator=(const CLabelData&) = delete;

    // Printable width in screen pixels.
    float GetPageWidthPixels() const;
    // Truncates toward zero onto the grid.
    float SnapToGrid(float value) const;
    // Moves both coordinates to the nearest grid line.
    std::pair<float, float> SnapPointToGrid(float x, float y) const;
    void DeleteObjects();

    // Document
    QString m_strFilePath;
    QString m_strTitle;

    // Printer
    int32_t m_nPageWidthFlag = 0;
    int32_t m_nPrinterType = 0; // 0 ordinary printer, 1 label printer
    QString m_strPrinterName;
    QString m_strReservedPrinter1;
    QString m_strReservedPrinter2;
    int32_t m_nResolution = -1; // -1: the printer's default

    // Paper
    uint16_t m_nPaperSize = 0;
    QString m_strPaperName = QStringLiteral("A4");
    float m_fPaperWidth = 210.0f;
    float m_fPaperHeight = 297.0f;
    bool m_bLandscape = false;
    float m_fPaperLeftMargin = 0.0f;
    float m_fPaperTopMargin = 0.0f;

    // Label shape
    int32_t m_nShape = ShapeRoundRect;
    float m_fCornerRadius = 2.0f;
    bool m_bCenterHole = false;
    float m_fHoleDiameter = 30.0f;
    bool m_bPrintBorder = false;
    float m_fBorderWidth = 0.2f;
    uint32_t m_crBorder = 0xFF000000u;

    // Layout
    float m_fLabelWidth = 90.0f;
    float m_fLabelHeight = 50.0f;
    float m_fLeftMargin = 10.0f;
    float m_fTopMargin = 10.0f;
    float m_fHorzGap = 5.0f;
    float m_fVertGap = 5.0f;
    int32_t m_nRows = 5;
    int32_t m_nColumns = 2;
    bool m_bAutoCount = true;
    int32_t m_nStartCorner = CornerTopLeft;
    int32_t m_nFillDirection = FillHorizontal;
    bool m_bSameDirection = true; // clear: alternate lines run in reverse

    // Cut marks and print correction
    int32_t m_nCutMarks = 0; // 0 none, 1 crop points, 2 inner lines, 3 outer lines
    float m_fCutMarkWidth = 0.2f;
    float m_fCutMarkOffset = 0.0f;
    bool m_bPageHeader = false;
    bool m_bPageNumber = false;
    float m_fHorzOffset = 0.0f;
    float m_fVertOffset = 0.0f;
    float m_fReservedAdvanced1 = 0.0f;
    float m_fReservedAdvanced2 = 0.0f;
    bool m_bReservedAdvanced = false;

    // Page header
    int32_t m_nHeaderPosition = 0; // 0 top, 1 bottom
    int32_t m_nHeaderAlign = 0;    // 0 left, 1 centre, 2 right, 3 custom
    float m_fHeaderVertMargin = 5.0f;
    float m_fHeaderHorzMargin = 5.0f;
    int32_t m_nHeaderKind = 0; // 0 text, 1 graphic object, 2 label file
    QString m_strHeaderText;
    QString m_strHeaderFontName = QStringLiteral("Arial");
    float m_fHeaderFontSize = 8.0f;
    int32_t m_nHeaderFontStyle = 0; // 1 bold, 2 italic, 4 underline
    QString m_strHeaderObjectName;
    QString m_strHeaderFilePath;

    // Page number
    int32_t m_nNumberPosition = 0; // 0 bottom, 1 top, 2 left side, 3 right side
    int32_t m_nNumberAlign = 0;
    float m_fNumberVertMargin = 5.0f;
    float m_fNumberHorzMargin = 5.0f;
    int32_t m_nNumberStyle = 0; // 0 "1, 2, 3", 1 "- 1 -"
    QString m_strNumberFontName = QStringLiteral("Arial");
    float m_fNumberFontSize = 8.0f;
    int32_t m_nNumberFontStyle = 0;
    QString m_strNumberPrefix;
    QString m_strNumberSuffix;
    int32_t m_nNumberRange = 0; // 0 whole data range, 1 current print range

    // Background
    uint32_t m_crBackground = 0x00FFFFFFu; // alpha 0: no colour
    int32_t m_nBackgroundSource = 0;      // 0 none, 1 embedded, 2 linked file
    QString m_strImagePath;
    std::unique_ptr<ImageHolder> m_pImage;
    QString m_strImageMimeType;
    int32_t m_nImagePlacement = 0; // 0 original, 1 label width, 2 label height, 3 stretch
    bool m_bPrintBackground = false;
    bool m_bPreviewBackground = false;
    bool m_bDesignBackground = false;

    // Print counts
    int32_t m_nPrintCount = 1;
    int32_t m_nCopyMode = 0; // 0 fixed copies, 1 copies from a data field
    int32_t m_nCopies = 1;
    QString m_strCopiesDataSource;
    QString m_strCopiesField;
    bool m_bForcePageBreak = false;
    bool m_bReservedCount1 = false;
    int32_t m_nPreloadPages = 1;
    bool m_bReservedCount2 = false;
    int32_t m_nReservedCount = 1;

    // Editor grid
    float m_fGridSize = 1.0f;
    bool m_bShowGrid = false;
    bool m_bSnapToGrid = false;

    // Screen-data form
    QString m_strFormCaption = QStringLiteral(u"提示对话框");
    int32_t m_nFormWidth = 500;
    int32_t m_nFormHeight = 300;
    std::vector<std::unique_ptr<CSDGraph>> m_formItems;

    // Lists and scripts
    std::vector<std::unique_ptr<CExternalVariable>> m_externalVariables;
    DataBandList m_namedSubstrings;
    std::array<QString, kScriptTextCount> m_strScripts;
    std::vector<std::unique_ptr<CDSBase>> m_dataSources;
    ObjectList m_objects; // z-order, first drawn first

    // Reserved tail: kept and stored, read by nothing.
    std::array<QString, 6> m_strReservedTail1;
    std::array<int32_t, 5> m_nReservedTail{};
    std::array<float, 5> m_fReservedTail{};
    std::array<QString, 5> m_strReservedTail2;
    int32_t m_nReservedLast = 0; // not stored

    // The label settings sheet's last tab, kept while the document is open; not stored.
    int32_t m_nSettingsTab = 0;
};
