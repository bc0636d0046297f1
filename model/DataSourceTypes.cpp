#include "model/DataSourceTypes.h"

#include "model/AdoLoaders.h"
#include "model/DSBase.h"
#include "model/DatabaseLoaders.h"
#include "model/TextLoader.h"

namespace {

template <class T>
std::unique_ptr<CDSBase> Description()
{
    return std::make_unique<T>();
}

template <class T>
std::unique_ptr<CDLBase> Loader()
{
    return std::make_unique<T>();
}

} // namespace

const std::vector<DataSourceTypeInfo>& DataSourceTypes()
{
    // DB2 (9) stands before Sybase (8) in the wizard.
    static const std::vector<DataSourceTypeInfo> types = {
        {DSText, 1143, u"文本文件 (*.txt, *.csv)", nullptr,
         {{".TXT", u"文本文件(*.txt)"}, {".CSV", u"文本文件(*.csv)"}}, Description<CTextDS>, Loader<CTextDL>},
        {DSExcel, 1144, u"Excel 文件 (*.xls, *.xlsx)", nullptr,
         {{".XLS", u"Excel数据表(*.xls)"}, {"XLSX", u"Excel数据表(*.xlsx)"}}, Description<CExcelDS>, Loader<CExcelDL>},
        {DSAccess, 1145, u"Access 数据库(*.mdb, *.accdb)", nullptr,
         {{".MDB", u"Access数据库(*.mdb)"}, {"CCDB", u"Access数据库(*.accdb)"}}, Description<CAccessDS>,
         Loader<CAccessDL>},
        {DSSQLite, 1148, u"SQLite 数据库(*.db, *.sqlite)", u"SQLite数据库", {}, Description<CSQLiteDS>,
         Loader<CSQLiteDL>},
        {DSPostgreSQL, 1147, u"PostgreSQL 数据库", u"PostgreSQL数据库", {}, Description<CPostgreSQLDS>,
         Loader<CPostgreSQLDL>},
        {DSMySQL, 1146, u"MySQL 数据库", u"MySQL数据库", {}, Description<CMySQLDS>, Loader<CMySQLDL>},
        {DSSQLServer, 1154, u"SQL Server 数据库", u"SQL Server数据库", {}, Description<CSQLServerDS>,
         Loader<CSQLServerDL>},
        {DSOracle, 1149, u"Oracle 数据库", u"Oracle数据库", {}, Description<COracleDS>, Loader<COracleDL>},
        {DSDB2, 1150, u"IBM DB2 数据库", u"DB2数据库", {}, Description<CDB2DS>, Loader<CDB2DL>},
        {DSSybase, 1152, u"Sybase 数据库", u"Sybase数据库", {}, Description<CSybaseDS>, Loader<CSybaseDL>},
        {DSOLEDB, 1153, u"OLEDB 数据源", u"OLEDB 数据源", {}, Description<COLEDBDS>, nullptr},
        {DSODBC, 1151, u"ODBC 数据源", u"ODBC 数据源", {}, Description<CODBCDS>, nullptr},
        {DSCustom, 1155, u"自定义数据源", u"自定义数据源", {}, Description<CCustomDS>, Loader<CCustomDL>},
    };
    return types;
}

const DataSourceTypeInfo* FindDataSourceType(int32_t type)
{
    for (const DataSourceTypeInfo& info : DataSourceTypes())
        if (info.type == type)
            return &info;
    return nullptr;
}
