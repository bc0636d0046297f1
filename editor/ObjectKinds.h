#pragma once

#include <memory>
#include <vector>

class CBaseGraph;
class CBaseProxy;
class CFormatMemo;
class CObjectEdtDlg;
class CPosMemo;
class CSizeMemo;
struct ObjectEditRequest;

// Everything the editor does differently for one kind of object, in one entry: a new
// kind adds its classes and one entry to ObjectKinds(), and nothing else chooses by
// kind.
struct ObjectKindInfo
{
    int kind;                    // ObjectKind
    int tool;                    // EditorTool that creates it
    int cursor;                  // resource cursor its tool shows over the canvas
    const char16_t* defaultName; // new objects are named "<name> <n>"
    int selectCommand;           // the Select menu's command choosing every object of the kind
    int contextCommand;          // its own command in the canvas's context menu, 0 for none
    std::unique_ptr<CBaseProxy> (*makeProxy)(std::unique_ptr<CBaseGraph> object);
    std::unique_ptr<CObjectEdtDlg> (*makeDialog)(const ObjectEditRequest& request);
    // The undo memos of a move, a size change and a format change.
    std::unique_ptr<CPosMemo> (*makePosMemo)(const CBaseProxy& proxy);
    std::unique_ptr<CSizeMemo> (*makeSizeMemo)(const CBaseProxy& proxy);
    std::unique_ptr<CFormatMemo> (*makeFormatMemo)(const CBaseProxy& proxy);
};

// Entry k describes kind k.
const std::vector<ObjectKindInfo>& ObjectKinds();
// Null for a kind or a tool no entry has.
const ObjectKindInfo* FindObjectKind(int kind);
const ObjectKindInfo* FindCreationTool(int tool);

// The property dialog of the request's object, with its tabs; null for no object or a
// kind without one (a barcode whose settings are missing).
std::unique_ptr<CObjectEdtDlg> CreateObjectEdtDlg(const ObjectEditRequest& request);
// Runs it; true after OK (the changes are applied by then).
bool EditObjectProperties(const ObjectEditRequest& request);
