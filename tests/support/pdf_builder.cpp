#include "tests/support/pdf_builder.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace quillmark::test {

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                 static_cast<uLong>(data.size())) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(size);
    return out;
}

std::string StreamObject(const std::string& dictEntries, const std::string& data) {
    return "<< " + dictEntries + " /Length " + std::to_string(data.size()) + " >>\nstream\r\n" + data +
           "\r\nendstream";
}

void PdfBuilder::Add(int32_t n, const std::string& body, int32_t gen) { objects_[n] = {gen, body}; }

void PdfBuilder::AddCompressed(int32_t n, const std::string& body) { compressed_[n] = body; }

namespace {

std::string Entry10(int64_t offset, int gen, char type) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%010lld %05d %c\r\n", static_cast<long long>(offset), gen, type);
    return buf;
}

void BigEndian(std::string& out, uint64_t v, int width) {
    for (int k = width - 1; k >= 0; --k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

}  // namespace

std::string PdfBuilder::Build(XRef kind) {
    std::string out = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    offsets_.clear();
    auto write = [&](int32_t n, int32_t gen, const std::string& body) {
        offsets_[n] = static_cast<int64_t>(out.size());
        out += std::to_string(n) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
    };
    for (const auto& [n, o] : objects_) write(n, o.first, o.second);
    if (!compressed_.empty()) {
        std::string header, bodies;
        for (const auto& [n, body] : compressed_) {
            header += std::to_string(n) + " " + std::to_string(bodies.size()) + " ";
            bodies += body + "\n";
        }
        std::string data = header + bodies;
        write(objStmNumber_, 0,
              StreamObject("/Type /ObjStm /N " + std::to_string(compressed_.size()) + " /First " +
                               std::to_string(header.size()) + " /Filter /FlateDecode",
                           Deflate(data)));
    }
    int32_t maxNumber = 0;
    for (const auto& [n, off] : offsets_) maxNumber = std::max(maxNumber, n);
    for (const auto& [n, body] : compressed_) maxNumber = std::max(maxNumber, n);
    xrefOffset_ = static_cast<int64_t>(out.size());
    if (kind == XRef::Table) {
        out += "xref\n0 " + std::to_string(maxNumber + 1) + "\n" + Entry10(0, 65535, 'f');
        for (int32_t n = 1; n <= maxNumber; ++n) {
            auto it = offsets_.find(n);
            out += it == offsets_.end() ? Entry10(0, 0, 'f') : Entry10(it->second, objects_.count(n) ? objects_[n].first : 0, 'n');
        }
        out += "trailer\n<< /Size " + std::to_string(maxNumber + 1) + " " + trailer_ + " >>\n";
    } else {
        int32_t self = maxNumber + 1;
        std::string rows;
        for (int32_t n = 0; n <= self; ++n) {
            auto it = offsets_.find(n);
            auto ct = compressed_.find(n);
            if (n == self) {
                rows.push_back(1), BigEndian(rows, static_cast<uint64_t>(xrefOffset_), 4), BigEndian(rows, 0, 2);
            } else if (it != offsets_.end()) {
                rows.push_back(1), BigEndian(rows, static_cast<uint64_t>(it->second), 4), BigEndian(rows, 0, 2);
            } else if (ct != compressed_.end()) {
                rows.push_back(2), BigEndian(rows, static_cast<uint64_t>(objStmNumber_), 4),
                    BigEndian(rows, static_cast<uint64_t>(std::distance(compressed_.begin(), ct)), 2);
            } else {
                rows.push_back(0), BigEndian(rows, 0, 4), BigEndian(rows, n == 0 ? 65535 : 0, 2);
            }
        }
        offsets_[self] = xrefOffset_;
        out += std::to_string(self) + " 0 obj\n" +
               StreamObject("/Type /XRef /Size " + std::to_string(self + 1) + " /W [1 4 2] /Filter /FlateDecode " +
                                trailer_,
                            Deflate(rows)) +
               "\nendobj\n";
    }
    out += "startxref\n" + std::to_string(xrefOffset_) + "\n%%EOF\n";
    return out;
}

std::string PdfBuilder::AppendUpdate(const std::string& file, const std::map<int32_t, std::string>& objects,
                                     const std::string& trailerEntries, int64_t prevXRef, int64_t* newXRef) {
    std::string out = file;
    std::map<int32_t, int64_t> offs;
    for (const auto& [n, body] : objects) {
        offs[n] = static_cast<int64_t>(out.size());
        out += std::to_string(n) + " 0 obj\n" + body + "\nendobj\n";
    }
    int64_t xref = static_cast<int64_t>(out.size());
    out += "xref\n0 1\n" + Entry10(0, 65535, 'f');
    for (const auto& [n, off] : offs) out += std::to_string(n) + " 1\n" + Entry10(off, 0, 'n');
    out += "trailer\n<< " + trailerEntries + " /Prev " + std::to_string(prevXRef) + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    if (newXRef) *newXRef = xref;
    return out;
}

}  // namespace quillmark::test
