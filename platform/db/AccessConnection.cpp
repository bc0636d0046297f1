#include "platform/db/AccessReader.h"
#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/SQLiteStage.h"

#include <QFileInfo>

namespace {

// What an Access file can hold: tables (objects) in its catalogue, columns in a
// table, and bytes in a name (libmdb's own bound). A reader that writes more is
// reading a damaged file; its names would otherwise pile up in memory, as they are
// kept before anything is staged.
constexpr int kAccessMaxTables = 32768;
constexpr int kAccessMaxColumns = 255;
constexpr size_t kAccessMaxNameBytes = 256;

// An Access file read through the reader program (AccessReader.h): one run for the
// catalogue when the file is opened, and one for each table when a statement first
// names it, its rows staged into SQLite as they come.
class AccessConnection : public StagedConnection
{
public:
    AccessConnection(const QString& path, const QString& password)
        : m_path(path)
        , m_password(password.toLatin1())
    {
        if (path.isEmpty() || !QFileInfo(path).isFile()) {
            Fail(QStringLiteral("Access数据库“%1”不存在。").arg(path));
            return;
        }
        SetSourceText(QStringLiteral("Access数据库“%1”").arg(path));
        QStringList tables;
        const auto handler = [&](const AccessStreamDecoder::Frame& frame) {
            if (frame.kind == AccessStreamKind::Table) {
                if (tables.size() >= kAccessMaxTables)
                    return Damage(QStringLiteral("目录中的表多于 %1 个").arg(kAccessMaxTables));
                if (frame.payload.size() > kAccessMaxNameBytes)
                    return Damage(QStringLiteral("目录中有长于 %1 字节的表名").arg(kAccessMaxNameBytes));
                tables.append(QString::fromUtf8(frame.payload.data(), static_cast<qsizetype>(frame.payload.size())));
            }
            return frame.kind != AccessStreamKind::Column && frame.kind != AccessStreamKind::Row;
        };
        if (!Read({}, handler) || !OpenEngine())
            return;
        SetTables(tables);
    }

    void Close() override
    {
        Interrupt();
        StagedConnection::Close();
    }

    // Ends a read that is under way, from any thread: the reader is killed and the
    // statement that waited for it fails with a message; a statement over the staged
    // copy is interrupted as any SQLite statement is.
    void Interrupt() override
    {
        m_reader.Interrupt();
        StagedConnection::Interrupt();
    }

protected:
    bool Stage(int index) override
    {
        if (!IsOpen())
            return FailNotConnected();
        const QString name = Table(index);
        std::unique_ptr<TableWriter> writer;
        qsizetype columns = 0;
        QStringList names;
        QStringList types;
        std::vector<std::optional<std::string_view>> cells;
        QString stagingError; // the staged copy's own failure, which stops the read
        const auto handler = [&](const AccessStreamDecoder::Frame& frame) {
            if (frame.kind == AccessStreamKind::Column) {
                AccessStreamColumn column;
                if (writer || !DecodeAccessColumn(frame.payload, column))
                    return false;
                if (names.size() >= kAccessMaxColumns)
                    return Damage(QStringLiteral("表“%1”的列多于 %2 个").arg(name).arg(kAccessMaxColumns));
                if (column.name.size() > kAccessMaxNameBytes)
                    return Damage(QStringLiteral("表“%1”有长于 %2 字节的列名").arg(name).arg(kAccessMaxNameBytes));
                names.append(QString::fromUtf8(column.name.data(), static_cast<qsizetype>(column.name.size())));
                types.append(column.flags & kAccessColumnNumeric ? QStringLiteral("NUMERIC") : QStringLiteral("TEXT"));
                return true;
            }
            if (frame.kind != AccessStreamKind::Row && frame.kind != AccessStreamKind::End)
                return false;
            if (!writer) {
                columns = names.size();
                writer = std::make_unique<TableWriter>(*this, name, UniqueColumnNames(names), types);
            }
            if (frame.kind == AccessStreamKind::Row) {
                if (!DecodeAccessRow(frame.payload, static_cast<size_t>(columns), cells))
                    return false;
                for (qsizetype c = 0; c < columns; ++c) {
                    if (cells[c])
                        writer->BindText(static_cast<int>(c), QByteArrayView(cells[c]->data(), cells[c]->size()));
                }
                writer->EndRow();
            }
            // A failed write (past the cap on temporary storage) ends the reader at once.
            if (!writer->IsOk())
                stagingError = LastError();
            return stagingError.isEmpty();
        };
        if (!Read({name}, handler))
            return stagingError.isEmpty() ? false : Fail(stagingError);
        return writer->Finish();
    }

private:
    // A frame no undamaged file gives: the read ends, and why is said in its message.
    bool Damage(const QString& why)
    {
        m_damage = why;
        return false;
    }

