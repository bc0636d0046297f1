#include "dialogs/properties/BandListController.h"

#include "model/DataBand.h"

#include <utility>

CBandListController::CBandListController() = default;
CBandListController::~CBandListController() = default;

void CBandListController::Load(const BandVector& source, const CDataBand* select)
{
    m_bands.clear();
    m_current = -1;
    for (const auto& band : source) {
        if (!band)
            continue;
        if (band.get() == select)
            m_current = Count();
        m_bands.push_back(band->Clone());
    }
    if (m_current < 0 && !m_bands.empty())
        m_current = 0;
}

CDataBand* CBandListController::At(int index) const
{
    return index >= 0 && index < Count() ? m_bands[static_cast<size_t>(index)].get() : nullptr;
}

void CBandListController::SetCurrent(int index)
{
    m_current = index >= 0 && index < Count() ? index : -1;
}

void CBandListController::Append(std::unique_ptr<CDataBand> band)
{
    m_bands.push_back(std::move(band));
    m_current = Count() - 1;
}

bool CBandListController::Copy()
{
    const CDataBand* current = Current();
    if (!current)
        return false;
    m_copy = current->Clone();
    return true;
}

bool CBandListController::Paste()
{
    if (!m_copy)
        return false;
    Append(m_copy->Clone());
    return true;
}

bool CBandListController::Delete(bool keepLast)
{
    if (!Current() || (keepLast && Count() <= 1))
        return false;
    m_bands.erase(m_bands.begin() + m_current);
    if (m_current >= Count())
        m_current = Count() - 1;
    return true;
}

bool CBandListController::MoveUp()
{
    if (m_current < 1)
        return false;
    std::swap(m_bands[static_cast<size_t>(m_current)], m_bands[static_cast<size_t>(m_current - 1)]);
    --m_current;
    return true;
}

bool CBandListController::MoveDown()
{
    if (m_current < 0 || m_current >= Count() - 1)
        return false;
    std::swap(m_bands[static_cast<size_t>(m_current)], m_bands[static_cast<size_t>(m_current + 1)]);
    ++m_current;
    return true;
}

void CBandListController::ApplyTo(BandVector& target) const
{
    BandVector copies;
    copies.reserve(m_bands.size());
    for (const auto& band : m_bands)
        copies.push_back(band->Clone());
    target = std::move(copies);
}

QString CBandListController::ShownText(const CDataBand& band)
{
    QString text = band.GetText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString CBandListController::SampleText() const
{
    QString sample;
    for (const auto& band : m_bands)
        sample += ShownText(*band);
    return sample;
}

int CBandListController::SampleStart() const
{
    int start = 0;
    for (int i = 0; i < m_current; ++i)
        start += static_cast<int>(ShownText(*m_bands[static_cast<size_t>(i)]).size());
    return start;
}

int CBandListController::SampleLength() const
{
    const CDataBand* current = Current();
    return current ? static_cast<int>(ShownText(*current).size()) : 0;
}
