#pragma once

#include "platform/script/ScriptValue.h"

#include <QString>
#include <memory>
#include <span>
#include <vector>

class CBaseGraph;
class CLabelData;

// The objects label scripts see while a print or preview job runs: "Application",
// "Format" (the label), "Objects" (its objects) and one Object per label object. The
// host object "ScriptHost" lives with the script host.

// A member of an automation object, found by name without regard to case.
struct SMember
{
    enum Kind { Method, Property, ReadOnly };
    const char16_t* name;
    Kind kind;
    int minArgs = 0; // methods only
    int maxArgs = 0;
};

// Base of the host's automation objects: checks the member, its kind and its
// argument count, so each object only reads and writes its values. Setting a
// read-only property fails with 383, a wrong argument count with 450.
class SDispatch : public ScriptObject
{
public:
    bool HasMember(const QString& name) const override;
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;

protected:
    virtual std::span<const SMember> Members() const = 0;
    // index into Members(); for a Let the value is args.back().
    virtual void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) = 0;

private:
    int FindMember(const QString& name) const;
};

// The program: fixed texts and numbers.
class SApplication : public SDispatch
{
public:
    SApplication();
    QString TypeName() const override { return QStringLiteral("SApplication"); }

    QString m_strComputerName;
    QString m_strSystemUserName;
    float m_fVersion = 2.0f;
    int m_nBuildNumber = 1392;

protected:
    std::span<const SMember> Members() const override;
    void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;
};

// One label object. Value is what the object prints: the text of a text object, the
// content of a barcode (its symbol rebuilt); other kinds keep it without drawing it.
// The wrapper checks that its object still belongs to the label before each use, as
// the document may replace the label's objects while a preview job lives on.
class SObject : public SDispatch
{
public:
    SObject(CLabelData* label, CBaseGraph* object) : m_pLabelData(label), m_pObject(object) {}
    QString TypeName() const override { return QStringLiteral("SObject"); }

    CBaseGraph* GetObject() const { return m_pObject; }
    bool IsAlive() const;

protected:
    std::span<const SMember> Members() const override;
    void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;

private:
    CLabelData* m_pLabelData;
    CBaseGraph* m_pObject; // not owned
};

// The label's objects: Count and Item by name or 0-based index. A wrapper is made once
// per object and handed out again on later requests.
class SObjects : public SDispatch
{
public:
    QString TypeName() const override { return QStringLiteral("SObjects"); }

    // The label whose objects are served; set by the host when the module is built.
    void SetLabelData(CLabelData* label);
    // The wrapper of the object of that name (exact letter case), or of that index;
    // Nothing when there is none.
    ScriptValue Item(const ScriptValue& key);

protected:
    std::span<const SMember> Members() const override;
    void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;

private:
    ScriptValue Wrap(CBaseGraph* object);

    CLabelData* m_pLabelData = nullptr;
    std::vector<std::shared_ptr<SObject>> m_cache;
};

// The label: its file name, its objects and Item as a short way to them.
class SFormat : public SDispatch
{
public:
    SFormat() : m_pObjects(std::make_shared<SObjects>()) {}
    QString TypeName() const override { return QStringLiteral("SFormat"); }

    void SetLabelData(CLabelData* label);
    const std::shared_ptr<SObjects>& GetObjects() const { return m_pObjects; }

protected:
    std::span<const SMember> Members() const override;
    void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;

private:
    std::shared_ptr<SObjects> m_pObjects;
    CLabelData* m_pLabelData = nullptr;
};
