// The format bar, the colour bar and the 格式 menu on the current object: font,
// style, layout, alignment and colours, each change one undo step.
#include "editor/ChildFrame.h"

#include "app/UiServices.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/SettingsControls.h"
#include "editor/ChildView.h"
#include "editor/EditStatus.h"
#include "editor/TextProxy.h"
#include "model/BarcodeGraph.h"
#include "model/TextGraph.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"

#include <QColor>
#include <QComboBox>
#include <functional>

namespace {

CTextGraph* AsText(CBaseProxy* proxy)
{
    CBaseGraph* object = proxy ? proxy->GetObject() : nullptr;
    return object && object->GetKind() == KindText ? static_cast<CTextGraph*>(object) : nullptr;
}

CBarcodeSettings* AsBarcode(CBaseProxy* proxy)
{
    CBaseGraph* object = proxy ? proxy->GetObject() : nullptr;
    if (!object || object->GetKind() != KindBarcode)
        return nullptr;
    CBarcodeImpl* impl = static_cast<CBarcodeGraph*>(object)->GetImpl();
    return impl ? impl->GetSettings() : nullptr;
}

int KindOf(CBaseProxy* proxy)
{
    return proxy && proxy->GetObject() ? proxy->GetObject()->GetKind() : -1;
}

// A single-line text's box follows its words; a barcode's follows its text line,
// which is part of its height.
void Refit(CBaseProxy* proxy)
{
    if (CTextGraph* text = AsText(proxy); text && text->m_nLayoutMode == SingleLine) {
        static_cast<CTextProxy*>(proxy)->FitTextBoxToText();
    } else if (AsBarcode(proxy)) {
        auto& barcode = static_cast<CBarcodeGraph&>(*proxy->GetObject());
        try {
            EncodeToSymbolBox(barcode);
        } catch (const VXException&) {
            // Content the symbol could not hold before either: its box stays.
        }
    }
}

// What an applied colour choice writes: no colour, or the colour made opaque.
quint32 ChoiceColour(const CChildFrame::ColourChoice& choice)
{
    return choice.none ? 0x00FFFFFFu : (0xFF000000u | (choice.colour & 0x00FFFFFFu));
}

} // namespace

void CChildFrame::FormatChange(const std::function<void(CBaseProxy*)>& change)
{
    CBaseProxy* proxy = m_pView->CurrentObject();
    if (!proxy)
        return;
    auto record = std::make_unique<CFormatURC>();
    CUndoRecordBuilder::BeginFormatRecord(*record, proxy);
    change(proxy);
    m_pView->Redraw();
    m_pView->RecordBuilder().EndFormatRecord(std::move(record));
    m_bFontSizeCacheValid = false;
}

