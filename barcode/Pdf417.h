#pragma once

#include "barcode/BarcodeImpl.h"

// PDF417: an encoder of our own turns the content bytes into rows of bar-space
// patterns. No human-readable line; the size follows from the module width X, the
// row-height ratio, rows, columns and the quiet zone alone.
class CBarcodeImpl_PDF417 : public CBarcodeImpl
{
public:
    // Draws every row of the pattern matrix, bars in the bar colour.
    void Draw(QPainter& graphics) override;
    // Content (unfiltered) to codewords and patterns; the size is CalcSize's. Throws
    // CBarcodeException for settings the symbol cannot have; the data keeps what
    // was computed before.
    void Encode() override;
    void CalcSize() override;
    void CalcWidth() override;
    void CalcHeight() override;
    // The size cannot be chosen: it is recomputed from the settings.
    void Resize(float width, float height) override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_PDF417>(); }
};
