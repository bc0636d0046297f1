#pragma once

#include "editor/BaseProxy.h"

#include <memory>
#include <vector>

// Copies of objects between Copy or Cut and Paste, shared by every document window.
// Each proxy in it owns its own copy; nothing else refers to them.
using ObjectClipboard = std::vector<std::unique_ptr<CBaseProxy>>;

// Made by the first one who needs it (the main frame or a canvas), kept to the end.
extern ObjectClipboard* g_pObjectClipboard;
ObjectClipboard& GetObjectClipboard();

// Replaces the clipboard's contents by copies of the selection, in its order.
void CopyToObjectClipboard(ObjectClipboard& clipboard, const std::vector<CBaseProxy*>& selection);
void ClearObjectClipboard(ObjectClipboard& clipboard);