void CChildFrame::RegisterFormatCommands()
{
    const auto textOrBarcode = [this](CommandUpdate& u) {
        const int kind = KindOf(m_pView->CurrentObject());
        u.Enable(kind == KindText || kind == KindBarcode);
    };
    const auto textOnly = [this](CommandUpdate& u) { u.Enable(AsText(m_pView->CurrentObject()) != nullptr); };

    // The boxes of the format bar.
    OnCommand(CmdFontName, [this] {
        const QString name = m_pMainFrame ? m_pMainFrame->FontNameCombo()->currentText() : QString();
        FormatChange([&](CBaseProxy* p) {
            if (CTextGraph* text = AsText(p))
                text->m_strFontName = name;
            else if (CBarcodeSettings* settings = AsBarcode(p))
                settings->m_strFontName = name;
            Refit(p);
        });
    });
    OnCommand(CmdFontSize, [this] {
        const float size = m_pMainFrame ? static_cast<float>(LeadingDouble(m_pMainFrame->FontSizeCombo()->currentText())) : 0.0f;
        // Letters or nothing typed in the box are no size: a text would shrink to
        // nothing; nor is what is too large to draw. The box shows the size the object
        // keeps.
        if (!(size > 0.0f && size <= kMaxFontSize)) {
            m_bFontSizeCacheValid = false;
            ShowFontSize();
            return;
        }
        FormatChange([&](CBaseProxy* p) {
            if (CTextGraph* text = AsText(p))
                text->m_fFontSize = size;
            else if (CBarcodeSettings* settings = AsBarcode(p))
                settings->m_fFontSize = size;
            Refit(p);
        });
    });
    OnUpdate(CmdFontName, [this, textOrBarcode](CommandUpdate& u) {
        textOrBarcode(u);
        ShowFontName();
    });
    OnUpdate(CmdFontSize, [this, textOrBarcode](CommandUpdate& u) {
        textOrBarcode(u);
        ShowFontSize();
    });

    // Styles: bold and italic for texts and barcodes, the rest for texts.
    const auto style = [this](int id, bool CTextGraph::*textFlag, bool CBarcodeSettings::*barcodeFlag) {
        OnCommand(id, [this, textFlag, barcodeFlag] {
            FormatChange([&](CBaseProxy* p) {
                if (CTextGraph* text = AsText(p))
                    text->*textFlag = !(text->*textFlag);
                else if (CBarcodeSettings* settings = AsBarcode(p); settings && barcodeFlag)
                    settings->*barcodeFlag = !(settings->*barcodeFlag);
                Refit(p);
            });
        });
        OnUpdate(id, [this, textFlag, barcodeFlag](CommandUpdate& u) {
            CBaseProxy* p = m_pView->CurrentObject();
            const CTextGraph* text = AsText(p);
            const CBarcodeSettings* settings = barcodeFlag ? AsBarcode(p) : nullptr;
            u.Enable(text || settings);
            u.SetCheck(text ? text->*textFlag : settings ? settings->*barcodeFlag : false);
        });
    };
    style(CmdBold, &CTextGraph::m_bBold, &CBarcodeSettings::m_bBold);
    style(CmdItalic, &CTextGraph::m_bItalic, &CBarcodeSettings::m_bItalic);
    style(CmdUnderline, &CTextGraph::m_bUnderline, nullptr);
    style(CmdStrikeOut, &CTextGraph::m_bStrikeout, nullptr);

    // White on black sets, it does not toggle.
    OnCommand(CmdInverse, [this] {
        FormatChange([](CBaseProxy* p) {
            if (CTextGraph* text = AsText(p)) {
                text->m_crText = 0xFFFFFFFFu;
                text->m_crFill = 0xFF000000u;
                text->m_byStyle5 = 1;
            }
        });
    });
    OnUpdate(CmdInverse, [this](CommandUpdate& u) {
        const CTextGraph* text = AsText(m_pView->CurrentObject());
        u.Enable(text != nullptr);
        u.SetCheck(text && text->m_byStyle5 != 0);
    });

    // Layouts.
    OnCommand(CmdSingleLine, [this] {
        const CTextGraph* text = AsText(m_pView->CurrentObject());
        if (!text || text->m_nLayoutMode == SingleLine)
            return; // already one line: no step
        FormatChange([](CBaseProxy* p) {
            CTextGraph* t = AsText(p);
            t->m_fHorzScale = 1.0f;
            t->m_nLayoutMode = SingleLine;
            Refit(p);
        });
    });
    const auto layout = [this](int id, int mode, int variant) {
        if (id != CmdSingleLine)
            OnCommand(id, [this, mode, variant] {
                FormatChange([&](CBaseProxy* p) {
                    if (CTextGraph* text = AsText(p)) {
                        text->m_nLayoutMode = mode;
                        if (mode == VertText)
                            text->m_nAlignment = 2;
                        if (mode == CurvedText)
                            text->m_nWrapDirection = variant;
                    }
                });
            });
        OnUpdate(id, [this, mode, variant](CommandUpdate& u) {
            const CTextGraph* text = AsText(m_pView->CurrentObject());
            u.Enable(text != nullptr);
            u.SetCheck(text && text->m_nLayoutMode == mode
                       && (mode != CurvedText || text->m_nWrapDirection == variant));
        });
    };
    layout(CmdSingleLine, SingleLine, 0);
    layout(CmdMultiLine, MultiLine, 0);
    layout(CmdVerticalText, VertText, 0);
    layout(CmdCircularText, CurvedText, 0);
    layout(CmdCircularText2, CurvedText, 1);

    // Alignment of texts and of a barcode's human-readable line.
    const int aligns[] = {CmdTextAlignLeft, CmdTextAlignCentre, CmdTextAlignRight, CmdTextJustify};
    for (int a = 0; a < 4; ++a) {
        OnCommand(aligns[a], [this, a] {
            FormatChange([a](CBaseProxy* p) {
                if (CTextGraph* text = AsText(p))
                    text->m_nAlignment = a;
                else if (CBarcodeSettings* settings = AsBarcode(p))
                    settings->m_nTextAlign = a;
            });
        });
        OnUpdate(aligns[a], [this, a](CommandUpdate& u) {
            CBaseProxy* p = m_pView->CurrentObject();
            const CTextGraph* text = AsText(p);
            const CBarcodeSettings* settings = AsBarcode(p);
            u.Enable(text || settings);
            u.SetCheck(text ? text->m_nAlignment == a : settings ? settings->m_nTextAlign == a : false);
        });
    }

    RegisterColourCommands(textOrBarcode, textOnly);

    // The text the context menu opened on goes back to its natural width.
    OnCommand(CmdResetScale, [this] {
        CBaseProxy* proxy = m_pView->ContextObject();
        CTextGraph* text = AsText(proxy);
        if (!text)
            return;
        CPendingRecord record = m_pView->RecordBuilder().BeginSize({proxy});
        text->m_fHorzScale = 1.0f;
        static_cast<CTextProxy*>(proxy)->FitTextBoxToText();
        m_pView->Redraw();
        m_pView->RecordBuilder().End(std::move(record));
    });
    OnCommand(CmdToggleCircularFlag, [this] {
        if (CTextGraph* text = AsText(m_pView->EditStatus().m_pClickedObject))
            text->m_bSquareBox = !text->m_bSquareBox;
        m_pView->Redraw();
    });
    OnUpdate(CmdToggleCircularFlag, [this](CommandUpdate& u) {
        const CTextGraph* text = AsText(m_pView->EditStatus().m_pClickedObject);
        u.SetCheck(text && text->m_bSquareBox);
    });
    OnCommand(CmdRepaintCanvas, [this] { m_pView->Redraw(); });
}

