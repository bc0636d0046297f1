#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include <nettle/arcfour.h>

// Connection fields of data-source descriptions are held and stored only in this
// enciphered form: the text's UTF-8 bytes through RC4 under a key made from the MD5
// of the program's fixed pass phrase, written as lower-case hexadecimal. There is no
// salt, so the same text always gives the same cipher text. This keeps passwords
// out of plain sight in label files; it is not protection against a determined reader.
QString EncryptString(const QString& plain);
// The plain text of EncryptString's output; upper-case digits are accepted. Text
// that is not an even run of hexadecimal digits gives an empty text. The result
// stops at the first zero byte.
QString DecryptString(const QString& cipher);

// "%02x" for each byte, in order.
QString BytesToHex(QByteArrayView bytes);
// Each pair of hexadecimal digits (either case) gives one byte; nothing for an odd
// length or a character that is not a digit.
std::optional<QByteArray> HexToBytes(QByteArrayView hex);

// An RC4 key derived from the MD5 of a pass phrase; lives for one enciphering.
class CCrypt
{
public:
    CCrypt() = default;
    virtual ~CCrypt();
    CCrypt(const CCrypt&) = delete;
    CCrypt& operator=(const CCrypt&) = delete;

    void CreateKey(QByteArrayView passPhrase);
    bool HasKey() const { return m_bHasKey; }
    // RC4 is its own inverse: the same call enciphers and deciphers, in place,
    // continuing the key stream. Without a key the bytes stay as they are.
    void Apply(QByteArray& data);

private:
    arcfour_ctx m_key{};
    bool m_bHasKey = false;
};
