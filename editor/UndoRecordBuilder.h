#pragma once

#include "editor/UndoRedo.h"

#include <QString>
#include <map>
#include <memory>

// A record begun before a change: it owns the old states it captured and names the
// objects it captured them of. Ending it (CUndoRecordBuilder::End) reads the new
// states of those same objects, whatever the selection has become meanwhile; a
// handle dropped without ending records nothing.
class CPendingRecord
{
public:
    CPendingRecord() = default;
    explicit CPendingRecord(std::unique_ptr<CUndoRedoCommand> record)
        : m_record(std::move(record))
    {
    }
    explicit operator bool() const { return m_record != nullptr; }

private:
    friend class CUndoRecordBuilder;
    std::unique_ptr<CUndoRedoCommand> m_record;
};

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

    // A move, size or rotation record over the proxies, however many they are.
    CPendingRecord BeginMove(const ProxySelection& proxies);
    CPendingRecord BeginSize(const ProxySelection& proxies);
    CPendingRecord BeginRotate(const ProxySelection& proxies);
    // A whole-object record (property dialogs, in-place text).
    static CPendingRecord BeginEdit(CBaseProxy* proxy);
    // Reads the new states and hands the record to the history; an empty handle
    // does nothing.
    void End(CPendingRecord record);

    // Before a property dialog applies its changes; EndEditRecord after it did.
    void BeginEditRecord(CBaseProxy* proxy);
    void EndEditRecord();
    // The format commands hold the record themselves.
    static void BeginFormatRecord(CFormatURC& record, CBaseProxy* proxy);
    void EndFormatRecord(std::unique_ptr<CFormatURC> record);

    // The next free default name for an object kind; empty for an unknown kind or
    // when every candidate up to the limit is taken.
    QString MakeDefaultName(int kind);

    bool HasPendingEdit() const { return bool(m_edit); }

private:
    void EndPending(CPendingRecord& pending);

    CChildViewUndoRedoProxy& m_view;
    CUndoRedoManager& m_manager;
    CPendingRecord m_edit;
    std::map<int, int> m_nameCounters; // by kind
};
