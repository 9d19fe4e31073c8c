#include "quillmark/word/vba_decompression.h"

#include <algorithm>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

constexpr size_t kChunkSize = 4096;
constexpr uint8_t kContainerSignature = 0x01;
constexpr unsigned kChunkSignature = 0b011;

[[noreturn]] void Damaged(const std::string& what, size_t offset) {
    throw EDamagedDocument("VBA compressed container is damaged: " + what + " at offset " +
                    std::to_string(offset));
}

[[noreturn]] void TooLarge(size_t maxOutput) {
    throw ELimitError("VBA compressed container: output exceeds the limit of " +
                    std::to_string(maxOutput) + " bytes");
}

uint8_t Byte(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// The flag groups and tokens of one compressed chunk, input [pos, end).
void DecompressChunk(std::string_view in, size_t pos, size_t end, std::string& out) {
    const size_t chunkStart = out.size();
    while (pos < end) {
        const uint8_t flags = Byte(in, pos++);
        for (int bit = 0; bit < 8 && pos < end; ++bit) {
            const size_t produced = out.size() - chunkStart;
            if ((flags >> bit & 1) == 0) {
                if (produced >= kChunkSize) Damaged("chunk decompresses past 4096 bytes", pos);
                out.push_back(in[pos++]);
                continue;
            }
            if (end - pos < 2) Damaged("copy token cut short", pos);
            const uint16_t token = static_cast<uint16_t>(Byte(in, pos) | Byte(in, pos + 1) << 8);
            const TVBACopyToken t = SplitVBACopyToken(token, produced);
            if (t.Offset > produced) Damaged("copy token reaches before its chunk", pos);
            if (t.Length > kChunkSize - produced) Damaged("chunk decompresses past 4096 bytes", pos);
            pos += 2;
            const size_t from = out.size() - t.Offset;
            // The source may overlap the bytes being written (a run), so
            // copy one byte at a time.
            for (uint32_t i = 0; i < t.Length; ++i) out.push_back(out[from + i]);
        }
    }
}

}  // namespace

TVBACopyToken SplitVBACopyToken(uint16_t token, size_t position) {
    unsigned offsetBits = 4;
    while (offsetBits < 12 && (size_t{1} << offsetBits) < position) ++offsetBits;
    unsigned lengthBits = 16 - offsetBits;
    uint16_t lengthMask = static_cast<uint16_t>(0xFFFFu >> offsetBits);
    return TVBACopyToken{static_cast<uint32_t>(token & lengthMask) + 3,
                         static_cast<uint32_t>(token >> lengthBits) + 1};
}

void DecompressVBAContainer(std::string_view in, std::string& out, size_t maxOutput) {
    if (maxOutput == 0) maxOutput = MaxOutputBytes();
    if (in.empty() || Byte(in, 0) != kContainerSignature) Damaged("no signature byte 0x01", 0);
    const size_t outStart = out.size();
    size_t pos = 1;
    while (pos < in.size()) {
        if (in.size() - pos < 2) Damaged("chunk header cut short", pos);
        const size_t headerAt = pos;
        const unsigned header = Byte(in, pos) | unsigned{Byte(in, pos + 1)} << 8;
        if (((header >> 12) & 0x7) != kChunkSignature) Damaged("bad chunk signature", headerAt);
        // The header counts the whole chunk; the last chunk of a stream may
        // be cut by the end of the stream, and then ends there.
        const size_t declaredEnd = headerAt + (header & 0x0FFF) + 3;
        const size_t end = declaredEnd < in.size() ? declaredEnd : in.size();
        const size_t before = out.size();
        if ((header & 0x8000) == 0) {
            // Stored: the chunk's bytes as they stand (4096 in a well-formed one).
            out.append(in.substr(pos + 2, std::min(end - pos - 2, kChunkSize)));
        } else {
            DecompressChunk(in, pos + 2, end, out);
        }
        pos = end;
        // Modules may share compressed data; every decode counts.
        ChargeDecodedBytes(out.size() - before, "VBA modules");
        // Each chunk adds at most 4096 bytes, so the overshoot is small; it
        // is cut off all the same.
        if (out.size() - outStart > maxOutput) {
            out.resize(outStart + maxOutput);
            TooLarge(maxOutput);
        }
    }
}

std::string DecompressVBAContainer(std::string_view container) {
    std::string out;
    DecompressVBAContainer(container, out, 0);
    return out;
}

}  // namespace quillmark
