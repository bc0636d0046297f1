#pragma once

#include <memory>

class CBarcodeGraph;

// The size rules of one symbology: turns a requested box into new barcode settings
// and takes the size the engine then reports.
class CBarcodeProxyImpl
{
public:
    CBarcodeProxyImpl() = default;
    virtual ~CBarcodeProxyImpl() = default;
    CBarcodeProxyImpl(const CBarcodeProxyImpl&) = delete;
    CBarcodeProxyImpl& operator=(const CBarcodeProxyImpl&) = delete;

    // Linear rules: module width from the width, bar height from the height.
    virtual void BeginResize();
    virtual void ResizeBox();
    virtual void ResizeWidth();
    virtual void ResizeHeight();
    virtual std::unique_ptr<CBarcodeProxyImpl> Clone() const = 0;
    // Copies the saved box and the start module width into the target.
    void CopyFrom(CBarcodeProxyImpl& target) const;

    // Set by the proxy before every call; not owned.
    CBarcodeGraph* m_pObject = nullptr;
    float m_fSavedX = 0.0f;
    float m_fSavedY = 0.0f;
    float m_fSavedWidth = 0.0f;
    float m_fSavedHeight = 0.0f;
    float m_fStartModuleWidth = 0.0f;

protected:
    template <class T>
    std::unique_ptr<CBarcodeProxyImpl> CloneAs() const
    {
        auto copy = std::make_unique<T>();
        CopyFrom(*copy);
        return copy;
    }
    // Height of the human-readable line and its gap, 0 when the text is hidden.
    float TextHeight() const;
    // Rebuilds the symbol and takes the size it reports.
    void Rebuild(bool width, bool height);
};

// Rules of the 2-D symbologies: one module size scaled by the box.
class CBarcodeProxyImpl2D : public CBarcodeProxyImpl
{
public:
    void BeginResize() override;
    void ResizeBox() override;
    void ResizeWidth() override;
    void ResizeHeight() override;

    float m_fStartModuleSize = 0.0f;

private:
    float& ModuleSize() const;
    void ScaleModule(float factor);
};

// One class per symbology, in the family tree the size rules were written for.
#define VC_BARCODE_PROXY_IMPL(NAME, BASE)                                                                              \
    class CBarcodeProxyImpl_##NAME : public BASE                                                                       \
    {                                                                                                                  \
    public:                                                                                                            \
        std::unique_ptr<CBarcodeProxyImpl> Clone() const override { return CloneAs<CBarcodeProxyImpl_##NAME>(); }     \
    };

VC_BARCODE_PROXY_IMPL(Code39, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Code39Full, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Code93, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Code93Full, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Code11, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Codabar, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Interleaved25, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Industrial25, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Matrix25, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(Code128, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(EJU, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(MSI, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(PostNet, CBarcodeProxyImpl)
VC_BARCODE_PROXY_IMPL(PDF417, CBarcodeProxyImpl2D)
VC_BARCODE_PROXY_IMPL(QRCode, CBarcodeProxyImpl2D)
VC_BARCODE_PROXY_IMPL(DataMatrix, CBarcodeProxyImpl2D)
VC_BARCODE_PROXY_IMPL(EAN128, CBarcodeProxyImpl_Code128)
VC_BARCODE_PROXY_IMPL(MedicalCode, CBarcodeProxyImpl_Code128)
VC_BARCODE_PROXY_IMPL(PostalCode, CBarcodeProxyImpl_Code128)
VC_BARCODE_PROXY_IMPL(EAN14, CBarcodeProxyImpl_EAN128)
VC_BARCODE_PROXY_IMPL(SSCC18, CBarcodeProxyImpl_EAN128)
VC_BARCODE_PROXY_IMPL(MonitorCode, CBarcodeProxyImpl_EAN128)
VC_BARCODE_PROXY_IMPL(EAN13, CBarcodeProxyImpl_EJU)
VC_BARCODE_PROXY_IMPL(EAN8, CBarcodeProxyImpl_EJU)
VC_BARCODE_PROXY_IMPL(UPCA, CBarcodeProxyImpl_EJU)
VC_BARCODE_PROXY_IMPL(UPCE, CBarcodeProxyImpl_EJU)
VC_BARCODE_PROXY_IMPL(EJU_Supp, CBarcodeProxyImpl_EJU)
VC_BARCODE_PROXY_IMPL(EJU_Supp2, CBarcodeProxyImpl_EJU_Supp)
VC_BARCODE_PROXY_IMPL(EJU_Supp5, CBarcodeProxyImpl_EJU_Supp)
VC_BARCODE_PROXY_IMPL(ITF14, CBarcodeProxyImpl_Interleaved25)

#undef VC_BARCODE_PROXY_IMPL

// The rules for a symbology code; throws CBarcodeException "Not implemented barcode
// type" for a code without them.
std::unique_ptr<CBarcodeProxyImpl> CreateBarcodeProxyImpl(int code);
