#include "barcode/BarcodeSymbology.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeImpl_Codabar.h"
#include "barcode/BarcodeImpl_Code11.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "barcode/BarcodeImpl_Code39.h"
#include "barcode/BarcodeImpl_Code93.h"
#include "barcode/BarcodeImpl_EAN128.h"
#include "barcode/BarcodeImpl_EJU.h"
#include "barcode/BarcodeImpl_Interleaved25.h"
#include "barcode/BarcodeImpl_MSI.h"
#include "barcode/BarcodeImpl_PostalCode.h"
#include "barcode/BarcodeImpl_PostNet.h"
#include "barcode/DataMatrix.h"
#include "barcode/Pdf417.h"
#include "barcode/QRCode.h"
#include "platform/VXException.h"

#include <algorithm>

namespace {

template <class T>
std::unique_ptr<CBarcodeSettings> S()
{
    return std::make_unique<T>();
}

template <class T>
std::unique_ptr<CBarcodeData> D()
{
    return std::make_unique<T>();
}

template <class T>
std::unique_ptr<CBarcodeImpl> I()
{
    return std::make_unique<T>();
}

using B = BarcodeSettingsBlock;
using O = SymbologyOptions;

// One row per code, in ascending order. A symbology is added to the engine by
// putting its implementation maker into its row.
const SymbologyInfo kSymbologies[] = {
    {SymbologyCode39, u"Code 39", B::Generic,
     S<CBarcodeSettings_Code39>, D<CBarcodeData_Code39>, I<CBarcodeImpl_Code39>, 3, O::Code39},
    {SymbologyCode39Full, u"Code 39 - Full ASCII", B::Generic,
     S<CBarcodeSettings_Code39>, D<CBarcodeData_Code39>, I<CBarcodeImpl_Code39Full>, 4, O::Code39},
    {SymbologyCode93, u"Code 93", B::Generic,
     S<CBarcodeSettings_Code93>, D<CBarcodeData_Code93>, I<CBarcodeImpl_Code93>, 5, O::Code93},
    {SymbologyCode93Full, u"Code 93 - Full ASCII", B::Generic,
     S<CBarcodeSettings_Code93>, D<CBarcodeData_Code93>, I<CBarcodeImpl_Code93Full>, 6, O::Code93},
    {SymbologyCode11, u"Code 11", B::Generic,
     S<CBarcodeSettings_Code11>, D<CBarcodeData_Code11>, I<CBarcodeImpl_Code11>, 1, O::Code11},
    {SymbologyCodabar, u"Codabar", B::Generic,
     S<CBarcodeSettings_Codabar>, D<CBarcodeData_Codabar>, I<CBarcodeImpl_Codabar>, 0, O::Codabar},

    {SymbologyInterleaved25, u"Interleaved 2/5", B::Generic,
     S<CBarcodeSettings_Interleaved25>, D<CBarcodeData_Interleaved25>, I<CBarcodeImpl_Interleaved25>,
     17, O::Interleaved25},
    {SymbologyIndustrial25, u"Industrial 2/5", B::Generic,
     S<CBarcodeSettings_Industrial25>, D<CBarcodeData_Industrial25>, I<CBarcodeImpl_Industrial25>, 16, O::Industrial25},
    {SymbologyMatrix25, u"Matrix 2/5", B::Generic,
     S<CBarcodeSettings_Matrix25>, D<CBarcodeData_Matrix25>, I<CBarcodeImpl_Matrix25>, 19, O::Matrix25},

    {SymbologyCode128, u"Code 128", B::Code128,
     S<CBarcodeSettings_Code128>, D<CBarcodeData_Code128>, I<CBarcodeImpl_Code128>, 2, O::Code128},
    {SymbologyEAN128, u"EAN/UCC 128", B::EAN128,
     S<CBarcodeSettings_EAN128>, D<CBarcodeData_Code128>, I<CBarcodeImpl_EAN128>, 14, O::EAN128},
    {SymbologyEAN128Multi, u"EAN/UCC 128 Mulit", B::Generic, nullptr, nullptr, nullptr},

    {SymbologyEAN13, u"EAN/JAN-13", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_EAN13>, 10, O::EAN13},
    {SymbologyEAN8, u"EAN/JAN-8", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_EAN8>, 11, O::EAN13},
    {SymbologyUPCA, u"UPC-A", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_UPCA>, 25, O::EAN13},
    {SymbologyUPCE, u"UPC-E", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_UPCE>, 26, O::EAN13},
    {SymbologySupp2, u"EAN/JAN/UPC 2-digit Supplemental", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_EJU_Supp2>, 12, O::EJUSupp},
    {SymbologySupp5, u"EAN/JAN/UPC 5-digit Supplemental", B::EJU,
     S<CBarcodeSettings_EJU>, D<CBarcodeData_EJU>, I<CBarcodeImpl_EJU_Supp5>, 13, O::EJUSupp},

    {SymbologyEAN14, u"EAN-14", B::EAN128,
     S<CBarcodeSettings_EAN128>, D<CBarcodeData_Code128>, I<CBarcodeImpl_EAN14>, 15, O::EAN14},

    {SymbologyITF14, u"ITF-14", B::ITF14,
     S<CBarcodeSettings_ITF14>, D<CBarcodeData_ITF14>, I<CBarcodeImpl_ITF14>, 18, O::Interleaved25},
    {SymbologySCC14ITF, u"SCC-14(ITF)", B::ITF14,
     S<CBarcodeSettings_ITF14>, D<CBarcodeData_ITF14>, I<CBarcodeImpl_ITF14>, 23, O::Interleaved25},

    {SymbologySCC14EAN128, u"SCC-14(EAN-128)", B::EAN128,
     S<CBarcodeSettings_EAN128>, D<CBarcodeData_Code128>, I<CBarcodeImpl_EAN14>, 22, O::EAN14},
    {SymbologySSCC18, u"SSCC-18", B::EAN128,
     S<CBarcodeSettings_EAN128>, D<CBarcodeData_Code128>, I<CBarcodeImpl_SSCC18>, 24, O::EAN14},
    {SymbologyLOGMARS, u"LOGMARS", B::Generic, nullptr, nullptr, nullptr},
    {SymbologyTelepen, u"Telepen", B::Generic, nullptr, nullptr, nullptr},

    {SymbologyMSI, u"Code MSI", B::Generic,
     S<CBarcodeSettings_MSI>, D<CBarcodeData_MSI>, I<CBarcodeImpl_MSI>, 7, O::Code93},
    {SymbologyPostNet, u"Code PostNet", B::Generic,
     S<CBarcodeSettings_PostNet>, D<CBarcodeData_PostNet>, I<CBarcodeImpl_PostNet>, 8, O::Code93},

    {SymbologyMedicalCode, u"药品监管码", B::Code128,
     S<CBarcodeSettings_MedicalCode>, D<CBarcodeData_MedicalCode>, I<CBarcodeImpl_MedicalCode>, 27, O::MedicalCode},
    {SymbologyMonitorCode, u"电子监管码", B::EAN128,
     S<CBarcodeSettings_MonitorCode>, D<CBarcodeData_MonitorCode>, I<CBarcodeImpl_MonitorCode>, 28, O::MonitorCode},
    {SymbologyPostalCode, u"邮件给据条码", B::Code128,
     S<CBarcodeSettings_PostalCode>, D<CBarcodeData_PostalCode>, I<CBarcodeImpl_PostalCode>, 29, O::PostalCode},

    {SymbologyPDF417, u"PDF 417", B::PDF417,
     S<CBarcodeSettings_PDF417>, D<CBarcodeData_PDF417>, I<CBarcodeImpl_PDF417>, 20, O::PDF417},
    {SymbologyMicroPDF417, u"MicroPDF417", B::Generic, nullptr, nullptr, nullptr},

    {SymbologyQRCode, u"QR Code", B::QRCode,
     S<CBarcodeSettings_QRCode>, D<CBarcodeData_QRCode>, I<CBarcodeImpl_QRCode>, 21, O::QRCode},
    {SymbologyMicroQRCode, u"Micro QR Code", B::Generic, nullptr, nullptr, nullptr},

    {SymbologyDataMatrix, u"Data Matrix", B::DataMatrix,
     S<CBarcodeSettings_DataMatrix>, D<CBarcodeData_DataMatrix>, I<CBarcodeImpl_DataMatrix>, 9, O::DataMatrix},
    {SymbologyMaxicode, u"Maxicode", B::Generic, nullptr, nullptr, nullptr},
};

} // namespace

