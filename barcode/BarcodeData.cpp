#include "barcode/BarcodeData.h"

void CBarcodeData::CopyFrom(const CBarcodeData& other)
{
    if (&other == this)
        return;
    m_arrX = other.m_arrX;
    m_arrWidth = other.m_arrWidth;
}

void CBarcodeData::ClearBars()
{
    m_arrX.clear();
    m_arrWidth.clear();
}

void CBarcodeData_Elements::CopyFrom(const CBarcodeData& other)
{
    CBarcodeData::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeData_Elements*>(&other); o && o != this)
        m_arrElements = o->m_arrElements;
}

void CBarcodeData_PDF417::CopyFrom(const CBarcodeData& other)
{
    CBarcodeData::CopyFrom(other);
    const auto* o = dynamic_cast<const CBarcodeData_PDF417*>(&other);
    if (!o || o == this)
        return;
    m_strText = o->m_strText;
    m_arrDataCodewords = o->m_arrDataCodewords;
    m_nECLevel = o->m_nECLevel;
    m_nECCount = o->m_nECCount;
    m_nRows = o->m_nRows;
    m_nColumns = o->m_nColumns;
    m_nPadCount = o->m_nPadCount;
    m_arrDataAndPad = o->m_arrDataAndPad;
    m_arrECCodewords = o->m_arrECCodewords;
    m_arrAllCodewords = o->m_arrAllCodewords;
    m_arrCodewordMatrix = o->m_arrCodewordMatrix;
    m_arrPatternMatrix = o->m_arrPatternMatrix;
}

void CBarcodeData_PDF417::Clear()
{
    m_arrDataCodewords.clear();
    m_arrDataAndPad.clear();
    m_arrECCodewords.clear();
    m_arrAllCodewords.clear();
    m_arrCodewordMatrix.clear();
    m_arrPatternMatrix.clear();
}
