#include "platform/db/AccessStream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The Access reader's output, which the program reads from another process: any
// bytes, fed in pieces whose sizes the first byte chooses, decode without reading
// past what was fed, and every frame decodes as a column or a row of the columns
// seen so far, or is refused.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 17 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    AccessStreamDecoder decoder;
    size_t columns = 0;
    size_t fed = 0;
    std::vector<std::optional<std::string_view>> cells;
    for (size_t at = 0; at < length; at += piece) {
        const size_t n = std::min(piece, length - at);
        decoder.Feed(bytes + at, n);
        fed += n;
        AccessStreamDecoder::Frame frame;
        AccessStreamDecoder::Status status;
        while ((status = decoder.Next(frame)) == AccessStreamDecoder::Status::Frame) {
            if (frame.payload.size() > fed)
                std::abort();
            AccessStreamColumn column;
            if (frame.kind == AccessStreamKind::Column && DecodeAccessColumn(frame.payload, column))
                ++columns;
            if (frame.kind == AccessStreamKind::Row && DecodeAccessRow(frame.payload, columns, cells)) {
                size_t total = 0;
                for (const auto& cell : cells)
                    total += cell ? cell->size() + 4 : 4;
                if (cells.size() != columns || total != frame.payload.size())
                    std::abort();
            }
        }
        if (status == AccessStreamDecoder::Status::Bad)
            return 0;
        if (decoder.Pending() > n + kAccessStreamLongestFrame + 5)
            std::abort();
    }
    return 0;
}
