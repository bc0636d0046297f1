// Page-level objects of a print job: the page header and the page number.

#include "output/PrintHandler.h"

#include "model/DocLoader.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/Drawing.h"

namespace {

const QString kPageHeaderName = QStringLiteral("_PageHeaderText");
const QString kPageNumberName = QStringLiteral("_PageNo");

std::unique_ptr<CTextGraph> MakePageText(const QString& name, const QString& text, const QString& fontName,
                                         float fontSize, int32_t styleBits)
{
    auto item = std::make_unique<CTextGraph>();
    item->m_strName = name;
    item->m_strText = text;
    item->m_nLayoutMode = SingleLine;
    item->m_strFontName = fontName;
    item->m_fFontSize = fontSize;
    item->m_bBold = (styleBits & FontStyleBold) != 0;
    item->m_bItalic = (styleBits & FontStyleItalic) != 0;
    item->m_bUnderline = (styleBits & FontStyleUnderline) != 0;
    return item;
}

// The box of a single line, made to fit its text so nothing of it is cut.
QSizeF FitToText(CTextGraph& item)
{
    const QSizeF size = MeasureText(item.MakeTextFont(), item.m_strText);
    item.SetWidth(static_cast<float>(size.width()));
    item.SetHeight(static_cast<float>(size.height()));
    return size;
}

} // namespace

QSizeF GetPageSizeMm(const CLabelData& label)
{
    QSizeF paper(label.m_fPaperWidth, label.m_fPaperHeight);
    if (label.m_nPrinterType != 0) {
        // A label printer's page is one row of labels on the roll, as the preview shows it.
        const int columns = std::max(0, label.m_nColumns);
        double width = 2.0 * label.m_fLeftMargin;
        if (columns > 0)
            width += double(label.m_fLabelWidth) * columns + double(label.m_fHorzGap) * (columns - 1);
        paper = QSizeF(width, 2.0 * label.m_fTopMargin + label.m_fLabelHeight);
    }
    return label.m_bLandscape ? paper.transposed() : paper;
}

void CPrintHandler::CreatePageItems()
{
    CLabelData& label = *m_pLabelData;
    const QSizeF page = GetPageSizeMm(label);
    if (label.m_bPageHeader) {
        if (label.m_nHeaderKind == 0) {
            auto item = MakePageText(kPageHeaderName, label.m_strHeaderText, label.m_strHeaderFontName,
                                     label.m_fHeaderFontSize, label.m_nHeaderFontStyle);
            m_pageItems.push_back(item.get());
            m_ownedPageItems.push_back(std::move(item));
        } else if (label.m_nHeaderKind == 1) {
            for (const auto& object : label.m_objects) {
                if (object->m_strName != label.m_strHeaderObjectName)
                    continue;
                CBaseGraph& header = *object;
                m_pBorrowedHeader = &header;
                m_borrowedHeaderPos = QPointF(header.GetX(), header.GetY());
                const float w = header.GetWidth();
                const float h = header.GetHeight();
                const float W = static_cast<float>(page.width());
                header.SetY(label.m_nHeaderPosition == 0 ? label.m_fHeaderVertMargin
                                                         : static_cast<float>(page.height()) - label.m_fHeaderVertMargin - h);
                if (label.m_nHeaderAlign == 1)
                    header.SetX((W - w) / 2);
                else if (label.m_nHeaderAlign == 2)
                    header.SetX(W - label.m_fHeaderHorzMargin - w);
                else
                    header.SetX(label.m_fHeaderHorzMargin);
                m_pageItems.push_back(&header);
                break;
            }
        } else if (FileExists(label.m_strHeaderFilePath)) {
            CLabelData headerLabel;
            CDocLoader loader;
            loader.m_strPath = label.m_strHeaderFilePath;
            loader.m_pLabelData = &headerLabel;
            loader.LoadDocument();
            for (const auto& object : headerLabel.m_objects) {
                if (auto copy = object->Clone()) {
                    m_pageItems.push_back(copy.get());
                    m_ownedPageItems.push_back(std::move(copy));
                }
            }
        }
    }
    if (label.m_bPageNumber) {
        // The number has font fields of its own, apart from the header's.
        auto item = MakePageText(kPageNumberName, QStringLiteral("1"), label.m_strNumberFontName,
                                 label.m_fNumberFontSize, label.m_nNumberFontStyle);
        m_pageItems.push_back(item.get());
        m_ownedPageItems.push_back(std::move(item));
    }
}

