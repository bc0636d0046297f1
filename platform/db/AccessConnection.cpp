#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/SQLiteStage.h"

#include <QFile>
#include <QFileInfo>
#include <mdbtools.h>

namespace {

// Long text is read up to this many bytes per value.
constexpr size_t kBindBytes = 65536;

bool IsNumeric(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC: return true;
    default: return false;
    }
}

class AccessConnection : public StagedConnection
{
public:
    AccessConnection(const QString& path, const QString& password)
    {
        if (path.isEmpty() || !QFileInfo(path).isFile()) {
            Fail(QStringLiteral("Access数据库“%1”不存在。").arg(path));
            return;
        }
        m_mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        if (!m_mdb) {
            Fail(QStringLiteral("“%1”不是可读取的Access数据库。").arg(path));
            return;
        }
        // Databases locked with a password cannot be checked or, for the newer
        // format, read at all: refuse them plainly rather than read garbage.
        if (m_mdb->f->jet_version == MDB_VER_JET3 && m_mdb->f->db_passwd[0] != '\0'
            && QByteArray(m_mdb->f->db_passwd, qstrnlen(m_mdb->f->db_passwd, sizeof m_mdb->f->db_passwd))
                != password.toLatin1()) {
            Fail(QStringLiteral("Access数据库“%1”的密码不正确。").arg(path));
            CloseFile();
            return;
        }
        mdb_set_date_fmt(m_mdb, "%Y-%m-%d %H:%M:%S");
        mdb_set_shortdate_fmt(m_mdb, "%Y-%m-%d");
        mdb_set_bind_size(m_mdb, kBindBytes);
        if (!mdb_read_catalog(m_mdb, MDB_TABLE)) {
            Fail(QStringLiteral("无法读取Access数据库“%1”：有密码保护（加密）的数据库无法读取。")
                     .arg(path));
            CloseFile();
            return;
        }
        QStringList tables;
        for (guint i = 0; i < m_mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
                tables.append(QString::fromUtf8(entry->object_name));
                m_entries.push_back(entry);
            }
        }
        if (!OpenEngine()) {
            CloseFile();
            return;
        }
        SetTables(tables);
    }
    ~AccessConnection() override { CloseFile(); }

    void Close() override
    {
        StagedConnection::Close();
        CloseFile();
    }

protected:
    bool Stage(int index) override
    {
        if (!m_mdb || index < 0 || index >= static_cast<int>(m_entries.size()))
            return Fail(QStringLiteral("数据库已关闭。"));
        MdbCatalogEntry* entry = m_entries[index];
        const QString name = QString::fromUtf8(entry->object_name);
        MdbTableDef* table = mdb_read_table(entry);
        if (!table || !mdb_read_columns(table)) {
            if (table)
                mdb_free_tabledef(table);
            return Fail(QStringLiteral("无法读取表“%1”。").arg(name));
        }
        mdb_rewind_table(table);
        const unsigned int count = table->num_cols;
        QStringList names;
        QStringList types;
        std::vector<QByteArray> buffers(count);
        std::vector<int> lengths(count, 0);
        std::vector<bool> bound(count, false);
        for (unsigned int c = 0; c < count; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            names.append(QString::fromUtf8(column->name));
            types.append(IsNumeric(column->col_type) ? QStringLiteral("NUMERIC") : QStringLiteral("TEXT"));
            // Binary objects have no text form; they read as NULL.
            if (column->col_type == MDB_OLE || column->col_type == MDB_BINARY)
                continue;
            buffers[c].resize(static_cast<qsizetype>(kBindBytes) + 1);
            mdb_bind_column(table, static_cast<int>(c + 1), buffers[c].data(), &lengths[c]);
            bound[c] = true;
        }
        bool ok = true;
        {
            TableWriter writer(*this, name, UniqueColumnNames(names), types);
            while (writer.IsOk() && mdb_fetch_row(table)) {
                for (unsigned int c = 0; c < count; ++c) {
                    // The library gives no length for NULL, nor for an empty text:
                    // both read as NULL.
                    if (bound[c] && lengths[c] > 0)
                        writer.BindText(static_cast<int>(c),
                            QByteArrayView(buffers[c].constData(), std::min<qsizetype>(lengths[c], kBindBytes)));
                }
                writer.EndRow();
            }
            ok = writer.Finish();
        }
        mdb_free_tabledef(table);
        return ok;
    }

private:
    void CloseFile()
    {
        if (m_mdb)
            mdb_close(m_mdb);
        m_mdb = nullptr;
        m_entries.clear();
    }

    MdbHandle* m_mdb = nullptr;
    std::vector<MdbCatalogEntry*> m_entries;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenAccess(const QString& path, const QString& password)
{
    return OpenOnWorker(QFileInfo(path).fileName(), [path, password]() -> std::unique_ptr<DbConnection> {
        return std::make_unique<AccessConnection>(path, password);
    });
}
