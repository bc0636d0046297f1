#include "platform/db/AccessStream.h"

#include <cstring>

namespace {

void AppendAccessU32(std::string& out, std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
        static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
    out.append(bytes, 4);
}

std::uint32_t ReadAccessU32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 | std::uint32_t(u[3]) << 24;
}

bool KnownAccessKind(char kind)
{
    switch (static_cast<AccessStreamKind>(kind)) {
    case AccessStreamKind::Table:
    case AccessStreamKind::Column:
    case AccessStreamKind::Row:
    case AccessStreamKind::Error:
    case AccessStreamKind::End: return true;
    }
    return false;
}

} // namespace

void AppendAccessFrame(std::string& out, AccessStreamKind kind, std::string_view payload)
{
    out.push_back(static_cast<char>(kind));
    AppendAccessU32(out, static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
}

void AppendAccessColumn(std::string& out, const AccessStreamColumn& column)
{
    std::string payload(1, static_cast<char>(column.flags));
    payload.append(column.name);
    AppendAccessFrame(out, AccessStreamKind::Column, payload);
}

void AppendAccessCell(std::string& rowPayload, std::optional<std::string_view> cell)
{
    AppendAccessU32(rowPayload, cell ? static_cast<std::uint32_t>(cell->size()) : kAccessStreamNull);
    if (cell)
        rowPayload.append(*cell);
}

void AccessStreamDecoder::Feed(const char* data, std::size_t size)
{
    // What was taken is dropped before the buffer grows, so it holds at most one
    // frame and the piece being fed.
    if (m_read > 0) {
        m_buffer.erase(0, m_read);
        m_read = 0;
    }
    m_buffer.append(data, size);
}

AccessStreamDecoder::Status AccessStreamDecoder::Next(Frame& frame)
{
    constexpr std::size_t kHeader = 5;
    const std::size_t left = m_buffer.size() - m_read;
    if (left == 0)
        return Status::NeedMore;
    const char* at = m_buffer.data() + m_read;
    if (!KnownAccessKind(at[0]))
        return Status::Bad;
    if (left < kHeader)
        return Status::NeedMore;
    const std::uint32_t length = ReadAccessU32(at + 1);
    if (length > kAccessStreamLongestFrame)
        return Status::Bad;
    if (left - kHeader < length)
        return Status::NeedMore;
    frame.kind = static_cast<AccessStreamKind>(at[0]);
    frame.payload = std::string_view(at + kHeader, length);
    m_read += kHeader + length;
    return Status::Frame;
}

bool DecodeAccessColumn(std::string_view payload, AccessStreamColumn& column)
{
    if (payload.empty())
        return false;
    column.flags = static_cast<std::uint8_t>(payload[0]);
    column.name = payload.substr(1);
    return true;
}

bool DecodeAccessRow(
    std::string_view payload, std::size_t columns, std::vector<std::optional<std::string_view>>& cells)
{
    cells.clear();
    std::size_t at = 0;
    while (at < payload.size()) {
        if (cells.size() == columns || payload.size() - at < 4)
            return false;
        const std::uint32_t length = ReadAccessU32(payload.data() + at);
        at += 4;
        if (length == kAccessStreamNull) {
            cells.emplace_back(std::nullopt);
            continue;
        }
        if (payload.size() - at < length)
            return false;
        cells.emplace_back(payload.substr(at, length));
        at += length;
    }
    return cells.size() == columns;
}
