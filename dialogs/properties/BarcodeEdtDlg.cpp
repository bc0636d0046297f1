#include "dialogs/properties/BarcodeEdtDlg.h"

#include "barcode/BarcodeImpl.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/BarcodeEdtPane.h"
#include "dialogs/properties/BarcodeEdtPane_Base.h"
#include "dialogs/properties/SettingsControls.h"
#include "dialogs/properties/DataSourcePane.h"
#include "model/BarcodeGraph.h"
#include "model/LabelLimits.h"
#include "model/Utils.h"

#include <algorithm>
#include <cmath>

CBarcodeEdtDlg::CBarcodeEdtDlg(const ObjectEditRequest& request)
    : CObjectEdtDlg(QStringLiteral("条码编辑框"), request)
{
    const auto& barcode = static_cast<const CBarcodeGraph&>(*request.object);
    const CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    m_strContent = settings.m_strContent;
    m_fWidth = barcode.GetWidth();
    m_fHeight = barcode.GetHeight();
    m_strFontName = settings.m_strFontName;
    m_fFontSize = settings.m_fFontSize;

    m_pBarcodePane = new CBarcodeEdtPane;
    m_pFontPane = new CFontEdtPane;
    m_pFontPane->m_nMode = CFontEdtPane::ModeBarcode;
    CDataSourceEdtPane* dataSource = MakeDataSourcePane(*this, true, request);
    auto* position = new CPositionEdtPane;
    auto* general = new CGeneralEdtPane;
    m_pGeneral = general;
    m_pFirstPane = m_pBarcodePane;
    AddTab(m_pBarcodePane, QStringLiteral("条形码"));
    AddTab(m_pFontPane, QStringLiteral("字体"));
    AddTab(dataSource, QStringLiteral("数据源"));
    AddTab(position, QStringLiteral("位置"));
    AddTab(general, QStringLiteral("常规"));
    // The symbology first: a new one brings new settings, which the later panes fill.
    SetApplyOrder({m_pBarcodePane, m_pFontPane, dataSource, position, general});
    if (request.bandToSelect)
        ShowPane(dataSource);
}

bool CBarcodeEdtDlg::AfterPanesApplied(CBaseGraph& copy)
{
    auto& barcode = static_cast<CBarcodeGraph&>(copy);
    CBarcodeImpl& impl = *barcode.GetImpl();
    impl.m_pLabelData = static_cast<const CBarcodeGraph&>(*m_request.object).GetImpl()->m_pLabelData;
    CBarcodeSettings& settings = *impl.GetSettings();
    // The settings carry the barcode's name too (the status bar and new names read
    // it there): the general tab's name is the one.
    settings.m_strName = barcode.m_strName;
    const bool contentChanged = settings.m_strContent != m_strContent;
    const bool sizeChanged = !FloatEquals2(barcode.GetWidth(), m_fWidth) || !FloatEquals2(barcode.GetHeight(), m_fHeight);
    const bool fontChanged = settings.m_strFontName != m_strFontName || settings.m_fFontSize != m_fFontSize;
    if (!sizeChanged) {
        // The position pane shows two decimals: a box within 0.01 mm of the one at
        // opening was not resized, only rounded for display.
        barcode.SetWidth(m_fWidth);
        barcode.SetHeight(m_fHeight);
    }
    if (contentChanged || fontChanged || m_pBarcodePane->m_bSymbologyChanged || m_pBarcodePane->m_bOptionsChanged) {
        EncodeToSymbolBox(barcode);
    } else if (sizeChanged) {
        impl.Resize(barcode.GetWidth(), barcode.GetHeight());
        TakeSymbolBox(barcode);
    }
    return SymbolFits(barcode);
}

bool CBarcodeEdtDlg::SymbolFits(const CBarcodeGraph& barcode)
{
    const CBarcodeImpl& impl = *barcode.GetImpl();
    const CBarcodeSettings& s = *impl.GetSettings();
    const bool followsModule = HeightFollowsModule(s);
    const QString limit = QString::number(double(kMaxLabelLengthMm));
    if (s.m_fWidth > kMaxLabelLengthMm || (followsModule && s.m_fHeight > kMaxLabelLengthMm)) {
        CBarcodeEdtPane_Base* options = m_pBarcodePane->CurrentOptionPane();
        QWidget* box = options ? static_cast<QWidget*>(options->m_moduleWidth) : m_pBarcodePane;
        const QString largest = FormatFloatShort3(LargestModuleWidth(impl, kMaxLabelLengthMm));
        const QString message =
            followsModule ? QStringLiteral("%1不能大于 %2 mil：这个条码的宽度和高度不能超过 %3 毫米，请重新输入。")
                          : QStringLiteral("%1不能大于 %2 mil：这个条码的宽度不能超过 %3 毫米，请重新输入。");
        return RefuseNumberBox(box, message.arg(NumberBoxCaption(box), largest, limit));
    }
    const float height = std::max(s.m_fHeight, barcode.GetHeight());
    if (height > kMaxLabelLengthMm) {
        // The bars, the line of text and the gap between them: the gap is what this tab
        // holds (the bars take the box's height, the line the font's size).
        const float gap = static_cast<float>(std::floor((double(s.m_fTextGap) - (height - kMaxLabelLengthMm)) * 100.0) / 100.0);
        QWidget* box = m_pBarcodePane->m_textGap;
        if (s.m_bShowText && gap >= 0.0f)
            return RefuseNumberBox(box, QStringLiteral("%1不能大于 %2：这个条码的高度不能超过 %3 毫米，请重新输入。")
                                            .arg(NumberBoxCaption(box), FormatFloatShort2(gap), limit));
        return RefuseNumberBox(box, QStringLiteral("这个条码将高 %1 毫米，不能超过 %2 毫米：请减小高度、字体大小或字符与条码间距。")
                                        .arg(FormatFloatShort2(height), limit));
    }
    return true;
}

std::unique_ptr<CObjectEdtDlg> CreateBarcodeEdtDlg(const ObjectEditRequest& request)
{
    const auto* barcode = dynamic_cast<const CBarcodeGraph*>(request.object);
    if (!barcode || !barcode->GetImpl() || !barcode->GetImpl()->GetSettings())
        return nullptr;
    return std::make_unique<CBarcodeEdtDlg>(request);
}
