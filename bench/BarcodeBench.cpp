// Code 128 with automatic code sets: our encoder and bar builder against libzint's
// encoder, on the same 20-character texts.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"

#include <benchmark/benchmark.h>
#include <zint.h>

#include <random>
#include <vector>

namespace {

std::vector<QByteArray> TwentyCharacterTexts()
{
    // Letters, digit runs and punctuation, so every code set and switch is exercised.
    const QByteArray alphabet = "0123456789012345678901234567890123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijkl-. /";
    std::mt19937 rng(20);
    std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
    std::vector<QByteArray> texts(256);
    for (QByteArray& text : texts)
        for (int i = 0; i < 20; ++i)
            text += alphabet[pick(rng)];
    return texts;
}

void BM_Code128Auto_Ours(benchmark::State& state)
{
    const auto texts = TwentyCharacterTexts();
    std::vector<QString> contents;
    for (const QByteArray& t : texts)
        contents.push_back(QString::fromLatin1(t));
    auto impl = CreateBarcodeImpl(SymbologyCode128);
    static_cast<CBarcodeSettings_Code128&>(*impl->GetSettings()).m_nCodeSet = Code128SetAuto;
    size_t i = 0;
    for (auto _ : state) {
        impl->GetSettings()->m_strContent = contents[i++ % contents.size()];
        impl->Encode();
        impl->BuildBars();
        benchmark::DoNotOptimize(impl->GetData()->m_arrX.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Code128Auto_Ours);

void BM_Code128Auto_Zint(benchmark::State& state)
{
    const auto texts = TwentyCharacterTexts();
    zint_symbol* symbol = ZBarcode_Create();
    size_t i = 0;
    for (auto _ : state) {
        const QByteArray& text = texts[i++ % texts.size()];
        ZBarcode_Clear(symbol);
        symbol->symbology = BARCODE_CODE128;
        symbol->input_mode = DATA_MODE;
        ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()));
        benchmark::DoNotOptimize(symbol->encoded_data[0][0]);
    }
    ZBarcode_Delete(symbol);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Code128Auto_Zint);

} // namespace
