// vellumcraft-mdbreader: reads one Access file with libmdb for the program, which starts
// it with limits on memory, time and output (platform/db/AccessReader.cpp), so that a
// damaged file that sends libmdb into a loop or a giant allocation ends this process,
// never the program with the user's labels in it.
//
//   vellumcraft-mdbreader FILE           the user tables (catalogue order)
//   vellumcraft-mdbreader FILE TABLE     that table's columns and rows
//
// The database password comes on standard input. Output: platform/db/AccessStream.h.
#include "platform/db/AccessStream.h"

#include <cstdio>
#include <cstring>
#include <mdbtools.h>
#include <string>
#include <vector>

namespace {

// Long text is read up to this many bytes per value.
constexpr size_t kBindBytes = 65536;

bool IsNumericColumn(int type)
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

// Frames are gathered and written a batch at a time.
class Output
{
public:
    ~Output() { Flush(); }
    std::string& Buffer() { return m_buffer; }
    void Frame(AccessStreamKind kind, std::string_view payload)
    {
        AppendAccessFrame(m_buffer, kind, payload);
        if (m_buffer.size() >= 1 << 20)
            Flush();
    }
    void Flush()
    {
        if (!m_buffer.empty())
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        m_buffer.clear();
        std::fflush(stdout);
    }

private:
    std::string m_buffer;
};

int Refuse(Output& out, AccessStreamError error)
{
    const char code = static_cast<char>(error);
    out.Frame(AccessStreamKind::Error, std::string_view(&code, 1));
    out.Frame(AccessStreamKind::End, {});
    return 0;
}

std::string ReadPassword()
{
    char buffer[256];
    const size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
    return std::string(buffer, n);
}

int WriteTable(Output& out, MdbCatalogEntry* entry)
{
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table)) {
        if (table)
            mdb_free_tabledef(table);
        return Refuse(out, AccessStreamError::Table);
    }
    mdb_rewind_table(table);
    const unsigned int count = table->num_cols;
    std::vector<std::string> buffers(count);
    std::vector<int> lengths(count, 0);
    std::vector<bool> bound(count, false);
    for (unsigned int c = 0; c < count; ++c) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        AppendAccessColumn(out.Buffer(),
            {static_cast<std::uint8_t>(IsNumericColumn(column->col_type) ? kAccessColumnNumeric : 0), column->name});
        // Binary objects have no text form; they read as NULL.
        if (column->col_type == MDB_OLE || column->col_type == MDB_BINARY)
            continue;
        buffers[c].resize(kBindBytes + 1);
        mdb_bind_column(table, static_cast<int>(c + 1), buffers[c].data(), &lengths[c]);
        bound[c] = true;
    }
    std::string row;
    while (mdb_fetch_row(table)) {
        row.clear();
        for (unsigned int c = 0; c < count; ++c) {
            // The library gives no length for NULL, nor for an empty text: both read
            // as NULL.
            if (bound[c] && lengths[c] > 0)
                AppendAccessCell(row, std::string_view(buffers[c].data(), std::min<size_t>(lengths[c], kBindBytes)));
            else
                AppendAccessCell(row, std::nullopt);
        }
        out.Frame(AccessStreamKind::Row, row);
    }
    mdb_free_tabledef(table);
    out.Frame(AccessStreamKind::End, {});
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Output out;
    if (argc != 2 && argc != 3)
        return Refuse(out, AccessStreamError::Usage);
    const std::string password = ReadPassword();
    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        return Refuse(out, AccessStreamError::NotAccess);
    // Databases locked with a password cannot be checked or, for the newer format,
    // read at all: refuse them plainly rather than read garbage.
    if (mdb->f->jet_version == MDB_VER_JET3 && mdb->f->db_passwd[0] != '\0'
        && std::string(mdb->f->db_passwd, strnlen(mdb->f->db_passwd, sizeof mdb->f->db_passwd)) != password) {
        return Refuse(out, AccessStreamError::Password);
    }
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    mdb_set_bind_size(mdb, kBindBytes);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        return Refuse(out, AccessStreamError::Catalog);
    for (guint i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        if (argc == 2)
            out.Frame(AccessStreamKind::Table, entry->object_name);
        else if (std::strcmp(entry->object_name, argv[2]) == 0)
            return WriteTable(out, entry);
    }
    if (argc == 3)
        return Refuse(out, AccessStreamError::NoTable);
    out.Frame(AccessStreamKind::End, {});
    // The process ends here; the handle goes with it.
    return 0;
}
