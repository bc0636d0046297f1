#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class CBarcodeImpl;
class CBarcodeSettings;
class CBarcodeData;

// The integer that names a symbology in the settings, the label file, the
// property dialog and the factory.
enum BarcodeSymbology : int32_t {
    SymbologyCode39 = 0,
    SymbologyCode39Full = 1,
    SymbologyCode93 = 2,
    SymbologyCode93Full = 3,
    SymbologyCode11 = 4,
    SymbologyCodabar = 5,
    SymbologyInterleaved25 = 20,
    SymbologyIndustrial25 = 21,
    SymbologyMatrix25 = 22,
    SymbologyCode128 = 30,
    SymbologyEAN128 = 31,
    SymbologyEAN128Multi = 32,
    SymbologyEAN13 = 40,
    SymbologyEAN8 = 41,
    SymbologyUPCA = 42,
    SymbologyUPCE = 43,
    SymbologySupp2 = 44,
    SymbologySupp5 = 45,
    SymbologyEAN14 = 50,
    SymbologyITF14 = 51,
    SymbologySCC14ITF = 52,
    SymbologySCC14EAN128 = 53,
    SymbologySSCC18 = 54,
    SymbologyLOGMARS = 60,
    SymbologyTelepen = 61,
    SymbologyMSI = 62,
    SymbologyPostNet = 63,
    SymbologyMedicalCode = 70,
    SymbologyMonitorCode = 71,
    SymbologyPostalCode = 72,
    SymbologyPDF417 = 80,
    SymbologyMicroPDF417 = 81,
    SymbologyQRCode = 82,
    SymbologyMicroQRCode = 83,
    SymbologyDataMatrix = 84,
    SymbologyMaxicode = 85,
};

// Which settings block follows the generic one in a label file.
enum class BarcodeSettingsBlock {
    Generic,
    Code128,
    EAN128,
    EJU,
    ITF14,
    PDF417,
    QRCode,
    DataMatrix,
};

// The symbology's own options beyond what every barcode has, as the property
// dialog groups them: one option pane per value.
enum class SymbologyOptions {
    None,
    Code39,
    Codabar,
    Code93,
    Code11,
    Interleaved25,
    Industrial25,
    Matrix25,
    Code128,
    EAN128,
    EAN14,
    EAN13,
    EJUSupp,
    MedicalCode,
    MonitorCode,
    PostalCode,
    PDF417,
    QRCode,
    DataMatrix,
};

// One row of the symbology table. Rows without a settings maker are names only:
// the display list knows them, the factory does not build them. Rows with makers
// but no implementation maker are symbologies whose encoder is not in yet.
struct SymbologyInfo
{
    int32_t code;
    const char16_t* displayName;
    BarcodeSettingsBlock block;
    std::unique_ptr<CBarcodeSettings> (*makeSettings)();
    std::unique_ptr<CBarcodeData> (*makeData)();
    std::unique_ptr<CBarcodeImpl> (*makeImpl)();
    // Position in the property dialog's symbology list; -1 for a code it does not offer.
    int listIndex = -1;
    SymbologyOptions options = SymbologyOptions::None;

    bool IsBuilt() const { return makeSettings && makeData && makeImpl; }
};

// Every symbology code the program names, in ascending code order.
std::span<const SymbologyInfo> GetSymbologyTable();
// The row of a code; null for a code without one.
const SymbologyInfo* FindSymbology(int32_t code);
// The display name of a code; empty for a code without one.
QString GetSymbologyDisplayName(int32_t code);
// The codes the property dialog offers, in the order of its list.
std::vector<int32_t> GetListedSymbologies();

// Makes settings (with the symbology's defaults and the code stored), data and
// implementation of one barcode. Throws CBarcodeException "Not implemented barcode
// type" for a code the engine does not build.
std::unique_ptr<CBarcodeImpl> CreateBarcodeImpl(int32_t code);
// As above, storing the result in place only on success; on failure place keeps
// what it held. Returns the new implementation.
CBarcodeImpl* CreateBarcodeImpl(int32_t code, std::unique_ptr<CBarcodeImpl>& place);
