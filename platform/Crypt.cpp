#include "platform/Crypt.h"

#include <nettle/md5.h>

#include <cstring>

namespace {

// The only pass phrase connection fields are enciphered with. Changing it makes every
// stored connection field unreadable.
constexpr char kPassPhrase[] = "Vc3&lb7Q";
static_assert(sizeof(kPassPhrase) == 9, "eight characters");

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray ApplyFixedKey(QByteArray data)
{
    CCrypt crypt;
    crypt.CreateKey(QByteArrayView(kPassPhrase, sizeof(kPassPhrase) - 1));
    crypt.Apply(data);
    return data;
}

} // namespace

CCrypt::~CCrypt()
{
    // The key schedule is the pass phrase in another form; leave nothing behind.
    volatile unsigned char* p = reinterpret_cast<volatile unsigned char*>(&m_key);
    for (size_t i = 0; i < sizeof(m_key); ++i)
        p[i] = 0;
}

void CCrypt::CreateKey(QByteArrayView passPhrase)
{
    md5_ctx hash;
    md5_init(&hash);
    md5_update(&hash, static_cast<size_t>(passPhrase.size()),
               reinterpret_cast<const uint8_t*>(passPhrase.data()));
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&hash, sizeof(digest), digest);
    arcfour_set_key(&m_key, sizeof(digest), digest);
    std::memset(digest, 0, sizeof(digest));
    m_bHasKey = true;
}

void CCrypt::Apply(QByteArray& data)
{
    if (!m_bHasKey || data.isEmpty())
        return;
    auto* bytes = reinterpret_cast<uint8_t*>(data.data());
    arcfour_crypt(&m_key, static_cast<size_t>(data.size()), bytes, bytes);
}

QString BytesToHex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex());
}

std::optional<QByteArray> HexToBytes(QByteArrayView hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray out(hex.size() / 2, '\0');
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out[i] = static_cast<char>(high * 16 + low);
    }
    return out;
}

QString EncryptString(const QString& plain)
{
    if (plain.isEmpty())
        return {};
    return BytesToHex(ApplyFixedKey(plain.toUtf8()));
}

QString DecryptString(const QString& cipher)
{
    if (cipher.isEmpty())
        return {};
    // Anything outside Latin-1 cannot be a digit; toLatin1 turns it into '?', which
    // HexToBytes rejects.
    const std::optional<QByteArray> bytes = HexToBytes(cipher.toLatin1());
    if (!bytes)
        return {};
    QByteArray plain = ApplyFixedKey(*bytes);
    const qsizetype zero = plain.indexOf('\0');
    if (zero >= 0)
        plain.truncate(zero);
    return QString::fromUtf8(plain);
}
