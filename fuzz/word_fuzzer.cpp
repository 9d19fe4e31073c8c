// Word binary documents. The first byte chooses the entry: a whole file
// (compound or plain) through LoadFromStream, or a raw "WordDocument" stream
// and table stream (split at a length in the next two bytes) straight into
// the document reader, so mutations reach the FIB and the piece table without
// first having to keep a compound file intact.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/word_bin_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (4u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{16} << 20);
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const uint8_t mode = data[0];
    const auto format = static_cast<quillmark::TMSTextFormating>(mode % 3);
    quillmark::TWordBinFile reader;
    reader.SetTextFormating(format);
    if (mode & 0x10) reader.SetMaxTextLength(100);
    if (mode & 0x20) reader.SetConvertSysCharacters(false);
    reader.SetOnConvertSysChar([](quillmark::TMSWBaseDocument&, quillmark::TDTWordSysChar kind,
                                  const std::u16string&, std::u16string& result) {
        if (kind == quillmark::scEmbed) result = u"[object]";
    });
    try {
        if (mode & 0x80) {
            if (bytes.size() < 2) return 0;
            size_t split = (static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8);
            std::string rest = bytes.substr(2);
            if (split > rest.size()) split = rest.size();
            std::string table = rest.substr(split);
            reader.ReadDocFromStream(std::string_view(rest).substr(0, split), std::string_view(table));
        } else {
            quillmark::TMemoryStream stream(bytes);
            reader.LoadFromStream(stream);
        }
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