QString CPrintHandler::FormatPageNumber(int page) const
{
    const CLabelData& label = *m_pLabelData;
    const int number = label.m_nNumberRange == 1 ? page - m_nFirstPrintedPage + 1 : page;
    const char* format = label.m_nNumberStyle != 0 ? "%s- %d -%s" : "%s%d%s";
    return QString::asprintf(format, label.m_strNumberPrefix.toUtf8().constData(), number,
                             label.m_strNumberSuffix.toUtf8().constData());
}

void CPrintHandler::UpdatePageItems()
{
    for (const auto& owned : m_ownedPageItems) {
        if (owned->m_strName == kPageNumberName) {
            owned->m_strText = FormatPageNumber(m_nCurrentPage);
            PlacePageNumber(*owned);
        } else if (owned->m_strName == kPageHeaderName) {
            PlacePageHeaderText(*owned);
        }
    }
}

void CPrintHandler::PlacePageHeaderText(CBaseGraph& item) const
{
    const CLabelData& label = *m_pLabelData;
    const QSizeF page = GetPageSizeMm(label);
    const QSizeF size = FitToText(static_cast<CTextGraph&>(item));
    const double W = page.width();
    const double H = page.height();
    const double y = label.m_nHeaderPosition == 0 ? label.m_fHeaderVertMargin
                                                  : H - label.m_fHeaderVertMargin - size.height();
    double x = label.m_fHeaderHorzMargin;
    if (label.m_nHeaderAlign == 1)
        x = (W - size.width()) / 2;
    else if (label.m_nHeaderAlign == 2)
        x = W - label.m_fHeaderHorzMargin - size.width();
    item.SetX(static_cast<float>(x));
    item.SetY(static_cast<float>(y));
}

void CPrintHandler::PlacePageNumber(CBaseGraph& item) const
{
    const CLabelData& label = *m_pLabelData;
    const QSizeF page = GetPageSizeMm(label);
    const QSizeF size = FitToText(static_cast<CTextGraph&>(item));
    const double W = page.width();
    const double H = page.height();
    const double w = size.width();
    const double h = size.height();
    // The first margin is taken from the page edge the number sits on, the second
    // along that edge.
    const double edge = label.m_fNumberVertMargin;
    const double along = label.m_fNumberHorzMargin;
    const int align = label.m_nNumberAlign;
    double x = item.GetX();
    double y = item.GetY();
    switch (label.m_nNumberPosition) {
    case 0:
    case 1:
        y = label.m_nNumberPosition == 0 ? H - edge - h : edge;
        x = align == 1 ? (W - w) / 2 : (align == 2 ? W - along - w : along);
        item.m_fAngle = 0.0f;
        item.m_nAnchor = AnchorTopLeft;
        break;
    case 2:
        // Turned a quarter clockwise about its top-left corner, the box lies left of x.
        x = edge + h;
        y = align == 1 ? (H - w) / 2 : (align == 2 ? H - along - w : along);
        item.m_fAngle = 90.0f;
        item.m_nAnchor = AnchorTopLeft;
        break;
    case 3:
        // Turned about its bottom-left corner, the box starts h below y.
        x = W - edge - h;
        y = align == 1 ? (H - w) / 2 - h : (align == 2 ? H - along - w - h : along - h);
        item.m_fAngle = 90.0f;
        item.m_nAnchor = AnchorBottomLeft;
        break;
    default: return;
    }
    item.SetX(static_cast<float>(x));
    item.SetY(static_cast<float>(y));
}
