// A small PDF writer for tests: objects are given as the text between
// "N G obj" and "endobj"; the builder lays them out, records their offsets
// and writes a cross-reference table or stream (optionally putting some
// objects into an object stream), so every offset in a crafted file is right.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillmark::test {

std::string Deflate(const std::string& data);

// A stream object's text: "<< dict /Length n >>\nstream\r\n" data "\r\nendstream".
std::string StreamObject(const std::string& dictEntries, const std::string& data);

class PdfBuilder {
public:
    enum class XRef { Table, Stream };

    // Adds object number n (generation gen) with the given body.
    void Add(int32_t n, const std::string& body, int32_t gen = 0);
    // Objects placed in one object stream (numbered objStmNumber) instead of
    // at the top level; only with XRef::Stream.
    void AddCompressed(int32_t n, const std::string& body);
    void SetObjectStreamNumber(int32_t n) { objStmNumber_ = n; }

    // Extra trailer entries, e.g. "/Root 1 0 R /Info 2 0 R".
    void SetTrailer(const std::string& entries) { trailer_ = entries; }

    // Writes the file. Offsets of the objects are available afterwards.
    std::string Build(XRef kind = XRef::Table);
    int64_t OffsetOf(int32_t n) const { return offsets_.at(n); }
    int64_t XRefOffset() const { return xrefOffset_; }

    // Appends an incremental update to a built file: the new objects, then a
    // table with /Prev pointing at prevXRef.
    static std::string AppendUpdate(const std::string& file, const std::map<int32_t, std::string>& objects,
                                    const std::string& trailerEntries, int64_t prevXRef,
                                    int64_t* newXRef = nullptr);

private:
    std::map<int32_t, std::pair<int32_t, std::string>> objects_;
    std::map<int32_t, std::string> compressed_;
    std::map<int32_t, int64_t> offsets_;
    int32_t objStmNumber_ = 100;
    std::string trailer_ = "/Root 1 0 R";
    int64_t xrefOffset_ = 0;
};

}  // namespace quillmark::test
