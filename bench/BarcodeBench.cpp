// Code 128 with automatic code sets: our encoder and bar builder against libzint's
// encoder, on the same 20-character texts. Data Matrix of 50 characters: our encoder
// against libzint's on symbols that come out module for module the same (same size,
// same encodation), checked before the timing starts.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/DataMatrix.h"

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

// Label-like texts of 50 characters that both encoders hold in ASCII codewords, in a
// 26 x 26 symbol (size choice 11, zint's size 8).
constexpr int kDataMatrixSizeChoice = 11;
std::vector<QByteArray> DataMatrixTexts()
{
    std::vector<QByteArray> texts;
    for (int i = 0; i < 16; ++i)
        texts.push_back(QString::asprintf("Lot %04d-%02d; s/n %012lld, exp 2027/%02d, #%05d", 2026 + i % 3, 1 + i % 12,
            123456789012LL * (i + 1) % 1000000000000LL, 1 + (i * 5) % 12, 31 * i + 7)
                            .toLatin1()
                            .left(50));
    return texts;
}

void ZintDataMatrix(zint_symbol* symbol, const QByteArray& text)
{
    ZBarcode_Clear(symbol);
    symbol->symbology = BARCODE_DATAMATRIX;
    symbol->option_2 = kDataMatrixSizeChoice - 2;
    ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()));
}

std::unique_ptr<CBarcodeImpl> OurDataMatrix()
{
    auto impl = CreateBarcodeImpl(SymbologyDataMatrix);
    static_cast<CBarcodeSettings_DataMatrix&>(*impl->GetSettings()).m_nSizeChoice = kDataMatrixSizeChoice;
    return impl;
}

// Whether both encoders make the same modules of every text.
bool SameDataMatrixSymbols(const std::vector<QByteArray>& texts)
{
    auto impl = OurDataMatrix();
    const auto& ours = static_cast<const CBarcodeImpl_DataMatrix&>(*impl);
    zint_symbol* z = ZBarcode_Create();
    bool same = true;
    for (const QByteArray& text : texts) {
        impl->GetSettings()->m_strContent = QString::fromLatin1(text);
        impl->Encode();
        ZintDataMatrix(z, text);
        same = z->rows == ours.m_nRows && z->width == ours.m_nColumns;
        for (int r = 0; same && r < z->rows; ++r)
            for (int c = 0; same && c < z->width; ++c)
                same = bool((z->encoded_data[r][c / 8] >> (c % 8)) & 1) == (ours.m_grid[size_t(r * z->width + c)] != 0);
        if (!same)
            break;
    }
    ZBarcode_Delete(z);
    return same;
}

void BM_DataMatrix50_Ours(benchmark::State& state)
{
    const auto texts = DataMatrixTexts();
    if (!SameDataMatrixSymbols(texts)) {
        state.SkipWithError("the two encoders make different symbols of the texts");
        return;
    }
    std::vector<QString> contents;
    for (const QByteArray& t : texts)
        contents.push_back(QString::fromLatin1(t));
    auto impl = OurDataMatrix();
    size_t i = 0;
    for (auto _ : state) {
        impl->GetSettings()->m_strContent = contents[i++ % contents.size()];
        impl->Encode();
        benchmark::DoNotOptimize(static_cast<const CBarcodeImpl_DataMatrix&>(*impl).m_grid.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DataMatrix50_Ours);

void BM_DataMatrix50_Zint(benchmark::State& state)
{
    const auto texts = DataMatrixTexts();
    zint_symbol* symbol = ZBarcode_Create();
    size_t i = 0;
    for (auto _ : state) {
        ZintDataMatrix(symbol, texts[i++ % texts.size()]);
        benchmark::DoNotOptimize(symbol->encoded_data[0][0]);
    }
    ZBarcode_Delete(symbol);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DataMatrix50_Zint);

} // namespace
