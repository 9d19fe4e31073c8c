// XOR obfuscation of Word 6/95 documents (and Word 97 files saved with it).
//
// The password, reduced to at most 15 single bytes, gives a 16-bit key (a
// start value per password length, XORed with entries of a fixed 15x7 matrix
// chosen by the password's bits) and a 16-bit verifier (a rotate-and-XOR
// checksum of the length and the bytes). The FIB's lKey holds both: key in the
// high half, verifier in the low half. The 16-byte XOR array is the password
// padded with a fixed filler, XORed with the key's low and high bytes in
// turn (Word 6/95 builds it differently, with a one-bit rotation). A byte at stream offset p is XORed with array[p % 16] unless it is
// zero or equal to that array byte (obfuscation never turns a byte into a
// zero, and leaves these two kinds alone, so the rule is its own inverse).
#include <algorithm>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/office_crypto.h"

namespace quillmark {

namespace {

constexpr uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                       0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

constexpr uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF,
    0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40,
    0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A,
    0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0,
    0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10,
    0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC,
    0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

constexpr uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

constexpr size_t kMaxPasswordBytes = 15;

}  // namespace

std::string TXorObfuscation::SingleBytePassword(std::string_view utf8Password) {
    std::string out;
    for (char16_t c : Utf8ToUtf16(utf8Password)) {
        if (out.size() == kMaxPasswordBytes) break;
        uint8_t low = static_cast<uint8_t>(c & 0xFF);
        out.push_back(static_cast<char>(low != 0 ? low : static_cast<uint8_t>(c >> 8)));
    }
    return out;
}

uint16_t TXorObfuscation::XorKey(std::string_view password) {
    if (password.empty() || password.size() > kMaxPasswordBytes) return 0;
    uint16_t key = kInitialCode[password.size() - 1];
    size_t element = 104;
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        uint8_t c = static_cast<uint8_t>(*it);
        for (int bit = 0; bit < 7; ++bit, --element) {
            if (c & 0x40) key ^= kXorMatrix[element];
            c = static_cast<uint8_t>(c << 1);
        }
    }
    return key;
}

uint16_t TXorObfuscation::Verifier(std::string_view password) {
    uint16_t verifier = 0;
    auto step = [&](uint8_t byte) {
        uint16_t carry = (verifier & 0x4000) ? 1 : 0;
        verifier = static_cast<uint16_t>((((verifier << 1) & 0x7FFF) | carry) ^ byte);
    };
    for (auto it = password.rbegin(); it != password.rend(); ++it) step(static_cast<uint8_t>(*it));
    step(static_cast<uint8_t>(password.size()));
    return static_cast<uint16_t>(verifier ^ 0xCE4B);
}

std::array<uint8_t, 16> TXorObfuscation::XorArrayWord95(std::string_view password) {
    // Filled from the password's end towards its start, each byte XORed with
    // the key's high or low byte in turn and rotated right by one; the rest
    // of the array takes the filler from its end, the same way.
    std::array<uint8_t, 16> a{};
    size_t n = std::min(password.size(), kMaxPasswordBytes);
    uint16_t key = XorKey(password.substr(0, n));
    uint8_t high = static_cast<uint8_t>(key >> 8), low = static_cast<uint8_t>(key & 0xFF);
    auto xorRor = [](uint8_t b, uint8_t k) {
        uint8_t v = static_cast<uint8_t>(b ^ k);
        return static_cast<uint8_t>((v >> 1) | (v << 7));
    };
    size_t index = n;
    if (index % 2 == 1) {
        a[index] = xorRor(kPad[0], high);
        --index;
        a[index] = xorRor(static_cast<uint8_t>(password[n - 1]), low);
    }
    while (index > 0) {
        --index;
        a[index] = xorRor(static_cast<uint8_t>(password[index]), high);
        --index;
        a[index] = xorRor(static_cast<uint8_t>(password[index]), low);
    }
    // 16 - n positions remain (n + 1 .. 15 after an odd password, whose
    // position n took the filler's first byte): an even count, taken in
    // pairs from the filler's end.
    int pos = 15;
    for (int pad = 15 - static_cast<int>(n); pad > 0 && pos > 0; pad -= 2, pos -= 2) {
        a[static_cast<size_t>(pos)] = xorRor(kPad[pad], high);
        a[static_cast<size_t>(pos - 1)] = xorRor(kPad[pad - 1], low);
    }
    return a;
}

std::array<uint8_t, 16> TXorObfuscation::XorArray(std::string_view password) {
    std::array<uint8_t, 16> a{};
    size_t n = std::min(password.size(), kMaxPasswordBytes);
    for (size_t i = 0; i < 16; ++i) a[i] = i < n ? static_cast<uint8_t>(password[i]) : kPad[i - n];
    uint16_t key = XorKey(password.substr(0, n));
    for (size_t i = 0; i < 16; i += 2) {
        a[i] ^= static_cast<uint8_t>(key & 0xFF);
        a[i + 1] ^= static_cast<uint8_t>(key >> 8);
    }
    return a;
}

TXorObfuscation::TXorObfuscation(const std::string& password, uint32_t verifier, bool word95) {
    std::string bytes = SingleBytePassword(password);
    if (bytes.empty() || Verifier(bytes) != (verifier & 0xFFFF) || XorKey(bytes) != (verifier >> 16))
        throw EPasswordError(strPasswordNotValid);
    array_ = word95 ? XorArrayWord95(bytes) : XorArray(bytes);
}

void TXorObfuscation::Apply(std::string& stream, size_t from) const {
    for (size_t p = from; p < stream.size(); ++p) {
        uint8_t b = static_cast<uint8_t>(stream[p]);
        uint8_t k = array_[p % 16];
        if (b != 0 && b != k) stream[p] = static_cast<char>(b ^ k);
    }
}

}  // namespace quillmark