    // Runs the reader on the file with the arguments after it, giving each frame to
    // handler; false with the message set when the reader refused the file or did
    // not finish.
    bool Read(const QStringList& arguments, const AccessReaderProcess::FrameHandler& handler)
    {
        std::optional<AccessStreamError> refusal;
        m_damage.clear();
        const auto take = [&](const AccessStreamDecoder::Frame& frame) {
            if (frame.kind == AccessStreamKind::Error) {
                if (frame.payload.size() != 1)
                    return false;
                refusal = static_cast<AccessStreamError>(frame.payload[0]);
                return true;
            }
            // After a refusal only its end may follow.
            return refusal ? frame.kind == AccessStreamKind::End : handler(frame);
        };
        const auto outcome = m_reader.Run(QStringList {m_path} + arguments, m_password, take);
        using Outcome = AccessReaderProcess::Outcome;
        if (outcome == Outcome::Done && !refusal)
            return true;
        if (outcome == Outcome::Done)
            return Fail(RefusalMessage(*refusal, arguments.value(0)));
        if (outcome == Outcome::NotStarted)
            return Fail(QStringLiteral("无法启动Access数据库读取程序“%1”，无法读取Access数据库“%2”。")
                            .arg(AccessReaderProgram(), m_path));
        if (outcome == Outcome::Interrupted)
            return Fail(QStringLiteral("已取消读取Access数据库“%1”。").arg(m_path));
        const AccessReaderLimits limits = AccessReaderLimitsInUse();
        QString why = QStringLiteral("读取时出错");
        if (outcome == Outcome::TimedOut)
            why = QStringLiteral("读取超过了 %1 秒").arg(limits.seconds);
        else if (outcome == Outcome::TooMuchOutput)
            why = QStringLiteral("读出的数据超过了 %1 MB").arg(limits.outputBytes >> 20);
        else if (outcome == Outcome::BadOutput && !m_damage.isEmpty())
            why = m_damage;
        else if (outcome == Outcome::Ended)
            why = QStringLiteral("读取程序异常结束（可能用尽了 %1 MB 内存）").arg(limits.memoryBytes >> 20);
        return Fail(QStringLiteral("Access数据库“%1”已损坏或无法读取：%2。").arg(m_path, why));
    }

    QString RefusalMessage(AccessStreamError error, const QString& table) const
    {
        switch (error) {
        case AccessStreamError::NotAccess: return QStringLiteral("“%1”不是可读取的Access数据库。").arg(m_path);
        case AccessStreamError::Password: return QStringLiteral("Access数据库“%1”的密码不正确。").arg(m_path);
        case AccessStreamError::Catalog:
            return QStringLiteral("无法读取Access数据库“%1”：有密码保护（加密）的数据库无法读取。").arg(m_path);
        case AccessStreamError::NoTable:
        case AccessStreamError::Table:
        case AccessStreamError::Usage: break;
        }
        return QStringLiteral("无法读取表“%1”。").arg(table);
    }

    QString m_path;
    QByteArray m_password;
    QString m_damage; // why the last read's output was refused, when a handler said
    AccessReaderProcess m_reader;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenAccess(const QString& path, const QString& password)
{
    return OpenOnWorker(QFileInfo(path).fileName(), [path, password]() -> std::unique_ptr<DbConnection> {
        return std::make_unique<AccessConnection>(path, password);
    });
}
