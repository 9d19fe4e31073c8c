// Decryption of password-protected Office documents. The first byte chooses
// the entry and the password (one of the sample passwords, so mutated
// samples get past the verifier): a whole binary Word file, a whole encrypted
// OOXML compound file, or raw bytes split in two (at a length in the next two
// bytes) as EncryptionInfo and EncryptedPackage, or as an RC4 header and an
// "EncryptedSummary" stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/office_crypto.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{16} << 20);
    // High enough for the real agile sample (100000), far below the formats' limit.
    quillmark::SetMaxSpinCount(100000);
    static const char* const kPasswords[] = {"pw", "tika", "password", "password1", "pass", "secret"};
    const uint8_t mode = data[0];
    const std::string password = kPasswords[(mode >> 2) % 6];
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        if ((mode & 3) == 0 || (mode & 3) == 1) {
            quillmark::TMemoryStream stream(bytes);
            if ((mode & 3) == 0) {
                quillmark::TWordBinFile reader;
                reader.SetPassword(password);
                reader.LoadFromStream(stream);
            } else {
                quillmark::TWordXmlFile reader;
                reader.SetPassword(password);
                reader.InternalLoadFromOLEStream(stream);
            }
            return 0;
        }
        size_t split = static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8;
        std::string_view rest = std::string_view(bytes).substr(2);
        if (split > rest.size()) split = rest.size();
        if ((mode & 3) == 2) {
            quillmark::DecryptOoxmlPackage(rest.substr(0, split), rest.substr(split), password);
        } else {
            quillmark::TOfficeRc4Decryptor rc4(rest.substr(0, split), password);
            rc4.ReadEncryptedSummary(rest.substr(split));
            rc4.DecryptStream(rest.substr(split));
        }
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