void CChildFrame::RegisterColourCommands(const std::function<void(CommandUpdate&)>& textOrBarcode,
                                         const std::function<void(CommandUpdate&)>&)
{
    struct Button
    {
        int id;
        ColourChoice CChildFrame::*choice;
        void (*apply)(CBaseProxy*, quint32);
    };
    const Button buttons[] = {
        {CmdFontColour, &CChildFrame::m_fontColour,
         [](CBaseProxy* p, quint32 c) {
             if (CTextGraph* text = AsText(p)) {
                 text->m_crText = c;
                 text->m_byStyle5 = 0;
             } else if (CBarcodeSettings* settings = AsBarcode(p)) {
                 settings->m_crText = c;
             }
         }},
        {CmdBackColour, &CChildFrame::m_backColour,
         [](CBaseProxy* p, quint32 c) {
             if (CTextGraph* text = AsText(p)) {
                 text->m_crFill = c;
                 text->m_byStyle5 = 0;
             } else if (CBarcodeSettings* settings = AsBarcode(p)) {
                 settings->m_crBackground = c;
             }
         }},
        {CmdLineColour, &CChildFrame::m_lineColour,
         [](CBaseProxy* p, quint32 c) {
             if (CBarcodeSettings* settings = AsBarcode(p))
                 settings->m_crBar = c;
             else if (p->GetObject())
                 p->GetObject()->m_crLine = c;
         }},
        {CmdFillColour, &CChildFrame::m_fillColour,
         [](CBaseProxy* p, quint32 c) {
             if (p->GetObject())
                 p->GetObject()->m_crFill = c;
         }},
    };
    for (const Button& b : buttons) {
        const auto applyChoice = [this, b] {
            const quint32 colour = ChoiceColour(this->*b.choice);
            FormatChange([&](CBaseProxy* p) { b.apply(p, colour); });
        };
        OnCommand(b.id, applyChoice);
        OnCommand(b.id + CmdColourNoneOffset, [this, b, applyChoice] {
            this->*b.choice = {0xFFFFFFFFu, true};
            applyChoice();
        });
        OnCommand(b.id + CmdColourSelectorOffset, [this, b, applyChoice] {
            const QColor picked = m_pMainFrame ? m_pMainFrame->SelectorColour(b.id + CmdColourSelectorOffset) : QColor();
            if (picked.isValid())
                this->*b.choice = {picked.rgb(), false};
            applyChoice();
        });
        // Cancel in the colour dialog changes nothing: neither the remembered choice
        // nor the object, which would otherwise take a step of its own and mark the
        // label modified.
        OnCommand(b.id + CmdColourMoreOffset, [this, b, applyChoice] {
            const QColor picked = Services().GetColor(this, QColor::fromRgb((this->*b.choice).colour));
            if (!picked.isValid())
                return;
            this->*b.choice = {picked.rgb(), false};
            applyChoice();
        });
        std::function<void(CommandUpdate&)> enable = textOrBarcode;
        if (b.id == CmdLineColour)
            enable = [this](CommandUpdate& u) {
                const int kind = KindOf(m_pView->CurrentObject());
                u.Enable(kind == KindBarcode || kind == KindLine || kind == KindRectangle || kind == KindEllipse ||
                         kind == KindPolygon);
            };
        else if (b.id == CmdFillColour)
            enable = [this](CommandUpdate& u) {
                const int kind = KindOf(m_pView->CurrentObject());
                u.Enable(kind == KindRectangle || kind == KindEllipse || kind == KindPolygon);
            };
        // The face shows the remembered colour; the pop-up's entries are always on, so
        // a colour can be chosen before anything is selected.
        OnUpdate(b.id, [this, b, enable](CommandUpdate& u) {
            enable(u);
            const ColourChoice& choice = this->*b.choice;
            u.SetFaceColour(choice.none ? QColor() : QColor::fromRgb(choice.colour));
        });
    }
}

