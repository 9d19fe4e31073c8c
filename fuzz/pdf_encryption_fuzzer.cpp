// Fuzzes the PDF security handler. The first byte picks a password and a
// mode: with its high bit clear the rest is a whole PDF file (seed with the
// encrypted files of tests/data/pdf/encrypted), loaded with that password,
// every stream decoded and the information strings decrypted; with it set
// the rest is an encryption dictionary given straight to the handler, which
// then authenticates and decrypts the dictionary's own bytes as data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_encryption.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    static const char* kPasswords[] = {"", "secret", "owner", "baz", "foo", "user", "view", "master"};
    quillmark::SetMaxOutputBytes(size_t{32} << 20);
    const std::string password = kPasswords[data[0] & 7];
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        // The work budget a load runs under, held over the lookups after it too.
        quillmark::TWorkBudgetScope budget(quillmark::TWorkLimits{}, size);
        if (data[0] & 0x80) {
            auto h = quillmark::CreatePdfEncryption(bytes, [&](int32_t n) {
                return std::to_string(n) + " 0 obj " + bytes.substr(0, 64) + " endobj";
            });
            h->Authenticate(bytes.substr(0, 16), password);
            h->DecryptStream(static_cast<int32_t>(size), data[0] & 1, bytes);
            h->DecryptStream(1, 0, bytes, "Identity");
            h->DecryptString(static_cast<int32_t>(size), 0, bytes);
            return 0;
        }
        quillmark::TDTPDFReader r;
        r.SetPassword(password);
        quillmark::TMemoryStream s(bytes);
        r.LoadFromStream(s);
        for (int32_t n = 0; n < r.XRefs().Count() && n < 300; ++n) {
            r.GetDecodedStream(n);
            r.DecryptString(n, "(some string)");
        }
        int32_t info = static_cast<int32_t>(quillmark::PdfToInt(r.GetInfoTag(), 0));
        std::string body = r.GetBodyByRefNo(info);
        for (size_t p = body.find('('); p != std::string::npos && p < 4096; p = body.find('(', p + 1)) {
            size_t used = 0;
            r.DecryptString(info, quillmark::PdfDecodeString(std::string_view(body).substr(p), used));
        }
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
