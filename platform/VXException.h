#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The program's exception: one message text, in the system's own words, handed up
// to whoever reports it. The subclasses only say where the failure came from, so a
// caller can catch one kind and let the others pass.
class VXException : public std::exception
{
public:
    explicit VXException(const QString& message) : m_strMessage(message), m_utf8(message.toUtf8()) {}
    VXException(const VXException&) = default;
    VXException& operator=(const VXException&) = default;
    ~VXException() override = default;

    virtual QString GetMessage() const { return m_strMessage; }
    virtual void SetMessage(const QString& message)
    {
        m_strMessage = message;
        m_utf8 = message.toUtf8();
    }

    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_strMessage;
    QByteArray m_utf8;
};

// A label or component file that is damaged, short, of another version or holds a
// record kind this program does not know.
class CArchiveException : public VXException
{
public:
    using VXException::VXException;
};

// A file that cannot be opened, created, written or replaced.
class CFileException : public VXException
{
public:
    using VXException::VXException;
};

// The barcode factory and encoders: unknown symbology, content that cannot be encoded.
class CBarcodeException : public VXException
{
public:
    using VXException::VXException;
};

// Data sources: connections, queries, and types that have no loader. Shown: the
// message already reached the user where it arose, and is not shown again.
class CDataSourceException : public VXException
{
public:
    explicit CDataSourceException(const QString& message, bool shown = false) : VXException(message), m_bShown(shown) {}

    bool Shown() const { return m_bShown; }

private:
    bool m_bShown = false;
};
