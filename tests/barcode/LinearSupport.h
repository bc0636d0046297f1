#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <ZXing/BarcodeFormat.h>
#include <ZXing/DecodeHints.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CBarcodeImpl;
class CBarcodeGraph;
class CBarcodeSettings;
class CBaseGraph;

// Runs the recompute order of a new or changed barcode.
void Recompute(CBarcodeImpl& impl);

// Changes a test makes to new settings before the first recompute.
using BarcodeOptions = std::function<void(CBarcodeSettings&)>;
// A new barcode of the symbology with the content and options, recomputed.
std::unique_ptr<CBarcodeImpl> EncodeBarcode(int symbology, const QString& content,
                                            const BarcodeOptions& options = {});
// A barcode object owning impl, placed at (x, y), its box the computed size.
std::unique_ptr<CBarcodeGraph> PlaceBarcode(std::unique_ptr<CBarcodeImpl> impl, float x = 5, float y = 5);

// Width digits (bars and spaces alternating) as modules: "211" -> "1101".
std::string WidthsToModules(const QString& widths);
// Our symbol as a module string.
std::string ModulesOf(const CBarcodeImpl& impl);
// A width pattern assembled from symbol values: start, data..., check, stop.
QString Code128PatternOfValues(const std::vector<int>& values);

// Row 0 of a zint symbol as a module string; empty when zint refuses the input.
// option2 is zint's second option (check digits, add-on gap), 0 its default.
std::string ZintModules(int symbology, int inputMode, const QByteArray& data, int option2 = 0);

// Draws the object on a white image of the given size in millimetres.
QImage RenderObject(const CBaseGraph& object, double widthMm, double heightMm, double dpi);
// Bounding box of the dark pixels; empty when there are none.
QRect DarkBounds(const QImage& image, const QRect& within = {});

struct LinearRead
{
    QByteArray text;
    std::string symbologyIdentifier;
};
// Reads one symbol of the format (linear or 2-D) with zxing-cpp, trying 90-degree
// turns when asked.
std::optional<LinearRead> ReadLinear(const QImage& image, ZXing::BarcodeFormat format, bool tryRotate = false);
// The same with hints of the caller's (formats, Code 39 full ASCII and the like).
std::optional<LinearRead> ReadLinear(const QImage& image, const ZXing::DecodeHints& hints);
// Reads a module string drawn two pixels per module with a ten-module quiet zone.
std::optional<LinearRead> ReadModules(const std::string& modules, ZXing::BarcodeFormat format);
