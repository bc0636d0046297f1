#include "editor/UndoRecordBuilder.h"

#include "editor/ObjectKinds.h"

#include <algorithm>

namespace {

template <class Record, class MakeMemo>
std::unique_ptr<CMemoBatchURC> BeginMemoRecord(const ProxySelection& proxies, MakeMemo makeMemo)
{
    auto record = std::make_unique<Record>();
    for (CBaseProxy* proxy : proxies) {
        std::unique_ptr<CMemo> memo = makeMemo(*proxy);
        memo->Capture(*proxy, MemoOld);
        record->Append(proxy, std::move(memo));
    }
    return record;
}

std::unique_ptr<CMemo> RotateMemo(const CBaseProxy& proxy)
{
    return std::make_unique<CRotateMemo>(CreatePosMemo(proxy));
}

} // namespace

void CUndoRecordBuilder::End(CPendingRecord record)
{
    EndPending(record);
}

void CUndoRecordBuilder::EndPending(CPendingRecord& pending)
{
    if (!pending.m_record)
        return;
    std::unique_ptr<CUndoRedoCommand> record = std::move(pending.m_record);
    record->CaptureNewState();
    m_manager.AddCommand(std::move(record));
}

CPendingRecord CUndoRecordBuilder::BeginMove(const ProxySelection& proxies)
{
    return CPendingRecord(BeginMemoRecord<CMoveURC>(proxies, CreatePosMemo));
}

CPendingRecord CUndoRecordBuilder::BeginSize(const ProxySelection& proxies)
{
    return CPendingRecord(BeginMemoRecord<CSizeURC>(proxies, CreateSizeMemo));
}

CPendingRecord CUndoRecordBuilder::BeginRotate(const ProxySelection& proxies)
{
    return CPendingRecord(BeginMemoRecord<CRotateURC>(proxies, RotateMemo));
}

CPendingRecord CUndoRecordBuilder::BeginEdit(CBaseProxy* proxy)
{
    auto record = std::make_unique<CEditorURC>();
    record->m_pTarget = proxy;
    record->m_pBefore = proxy->Clone();
    return CPendingRecord(std::move(record));
}

void CUndoRecordBuilder::BeginEditRecord(CBaseProxy* proxy)
{
    m_edit = BeginEdit(proxy);
}

void CUndoRecordBuilder::EndEditRecord()
{
    EndPending(m_edit);
}

void CUndoRecordBuilder::BeginFormatRecord(CFormatURC& record, CBaseProxy* proxy)
{
    std::unique_ptr<CFormatMemo> memo = CreateFormatMemo(*proxy);
    memo->Capture(*proxy, MemoOld);
    record.Append(proxy, std::move(memo));
}

void CUndoRecordBuilder::EndFormatRecord(std::unique_ptr<CFormatURC> record)
{
    End(CPendingRecord(std::move(record)));
}

QString CUndoRecordBuilder::MakeDefaultName(int kind)
{
    const ObjectKindInfo* info = FindObjectKind(kind);
    if (!info)
        return {};
    const int first = ++m_nameCounters[kind];
    const ProxyList& objects = m_view.GetObjectList();
    for (int k = first; k < 2013; ++k) {
        const QString candidate = QString::fromUtf16(info->defaultName) + QStringLiteral(" %1").arg(k);
        const bool taken = std::any_of(objects.begin(), objects.end(), [&](const auto& proxy) {
            return proxy->GetObject() && proxy->GetName() == candidate;
        });
        if (!taken)
            return candidate;
    }
    return {};
}
