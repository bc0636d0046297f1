#pragma once

#include "model/DLBase.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

// Text and CSV files: one record per line. Each count and load opens, reads and
// closes the file; reading stops after the last wanted line.
//
// Encoding: a UTF-8 or UTF-16 byte-order mark decides; otherwise a file that is
// valid UTF-8 throughout is UTF-8 and any other is GB18030. A CR before the line
// end is dropped. Lines are split like SplitString: no quoting, the separator
// always cuts, surplus pieces are dropped and missing ones left empty. Separator
// kind 7 cuts fixed widths (the custom segments, such as "1,2,3,4").
class CTextDL : public CDLBase
{
public:
    int GetRecordCount() override;
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override;

private:
    int CountRecords();
    bool ReadRows(int nFirst, int nLast, LoaderRow& rows);
    QString OutOfMemory() const;
};

// Field widths of custom segments: the text cut at commas, each piece read as a
// leading integer and made positive; pieces that give 0 are skipped
// ("3,,5,-2,x" gives 3, 5 and 2).
std::vector<int> ParseSegments(const QString& segments);

// The UTF-8 form of the character that cuts the lines of a separator kind
// (TextSeparatorKind): the first character of otherSeparator for kind 6, any
// character; empty for kinds that cut nowhere (none, an empty other separator).
QByteArray TextSeparator(int32_t kind, const QString& otherSeparator);

// Cuts one line, in UTF-8, into pieceCount pieces appended to rows: by widths
// counted in UTF-16 units when widths is not empty, else at every occurrence of the
// separator (UTF-8 of one character; empty never cuts). This is the one splitting
// code: the loader and the data-source dialog both cut their lines here.
void AppendSplitLine(QByteArrayView line, QByteArrayView separator, const std::vector<int>& widths, int pieceCount,
                     LoaderRow& rows);

// The same for a line held as text: exactly pieceCount pieces (at least one). Once
// the pieces are filled the rest of the line is dropped; missing pieces are empty.
QStringList SplitString(const QString& line, const QString& separator, int pieceCount,
                        const std::vector<int>& widths = {});

// The first keep lines of a text data file, decoded as the loader decodes them, and
// its number of lines; counting stops once more than countLimit lines were read
// (countLimit < 0: the whole file). False, with error set, when it cannot be opened.
bool ReadTextFileHead(const QString& path, int keep, qint64 countLimit, QStringList& lines, qint64& lineCount,
                      QString& error);
