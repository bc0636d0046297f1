#pragma once

#include <QByteArray>
#include <QImage>
#include <ZXing/BarcodeFormat.h>
#include <optional>

// Reads one symbol of the given format from the image with zxing-cpp; returns its
// content bytes, or nothing when no symbol was read.
std::optional<QByteArray> DecodeWithZXing(const QImage& image, ZXing::BarcodeFormat format);

class CBarcodeImpl;
class QString;

// Runs the implementation's Encode; the failure text it throws, empty when none.
QString EncodeError(CBarcodeImpl& impl);

// The barcode drawn through its Draw at dpi on white, its box placed `quietMm`
// from every edge of the image.
QImage RenderBarcode(CBarcodeImpl& impl, double dpi, double quietMm);

// Reads one Data Matrix with libdmtx's own reader; returns its content bytes and,
// when asked, its first data codeword (which shows the encodation latch).
std::optional<QByteArray> DecodeWithLibdmtx(const QImage& image, int* firstCodeword = nullptr);
