#pragma once

#include "model/BaseGraph.h"

#include <memory>

class CBarcodeImpl;

// A barcode on a label. Content, font, colours and bands live in the settings of
// the owned implementation; the object's own fields give the box, angle and
// anchor, which are handed to the implementation at every draw.
class CBarcodeGraph : public CBaseGraph
{
public:
    CBarcodeGraph();
    ~CBarcodeGraph() override;

    // Nothing is drawn without an implementation.
    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
    // The base fields, then a clone of the source's implementation (or none).
    void CopyFrom(const CBaseGraph& source) override;

    CBarcodeImpl* GetImpl() const { return m_pBarcodeImpl.get(); }
    // Hands the object's place, angle and anchor to the settings, which draw and are
    // stored with them; drawing and writing both do it first, so what is saved never
    // depends on what was drawn last. (The settings' size is the symbol's, which the
    // barcode's box takes after each encoding.)
    void SyncSettingsPlacement() const;

    std::unique_ptr<CBarcodeImpl> m_pBarcodeImpl;
};

// Encodes the barcode's content anew and gives it the symbol's box (see
// TakeSymbolBox); throws when the symbol cannot hold the content.
void EncodeToSymbolBox(CBarcodeGraph& barcode);
// Gives the barcode the box its settings computed; a symbol with nothing to show (a
// 2-D code without content) keeps the box it had, so that it can still be clicked.
void TakeSymbolBox(CBarcodeGraph& barcode);
