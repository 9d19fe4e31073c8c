#include "quillmark/pdf/pdf_encryption.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "quillmark/framework/exception.h"
#include "quillmark/pdf/md5.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/rc4.h"

namespace quillmark {

namespace {

constexpr unsigned char kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                        0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                        0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

std::string Rc4(std::string_view key, std::string_view data) {
    TRC4Context c;
    RC4Init(c, key.data(), static_cast<uint32_t>(key.size()));
    std::string out(data.size(), '\0');
    // Keystream state carries over between pieces, so long data can be run
    // through in 1 GiB steps (the length argument is 32-bit).
    for (size_t done = 0; done < data.size();) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(data.size() - done, 0x40000000u));
        RC4Crypt(c, data.data() + done, out.data() + done, n);
        done += n;
    }
    RC4Done(c);
    return out;
}

// AES in CBC mode without padding handling; data must be a multiple of 16
// bytes long. key is 16 or 32 bytes, iv 16 bytes.
std::string AesCbc(bool encrypt, std::string_view key, std::string_view iv, std::string_view data) {
    const EVP_CIPHER* cipher = key.size() == 32 ? EVP_aes_256_cbc() : EVP_aes_128_cbc();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) throw Exception("Out of memory for the AES cipher");
    std::string out(data.size() + 16, '\0');
    int total = 0;
    bool ok = EVP_CipherInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                                reinterpret_cast<const unsigned char*>(iv.data()), encrypt ? 1 : 0) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx, 0) == 1;
    for (size_t done = 0; ok && done < data.size();) {
        int n = static_cast<int>(std::min<size_t>(data.size() - done, 0x40000000u));
        int len = 0;
        ok = EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()) + total, &len,
                              reinterpret_cast<const unsigned char*>(data.data()) + done, n) == 1;
        total += len;
        done += static_cast<size_t>(n);
    }
    int len = 0;
    if (ok) ok = EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + total, &len) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) throw Exception("The AES cipher failed");
    out.resize(static_cast<size_t>(total + len));
    return out;
}

// An AES-encrypted string or stream: a 16-byte initialisation vector, then
// the blocks, the last one padded with n bytes of value n. Data shorter than
// one vector is empty; a ragged tail is dropped; bad padding is left as it is.
std::string AesDecrypt(std::string_view key, std::string_view data) {
    if (data.size() < 16) return {};
    std::string_view iv = data.substr(0, 16);
    data.remove_prefix(16);
    data = data.substr(0, data.size() / 16 * 16);
    if (data.empty()) return {};
    std::string out = AesCbc(false, key, iv, data);
    unsigned char pad = static_cast<unsigned char>(out.back());
    if (pad >= 1 && pad <= 16 && pad <= out.size()) {
        bool same = true;
        for (size_t k = out.size() - pad; k < out.size(); ++k) same = same && static_cast<unsigned char>(out[k]) == pad;
        if (same) out.resize(out.size() - pad);
    }
    return out;
}

std::string Sha(int bits, std::string_view data) {
    const EVP_MD* md = bits == 256 ? EVP_sha256() : bits == 384 ? EVP_sha384() : EVP_sha512();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(data.data(), data.size(), out, &len, md, nullptr) != 1) throw Exception("The SHA-2 hash failed");
    return std::string(reinterpret_cast<const char*>(out), len);
}

// --- the dictionary reader ---


size_t SkipWhite(std::string_view t, size_t i) {
    while (i < t.size()) {
        if (PdfIsWhite(t[i])) {
            ++i;
        } else if (t[i] == '%') {
            while (i < t.size() && t[i] != '\r' && t[i] != '\n') ++i;
        } else {
            break;
        }
    }
    return i;
}

// End of the "(...)" literal string starting at t[i].
size_t SkipLiteral(std::string_view t, size_t i) {
    int depth = 0;
    while (i < t.size()) {
        char c = t[i++];
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i;
        }
    }
    return t.size();
}

