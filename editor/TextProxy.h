#pragma once

#include "editor/BaseProxy.h"

class CTextGraph;

// A text keeps its box, font size and horizontal stretch in step.
class CTextProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    void SetWidth(float width) override;
    void SetHeight(float height) override;
    void SetSize(float width, float height) override;
    float GetAngle() const override;
    void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle) override;
    bool CanRotate() const override { return true; }
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CTextProxy>(); }
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;

    void FitTextFontToHeight();
    void UpdateTextScale();
    void FitTextBoxToText();
    // Gives the object the text it shows. A single-line text's box follows it, and an
    // empty one shows a placeholder so that it stays visible and clickable (its bands
    // keep the empty text).
    void SetShownText(const QString& shown);

    CTextGraph& Text() const;
    bool IsDataBound() const override;
};
