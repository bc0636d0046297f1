#pragma once

#include "editor/UndoRedo.h"

#include <QString>
#include <array>
#include <memory>

// The canvas's two-halved undo records: a begin captures the old state into a pending
// record, the change is made, an end captures the new state and hands the record to
// the history. Also hands out default names for new objects. One per canvas; the
// pending records are freed with it.
class CUndoRecordBuilder
{
public:
    CUndoRecordBuilder(CChildViewUndoRedoProxy& view, CUndoRedoManager& manager)
        : m_view(view), m_manager(manager)
    {
    }

    void BeginMoveRecord(CBaseProxy* proxy);
    void EndMoveRecord();
    void BeginMoveBatchRecord(const ProxySelection& proxies);
    void EndMoveBatchRecord();
    void BeginSizeRecord(CBaseProxy* proxy);
    void EndSizeRecord();
    void BeginSizeBatchRecord(const ProxySelection& proxies);
    void EndSizeBatchRecord();
    void BeginRotateRecord(CBaseProxy* proxy);
    // The rotation tool's end: the new angle read, the record handed over.
    void EndRotateRecord();
    void BeginRotateBatchRecord(const ProxySelection& proxies);
    void EndRotateBatchRecord();
    // Before a property dialog applies its changes; EndEditRecord after it did.
    void BeginEditRecord(CBaseProxy* proxy);
    void EndEditRecord();
    // The format commands hold the record themselves.
    static void BeginFormatRecord(CFormatURC& record, CBaseProxy* proxy);
    void EndFormatRecord(std::unique_ptr<CFormatURC> record);

    // The next free default name for an object kind; empty for an unknown kind or
    // when every candidate up to the limit is taken.
    QString MakeDefaultName(int kind);

    bool HasPendingEdit() const { return m_pEdit != nullptr; }

private:
    void EndMemoRecord(std::unique_ptr<CMemoBatchURC>& pending);

    CChildViewUndoRedoProxy& m_view;
    CUndoRedoManager& m_manager;
    std::unique_ptr<CMemoBatchURC> m_pMove;
    std::unique_ptr<CMemoBatchURC> m_pMoveBatch;
    std::unique_ptr<CMemoBatchURC> m_pSize;
    std::unique_ptr<CMemoBatchURC> m_pSizeBatch;
    std::unique_ptr<CMemoBatchURC> m_pRotate;
    std::unique_ptr<CMemoBatchURC> m_pRotateBatch;
    std::unique_ptr<CEditorURC> m_pEdit;
    std::array<int, 7> m_nameCounters{};
};
