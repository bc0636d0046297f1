#pragma once

#include <memory>
#include <vector>

class CBaseProxy;
class CDataBand;
class CLabelData;
class CUndoRecordBuilder;
class QWidget;

// The canvas's ways into the object dialogs. The dialogs only report when they are
// about to write and when they wrote; the editor alone records the change, as one undo
// step per OK.

// The properties command: the dialog of the proxy's object. proxies are every object
// of the label; bandToSelect as in the request. An empty single-line text gets its
// placeholder and its box refitted within the same record. True after OK; the caller
// then repaints.
bool EditProxyProperties(CBaseProxy& proxy, const std::vector<std::unique_ptr<CBaseProxy>>& proxies,
                         CLabelData* label, CUndoRecordBuilder& undo, QWidget* parent = nullptr,
                         CDataBand* bandToSelect = nullptr);

// The band text editor on a text or barcode object: on OK the object's content follows
// its bands (a barcode is encoded again when its content changed), and "数据源(&D)..."
// goes on to the property dialog on the shown band. True after OK; other kinds open
// nothing.
bool EditBandTexts(CBaseProxy& proxy, const std::vector<std::unique_ptr<CBaseProxy>>& proxies, CLabelData* label,
                   CUndoRecordBuilder& undo, QWidget* parent = nullptr);
