#include "platform/script/ScriptSyntax.h"

#include "platform/script/ScriptEngine.h"

#include <QHash>
#include <QSet>

int ClassDef::FieldIndex(const QString& name) const
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

Procedure* ClassDef::Find(const QString& name, ProcKind kind) const
{
    const bool assign = kind == ProcKind::PropertyLet || kind == ProcKind::PropertySet;
    for (const auto& p : procedures) {
        if (p->name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const bool pAssign = p->kind == ProcKind::PropertyLet || p->kind == ProcKind::PropertySet;
        if (assign ? p->kind == kind : !pAssign)
            return p.get();
    }
    return nullptr;
}

namespace {

enum class Tok : uint8_t { Ident, Number, String, Date, Op, Newline, End };

enum class Kw : uint8_t {
    None, And, ByRef, ByVal, Call, Case, Class, Const, Dim, Do, Each, Else, ElseIf, Empty, End, Eqv,
    Erase, Exit, False, For, Function, GoTo, If, Imp, In, Is, Loop, Me, Mod, New, Next, Not, Nothing,
    Null, On, Option, Or, Private, Public, ReDim, Rem, Select, Set, Sub, Then, To, True, Until, Wend,
    While, With, Xor, Let, Get, Property, Preserve, Resume, Default, Step, Error, Explicit,
};

// Words that only mean something in their place; elsewhere they are plain names.
bool IsContextual(Kw k)
{
    return k >= Kw::Let;
}

const QHash<QString, Kw>& Keywords()
{
    static const QHash<QString, Kw> table = {
        {"and", Kw::And}, {"byref", Kw::ByRef}, {"byval", Kw::ByVal}, {"call", Kw::Call}, {"case", Kw::Case},
        {"class", Kw::Class}, {"const", Kw::Const}, {"dim", Kw::Dim}, {"do", Kw::Do}, {"each", Kw::Each},
        {"else", Kw::Else}, {"elseif", Kw::ElseIf}, {"empty", Kw::Empty}, {"end", Kw::End}, {"eqv", Kw::Eqv},
        {"erase", Kw::Erase}, {"exit", Kw::Exit}, {"false", Kw::False}, {"for", Kw::For},
        {"function", Kw::Function}, {"goto", Kw::GoTo}, {"if", Kw::If}, {"imp", Kw::Imp}, {"in", Kw::In},
        {"is", Kw::Is}, {"loop", Kw::Loop}, {"me", Kw::Me}, {"mod", Kw::Mod}, {"new", Kw::New},
        {"next", Kw::Next}, {"not", Kw::Not}, {"nothing", Kw::Nothing}, {"null", Kw::Null}, {"on", Kw::On},
        {"option", Kw::Option}, {"or", Kw::Or}, {"private", Kw::Private}, {"public", Kw::Public},
        {"redim", Kw::ReDim}, {"rem", Kw::Rem}, {"select", Kw::Select}, {"set", Kw::Set}, {"sub", Kw::Sub},
        {"then", Kw::Then}, {"to", Kw::To}, {"true", Kw::True}, {"until", Kw::Until}, {"wend", Kw::Wend},
        {"while", Kw::While}, {"with", Kw::With}, {"xor", Kw::Xor}, {"let", Kw::Let}, {"get", Kw::Get},
        {"property", Kw::Property}, {"preserve", Kw::Preserve}, {"resume", Kw::Resume},
        {"default", Kw::Default}, {"step", Kw::Step}, {"error", Kw::Error}, {"explicit", Kw::Explicit},
    };
    return table;
}

struct Token
{
    Tok type = Tok::End;
    Kw kw = Kw::None;
    QString text; // identifier spelling, operator, string contents
    ScriptValue value;
    int line = 1;
    int column = 1;
    bool spaced = false; // blanks stand before it on its line
};

[[noreturn]] void CompileError(int number, int line, int column)
{
    throw ScriptException(number, ScriptErrorText(number), line, column);
}

class Lexer
{
public:
    explicit Lexer(const QString& text) : m_text(text) {}

    std::vector<Token> Run()
    {
        std::vector<Token> out;
        for (;;) {
            if (out.size() == out.capacity())
                NoteScriptAllocation(std::max<uint64_t>(out.capacity(), 16) * 2 * sizeof(Token));
            m_continued = false;
            Token t = Next();
            // "obj _" then ".Ret()" on the next line is one member access.
            t.spaced = m_spaceBefore && !(m_continued && t.type == Tok::Op && t.text == u".");
            m_afterDot = t.type == Tok::Op && t.text == u".";
            const bool end = t.type == Tok::End;
            out.push_back(std::move(t));
            if (end)
                break;
        }
        return out;
    }

private:
    QChar Peek(int ahead = 0) const
    {
        const qsizetype p = m_pos + ahead;
        return p < m_text.size() ? m_text[p] : QChar();
    }
    // Past the line break at m_pos: "\r\n", "\n" or a lone "\r", each one line, as
    // the script editor breaks them.
    void BreakLine()
    {
        m_pos += m_text[m_pos] == u'\r' && Peek(1) == u'\n' ? 2 : 1;
        ++m_line;
        m_lineStart = m_pos;
    }
    int Column() const { return int(m_pos - m_lineStart) + 1; }

    void SkipToLineEnd()
    {
        while (m_pos < m_text.size() && m_text[m_pos] != u'\n' && m_text[m_pos] != u'\r')
            ++m_pos;
    }

    Token Make(Tok type, int line, int column)
    {
        Token t;
        t.type = type;
        t.line = line;
        t.column = column;
        return t;
    }

    Token Next()
    {
        m_spaceBefore = false;
        for (;;) {
            while (m_pos < m_text.size() && (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t' || m_text[m_pos] == QChar(0xA0))) {
                ++m_pos;
                m_spaceBefore = true;
            }
            if (m_pos >= m_text.size())
                return Make(Tok::End, m_line, Column());
            const QChar c = m_text[m_pos];
            // A line continuation: "_" at the end of a line joins the next one.
            if (c == u'_' && !(Peek(1).isLetterOrNumber() || Peek(1) == u'_')) {
                qsizetype p = m_pos + 1;
                while (p < m_text.size() && (m_text[p] == u' ' || m_text[p] == u'\t'))
                    ++p;
                if (p < m_text.size() && (m_text[p] == u'\r' || m_text[p] == u'\n')) {
                    m_pos = p;
                    BreakLine();
                    m_continued = true;
                    continue;
                }
                CompileError(1032, m_line, Column());
            }
            if (c == u'\'') {
                SkipToLineEnd();
                continue;
            }
            break;
        }
        const int line = m_line, column = Column();
        const QChar c = m_text[m_pos];
        if (c == u'\r' || c == u'\n' || c == u':') {
            if (c == u':')
                ++m_pos;
            else
                BreakLine();
            Token t = Make(Tok::Newline, line, column);
            t.text = c == u':' ? QStringLiteral(":") : QString();
            return t;
        }
        if (c.isLetter() || c == u'[') {
            QString word;
            if (c == u'[') {
                ++m_pos;
                while (m_pos < m_text.size() && m_text[m_pos] != u']' && m_text[m_pos] != u'\n' && m_text[m_pos] != u'\r')
                    word += m_text[m_pos++];
                if (m_pos >= m_text.size() || m_text[m_pos] != u']')
                    CompileError(1010, line, column);
                ++m_pos;
                Token t = Make(Tok::Ident, line, column);
                t.text = word;
                return t;
            }
            while (m_pos < m_text.size() && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_'))
                word += m_text[m_pos++];
            // After a dot every word is a member's name (".Rem", ".End").
            const Kw kw = m_afterDot ? Kw::None : Keywords().value(word.toLower(), Kw::None);
            if (kw == Kw::Rem) {
                SkipToLineEnd();
                return Next();
            }
            Token t = Make(Tok::Ident, line, column);
            t.kw = kw;
            t.text = word;
            return t;
        }
        if (c.isDigit() || (c == u'.' && Peek(1).isDigit()))
            return Number(line, column);
        // "&h1F" and "&o17" are numbers; "&hi" is "&" before the name "hi".
        if (c == u'&' && (Peek(1) == u'h' || Peek(1) == u'H') && IsHexDigit(Peek(2)))
            return Radix(line, column);
        if (c == u'&' && (Peek(1) == u'o' || Peek(1) == u'O') && Peek(2) >= u'0' && Peek(2) <= u'7')
            return Radix(line, column);
        if (c == u'"') {
            ++m_pos;
            QString s;
            for (;;) {
                if (m_pos >= m_text.size() || m_text[m_pos] == u'\n' || m_text[m_pos] == u'\r')
                    CompileError(1033, line, column);
                if (m_text[m_pos] == u'"') {
                    if (Peek(1) == u'"') {
                        s += u'"';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                s += m_text[m_pos++];
            }
            Token t = Make(Tok::String, line, column);
            t.value = ScriptValue::Str(s);
            return t;
        }
        if (c == u'#') {
            const qsizetype close = m_text.indexOf(u'#', m_pos + 1);
            const QString date = close < 0 ? QString() : m_text.mid(m_pos + 1, close - m_pos - 1);
            double serial = 0;
            if (close < 0 || date.contains(u'\n') || date.contains(u'\r') || !ScriptDates::Parse(date, serial))
                CompileError(1002, line, column);
            m_pos = close + 1;
            Token t = Make(Tok::Date, line, column);
            t.value = ScriptValue::Date(serial);
            return t;
        }
        static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                          QStringLiteral("=<"), QStringLiteral("=>"), QStringLiteral("><")};
        for (const QString& op : twoChar) {
            if (m_text.mid(m_pos, 2) == op) {
                m_pos += 2;
                Token t = Make(Tok::Op, line, column);
                t.text = op == u"=<" ? QStringLiteral("<=") : op == u"=>" ? QStringLiteral(">=") : op == u"><" ? QStringLiteral("<>") : op;
                return t;
            }
        }
        if (QStringLiteral("+-*/\\^&=<>(),.").contains(c)) {
            ++m_pos;
            Token t = Make(Tok::Op, line, column);
            t.text = QString(c);
            return t;
        }
        CompileError(1032, line, column);
    }

    Token Number(int line, int column)
    {
        const qsizetype start = m_pos;
        bool isFloat = false;
        while (m_pos < m_text.size() && m_text[m_pos].isDigit())
            ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == u'.') {
            isFloat = true;
            ++m_pos;
            while (m_pos < m_text.size() && m_text[m_pos].isDigit())
                ++m_pos;
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == u'e' || m_text[m_pos] == u'E')) {
            qsizetype p = m_pos + 1;
            if (p < m_text.size() && (m_text[p] == u'+' || m_text[p] == u'-'))
                ++p;
            if (p < m_text.size() && m_text[p].isDigit()) {
                isFloat = true;
                m_pos = p;
                while (m_pos < m_text.size() && m_text[m_pos].isDigit())
                    ++m_pos;
            }
        }
        const QString digits = m_text.mid(start, m_pos - start);
        if (m_pos < m_text.size() && (m_text[m_pos].isLetter() || m_text[m_pos] == u'_'))
            CompileError(1025, line, Column());
        Token t = Make(Tok::Number, line, column);
        bool ok = false;
        if (!isFloat) {
            const qlonglong v = digits.toLongLong(&ok);
            if (ok && v <= INT16_MAX)
                t.value = ScriptValue::Int(int16_t(v));
            else if (ok && v <= INT32_MAX)
                t.value = ScriptValue::Lng(int32_t(v));
            else
                t.value = ScriptValue::Dbl(digits.toDouble());
        } else {
            double d = digits.toDouble(&ok);
            // An exponent too small for a Double gives 0; one too large is no number.
            if ((!ok || !std::isfinite(d)) && digits.contains(QLatin1String("e-"), Qt::CaseInsensitive)) {
                d = 0;
                ok = true;
            }
            if (!ok || !std::isfinite(d))
                CompileError(1031, line, column);
            t.value = ScriptValue::Dbl(d);
        }
        return t;
    }

    static bool IsHexDigit(QChar c)
    {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    Token Radix(int line, int column)
    {
        const bool hex = Peek(1) == u'h' || Peek(1) == u'H';
        m_pos += 2;
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (hex ? isxdigit(m_text[m_pos].unicode() < 128 ? m_text[m_pos].toLatin1() : 'x') : (m_text[m_pos] >= u'0' && m_text[m_pos] <= u'7')))
            ++m_pos;
        const QString digits = m_text.mid(start, m_pos - start);
        bool ok = false;
        const qulonglong v = digits.toULongLong(&ok, hex ? 16 : 8);
        if (!ok || v > 0xFFFFFFFFull)
            CompileError(1031, line, column);
        bool forceLong = false;
        if (m_pos < m_text.size() && m_text[m_pos] == u'&') {
            forceLong = true;
            ++m_pos;
        }
        Token t = Make(Tok::Number, line, column);
        // Up to four hex digits (six octal) are 16 bits, more are 32; a trailing "&"
        // asks for 32. Either way a value an Integer holds is one: &hFFFFFFFF& is -1.
        const bool narrow = !forceLong && v <= 0xFFFF && (hex ? digits.size() <= 4 : v <= 0177777);
        const int32_t value = narrow ? int16_t(uint16_t(v)) : int32_t(uint32_t(v));
        if (value >= INT16_MIN && value <= INT16_MAX)
            t.value = ScriptValue::Int(int16_t(value));
        else
            t.value = ScriptValue::Lng(value);
        return t;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    qsizetype m_lineStart = 0;
    int m_line = 1;
    bool m_spaceBefore = false;
    bool m_continued = false; // a line continuation stands before the token
    bool m_afterDot = false;
};

class Parser
{
public:
    explicit Parser(std::vector<Token> tokens) : m_t(std::move(tokens)) {}

    std::unique_ptr<ScriptModule> Module()
    {
        auto module = std::make_unique<ScriptModule>();
        m_module = module.get();
        SkipNewlines();
        while (!At(Tok::End)) {
            if (IsKw(Kw::Option)) {
                Take();
                if (!IsKw(Kw::Explicit))
                    Fail(1002);
                Take();
                module->optionExplicit = true;
                EndOfStatement();
                continue;
            }
            if (IsKw(Kw::Class)) {
                ClassBlock();
                continue;
            }
            if (ProcedureAhead()) {
                module->procedures.push_back(ProcedureBlock(nullptr));
                continue;
            }
            StatementLine(module->statements, false);
        }
        CheckAssignments(m_moduleAssigned, m_moduleConsts);
        return module;
    }

    ExprPtr SingleExpression()
    {
        ExprPtr e = Expression();
        SkipNewlines();
        if (!At(Tok::End))
            Fail(1025);
        return e;
    }

private:
    const Token& Cur() const { return m_t[m_i]; }
    const Token& Ahead(int n) const { return m_t[std::min(m_i + n, m_t.size() - 1)]; }
    bool At(Tok type) const { return Cur().type == type; }
    bool IsKw(Kw kw) const { return Cur().type == Tok::Ident && Cur().kw == kw; }
    bool IsOp(const char* op) const { return Cur().type == Tok::Op && Cur().text == QLatin1String(op); }
    Token Take() { Token t = m_t[m_i]; if (m_i + 1 < m_t.size()) ++m_i; return t; }
    [[noreturn]] void Fail(int number) const { CompileError(number, Cur().line, Cur().column); }
    void ExpectKw(Kw kw, int error)
    {
        if (!IsKw(kw))
            Fail(error);
        Take();
    }
    void ExpectOp(const char* op, int error)
    {
        if (!IsOp(op))
            Fail(error);
        Take();
    }
    void SkipNewlines()
    {
        while (At(Tok::Newline))
            Take();
    }
    // "End Sub" (Function, Property, Class, If) may follow a statement on its line.
    bool AtBlockEnd() const
    {
        if (!IsKw(Kw::End))
            return false;
        const Kw next = Ahead(1).kw;
        return next == Kw::Sub || next == Kw::Function || next == Kw::Property || next == Kw::Class || next == Kw::If;
    }
    bool AtStatementEnd() const { return At(Tok::Newline) || At(Tok::End) || IsKw(Kw::Else) || AtBlockEnd(); }
    void EndOfStatement()
    {
        if (At(Tok::End) || AtBlockEnd())
            return;
        if (!At(Tok::Newline))
            Fail(1025);
        SkipNewlines();
    }
    bool IsName() const { return At(Tok::Ident) && (Cur().kw == Kw::None || IsContextual(Cur().kw)); }
    QString Name()
    {
        if (!IsName())
            Fail(1010);
        return Take().text;
    }

    bool ProcedureAhead() const
    {
        size_t i = m_i;
        if (m_t[i].kw == Kw::Public || m_t[i].kw == Kw::Private) {
            ++i;
            if (m_t[i].kw == Kw::Default)
                ++i;
        }
        if (m_t[i].type != Tok::Ident)
            return false;
        if (m_t[i].kw == Kw::Property) {
            // "Property" alone is a name like any other.
            const Kw next = m_t[std::min(i + 1, m_t.size() - 1)].kw;
            return next == Kw::Get || next == Kw::Let || next == Kw::Set;
        }
        return m_t[i].kw == Kw::Sub || m_t[i].kw == Kw::Function;
    }

    // trailing: the end of the statement after "End Sub" is checked here (not when
    // the procedure stands inside another statement's block).
    std::unique_ptr<Procedure> ProcedureBlock(ClassDef* owner, bool trailing = true)
    {
        auto proc = std::make_unique<Procedure>();
        proc->owner = owner;
        if (IsKw(Kw::Public) || IsKw(Kw::Private)) {
            proc->isPublic = Take().kw == Kw::Public;
            if (IsKw(Kw::Default)) {
                Take();
                if (!owner)
                    Fail(1048);
                if (!proc->isPublic)
                    Fail(1002);
                proc->isDefault = true;
            }
        }
        proc->line = Cur().line;
        Kw endKw = Kw::Sub;
        if (IsKw(Kw::Sub)) {
            Take();
        } else if (IsKw(Kw::Function)) {
            Take();
            proc->kind = ProcKind::Function;
            endKw = Kw::Function;
        } else {
            Take();
            if (!owner)
                Fail(1048);
            endKw = Kw::Property;
            if (IsKw(Kw::Get))
                proc->kind = ProcKind::PropertyGet;
            else if (IsKw(Kw::Let))
                proc->kind = ProcKind::PropertyLet;
            else if (IsKw(Kw::Set))
                proc->kind = ProcKind::PropertySet;
            else
                Fail(1049);
            Take();
        }
        const Token nameAt = Cur();
        proc->name = Name();
        if (!owner)
            DeclaredProcedure(nameAt);
        m_procKind = endKw;
        // Names declared twice in one procedure are an error; the module's are kept aside.
        const QSet<QString> outerNames = std::exchange(m_procNames, {});
        struct RestoreNames
        {
            QSet<QString>& names;
            QSet<QString> saved;
            ~RestoreNames() { names = std::move(saved); }
        } restoreNames{m_procNames, outerNames};
        const QSet<QString> outerConsts = std::exchange(m_procConsts, {});
        RestoreNames restoreConsts{m_procConsts, outerConsts};
        std::vector<Assignment> assigned;
        std::swap(assigned, m_procAssigned);
        if (IsOp("(")) {
            Take();
            while (!IsOp(")")) {
                Param p;
                if (IsKw(Kw::ByVal) || IsKw(Kw::ByRef))
                    p.byRef = Take().kw == Kw::ByRef;
                Declared(Cur());
                p.name = Name();
                if (IsOp("(")) {
                    Take();
                    ExpectOp(")", 1006);
                }
                proc->params.push_back(p);
                if (!IsOp(","))
                    break;
                Take();
            }
            ExpectOp(")", 1006);
        }
        if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) && proc->params.empty())
            Fail(1054);
        if (owner && proc->params.size() && (proc->name.compare(u"Class_Initialize", Qt::CaseInsensitive) == 0 || proc->name.compare(u"Class_Terminate", Qt::CaseInsensitive) == 0))
            Fail(1053);
        // The body may start on the header's line: "Sub A() x = 1 End Sub".
        SkipNewlines();
        while (!(IsKw(Kw::End) && Ahead(1).kw == endKw)) {
            if (At(Tok::End))
                Fail(endKw == Kw::Sub ? 1016 : endKw == Kw::Function ? 1015 : 1050);
            if (IsKw(Kw::End) && (Ahead(1).kw == Kw::Sub || Ahead(1).kw == Kw::Function || Ahead(1).kw == Kw::Property))
                Fail(endKw == Kw::Sub ? 1016 : endKw == Kw::Function ? 1015 : 1050);
            StatementLine(proc->body, true);
        }
        Take();
        Take();
        m_procKind = Kw::None;
        std::swap(assigned, m_procAssigned);
        // The script's own constants are checked when the assignment runs (501 then).
        CheckAssignments(assigned, m_procConsts);
        if (trailing)
            EndOfStatement();
        return proc;
    }

    void ClassBlock()
    {
        Take();
        auto cls = std::make_unique<ClassDef>();
        DeclaredClass(Cur());
        cls->name = Name();
        SkipNewlines();
        while (!(IsKw(Kw::End) && Ahead(1).kw == Kw::Class)) {
            if (At(Tok::End))
                Fail(1047);
            if (ProcedureAhead()) {
                auto proc = ProcedureBlock(cls.get());
                if (proc->isDefault) {
                    if (cls->defaultMember)
                        Fail(1052);
                    cls->defaultMember = proc.get();
                }
                cls->procedures.push_back(std::move(proc));
                continue;
            }
            bool isPublic = true;
            if (IsKw(Kw::Public) || IsKw(Kw::Private))
                isPublic = Take().kw == Kw::Public;
            else if (IsKw(Kw::Dim))
                Take();
            else
                Fail(1024);
            if (IsKw(Kw::Dim))
                Take();
            for (;;) {
                ClassField f;
                f.isPublic = isPublic;
                f.name = Name();
                if (IsOp("(")) {
                    Take();
                    f.hasBounds = true;
                    while (!IsOp(")")) {
                        f.bounds.push_back(Expression());
                        if (!IsOp(","))
                            break;
                        Take();
                    }
                    ExpectOp(")", 1006);
                }
                cls->fields.push_back(std::move(f));
                if (!IsOp(","))
                    break;
                Take();
            }
            EndOfStatement();
        }
        Take();
        Take();
        EndOfStatement();
        m_module->classes.push_back(std::move(cls));
    }

    // One line's statements, separated by ":".
    void StatementLine(StmtList& out, bool inProcedure)
    {
        out.push_back(Statement(inProcedure));
        EndOfStatement();
    }

    // Statements up to one of the closing words, which is left in place.
    StmtList Block(std::initializer_list<Kw> closers, bool inProcedure, int missingError)
    {
        NestingGuard guard(*this);
        StmtList body;
        SkipNewlines();
        for (;;) {
            if (At(Tok::End))
                Fail(missingError);
            for (Kw k : closers)
                if (IsKw(k))
                    return body;
            if (IsKw(Kw::End)) {
                for (Kw k : closers)
                    if (k == Kw::End)
                        return body;
                Fail(missingError);
            }
            StatementLine(body, inProcedure);
        }
    }

    std::unique_ptr<Stmt> Make(StmtKind kind, const Token& at)
    {
        return std::make_unique<Stmt>(kind, at.line, at.column);
    }

    std::unique_ptr<Stmt> Statement(bool inProc)
    {
        const Token start = Cur();
        // A procedure declared inside a block of the script's own code still belongs
        // to the module.
        if (!inProc && m_procKind == Kw::None && ProcedureAhead()) {
            m_module->procedures.push_back(ProcedureBlock(nullptr, false));
            return Make(StmtKind::Nop, start);
        }
        if (start.type != Tok::Ident && !(start.type == Tok::Op && start.text == u"."))
            Fail(1024);
        switch (start.kw) {
        case Kw::Dim:
        case Kw::Private:
        case Kw::Public: {
            Take();
            if (start.kw != Kw::Dim && IsKw(Kw::Const))
                return ConstStatement();
            if (start.kw != Kw::Dim && ProcedureAhead())
                Fail(1024);
            return DimList(StmtKind::Dim);
        }
        case Kw::ReDim:
            Take();
            return DimList(StmtKind::ReDim);
        case Kw::Const:
            return ConstStatement();
        case Kw::Erase: {
            Take();
            auto s = Make(StmtKind::Erase, start);
            s->target = Identifier();
            return s;
        }
        case Kw::Set: {
            Take();
            auto s = Make(StmtKind::Set, start);
            s->target = Postfix(true);
            Assigned(*s->target);
            ExpectOp("=", 1011);
            s->value = Expression();
            return s;
        }
        case Kw::Let: {
            Take();
            auto s = Make(StmtKind::Assign, start);
            s->target = Postfix(true);
            Assigned(*s->target);
            ExpectOp("=", 1011);
            s->value = Expression();
            return s;
        }
        case Kw::Call: {
            Take();
            auto s = Make(StmtKind::Call, start);
            // "Call (New C).M()" and "Call (f)(x)": the target may start with a parenthesis.
            s->target = IsOp("(") ? Postfix(false) : Postfix(true);
            // "Call (f)(x)" and "Call ((f)) (x)" call f.
            Expr& t = *s->target;
            if (t.kind == ExprKind::Call && t.left->kind == ExprKind::Paren) {
                const Expr* inner = t.left.get();
                while (inner->kind == ExprKind::Paren)
                    inner = inner->left.get();
                if (inner->kind == ExprKind::Ident || inner->kind == ExprKind::Member)
                    while (t.left->kind == ExprKind::Paren)
                        t.left = std::move(t.left->left);
            }
            return s;
        }
        case Kw::If:
            return IfStatement(inProc);
        case Kw::Select:
            return SelectStatement(inProc);
        case Kw::For:
            return ForStatement(inProc);
        case Kw::Do:
            return DoStatement(inProc);
        case Kw::While: {
            Take();
            auto s = Make(StmtKind::While, start);
            s->value = Expression();
            s->body = Block({Kw::Wend}, inProc, 1018);
            Take();
            return s;
        }
        case Kw::With: {
            Take();
            auto s = Make(StmtKind::With, start);
            s->value = Expression();
            s->body = Block({Kw::End}, inProc, 1029);
            Take();
            ExpectKw(Kw::With, 1029);
            return s;
        }
        case Kw::Exit: {
            Take();
            const Token what = Take();
            if (what.kw == Kw::Do && m_doDepth)
                return Make(StmtKind::ExitDo, start);
            if (what.kw == Kw::For && m_forDepth)
                return Make(StmtKind::ExitFor, start);
            if (m_procKind != Kw::None && what.kw == m_procKind)
                return Make(StmtKind::ExitProc, start);
            CompileError(1039, what.line, what.column);
        }
        case Kw::On: {
            Take();
            ExpectKw(Kw::Error, 1002);
            if (IsKw(Kw::Resume)) {
                Take();
                ExpectKw(Kw::Next, 1020);
                return Make(StmtKind::OnErrorResumeNext, start);
            }
            ExpectKw(Kw::GoTo, 1002);
            if (!(At(Tok::Number) && Cur().value.RawInt() == 0))
                Fail(1026);
            Take();
            return Make(StmtKind::OnErrorGoto0, start);
        }
        case Kw::Sub:
        case Kw::Function:
        case Kw::Class:
            Fail(1024);
        case Kw::Property:
            if (Ahead(1).kw == Kw::Get || Ahead(1).kw == Kw::Let || Ahead(1).kw == Kw::Set)
                Fail(1024);
            break;
        case Kw::Next:
            Fail(1055);
        case Kw::Loop:
            Fail(1038);
        default:
            break;
        }
        if (start.kw != Kw::None && !IsContextual(start.kw) && start.kw != Kw::Me)
            Fail(1024);
        // Stop breaks into a debugger; there is none.
        if (start.type == Tok::Ident && start.text.compare(u"Stop", Qt::CaseInsensitive) == 0
            && (Ahead(1).type == Tok::Newline || Ahead(1).type == Tok::End || Ahead(1).kw == Kw::Else)) {
            Take();
            return Make(StmtKind::Nop, start);
        }
        // An assignment or a call of a Sub.
        ExprPtr target = Postfix(true);
        if (IsOp("=")) {
            Take();
            auto s = Make(StmtKind::Assign, start);
            Assigned(*target);
            s->target = std::move(target);
            s->value = Expression();
            return s;
        }
        auto s = Make(StmtKind::Call, start);
        if (AtStatementEnd()) {
            // "Name(x)" as a statement passes x by value: the parentheses belong to x.
            if (target->kind == ExprKind::Call && target->parens) {
                if (target->args.size() > 1)
                    Fail(1044);
                target->parens = false;
                if (target->args.size() == 1)
                    target->args[0] = Wrap(std::move(target->args[0]));
            }
            s->target = std::move(target);
            return s;
        }
        // "Name (a), b": the first argument was taken for a call.
        ExprPtr call;
        if (target->kind == ExprKind::Call && target->parens && target->args.size() == 1 && IsOp(",")) {
            call = std::move(target);
            call->args[0] = Wrap(std::move(call->args[0]));
            call->parens = false;
            Take();
        } else if (target->kind == ExprKind::Call && target->parens && !IsOp(",")) {
            // "Show (1 + 2) * 3": the parenthesis opened the first argument.
            m_i = m_lastCallOpen;
            call = std::make_unique<Expr>(ExprKind::Call, start.line, start.column);
            call->left = std::move(target->left);
        } else {
            call = std::make_unique<Expr>(ExprKind::Call, start.line, start.column);
            call->left = std::move(target);
        }
        ArgumentList(call->args, false);
        s->target = Deepened(std::move(call));
        return s;
    }

    ExprPtr Wrap(ExprPtr e)
    {
        if (!e)
            return e; // a missing argument stays missing
        auto p = std::make_unique<Expr>(ExprKind::Paren, e->line, e->column);
        p->left = std::move(e);
        return Deepened(std::move(p));
    }

    // Arguments up to ")" (in parentheses) or the end of the statement; empty ones allowed.
    void ArgumentList(std::vector<ExprPtr>& args, bool inParens)
    {
        for (;;) {
            if (IsOp(",")) {
                args.push_back(nullptr);
                Take();
                continue;
            }
            if (inParens ? IsOp(")") : AtStatementEnd())
                break;
            args.push_back(Expression());
            if (!IsOp(","))
                break;
            Take();
            if (inParens ? IsOp(")") : AtStatementEnd())
                args.push_back(nullptr);
        }
    }

    ExprPtr Identifier()
    {
        const Token& t = Cur();
        auto e = std::make_unique<Expr>(ExprKind::Ident, t.line, t.column);
        e->name = Name();
        return e;
    }

    std::unique_ptr<Stmt> ConstStatement()
    {
        const Token start = Take();
        auto first = Make(StmtKind::Const, start);
        Stmt* s = first.get();
        for (;;) {
            Declared(Cur());
            (m_procKind == Kw::None ? m_moduleConsts : m_procConsts).insert(Cur().text.toLower());
            s->target = Identifier();
            ExpectOp("=", 1011);
            s->value = Expression();
            if (!IsOp(","))
                break;
            Take();
            // Further names hang off the first statement, as Dim lists do.
            first->body.push_back(Make(StmtKind::Const, start));
            s = first->body.back().get();
        }
        return first;
    }

    // Dim/ReDim lists: further items hang off the first statement's body.
    std::unique_ptr<Stmt> DimList(StmtKind kind)
    {
        const Token start = Cur();
        std::unique_ptr<Stmt> first;
        if (kind == StmtKind::ReDim && IsKw(Kw::Preserve)) {
            Take();
            m_preserve = true;
        } else {
            m_preserve = false;
        }
        for (;;) {
            auto s = Make(kind, Cur());
            s->preserve = m_preserve;
            if (kind == StmtKind::Dim)
                Declared(Cur());
            s->target = Identifier();
            if (IsOp("(")) {
                Take();
                s->hasBounds = true;
                while (!IsOp(")")) {
                    s->bounds.push_back(Expression());
                    if (!IsOp(","))
                        break;
                    Take();
                }
                ExpectOp(")", 1006);
            } else if (kind == StmtKind::ReDim) {
                Fail(1005);
            }
            if (!first)
                first = std::move(s);
            else
                first->body.push_back(std::move(s));
            if (!IsOp(","))
                break;
            Take();
        }
        return first;
    }

    std::unique_ptr<Stmt> IfStatement(bool inProc)
    {
        const Token start = Take();
        auto s = Make(StmtKind::If, start);
        Branch first;
        first.conditions.push_back(Expression());
        ExpectKw(Kw::Then, 1017);
        // "Then" that ends the text opens a block, which then lacks its "End If".
        if ((!At(Tok::Newline) && !At(Tok::End)) || Cur().text == u":") {
            if (At(Tok::Newline))
                Take();
            // One-line form: statements up to the line's end, an optional Else part.
            first.body = InlineStatements(inProc);
            s->branches.push_back(std::move(first));
            if (IsKw(Kw::Else)) {
                Take();
                Branch other;
                other.body = InlineStatements(inProc);
                s->branches.push_back(std::move(other));
            }
            if (IsKw(Kw::End) && Ahead(1).kw == Kw::If) {
                Take();
                Take();
            }
            return s;
        }
        first.body = Block({Kw::ElseIf, Kw::Else, Kw::End}, inProc, 1014);
        s->branches.push_back(std::move(first));
        while (IsKw(Kw::ElseIf)) {
            Take();
            Branch b;
            b.conditions.push_back(Expression());
            ExpectKw(Kw::Then, 1017);
            b.body = Block({Kw::ElseIf, Kw::Else, Kw::End}, inProc, 1014);
            s->branches.push_back(std::move(b));
        }
        if (IsKw(Kw::Else)) {
            Take();
            Branch b;
            b.body = Block({Kw::End}, inProc, 1014);
            s->branches.push_back(std::move(b));
        }
        ExpectKw(Kw::End, 1014);
        ExpectKw(Kw::If, 1012);
        return s;
    }

    StmtList InlineStatements(bool inProc)
    {
        StmtList body;
        for (;;) {
            if (At(Tok::Newline) && Cur().text == u":") {
                Take();
                continue;
            }
            if (At(Tok::Newline) || At(Tok::End) || IsKw(Kw::Else) || (IsKw(Kw::End) && Ahead(1).kw == Kw::If))
                return body;
            body.push_back(Statement(inProc));
        }
    }

    std::unique_ptr<Stmt> SelectStatement(bool inProc)
    {
        const Token start = Take();
        ExpectKw(Kw::Case, 1021);
        auto s = Make(StmtKind::Select, start);
        s->value = Expression();
        EndOfStatement();
        while (IsKw(Kw::Case)) {
            Take();
            Branch b;
            if (IsKw(Kw::Else)) {
                Take();
            } else {
                for (;;) {
                    b.conditions.push_back(Expression());
                    if (!IsOp(","))
                        break;
                    Take();
                }
            }
            b.body = Block({Kw::Case, Kw::End}, inProc, 1022);
            s->branches.push_back(std::move(b));
        }
        ExpectKw(Kw::End, 1022);
        ExpectKw(Kw::Select, 1022);
        return s;
    }

    std::unique_ptr<Stmt> ForStatement(bool inProc)
    {
        const Token start = Take();
        std::unique_ptr<Stmt> s;
        if (IsKw(Kw::Each)) {
            Take();
            s = Make(StmtKind::ForEach, start);
            s->target = Identifier();
            Assigned(*s->target);
            ExpectKw(Kw::In, 1046);
            s->value = Expression();
        } else {
            s = Make(StmtKind::For, start);
            s->target = Identifier();
            Assigned(*s->target);
            ExpectOp("=", 1011);
            s->value = Expression();
            ExpectKw(Kw::To, 1013);
            s->to = Expression();
            if (IsKw(Kw::Step)) {
                Take();
                s->step = Expression();
            }
        }
        ++m_forDepth;
        s->body = Block({Kw::Next}, inProc, 1020);
        --m_forDepth;
        Take();
        if (IsName())
            Take();
        return s;
    }

    std::unique_ptr<Stmt> DoStatement(bool inProc)
    {
        const Token start = Take();
        auto s = Make(StmtKind::Do, start);
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            s->until = Take().kw == Kw::Until;
            s->value = Expression();
        } else if (!At(Tok::Newline)) {
            Fail(1028);
        }
        ++m_doDepth;
        s->body = Block({Kw::Loop}, inProc, 1019);
        --m_doDepth;
        Take();
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            if (s->value)
                Fail(1025);
            s->until = Take().kw == Kw::Until;
            s->value = Expression();
            s->testAtEnd = true;
        }
        return s;
    }

    // Expressions, lowest precedence first. Nesting is bounded so that hostile input
    // cannot exhaust the stack.
    ExprPtr Expression()
    {
        NestingGuard guard(*this);
        return BinaryLevel(0);
    }

    static constexpr int kMaxNesting = 64;
    struct NestingGuard
    {
        Parser& p;
        explicit NestingGuard(Parser& parser) : p(parser)
        {
            if (++p.m_nesting > kMaxNesting)
                CompileError(28, p.Cur().line, p.Cur().column);
        }
        ~NestingGuard() { --p.m_nesting; }
    };

    // Long chains ("a & b & c ...", "x.a.b.c ...") are parsed by loops, not by
    // recursion, but compiling, running and freeing the tree recurse over its depth:
    // a deeper tree is refused.
    static constexpr int kMaxExpressionDepth = 2000;
    ExprPtr Deepened(ExprPtr e)
    {
        if ((++m_nodes & 0x3FFF) == 0)
            CheckScriptMemory();
        int below = 0;
        if (e->left)
            below = e->left->depth;
        if (e->right)
            below = std::max(below, e->right->depth);
        for (const auto& a : e->args)
            if (a)
                below = std::max(below, a->depth);
        e->depth = below + 1;
        if (e->depth > kMaxExpressionDepth)
            CompileError(28, e->line, e->column);
        return e;
    }

    struct Level
    {
        std::initializer_list<const char*> ops;
        std::initializer_list<Kw> kws;
    };

    ExprPtr MakeBinary(ScriptOps::Op op, ExprPtr l, ExprPtr r, const Token& at)
    {
        using ScriptOps::Op;
        const bool cmp = op == Op::Eq || op == Op::Ne || op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge;
        auto e = std::make_unique<Expr>(cmp ? ExprKind::Compare : ExprKind::Binary, at.line, at.column);
        e->op = op;
        e->left = std::move(l);
        e->right = std::move(r);
        return Deepened(std::move(e));
    }

    // Levels: 0 Imp, 1 Eqv, 2 Xor, 3 Or, 4 And, 5 Not, 6 comparison, 7 &, 8 + -, 9 Mod,
    // 10 \, 11 * /, 12 unary minus, 13 ^.
    ExprPtr BinaryLevel(int level)
    {
        using ScriptOps::Op;
        if (level == 5) {
            if (IsKw(Kw::Not)) {
                const Token t = Take();
                NestingGuard guard(*this);
                auto e = std::make_unique<Expr>(ExprKind::Unary, t.line, t.column);
                e->op = Op::Xor;
                e->left = BinaryLevel(5);
                return Deepened(std::move(e));
            }
            return BinaryLevel(6);
        }
        if (level == 12)
            return BinaryLevel(13);
        if (level == 13) {
            // Negation binds tighter than "^": -3 ^ 2 is 9.
            ExprPtr left = SignedOperand();
            while (IsOp("^")) {
                const Token t = Take();
                ExprPtr right;
                if (IsOp("-") || IsOp("+")) {
                    const Token sign = Take();
                    right = Postfix(false);
                    if (sign.text == u"-") {
                        auto neg = std::make_unique<Expr>(ExprKind::Unary, sign.line, sign.column);
                        neg->op = Op::Sub;
                        neg->left = std::move(right);
                        right = Deepened(std::move(neg));
                    }
                } else {
                    right = Postfix(false);
                }
                left = MakeBinary(Op::Pow, std::move(left), std::move(right), t);
            }
            return left;
        }
        ExprPtr left = BinaryLevel(level + 1);
        for (;;) {
            Op op;
            if (!MatchOp(level, op))
                return left;
            const Token t = Take();
            // "a = Not b": Not after a comparison takes the rest of the comparison.
            left = MakeBinary(op, std::move(left), BinaryLevel(level == 6 && IsKw(Kw::Not) ? 5 : level + 1), t);
        }
    }

    ExprPtr SignedOperand()
    {
        if (!IsOp("-") && !IsOp("+"))
            return Postfix(false);
        const Token t = Take();
        NestingGuard guard(*this);
        ExprPtr operand = SignedOperand();
        if (t.text == u"+")
            return operand;
        auto e = std::make_unique<Expr>(ExprKind::Unary, t.line, t.column);
        e->op = ScriptOps::Op::Sub;
        e->left = std::move(operand);
        return Deepened(std::move(e));
    }

    bool MatchOp(int level, ScriptOps::Op& op) const
    {
        using ScriptOps::Op;
        const Token& t = Cur();
        const bool isOp = t.type == Tok::Op;
        switch (level) {
        case 0: op = Op::Imp; return IsKw(Kw::Imp);
        case 1: op = Op::Eqv; return IsKw(Kw::Eqv);
        case 2: op = Op::Xor; return IsKw(Kw::Xor);
        case 3: op = Op::Or; return IsKw(Kw::Or);
        case 4: op = Op::And; return IsKw(Kw::And);
        case 6:
            if (IsKw(Kw::Is)) { op = Op::Is; return true; }
            if (!isOp) return false;
            if (t.text == u"=") { op = Op::Eq; return true; }
            if (t.text == u"<>") { op = Op::Ne; return true; }
            if (t.text == u"<") { op = Op::Lt; return true; }
            if (t.text == u"<=") { op = Op::Le; return true; }
            if (t.text == u">") { op = Op::Gt; return true; }
            if (t.text == u">=") { op = Op::Ge; return true; }
            return false;
        case 7: op = Op::Concat; return isOp && t.text == u"&";
        case 8:
            if (isOp && t.text == u"+") { op = Op::Add; return true; }
            if (isOp && t.text == u"-") { op = Op::Sub; return true; }
            return false;
        case 9: op = Op::Mod; return IsKw(Kw::Mod);
        case 10: op = Op::IntDiv; return isOp && t.text == u"\\";
        case 11:
            if (isOp && t.text == u"*") { op = Op::Mul; return true; }
            if (isOp && t.text == u"/") { op = Op::Div; return true; }
            return false;
        default:
            return false;
        }
    }

    // A primary with its ".name" and "(args)" suffixes. As a statement's target the
    // chain must start with a name, Me or a With dot.
    ExprPtr Postfix(bool statementTarget)
    {
        const Token t = Cur();
        ExprPtr e;
        if (t.type == Tok::Op && t.text == u".") {
            Take();
            e = std::make_unique<Expr>(ExprKind::With, t.line, t.column);
            e = Member(std::move(e));
        } else if (t.type == Tok::Ident && t.kw == Kw::Me) {
            Take();
            e = std::make_unique<Expr>(ExprKind::Me, t.line, t.column);
        } else if (statementTarget) {
            e = Identifier();
        } else {
            e = Primary();
            if (e->kind != ExprKind::Ident && e->kind != ExprKind::Paren)
                return e;
        }
        for (;;) {
            if (IsOp(".")) {
                // In a statement, a blank before the dot starts an argument of a
                // With block: "Show .Name".
                if (statementTarget && Cur().spaced)
                    return e;
                Take();
                e = Member(std::move(e));
            } else if (IsOp("(")) {
                const size_t openAt = m_i;
                const Token open = Take();
                auto call = std::make_unique<Expr>(ExprKind::Call, open.line, open.column);
                call->parens = true;
                // "(f)(x)" calls f with x: the parentheses around a name are no value.
                if (e->kind == ExprKind::Paren) {
                    const Expr* inner = e.get();
                    while (inner->kind == ExprKind::Paren)
                        inner = inner->left.get();
                    if (inner->kind == ExprKind::Ident)
                        while (e->kind == ExprKind::Paren)
                            e = std::move(e->left);
                }
                call->left = std::move(e);
                ArgumentList(call->args, true);
                ExpectOp(")", 1006);
                m_lastCallOpen = openAt;
                e = Deepened(std::move(call));
                // "Show (x).y": after a blank the parenthesis may open the first
                // argument; the statement decides once it sees what follows.
                if (statementTarget && open.spaced)
                    return e;
            } else {
                return e;
            }
        }
    }

    ExprPtr Member(ExprPtr target)
    {
        const Token& t = Cur();
        if (t.type != Tok::Ident)
            Fail(1010);
        auto e = std::make_unique<Expr>(ExprKind::Member, t.line, t.column);
        e->name = Take().text;
        e->left = std::move(target);
        return Deepened(std::move(e));
    }

    ExprPtr Literal(const Token& t, ScriptValue v)
    {
        auto e = std::make_unique<Expr>(ExprKind::Literal, t.line, t.column);
        e->value = std::move(v);
        return e;
    }

    ExprPtr Primary()
    {
        const Token t = Cur();
        switch (t.type) {
        case Tok::Number:
        case Tok::String:
        case Tok::Date:
            Take();
            return Literal(t, t.value);
        case Tok::Op:
            if (t.text == u"(") {
                Take();
                auto e = std::make_unique<Expr>(ExprKind::Paren, t.line, t.column);
                e->left = Expression();
                ExpectOp(")", 1006);
                return Deepened(std::move(e));
            }
            Fail(1023);
        case Tok::Ident:
            switch (t.kw) {
            case Kw::True: Take(); return Literal(t, ScriptValue::Bool(true));
            case Kw::False: Take(); return Literal(t, ScriptValue::Bool(false));
            case Kw::Empty: Take(); return Literal(t, ScriptValue());
            case Kw::Null: Take(); return Literal(t, ScriptValue::Null());
            case Kw::Nothing: Take(); return Literal(t, ScriptValue::Nothing());
            case Kw::New: {
                Take();
                auto e = std::make_unique<Expr>(ExprKind::New, t.line, t.column);
                e->name = Name();
                return e;
            }
            default:
                if (t.kw != Kw::None && !IsContextual(t.kw))
                    Fail(1023);
                return Identifier();
            }
        default:
            Fail(1023);
        }
    }

    std::vector<Token> m_t;
    size_t m_i = 0;
    ScriptModule* m_module = nullptr;
    Kw m_procKind = Kw::None;
    int m_doDepth = 0;
    int m_forDepth = 0;
    bool m_preserve = false;
    int m_nesting = 0;
    uint32_t m_nodes = 0; // made so far, for the memory budget's checks
    size_t m_lastCallOpen = 0; // the "(" of the call Postfix read last
    QSet<QString> m_moduleNames; // declared at script level (lower case)
    QSet<QString> m_moduleProcs; // the script's Subs and Functions (lower case)
    QSet<QString> m_moduleClasses; // the script's classes (lower case)
    QSet<QString> m_procNames;   // declared in the procedure being read
    QSet<QString> m_moduleConsts; // Const names (lower case), of the script and of
    QSet<QString> m_procConsts;   // the procedure being read
    // Names assigned to, checked against the constants once the scope is read: a
    // constant is known before its line.
    struct Assignment
    {
        QString key;
        int line;
        int column;
    };
    std::vector<Assignment> m_moduleAssigned;
    std::vector<Assignment> m_procAssigned;

    void Assigned(const Expr& target)
    {
        if (target.kind == ExprKind::Ident)
            (m_procKind == Kw::None ? m_moduleAssigned : m_procAssigned).push_back({target.name.toLower(), target.line, target.column});
    }

    static void CheckAssignments(const std::vector<Assignment>& assigned, const QSet<QString>& consts)
    {
        if (consts.isEmpty())
            return;
        for (const Assignment& a : assigned)
            if (consts.contains(a.key))
                CompileError(501, a.line, a.column);
    }

    // A name Dim, Const or a parameter declares: twice in one scope, or a script-level
    // variable named as a script-level procedure, is "Name redefined".
    void Declared(const Token& t)
    {
        if (t.type != Tok::Ident)
            return;
        const bool moduleLevel = m_procKind == Kw::None;
        QSet<QString>& names = moduleLevel ? m_moduleNames : m_procNames;
        const QString key = t.text.toLower();
        if (names.contains(key) || (moduleLevel && m_moduleProcs.contains(key)))
            CompileError(1041, t.line, t.column);
        names.insert(key);
    }

    // A script-level Sub or Function; declaring one again replaces it, as the language does.
    void DeclaredProcedure(const Token& t)
    {
        const QString key = t.text.toLower();
        if (m_moduleNames.contains(key))
            CompileError(1041, t.line, t.column);
        m_moduleProcs.insert(key);
    }

    // A class is declared once: a second of the same name is "Name redefined".
    void DeclaredClass(const Token& t)
    {
        if (t.type != Tok::Ident)
            return;
        const QString key = t.text.toLower();
        if (m_moduleClasses.contains(key))
            CompileError(1041, t.line, t.column);
        m_moduleClasses.insert(key);
    }
};

} // namespace

ScriptPosition ScriptTextEnd(QStringView text)
{
    ScriptPosition end;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
            ++end.line;
            lineStart = i + 1;
        }
    }
    end.column = int(text.size() - lineStart) + 1;
    return end;
}

std::unique_ptr<ScriptModule> ParseScript(const QString& text)
{
    Parser parser(Lexer(text).Run());
    return parser.Module();
}

ExprPtr ParseScriptExpression(const QString& text)
{
    Parser parser(Lexer(text).Run());
    return parser.SingleExpression();
}
