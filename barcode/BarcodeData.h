#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

// The computed bars of a symbol: bar i is dark from m_arrX[i] to m_arrX[i] +
// m_arrWidth[i], in millimetres from the left edge of the box. Both arrays have
// the same length after a build.
class CBarcodeData
{
public:
    CBarcodeData() = default;
    virtual ~CBarcodeData() = default;
    CBarcodeData(const CBarcodeData&) = delete;
    CBarcodeData& operator=(const CBarcodeData&) = delete;

    // A new empty object of the same class, then CopyFrom this one.
    virtual std::unique_ptr<CBarcodeData> Clone() const { return CloneAs<CBarcodeData>(); }
    // Makes this data equal to the other's (an empty array in the other empties ours:
    // stale bars of an earlier symbol must never survive a copy).
    virtual void CopyFrom(const CBarcodeData& other);

    int32_t GetBarCount() const { return static_cast<int32_t>(m_arrX.size()); }
    void ClearBars();
    void AddBar(float x, float width)
    {
        m_arrX.push_back(x);
        m_arrWidth.push_back(width);
    }

    std::vector<float> m_arrX;
    std::vector<float> m_arrWidth;

protected:
    template <class T>
    std::unique_ptr<CBarcodeData> CloneAs() const
    {
        auto copy = std::make_unique<T>();
        copy->CopyFrom(*this);
        return copy;
    }
};

// Symbologies computed from an element sequence first: one entry per element,
// 1 wide and 0 narrow (which elements it holds is each symbology's business).
class CBarcodeData_Elements : public CBarcodeData
{
public:
    void CopyFrom(const CBarcodeData& other) override;

    int32_t GetElementCount() const { return static_cast<int32_t>(m_arrElements.size()); }

    std::vector<uint8_t> m_arrElements;
};

class CBarcodeData_Code39 : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Code39>(); }
};

class CBarcodeData_Code93 : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Code93>(); }
};

class CBarcodeData_Code11 : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Code11>(); }
};

class CBarcodeData_MSI : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_MSI>(); }
};

class CBarcodeData_PostNet : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_PostNet>(); }
};

class CBarcodeData_Codabar : public CBarcodeData_Elements
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Codabar>(); }
};

class CBarcodeData_Interleaved25 : public CBarcodeData_Elements
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Interleaved25>(); }
};

class CBarcodeData_Industrial25 : public CBarcodeData_Elements
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Industrial25>(); }
};

class CBarcodeData_Matrix25 : public CBarcodeData_Elements
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Matrix25>(); }
};

class CBarcodeData_ITF14 : public CBarcodeData_Interleaved25
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_ITF14>(); }
};

class CBarcodeData_Code128 : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_Code128>(); }
};

// Never made by the factory (the GS1-128 codes use the Code 128 data); the
// electronic supervision code's data derives from it.
class CBarcodeData_EAN128 : public CBarcodeData_Code128
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_EAN128>(); }
};

class CBarcodeData_MedicalCode : public CBarcodeData_Code128
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_MedicalCode>(); }
};

class CBarcodeData_PostalCode : public CBarcodeData_Code128
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_PostalCode>(); }
};

class CBarcodeData_MonitorCode : public CBarcodeData_EAN128
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_MonitorCode>(); }
};

class CBarcodeData_EJU : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_EJU>(); }
};

// PDF417 keeps its codewords and matrices here; the base bar arrays stay empty.
class CBarcodeData_PDF417 : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_PDF417>(); }
    void CopyFrom(const CBarcodeData& other) override;
    // Frees every codeword array and both matrices.
    void Clear();

    QString m_strText;                       // the text that was encoded
    std::vector<int32_t> m_arrDataCodewords; // length descriptor, then compacted codewords
    int32_t m_nECLevel = 0;
    int32_t m_nECCount = 0;
    int32_t m_nRows = 0;
    int32_t m_nColumns = 0;
    int32_t m_nPadCount = 0;
    std::vector<int32_t> m_arrDataAndPad;
    std::vector<int32_t> m_arrECCodewords;
    std::vector<int32_t> m_arrAllCodewords;  // data, pad, then error correction
    std::vector<int32_t> m_arrCodewordMatrix; // row-major, row length columns + 4 (+3 truncated)
    std::vector<int32_t> m_arrPatternMatrix;  // row-major, each cell a pattern as a decimal number
};

class CBarcodeData_QRCode : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_QRCode>(); }
};

class CBarcodeData_DataMatrix : public CBarcodeData
{
public:
    std::unique_ptr<CBarcodeData> Clone() const override { return CloneAs<CBarcodeData_DataMatrix>(); }
};