// End of the value starting at t[i]. Dictionaries and arrays are skipped
// with a bracket counter, so nesting costs no recursion.
size_t SkipValue(std::string_view t, size_t i) {
    if (i >= t.size()) return t.size();
    char c = t[i];
    if (c == '(') return SkipLiteral(t, i);
    if (c == '<' && (i + 1 >= t.size() || t[i + 1] != '<')) {
        size_t e = t.find('>', i);
        return e == std::string_view::npos ? t.size() : e + 1;
    }
    if (c == '[' || c == '<') {
        int depth = 0;
        size_t j = i;
        while (j < t.size()) {
            if (t.compare(j, 2, "<<") == 0) {
                ++depth;
                j += 2;
            } else if (t.compare(j, 2, ">>") == 0 || t[j] == ']') {
                j += t[j] == ']' ? 1 : 2;
                if (--depth <= 0) return j;
            } else if (t[j] == '[') {
                ++depth;
                ++j;
            } else if (t[j] == '(') {
                j = SkipLiteral(t, j);
            } else if (t[j] == '<') {
                size_t e = t.find('>', j);
                j = e == std::string_view::npos ? t.size() : e + 1;
            } else {
                ++j;
            }
        }
        return t.size();
    }
    size_t j = i + 1;
    while (j < t.size() && !PdfIsWhite(t[j]) && !PdfIsDelimiter(t[j])) ++j;
    return j;
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TDTPDFCryptMethod MethodOf(std::string_view cfm) {
    if (cfm.empty() || cfm == "None" || cfm == "Identity") return TDTPDFCryptMethod::Identity;
    if (cfm == "V2") return TDTPDFCryptMethod::RC4;
    if (cfm == "AESV2") return TDTPDFCryptMethod::AESV2;
    if (cfm == "AESV3") return TDTPDFCryptMethod::AESV3;
    return TDTPDFCryptMethod::Unknown;
}

// UTF-8 text whose characters all lie below U+0100 as Latin-1 bytes; false
// for anything else (invalid UTF-8 included).
bool Latin1FromUtf8(std::string_view utf8, std::string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            out.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::map<std::string, std::string> PdfDictionaryEntries(std::string_view text) {
    std::map<std::string, std::string> entries;
    size_t i = SkipWhite(text, 0);
    if (text.compare(i, 2, "<<") != 0) return entries;
    i += 2;
    while (true) {
        i = SkipWhite(text, i);
        if (i >= text.size() || text.compare(i, 2, ">>") == 0) break;
        if (text[i] != '/') {
            i = std::max(SkipValue(text, i), i + 1);  // stray token
            continue;
        }
        size_t k = SkipValue(text, i);
        std::string key = PdfLower(text.substr(i + 1, k - i - 1));
        size_t v = SkipWhite(text, k);
        size_t e = SkipValue(text, v);
        // An indirect reference is three tokens: "N G R".
        if (AllDigits(text.substr(v, e - v))) {
            size_t g = SkipWhite(text, e);
            size_t ge = SkipValue(text, g);
            size_t r = SkipWhite(text, ge);
            if (ge > g && AllDigits(text.substr(g, ge - g)) && r < text.size() && text[r] == 'R' &&
                (r + 1 >= text.size() || PdfIsWhite(text[r + 1]) || PdfIsDelimiter(text[r + 1])))
                e = r + 1;
        }
        entries.emplace(std::move(key), std::string(text.substr(v, e - v)));
        i = std::max(e, k);
    }
    return entries;
}

// --- TDTPDFEncryption ---

void TDTPDFEncryption::Authenticate(const std::string&, const std::string&) {}

std::string TDTPDFEncryption::DecryptStream(int32_t, int32_t, std::string_view data, std::string_view) const {
    return std::string(data);
}

std::string TDTPDFEncryption::DecryptString(int32_t, int32_t, std::string_view data) const {
    return std::string(data);
}

// --- TDTPDFStandardEncryption ---

const std::string& TDTPDFStandardEncryption::PASSWORD_PADDING() {
    static const std::string padding(reinterpret_cast<const char*>(kPadding), 32);
    return padding;
}

std::string TDTPDFStandardEncryption::ComputeKey(const std::string& docID, std::string& password) const {
    password = (password + PASSWORD_PADDING()).substr(0, 32);
    size_t n = static_cast<size_t>(std::clamp(FKeyLength / 8, 5, 16));
    MD5Context c;
    MD5Init(c);
    MD5Update(c, password.data(), 32);
    std::string_view owner = std::string_view(FOwnerPasswordHash).substr(0, 32);
    MD5Update(c, owner.data(), static_cast<uint32_t>(owner.size()));
    unsigned char p[4];
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(FPermissions >> (8 * i));
    MD5Update(c, p, 4);
    MD5Update(c, docID.data(), static_cast<uint32_t>(std::min<size_t>(docID.size(), 0x10000)));
    if (FRevision >= 4 && !FEncryptMetadata) {
        static const unsigned char ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        MD5Update(c, ff, 4);
    }
    MD5Digest d;
    MD5Final(c, d);
    if (FRevision >= 3)
        for (int i = 0; i < 50; ++i) {
            MD5Init(c);
            MD5Update(c, d.bytes, static_cast<uint32_t>(n));
            MD5Final(c, d);
        }
    return std::string(reinterpret_cast<const char*>(d.bytes), n);
}

bool TDTPDFStandardEncryption::CheckUserPassword(const std::string& docID, const std::string& password,
                                                 std::string& key) const {
    std::string padded = password;
    key = ComputeKey(docID, padded);
    if (FRevision == 2) {
        std::string check = Rc4(key, PASSWORD_PADDING());
        return FUserPasswordHash.size() >= 32 && FUserPasswordHash.compare(0, 32, check) == 0;
    }
    if (FRevision == 3 || FRevision == 4) {
        std::string check = MD5Bytes(PASSWORD_PADDING() + docID);
        std::string k = key;
        for (int i = 0; i < 20; ++i) {
            for (size_t j = 0; j < key.size(); ++j) k[j] = static_cast<char>(key[j] ^ i);
            check = Rc4(k, check);
        }
        return FUserPasswordHash.size() >= 16 && FUserPasswordHash.compare(0, 16, check) == 0;
    }
    return false;
}

std::string TDTPDFStandardEncryption::PasswordHashV5(std::string_view password, std::string_view salt,
                                                     std::string_view userKey) const {
    std::string input(password);
    input.append(salt);
    input.append(userKey);
    std::string k = Sha(256, input);
    if (FRevision < 6) return k;
    // Revision 6: at least 64 rounds of AES-128 over 64 copies of password,
    // hash and /U, each choosing the next hash by the sum of its output.
    std::string e;
    for (int round = 0; round < 64 || static_cast<unsigned char>(e.back()) > round - 32; ++round) {
        std::string block(password);
        block.append(k);
        block.append(userKey);
        std::string k1;
        k1.reserve(block.size() * 64);
        for (int i = 0; i < 64; ++i) k1 += block;
        e = AesCbc(true, std::string_view(k).substr(0, 16), std::string_view(k).substr(16, 16), k1);
        int sum = 0;
        for (int i = 0; i < 16; ++i) sum += static_cast<unsigned char>(e[i]);
        k = Sha(sum % 3 == 0 ? 256 : sum % 3 == 1 ? 384 : 512, e);
    }
    return k.substr(0, 32);
}

bool TDTPDFStandardEncryption::CheckUserPasswordV5(std::string_view password, std::string& key) const {
    if (FUserPasswordHash.size() < 48 || FUserEncryptedKey.size() < 32) return false;
    std::string_view u = FUserPasswordHash;
    if (PasswordHashV5(password, u.substr(32, 8), {}) != u.substr(0, 32)) return false;
    std::string iv(16, '\0');
    key = AesCbc(false, PasswordHashV5(password, u.substr(40, 8), {}), iv,
                 std::string_view(FUserEncryptedKey).substr(0, 32));
    return true;
}

bool TDTPDFStandardEncryption::CheckOwnerPasswordV5(std::string_view password, std::string& key) const {
    if (FOwnerPasswordHash.size() < 48 || FUserPasswordHash.size() < 48 || FOwnerEncryptedKey.size() < 32)
        return false;
    std::string_view o = FOwnerPasswordHash;
    std::string_view u = std::string_view(FUserPasswordHash).substr(0, 48);
    if (PasswordHashV5(password, o.substr(32, 8), u) != o.substr(0, 32)) return false;
    std::string iv(16, '\0');
    key = AesCbc(false, PasswordHashV5(password, o.substr(40, 8), u), iv,
                 std::string_view(FOwnerEncryptedKey).substr(0, 32));
    return true;
}

void TDTPDFStandardEncryption::Authenticate(const std::string& docID, const std::string& password) {
    fileKey_.clear();
    ownerAuthenticated_ = false;
    std::string key;
    if (FRevision >= 5) {
        // Passwords of revisions 5 and 6 are UTF-8, at most 127 bytes.
        std::string_view pw = std::string_view(password).substr(0, 127);
        if (CheckUserPasswordV5(pw, key)) {
            fileKey_ = key;
            return;
        }
        if (CheckOwnerPasswordV5(pw, key)) {
            fileKey_ = key;
            ownerAuthenticated_ = true;
            return;
        }
        throw EPasswordError(strPasswordNotValid);
    }
    if (AuthenticateRc4Password(docID, password)) return;
    // Passwords of revisions 2 to 4 are 8-bit text; one given as UTF-8 is
    // tried again as Latin-1 (close to the PDFDocEncoding writers use).
    std::string latin1;
    if (Latin1FromUtf8(password, latin1) && latin1 != password && AuthenticateRc4Password(docID, latin1)) return;
    throw EPasswordError(strPasswordNotValid);
}

bool TDTPDFStandardEncryption::AuthenticateRc4Password(const std::string& docID, const std::string& password) {
    std::string key;
    if (CheckUserPassword(docID, password, key)) {
        fileKey_ = key;
        return true;
    }
    // The owner password: its hash is the RC4 key that turns /O back into
    // the padded user password.
    if (FRevision >= 2 && FRevision <= 4) {
        std::string digest = MD5Bytes((password + PASSWORD_PADDING()).substr(0, 32));
        size_t n = static_cast<size_t>(std::clamp(FKeyLength / 8, 5, 16));
        if (FRevision >= 3)
            for (int i = 0; i < 50; ++i) digest = MD5Bytes(std::string_view(digest).substr(0, n));
        std::string ownerKey = digest.substr(0, n);
        std::string user = FOwnerPasswordHash.substr(0, 32);
        if (FRevision == 2) {
            user = Rc4(ownerKey, user);
        } else {
            std::string k = ownerKey;
            for (int i = 19; i >= 0; --i) {
                for (size_t j = 0; j < n; ++j) k[j] = static_cast<char>(ownerKey[j] ^ i);
                user = Rc4(k, user);
            }
        }
        if (CheckUserPassword(docID, user, key)) {
            fileKey_ = key;
            ownerAuthenticated_ = true;
            return true;
        }
    }
    return false;
}

std::string TDTPDFStandardEncryption::ObjectKey(TDTPDFCryptMethod method, int32_t objNumber,
                                                int32_t generation) const {
    if (method == TDTPDFCryptMethod::AESV3) return fileKey_;
    std::string in = fileKey_;
    for (int i = 0; i < 3; ++i) in.push_back(static_cast<char>(static_cast<uint32_t>(objNumber) >> (8 * i)));
    for (int i = 0; i < 2; ++i) in.push_back(static_cast<char>(static_cast<uint32_t>(generation) >> (8 * i)));
    if (method == TDTPDFCryptMethod::AESV2) in += "sAlT";
    return MD5Bytes(in).substr(0, std::min<size_t>(fileKey_.size() + 5, 16));
}

std::string TDTPDFStandardEncryption::Apply(TDTPDFCryptMethod method, int32_t objNumber, int32_t generation,
                                            std::string_view data) const {
    switch (method) {
        case TDTPDFCryptMethod::Identity:
            return std::string(data);
        case TDTPDFCryptMethod::RC4:
            return Rc4(ObjectKey(method, objNumber, generation), data);
        case TDTPDFCryptMethod::AESV2:
            return AesDecrypt(ObjectKey(method, objNumber, generation), data);
        case TDTPDFCryptMethod::AESV3:
            if (fileKey_.size() != 32) throw EEncryptedError(strCryptFilterNotImplemented);
            return AesDecrypt(fileKey_, data);
        default:
            throw EEncryptedError(strCryptFilterNotImplemented);
    }
}

// --- TDTPDFStandardAlgorithm1 ---

std::string TDTPDFStandardAlgorithm1::DecryptStream(int32_t objNumber, int32_t generation, std::string_view data,
                                                    std::string_view cryptFilter) const {
    if (PdfLower(cryptFilter) == "identity") return std::string(data);
    return Apply(TDTPDFCryptMethod::RC4, objNumber, generation, data);
}

std::string TDTPDFStandardAlgorithm1::DecryptString(int32_t objNumber, int32_t generation,
                                                    std::string_view data) const {
    return Apply(TDTPDFCryptMethod::RC4, objNumber, generation, data);
}

// --- TDTPDFStandardCryptFilter ---

void TDTPDFStandardCryptFilter::SetCryptFilter(const std::string& name, TDTPDFCryptMethod method) {
    filters_[PdfLower(name)] = method;
}

TDTPDFCryptMethod TDTPDFStandardCryptFilter::FilterMethod(std::string_view name) const {
    if (PdfLower(name) == "identity") return TDTPDFCryptMethod::Identity;
    auto it = filters_.find(PdfLower(name));
    return it == filters_.end() ? TDTPDFCryptMethod::Unknown : it->second;
}

std::string TDTPDFStandardCryptFilter::Run(std::string_view filter, int32_t objNumber, int32_t generation,
                                           std::string_view data) const {
    return Apply(FilterMethod(filter), objNumber, generation, data);
}

std::string TDTPDFStandardCryptFilter::DecryptStream(int32_t objNumber, int32_t generation, std::string_view data,
                                                     std::string_view cryptFilter) const {
    return Run(cryptFilter.empty() ? std::string_view(streamFilter_) : cryptFilter, objNumber, generation, data);
}

std::string TDTPDFStandardCryptFilter::DecryptString(int32_t objNumber, int32_t generation,
                                                     std::string_view data) const {
    return Run(stringFilter_, objNumber, generation, data);
}

// --- the factory ---

std::shared_ptr<TDTPDFEncryption> CreatePdfEncryption(const PdfObject& dictionary,
                                                      const std::function<PdfObject(int32_t)>& resolve) {
    // Any value may be given as "N G R"; it is replaced by the object it
    // names (one level: the values read here are strings, numbers and names).
    auto valueOf = [&](const PdfObject& dict, std::string_view key) -> PdfObject {
        const PdfObject* v = dict.Get(key);
        if (!v) return {};
        if (v->kind != PdfObject::Reference) return *v;
        return resolve ? resolve(v->ref) : PdfObject();
    };
    auto intOf = [&](std::string_view key, int64_t def) {
        PdfObject v = valueOf(dictionary, key);
        // /P is a signed 32-bit value in most files (-4, -1044); some
        // writers give the same bits unsigned.
        if (v.kind != PdfObject::Number || !std::isfinite(v.number) || std::fabs(v.number) > 4294967295.0) return def;
        return static_cast<int64_t>(v.number);
    };
    auto nameOf = [&](const PdfObject& dict, std::string_view key) {
        PdfObject v = valueOf(dict, key);
        return v.kind == PdfObject::Name ? v.text : std::string();
    };
    auto stringOf = [&](std::string_view key) {
        PdfObject v = valueOf(dictionary, key);
        return v.kind == PdfObject::String ? v.text : std::string();
    };

    if (PdfLower(nameOf(dictionary, "Filter")) != "standard") throw EEncryptedError(strEncryptionNotSupported);
    int64_t v = intOf("V", 0);
    int64_t r = intOf("R", 0);
    std::shared_ptr<TDTPDFStandardEncryption> h;
    int64_t length = intOf("Length", 0);
    int32_t keyLength = 40;
    if (v == 1 || v == 2) {
        if (r >= 5) throw EEncryptedError(strUnknownEncryptionRevision);
        h = std::make_shared<TDTPDFStandardAlgorithm1>();
        // /V 1 is always 40 bits; /V 2 names its length in bits (40 to 128,
        // in steps of 8), 40 when missing.
        if (v == 2 && length >= 40) keyLength = static_cast<int32_t>(std::min<int64_t>(length, 128) / 8 * 8);
    } else if (v == 3) {
        throw EEncryptedError(strAlgorithm3NotSupported);
    } else if (v == 4 || v == 5) {
        if ((v == 4 && (r < 2 || r > 4)) || (v == 5 && r != 5 && r != 6))
            throw EEncryptedError(strUnknownEncryptionRevision);
        auto cf = std::make_shared<TDTPDFStandardCryptFilter>();
        PdfObject filters = valueOf(dictionary, "CF");
        for (const PdfDictEntry& entry : filters.entries)
            cf->SetCryptFilter(entry.first, MethodOf(nameOf(valueOf(filters, entry.first), "CFM")));
        std::string stmF = nameOf(dictionary, "StmF"), strF = nameOf(dictionary, "StrF");
        if (!stmF.empty()) cf->SetStreamFilter(stmF);
        if (!strF.empty()) cf->SetStringFilter(strF);
        if (v == 5) keyLength = 256;
        else keyLength = length >= 40 && length <= 128 ? static_cast<int32_t>(length / 8 * 8) : 128;
        h = cf;
    } else {
        throw EEncryptedError(strUnknownEncryptionAlgorithm);
    }
    h->SetEnabled(true);
    h->SetAlgorithm(static_cast<int32_t>(v));
    h->SetKeyLength(keyLength);
    h->SetRevision(static_cast<int32_t>(std::clamp<int64_t>(r, 0, 1000)));
    h->SetOwnerPasswordHash(stringOf("O"));
    h->SetUserPasswordHash(stringOf("U"));
    h->SetOwnerEncryptedKey(stringOf("OE"));
    h->SetUserEncryptedKey(stringOf("UE"));
    h->SetPermissions(static_cast<uint32_t>(static_cast<uint64_t>(intOf("P", 0))));
    PdfObject encryptMetadata = valueOf(dictionary, "EncryptMetadata");
    h->SetEncryptMetadata(!(encryptMetadata.kind == PdfObject::Boolean && encryptMetadata.number == 0));
    return h;
}

std::shared_ptr<TDTPDFEncryption> CreatePdfEncryption(std::string_view dictionary,
                                                      const std::function<std::string(int32_t)>& resolve) {
    return CreatePdfEncryption(PdfParseObjectBody(dictionary), [&](int32_t ref) {
        return resolve ? PdfParseObjectBody(resolve(ref)) : PdfObject();
    });
}

}  // namespace quillmark
