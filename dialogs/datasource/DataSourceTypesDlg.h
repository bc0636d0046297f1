#pragma once

#include "app/VXBaseDialog.h"

#include <cstdint>

// The first step of a new data source: the user picks its type. After OK the
// caller reads the chosen DataSourceType code and opens that type's dialog.
class CDataSourceTypesDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CDataSourceTypesDlg(QWidget* parent = nullptr);

    void OnNext();

    int32_t m_nType = 0;
};
