#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

class QPainter;

enum SDItemKind : int32_t {
    SDStaticText = 0,
    SDTextBox = 1,
    SDDropDownList = 2,
    SDDatePicker = 3,
};

// An item of a label's screen-data form: the small dialog that asks for window data
// at print time. Coordinates and sizes are form pixels; painting works on a painter
// in pixel units.
class CSDGraph
{
public:
    CSDGraph();
    virtual ~CSDGraph() = default;
    CSDGraph(const CSDGraph&) = delete;
    CSDGraph& operator=(const CSDGraph&) = delete;

    // Remembers the box at the start of a move or resize.
    virtual void SaveRect();
    // Whether all four corners lie in r. Like the platform's point-in-rectangle test,
    // the left and top edges of r are inside, its right and bottom edges
    // (left + width, top + height) outside.
    virtual bool IsInRect(const QRect& r) const;
    virtual void DrawSelection(QPainter& graphics) const;
    // Recomputes the handle boxes, then paints the enabled ones.
    virtual void DrawHandles(QPainter& graphics);
    virtual void UpdateHandles();
    // A new item of the same class: its defaults, then CopyFrom.
    virtual std::unique_ptr<CSDGraph> Clone() const { return nullptr; }
    // Copies name, box and text. Kind, colours and reserved fields stay as they are.
    virtual void CopyFrom(const CSDGraph& other);
    virtual void Draw(QPainter& graphics) const;

    int32_t GetKind() const { return m_nKind; }

    int32_t m_nKind = SDStaticText;
    QString m_strName; // the window-data field name of an input item
    int32_t m_nX = 0;
    int32_t m_nY = 0;
    int32_t m_nWidth = 120;
    int32_t m_nHeight = 25;
    QString m_strText; // caption of a static text, initial value of an input item
    // Stored in the file only; painting uses fixed colours.
    int32_t m_nReserved1 = 0;
    uint32_t m_crColor1 = 0xFF000000u;
    uint32_t m_crColor2 = 0xFF000000u;
    QString m_strReserved;
    float m_fReserved = 0.0f;
    int32_t m_nReserved2 = 0;
    bool m_bReserved1 = false;
    bool m_bReserved2 = false;

    // Sizing handles at the middles of the left, top, right and bottom edges.
    std::array<QRect, 4> m_handles;
    std::array<bool, 4> m_bHandleEnabled{true, true, true, true};
    QRect m_savedRect;

protected:
    explicit CSDGraph(int32_t kind);
    // Paints the white box with its grey outline of the input kinds.
    void DrawInputBox(QPainter& graphics) const;
    // Paints the drop-down button and the text beside it.
    void DrawDropDown(QPainter& graphics) const;
    void DrawText(QPainter& graphics, int32_t layoutWidth, bool wrap) const;
};

class CStaticSDGraph : public CSDGraph
{
public:
    CStaticSDGraph();
    std::unique_ptr<CSDGraph> Clone() const override;
    void Draw(QPainter& graphics) const override;
};

class CEditSDGraph : public CSDGraph
{
public:
    CEditSDGraph();
    std::unique_ptr<CSDGraph> Clone() const override;
    void CopyFrom(const CSDGraph& other) override;
    void Draw(QPainter& graphics) const override;

    bool m_bMultiLine = false;
};

class CComboSDGraph : public CSDGraph
{
public:
    CComboSDGraph();
    std::unique_ptr<CSDGraph> Clone() const override;
    // Also copies the first list integer and appends the other item's entries.
    void CopyFrom(const CSDGraph& other) override;
    void Draw(QPainter& graphics) const override;

    int32_t m_nListValue1 = 0;
    int32_t m_nListValue2 = 0;
    QStringList m_entries;
};

class CDateSDGraph : public CSDGraph
{
public:
    CDateSDGraph();
    std::unique_ptr<CSDGraph> Clone() const override;
    void Draw(QPainter& graphics) const override;

    QString m_strExtra;
};

// A new item of the given kind with its defaults; null for a kind that has no class.
std::unique_ptr<CSDGraph> CreateSDGraph(int32_t kind);
