#pragma once

#include "model/DLBase.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Text and CSV files: one record per line. The first count or load reads the file
// once to learn its encoding, its record count and where every few records start;
// later loads start reading near their first record, and a load that follows the
// previous one continues where it stopped, so a job reads the file about once
// whatever its page count. A file whose size or time changed is learnt again.
//
// Encoding: a UTF-8 or UTF-16 byte-order mark decides for the whole file; without
// one, each line that is valid UTF-8 is UTF-8 and any other line GB18030. A CR
// before the line end is dropped. Records are split like SplitString: a field that
// starts with a double quote is quoted (its separators and line breaks are kept, so
// such a record may span lines; one whose quote never closes ends at the end of its
// line), any other field ends at the next separator;
// surplus pieces are dropped and missing ones left empty; at most kMaxDataFields
// fields are read. Separator kind 7 cuts fixed widths (the custom segments, such as
// "1,2,3,4"), and neither it nor kind 0 (the whole line) knows quotes.
class CTextDL : public CDLBase
{
public:
    CTextDL();
    ~CTextDL() override;
    void SetDataSource(const CDSBase* source) override;
    int GetRecordCount() override;
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override;

private:
    int CountRecords();
    bool ReadRows(int nFirst, int nLast, LoaderRow& rows);
    QString OutOfMemory() const;
    bool LearnFile(const QString& path, const QByteArray& quoteSeparator);

    struct FileState;
    std::unique_ptr<FileState> m_pFile;
};

// Field widths of custom segments: the text cut at commas, each piece read as a
// leading integer and made positive; pieces that give 0 are skipped
// ("3,,5,-2,x" gives 3, 5 and 2).
std::vector<int> ParseSegments(const QString& segments);

// The UTF-8 form of the character that cuts the lines of a separator kind
// (TextSeparatorKind): the first character of otherSeparator for kind 6, any
// character; empty for kinds that cut nowhere (none, an empty other separator).
QByteArray TextSeparator(int32_t kind, const QString& otherSeparator);

// The separator whose fields may be quoted, for a separator kind: empty for the
// fixed widths and for kinds that cut nowhere.
QByteArray QuoteSeparator(int32_t kind, const QString& otherSeparator);

// Cuts one record, in UTF-8, into pieceCount pieces appended to rows: by widths
// counted in UTF-16 units when widths is not empty, else at the separator (UTF-8 of
// one character; empty never cuts), a field that starts with a double quote read
// as a quoted field. This is the one splitting code: the loader and the data-source
// dialog both cut their records here.
void AppendSplitLine(QByteArrayView line, QByteArrayView separator, const std::vector<int>& widths, int pieceCount,
                     LoaderRow& rows);

// The same for a record held as text: exactly pieceCount pieces (at least one).
// Once the pieces are filled the rest of the record is dropped; missing pieces are
// empty.
QStringList SplitString(const QString& line, const QString& separator, int pieceCount,
                        const std::vector<int>& widths = {});

// The number of fields AppendSplitLine finds in a record, counting no further than
// limit (so that a line of millions of separators costs no more than limit fields).
int CountFields(QByteArrayView line, QByteArrayView separator, int limit);

// The start of a text data file as the loader reads it.
struct TextFileHead
{
    QStringList records;     // the first records, decoded
    qint64 recordCount = 0;  // the records of the whole file
    qint64 nonUtf8Lines = 0; // lines that were not UTF-8, read as GB18030
    qint64 openQuoteLine = 0; // the first line whose quoted field never closes, 0 for none
};

// The most of one record a preview keeps (UTF-8 bytes, cut at a character): room for
// every field the loader reads in an ordinary record, never a whole line of hundreds
// of megabytes.
inline constexpr qsizetype kMaxPreviewRecordBytes = qsizetype(1) << 20;

// Reads the first keep records of a text data file (each at most
// kMaxPreviewRecordBytes long), its fields quoted at
// quoteSeparator (empty: no quoting). False, with error set in the program's words
// naming the file, when it cannot be opened or read.
bool ReadTextFileHead(const QString& path, QByteArrayView quoteSeparator, int keep, TextFileHead& head,
                      QString& error);
