// The body of a reader's libFuzzer target: the input (capped at 1 MiB, so
// runs stay fast) is loaded in all three renderings; a quillmark::Exception
// is an accepted answer, anything else (a crash, a sanitizer report, another
// exception) is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"

namespace quillmark::fuzz {

template <class Reader>
int LoadInEveryRendering(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto format : {tfPlainText, tfHTML, tfRTF}) {
        Reader reader;
        reader.SetTextFormating(format);
        TMemoryStream stream(bytes);
        try {
            reader.LoadFromStream(stream);
        } catch (const Exception&) {
        }
    }
    return 0;
}

}  // namespace quillmark::fuzz
