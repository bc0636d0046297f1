#pragma once

#include "editor/BaseProxy.h"

#include <memory>

class CBarcodeGraph;
class CBarcodeProxyImpl;

// A barcode resizes through its settings: the requested box becomes a module width
// and bar height (or a 2-D module size) and the engine reports the real size.
class CBarcodeProxy : public CBaseProxy
{
public:
    explicit CBarcodeProxy(std::unique_ptr<CBaseGraph> object = nullptr);
    ~CBarcodeProxy() override;

    // Replaces the size rules by those of a symbology; throws CBarcodeException for
    // a code without rules, leaving the old rules in place.
    void SetSymbology(int code);
    // The rules of the barcode's current symbology: remade when an edit, an undo or
    // a redo changed the symbology since they were made.
    CBarcodeProxyImpl* FollowSymbology();
    // The symbology of the barcode's settings; 0 without settings.
    int GetSymbologyOfObject() const;
    CBarcodeProxyImpl* GetImpl() const { return m_pImpl.get(); }

    void SetWidth(float width) override;
    void SetHeight(float height) override;
    void SetSize(float width, float height) override;
    void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle) override;
    bool CanRotate() const override { return true; }
    void SaveGeometry() override;
    std::unique_ptr<CBaseProxy> Clone() const override;
    void CopyFrom(CBarcodeProxy& target) const;
    QString GetName() const override;
    QString GetSizeText() const override;
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;

    CBarcodeGraph& Barcode() const;
    bool IsDataBound() const override;

private:
    std::unique_ptr<CBarcodeProxyImpl> m_pImpl;
    int m_nRulesCode = -1; // the symbology m_pImpl was made for
};