std::span<const SymbologyInfo> GetSymbologyTable()
{
    return kSymbologies;
}

const SymbologyInfo* FindSymbology(int32_t code)
{
    const auto* it = std::find_if(std::begin(kSymbologies), std::end(kSymbologies),
                                  [code](const SymbologyInfo& row) { return row.code == code; });
    return it == std::end(kSymbologies) ? nullptr : it;
}

QString GetSymbologyDisplayName(int32_t code)
{
    const SymbologyInfo* row = FindSymbology(code);
    return row ? QString::fromUtf16(row->displayName) : QString();
}

std::vector<int32_t> GetListedSymbologies()
{
    std::vector<const SymbologyInfo*> listed;
    for (const SymbologyInfo& row : kSymbologies) {
        if (row.listIndex >= 0)
            listed.push_back(&row);
    }
    std::sort(listed.begin(), listed.end(),
              [](const SymbologyInfo* a, const SymbologyInfo* b) { return a->listIndex < b->listIndex; });
    std::vector<int32_t> codes;
    for (const SymbologyInfo* row : listed)
        codes.push_back(row->code);
    return codes;
}

std::unique_ptr<CBarcodeImpl> CreateBarcodeImpl(int32_t code)
{
    const SymbologyInfo* row = FindSymbology(code);
    if (!row || !row->IsBuilt())
        throw CBarcodeException(QStringLiteral("Not implemented barcode type"));
    auto settings = row->makeSettings();
    settings->m_nSymbology = code;
    if (code == SymbologyEAN14 || code == SymbologySCC14EAN128)
        static_cast<CBarcodeSettings_Code128&>(*settings).m_nCodeSet = Code128SetC;
    else if (code == SymbologySSCC18)
        settings->m_fFontSize = 8.0f;
    auto impl = row->makeImpl();
    impl->Attach(std::move(settings), row->makeData());
    return impl;
}

CBarcodeImpl* CreateBarcodeImpl(int32_t code, std::unique_ptr<CBarcodeImpl>& place)
{
    place = CreateBarcodeImpl(code);
    return place.get();
}
