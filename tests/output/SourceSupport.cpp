#include "OutputSupport.h"

#include "model/DSBase.h"

CDSBase& AddSource(CLabelData& label, const QString& name, const QStringList& fields)
{
    auto source = std::make_unique<CTextDS>();
    source->m_strName = name;
    source->m_selectedFields = fields;
    CDSBase& ref = *source;
    label.m_dataSources.push_back(std::move(source));
    return ref;
}

CDSBase& AddSqliteSource(CLabelData& label, const QString& name, const QString& path, const QStringList& fields,
                         const QString& sortField)
{
    auto source = std::make_unique<CSQLiteDS>();
    source->m_strName = name;
    source->m_strPath = path;
    source->m_strTable = name;
    source->m_strSortField = sortField;
    source->m_selectedFields = fields;
    CDSBase& ref = *source;
    label.m_dataSources.push_back(std::move(source));
    return ref;
}
