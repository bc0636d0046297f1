#include "output/ScriptObjects.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "platform/VXException.h"

#include <QSysInfo>
#include <algorithm>

namespace {

QString UserName()
{
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

} // namespace

int SDispatch::FindMember(const QString& name) const
{
    const auto members = Members();
    for (size_t i = 0; i < members.size(); ++i) {
        if (name.compare(QStringView(members[i].name), Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

bool SDispatch::HasMember(const QString& name) const
{
    return FindMember(name) >= 0;
}

bool SDispatch::Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result)
{
    const int index = FindMember(name);
    if (index < 0)
        return false;
    const SMember& member = Members()[static_cast<size_t>(index)];
    const int count = static_cast<int>(args.size());
    if (member.kind == SMember::Method) {
        if (kind != InvokeKind::Get)
            return false;
        if (count < member.minArgs || count > member.maxArgs)
            ThrowScriptError(450);
    } else if (kind == InvokeKind::Get) {
        if (count != 0)
            ThrowScriptError(450);
    } else {
        if (member.kind == SMember::ReadOnly)
            ThrowScriptError(383, QStringLiteral("Property is read-only: '%1'").arg(QStringView(member.name)));
        if (kind == InvokeKind::Set || count != 1)
            ThrowScriptError(450);
    }
    InvokeMember(index, kind, args, result);
    return true;
}

SApplication::SApplication() : m_strComputerName(QSysInfo::machineHostName()), m_strSystemUserName(UserName()) {}

std::span<const SMember> SApplication::Members() const
{
    static constexpr SMember kMembers[] = {
        {u"ComputerName", SMember::ReadOnly},
        {u"SystemUserName", SMember::ReadOnly},
        {u"Version", SMember::ReadOnly},
        {u"BuildNumber", SMember::ReadOnly},
    };
    return kMembers;
}

void SApplication::InvokeMember(int index, InvokeKind, std::span<ScriptValue>, ScriptValue& result)
{
    switch (index) {
    case 0: result = ScriptValue::Str(m_strComputerName); break;
    case 1: result = ScriptValue::Str(m_strSystemUserName); break;
    case 2: result = ScriptValue::Sng(m_fVersion); break;
    default: result = ScriptValue::Lng(m_nBuildNumber); break;
    }
}

bool SObject::IsAlive() const
{
    return m_pLabelData && std::any_of(m_pLabelData->m_objects.begin(), m_pLabelData->m_objects.end(),
                                       [this](const auto& object) { return object.get() == m_pObject; });
}

std::span<const SMember> SObject::Members() const
{
    static constexpr SMember kMembers[] = {
        {u"Name", SMember::ReadOnly},
        {u"Value", SMember::Property},
        {u"Type", SMember::ReadOnly},
    };
    return kMembers;
}

void SObject::InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result)
{
    // The object this wrapper was made for is gone from the label.
    if (!IsAlive())
        ThrowScriptError(91);
    CBaseGraph& object = *m_pObject;
    auto* barcode = object.GetKind() == KindBarcode ? static_cast<CBarcodeGraph*>(&object) : nullptr;
    CBarcodeSettings* settings = barcode && barcode->GetImpl() ? barcode->GetImpl()->GetSettings() : nullptr;
    switch (index) {
    case 0: result = ScriptValue::Str(object.m_strName); return;
    case 2: result = ScriptValue::Lng(object.GetKind()); return;
    default: break;
    }
    if (kind == InvokeKind::Get) {
        result = ScriptValue::Str(settings ? settings->m_strContent : object.m_strText);
        return;
    }
    const QString value = args.back().ToText();
    if (!settings) {
        object.m_strText = value;
        return;
    }
    // A content the symbology refuses leaves the symbol the label had, so no label is
    // printed with bars that belong to another value.
    const QString previous = settings->m_strContent;
    try {
        EncodeBarcode(*barcode, value);
    } catch (const VXException& e) {
        try {
            EncodeBarcode(*barcode, previous);
        } catch (const VXException&) {
        }
        ThrowScriptError(5, e.GetMessage());
    }
}

void SObjects::SetLabelData(CLabelData* label)
{
    m_pLabelData = label;
    m_cache.clear();
}

std::span<const SMember> SObjects::Members() const
{
    static constexpr SMember kMembers[] = {
        {u"Count", SMember::ReadOnly},
        {u"Item", SMember::Method, 1, 1},
    };
    return kMembers;
}

void SObjects::InvokeMember(int index, InvokeKind, std::span<ScriptValue> args, ScriptValue& result)
{
    if (index == 0)
        result = ScriptValue::Lng(m_pLabelData ? static_cast<int32_t>(m_pLabelData->m_objects.size()) : 0);
    else
        result = Item(args[0]);
}

ScriptValue SObjects::Item(const ScriptValue& key)
{
    if (!m_pLabelData)
        return ScriptValue::Nothing();
    const ObjectList& objects = m_pLabelData->m_objects;
    if (key.IsString()) {
        const auto found = std::find_if(objects.begin(), objects.end(),
                                        [&](const auto& object) { return object->m_strName == key.RawString(); });
        return found == objects.end() ? ScriptValue::Nothing() : Wrap(found->get());
    }
    const int32_t i = key.ToLong();
    if (i < 0 || static_cast<size_t>(i) >= objects.size())
        return ScriptValue::Nothing();
    return Wrap(objects[static_cast<size_t>(i)].get());
}

ScriptValue SObjects::Wrap(CBaseGraph* object)
{
    // Wrappers of objects that left the label are dropped as they are met.
    std::erase_if(m_cache, [](const auto& wrapper) { return !wrapper->IsAlive(); });
    for (const auto& wrapper : m_cache) {
        if (wrapper->GetObject() == object)
            return ScriptValue::Obj(wrapper);
    }
    m_cache.push_back(std::make_shared<SObject>(m_pLabelData, object));
    return ScriptValue::Obj(m_cache.back());
}

void SFormat::SetLabelData(CLabelData* label)
{
    m_pLabelData = label;
    m_pObjects->SetLabelData(label);
}

std::span<const SMember> SFormat::Members() const
{
    static constexpr SMember kMembers[] = {
        {u"FileName", SMember::ReadOnly},
        {u"Objects", SMember::ReadOnly},
        {u"Item", SMember::Method, 1, 1},
    };
    return kMembers;
}

void SFormat::InvokeMember(int index, InvokeKind, std::span<ScriptValue> args, ScriptValue& result)
{
    switch (index) {
    case 0: result = ScriptValue::Str(m_pLabelData ? m_pLabelData->m_strFilePath : QString()); break;
    case 1: result = ScriptValue::Obj(m_pObjects); break;
    default: result = m_pObjects->Item(args[0]); break;
    }
}
