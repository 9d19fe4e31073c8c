#include "quillmark/package/raw_inflate.h"

#include <zlib.h>

#include <algorithm>

#include "quillmark/framework/exception.h"

namespace quillmark {

std::string InflateRaw(std::string_view compressed, size_t limit, const std::string& what) {
    std::string out;
    if (limit == 0) return out;
    z_stream zs{};
    // Negative window bits: raw deflate, the format of zip member data.
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) throw Exception("zlib could not be initialised");
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    // Deflate expands at most about 1032:1, so never allocate more than the
    // input could produce, whatever size the caller expects.
    size_t capacity = std::min(limit, std::max<size_t>(compressed.size(), 4096) * 4);
    out.resize(capacity);
    size_t produced = 0;
    size_t inputLeft = compressed.size();
    int rc = Z_OK;
    while (produced < limit) {
        if (produced == out.size()) out.resize(std::min(limit, out.size() * 2));
        // zlib counts in 32-bit units; feed and drain in slices.
        uInt inSlice = static_cast<uInt>(std::min<size_t>(inputLeft, 1u << 30));
        uInt outSlice = static_cast<uInt>(std::min<size_t>(out.size() - produced, 1u << 30));
        zs.avail_in = inSlice;
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs.avail_out = outSlice;
        rc = inflate(&zs, Z_NO_FLUSH);
        inputLeft -= inSlice - zs.avail_in;
        produced += outSlice - zs.avail_out;
        if (rc == Z_STREAM_END) break;
        // No progress possible: the input ran out before the stream ended.
        if (rc == Z_BUF_ERROR && zs.avail_out != 0) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            std::string reason = zs.msg ? zs.msg : "error " + std::to_string(rc);
            inflateEnd(&zs);
            throw EDamagedDocument("Corrupt deflate data in \"" + what + "\": " + reason);
        }
    }
    inflateEnd(&zs);
    out.resize(produced);
    return out;
}

}  // namespace quillmark