void CChildFrame::ShowFontName()
{
    if (!m_pMainFrame || !m_pMainFrame->FontNameCombo())
        return;
    QComboBox* box = m_pMainFrame->FontNameCombo();
    CBaseProxy* p = m_pView->CurrentObject();
    QString name;
    if (const CTextGraph* text = AsText(p))
        name = text->m_strFontName;
    else if (const CBarcodeSettings* settings = AsBarcode(p))
        name = settings->m_strFontName;
    const QSignalBlocker block(box);
    // A font this computer lacks (files made elsewhere, or the "Arial" new texts
    // get) is still named, greyed, rather than leaving the box blank. Set first: an
    // empty one set while nothing is chosen would choose the first font.
    box->setPlaceholderText(name);
    box->setCurrentIndex(box->findText(name));
    if (box->isEditable())
        box->setEditText(name);
}

void CChildFrame::ShowFontSize()
{
    if (!m_pMainFrame || !m_pMainFrame->FontSizeCombo())
        return;
    QComboBox* box = m_pMainFrame->FontSizeCombo();
    CBaseProxy* p = m_pView->CurrentObject();
    float size = 0.0f;
    if (const CTextGraph* text = AsText(p))
        size = text->m_fFontSize;
    else if (const CBarcodeSettings* settings = AsBarcode(p))
        size = settings->m_fFontSize;
    else {
        // Neither a text nor a barcode: the box is empty and off.
        const QSignalBlocker block(box);
        box->setCurrentIndex(-1);
        m_bFontSizeCacheValid = false;
        m_pFontSizeCacheObject = nullptr;
        return;
    }
    // While the same object stays current the box keeps what the user is typing.
    if (m_bFontSizeCacheValid && m_pFontSizeCacheObject == p)
        return;
    const QString text = size == static_cast<float>(static_cast<int>(size)) ? QString::asprintf("%d", static_cast<int>(size))
                                                                           : QString::asprintf("%.1f", size);
    const QSignalBlocker block(box);
    const int index = box->findText(text);
    box->setCurrentIndex(index);
    box->setEditText(text);
    m_bFontSizeCacheValid = true;
    m_pFontSizeCacheObject = p;
}
