#include "editor/ObjectClipboard.h"

ObjectClipboard* g_pObjectClipboard = nullptr;

ObjectClipboard& GetObjectClipboard()
{
    static ObjectClipboard clipboard;
    if (!g_pObjectClipboard)
        g_pObjectClipboard = &clipboard;
    return *g_pObjectClipboard;
}

void CopyToObjectClipboard(ObjectClipboard& clipboard, const std::vector<CBaseProxy*>& selection)
{
    ClearObjectClipboard(clipboard);
    for (const CBaseProxy* proxy : selection)
        if (std::unique_ptr<CBaseProxy> copy = proxy->Clone())
            clipboard.push_back(std::move(copy));
}

void ClearObjectClipboard(ObjectClipboard& clipboard)
{
    clipboard.clear();
}
