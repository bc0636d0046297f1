#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

class CBarcodeData_PDF417;

// The PDF417 encoder: bytes in, codewords and the bar-space pattern of every row
// out. Byte compaction only; Reed-Solomon check words over GF(929).

inline constexpr int kPdf417AutoLevel = 9;
inline constexpr int kPdf417MaxRows = 90;
inline constexpr int kPdf417MaxColumns = 30;
inline constexpr int kPdf417MaxCodewords = 928;
inline constexpr int32_t kPdf417StartPattern = 81111113;
inline constexpr int32_t kPdf417StopPattern = 711311121;
inline constexpr int32_t kPdf417TruncatedStop = 1;

// Failure texts, shown to the user as they stand.
inline const QString kPdf417BadLevel = QStringLiteral("错误纠正等级数字不正确。");
inline const QString kPdf417BadRowsColumns = QStringLiteral("行列设置不正确。");
inline const QString kPdf417TooManyRows = QStringLiteral("行数超过 90 行，无法生成 PDF417 条码。");
inline const QString kPdf417TooManyColumns = QStringLiteral("列数超过 30 列，无法生成 PDF417 条码。");
inline const QString kPdf417TooManyCodewords = QStringLiteral("码字超过 928 个，内容太长，无法生成 PDF417 条码。");

struct Pdf417Options
{
    int errorLevel = kPdf417AutoLevel;  // 0-8, or 9 for automatic
    int rows = 0;                       // 0: chosen by the encoder
    int columns = 0;                    // data columns; 0: chosen by the encoder
    int rowColumnLimit = 3;             // rows may grow to this many times the columns
    bool truncated = false;
};


// Latch 924 (a multiple of six bytes) or 901, then five base-900 digits per six
// bytes and one codeword per remaining byte.
std::vector<int32_t> Pdf417CompactBytes(const QByteArray& bytes);
// Level for d data codewords (length descriptor included).
int Pdf417AutoErrorLevel(int dataCount);
// Generator coefficients of a level 0-8, lowest power first (2^(level+1) values).
std::span<const int16_t> Pdf417Coefficients(int level);
std::vector<int32_t> Pdf417ErrorCodewords(std::span<const int32_t> data, int level);
// Grows rows and columns from the options until they hold `needed` codewords, then
// checks the symbol limits. Throws CBarcodeException.
void Pdf417ChooseSize(int needed, const Pdf417Options& options, int& rows, int& columns);
int Pdf417LeftIndicator(int row, int rows, int columns, int level);
int Pdf417RightIndicator(int row, int rows, int columns, int level);

// Runs the whole encoder into the data (text aside), which keeps what was computed
// when a CBarcodeException is thrown.
void EncodePdf417(const QByteArray& bytes, const Pdf417Options& options, CBarcodeData_PDF417& data);
// Cells of one row of the data's matrices: columns + 4, or + 3 when truncated.
int Pdf417MatrixWidth(const CBarcodeData_PDF417& data);
