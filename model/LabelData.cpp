#include "model/LabelData.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/DocFormat.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"

#include <any>
#include <cmath>

const std::array<ScriptEventInfo, kScriptEventCount> g_scriptEvents = {{
    {u"", u"'共用函数与过程", u"Functions and Subs"},
    {u"OnPrintStart", u"'打印开始时执行此脚本", u"OnPrintStart"},
    {u"OnPrintEnd", u"'打印结束时执行此脚本", u"OnPrintEnd"},
    {u"OnPrintCancel", u"'取消打印时执行此脚本", u"OnPrintCancel"},
    {u"OnPageStart", u"'开始一页时执行此脚本", u"OnPageStart"},
    {u"OnPageEnd", u"'完成一页时执行此脚本", u"OnPageEnd"},
    {u"OnLabelStart", u"'开始一个标签时执行此脚本", u"OnLabelStart"},
    {u"OnLabelEnd", u"'结束一个标签时执行此脚本", u"OnLabelEnd"},
    {u"OnBeforePrompt", u"'打开窗口数据对话框时执行此脚本", u"OnBeforePrompt"},
    {u"OnAfterPrompt", u"'关闭窗口数据对话框时执行此脚本", u"OnAfterPrompt"},
    {u"OnIdenticalCopies", u"'复制相同的打印时执行此脚本", u"OnIdenticalCopies"},
}};

CLabelData::CLabelData()
{
    for (int i = 0; i < kScriptEventCount; ++i)
        m_strScripts[i] = QString::fromUtf16(g_scriptEvents[i].initialText);
}

CLabelData::~CLabelData()
{
    m_externalVariables.clear();
    m_namedSubstrings.clear();
    m_formItems.clear();
    m_dataSources.clear();
    m_objects.clear();
    m_pImage.reset();
}

float CLabelData::GetPageWidthPixels() const
{
    if (m_nPrinterType == 1) {
        const int n = m_nColumns;
        float width;
        if (n > 0)
            width = m_fLabelWidth * static_cast<float>(n) + 2.0f * m_fLeftMargin
                    + static_cast<float>(n - 1) * m_fHorzGap;
        else
            width = 2.0f * m_fLeftMargin;
        return static_cast<float>(static_cast<double>(width) * g_nScreenDpiX / 25.4);
    }
    if (m_nPageWidthFlag != 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(m_fPaperWidth) * g_nScreenDpiX / 25.4);
}

float CLabelData::SnapToGrid(float value) const
{
    if (!(m_fGridSize > 0.0f))
        return value;
    return std::trunc(value / m_fGridSize) * m_fGridSize;
}

std::pair<float, float> CLabelData::SnapPointToGrid(float x, float y) const
{
    if (!(m_fGridSize > 0.0f))
        return {x, y};
    const auto snap = [this](float v) {
        return static_cast<float>(RoundHalfAway(static_cast<double>(v / m_fGridSize))) * m_fGridSize;
    };
    return {snap(x), snap(y)};
}

void CLabelData::DeleteObjects()
{
    m_objects.clear();
}

namespace {

// The two halves of CopyLabelSettings: the file's field order, walked once over the
// source to take the values and once over the target to give them back, so the copy
// can never miss a field the file keeps.
class SettingsTaker
{
public:
    template <typename T> void operator()(const T& v) { values.emplace_back(v); }
    void operator()(ConstColour c) { values.emplace_back(c.value); }
    std::vector<std::any> values;
};

class SettingsGiver
{
public:
    explicit SettingsGiver(const std::vector<std::any>& values) : m_values(values) {}
    template <typename T> void operator()(T& v) { v = std::any_cast<const T&>(m_values.at(m_next++)); }
    void operator()(Colour c) { c.value = std::any_cast<uint32_t>(m_values.at(m_next++)); }

private:
    const std::vector<std::any>& m_values;
    size_t m_next = 0;
};

} // namespace

void CopyLabelSettings(const CLabelData& from, CLabelData& to)
{
    if (&from == &to)
        return;
    SettingsTaker taker;
    TransferLabelSettingsHead(taker, from);
    TransferLabelSettingsTail(taker, from);
    SettingsGiver giver(taker.values);
    TransferLabelSettingsHead(giver, to);
    TransferLabelSettingsTail(giver, to);
    to.m_pImage = from.m_pImage ? std::make_unique<ImageHolder>(*from.m_pImage) : nullptr;
}

DataBandList* ObjectBands(CBaseGraph* object)
{
    return const_cast<DataBandList*>(ObjectBands(static_cast<const CBaseGraph*>(object)));
}

const DataBandList* ObjectBands(const CBaseGraph* object)
{
    if (!object)
        return nullptr;
    if (object->GetKind() == KindText)
        return &static_cast<const CTextGraph*>(object)->m_bands;
    if (object->GetKind() == KindBarcode) {
        const CBarcodeImpl* impl = static_cast<const CBarcodeGraph*>(object)->GetImpl();
        return impl && impl->GetSettings() ? &impl->GetSettings()->m_bandList : nullptr;
    }
    return nullptr;
}
