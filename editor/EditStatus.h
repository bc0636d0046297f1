#pragma once

#include <QList>
#include <QPoint>

class CAlignLine;
class CBaseProxy;

// The tools of the editor, by their command ids.
enum EditorTool : int {
    ToolSelect = 30400,
    ToolBarcode = 30401,
    ToolRotate = 30402,
    ToolLine = 30403,
    ToolEditData = 30404,
    ToolRectangle = 30405,
    ToolEllipse = 30406,
    ToolPolygon = 30408,
    ToolText = 30409,
    ToolImage = 30412,
};

// The current tool and the gesture in progress of one document, shared by its
// window, its canvas and the canvas's painting.
class CEditStatus
{
public:
    CEditStatus() = default;
    virtual ~CEditStatus() = default;

    int m_nTool = ToolSelect;
    CBaseProxy* m_pClickedObject = nullptr;
    bool m_bCreating = false;
    bool m_bPolygon = false;
    QPoint m_lastMouse;
    QList<QPoint> m_polygonPoints;
    bool m_bRubberBand = false;
    bool m_bMoving = false;
    bool m_bSizing = false;
    int m_nHandle = 0;
    bool m_bRotating = false;
    QPoint m_rotationCentre;
    bool m_bCopyDrag = false;
    bool m_bGuideDrag = false;
    CAlignLine* m_pDraggedGuide = nullptr;
    QPoint m_startPoint;
    QPoint m_currentPoint;
    QPoint m_scrollAtStart;
    QPoint m_scrollNow;
    bool m_bInPlaceEditing = false;
    CBaseProxy* m_pEditedObject = nullptr;
    bool m_bTextClickPending = false;
    bool m_bDelayedClickArmed = false;
    int m_nDelayedClickMs = 200;
    int m_editorRect[4] = {0, 0, 0, 0};
};
