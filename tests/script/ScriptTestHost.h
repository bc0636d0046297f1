#pragma once

#include "platform/script/ScriptEngine.h"

#include <QString>
#include <QStringList>

// Runs a script the way the console script host does: "WScript.Echo" prints a line
// (its arguments joined by blanks) and an error no handler caught ends the script with
// one line naming its position and text.
QString RunConsoleScript(const QString& text);

// A host object whose members are a fixed set of named values, for the host tests.
class PropertyBag : public ScriptObject
{
public:
    QString TypeName() const override { return QStringLiteral("PropertyBag"); }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;
    bool HasMember(const QString& name) const override;
    QStringList names;
    std::vector<ScriptValue> values;
    int sets = 0;
};
