#pragma once

#include "barcode/BarcodeData.h"

#include <QString>
#include <cmath>

// The bars as a module string ('1' dark), for bars built with a module of m mm.
inline QString ModuleString(const CBarcodeData& bars, float m = 1.0f)
{
    QString s;
    for (int i = 0; i < bars.GetBarCount(); ++i) {
        const int start = static_cast<int>(std::lround(bars.m_arrX[i] / m));
        const int end = static_cast<int>(std::lround((bars.m_arrX[i] + bars.m_arrWidth[i]) / m));
        if (s.size() < start)
            s += QString(start - s.size(), u'0');
        s += QString(end - start, u'1');
    }
    return s;
}
