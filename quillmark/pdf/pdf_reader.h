// TDTPDFReader: the PDF reader component. It is the front of two parts: the
// object store (pdf_object_store.h) reads the file's objects, and the
// document walker (pdf_document_walker.h) reads pages, fonts and document
// information out of them. Its own files:
//   pdf_reader.cpp             construction, load sequence, the text it adds
//   pdf_reader_text_rules.cpp  the text-level stream and dictionary lookups
//                              it exports for callers
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/summary_information.h"
#include "quillmark/pdf/pdf_document_walker.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_object_store.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_syntax.h"
#include "quillmark/pdf/pdf_xref.h"

namespace quillmark {

// What GetFilterContent reads from a stream object's dictionary.
struct TDTPDFFilterContent {
    std::string Filter;                // first filter name, lower case ("/flatedecode"); "" if none
    std::vector<std::string> Filters;  // every filter name in order, lower case
    int32_t Length = 0;                // /Length (indirect values resolved)
    int32_t Length1 = 0;               // /Length1
};

class TDTPDFReader : public TMSWBaseDocument {
public:
    TDTPDFReader();
    ~TDTPDFReader() override;

    // --- virtual operations, in slot order ---
    void ClearInternalLists() override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // --- published properties ---
    const std::string& DocID() const { return store_.DocID(); }
    void SetDocID(const std::string& v) { store_.SetDocID(v); }

    // --- public read-only properties ---
    const TDTPDFXRefList& XRefs() const { return store_.XRefs(); }
    const TDTPDFFonts& Fonts() const { return FFonts; }
    const TDTPDFPages& Pages() const { return FPages; }
    const std::string& Version() const { return store_.Version(); }
    int32_t GetStartCrossRef() const { return store_.StartCrossRef(); }
    const std::string& GetRootTag() const { return store_.RootTag(); }
    const std::string& GetInfoTag() const { return store_.InfoTag(); }
    const std::string& GetEncryptTag() const { return store_.EncryptTag(); }
    // The newest trailer dictionary as it stands in the file (original case;
    // for a cross-reference stream, its dictionary).
    const std::string& TrailerText() const { return store_.TrailerText(); }
    // True when the object list was rebuilt by scanning the file.
    bool Repaired() const { return store_.Repaired(); }
    // The loaded file's bytes (kept for the lifetime of the load).
    std::string_view FileData() const { return store_.FileData(); }

    // True when bytes start like a PDF file ("%PDF-", any case).
    static bool IsPdfData(std::string_view bytes);

    // --- object layer ---
    // The raw text of object objNumber: from its "N G obj" header up to the
    // next object or cross-reference section. Objects held in an object
    // stream come back as "N 0 obj <bytes> endobj". Empty when the object is
    // free, absent or unreadable.
    std::string GetBodyByRefNo(int32_t objNumber) { return store_.GetBodyByRefNo(objNumber); }
    // Generation number of an object (0 when unknown).
    int32_t GetGeneration(int32_t objNumber) const { return store_.GetGeneration(objNumber); }
    // The inside of the "<< ... >>" that belongs to key in text; follows an
    // indirect reference when the key has no inline dictionary.
    std::string GetDoubleBracketValue(std::string_view key, std::string_view text);
    // /Filter, /Length and /Length1 of a stream object's text.
    TDTPDFFilterContent GetFilterContent(std::string_view objectText);
    // The length rule: key ("/length", "/length1") as an integer, following
    // an indirect "N 0 R" value. 0 when missing or not a number.
    int32_t GetLengthValue(std::string_view objectText, std::string_view key);
    // The decoded data of a stream object's text: cut out between "stream"
    // and "endstream" (bounded by packedSize), decrypted as object
    // objNumber, then every filter of the object's /Filter applied in turn
    // with its /DecodeParms. When the text names no filter, filter (if not
    // empty) is applied. sizeHint: in, the expected size (LZW); out, the
    // decoded size.
    std::string GetStreamContent(std::string_view filter, std::string_view objectText,
                                 int32_t packedSize, int32_t& sizeHint, int32_t objNumber);
    // The decoded data of stream object objNumber, read through its own
    // dictionary.
    std::string GetDecodedStream(int32_t objNumber) { return store_.GetDecodedStream(objNumber); }
    // The bytes of a string (already decoded from "(...)" or "<...>") found
    // in object objNumber, decrypted when the document is encrypted.
    std::string DecryptString(int32_t objNumber, std::string_view bytes) {
        return store_.DecryptData(objNumber, store_.GetGeneration(objNumber), std::string(bytes));
    }
    // The security handler of the loaded document (nullptr when the
    // document is not encrypted).
    const TDTPDFEncryption* GetEncryption() const { return store_.Encryption(); }

    // --- document layer ---
    // Walks the page tree from the text of the catalog or a page-tree node,
    // loading fonts and adding one page per page object.
    void ProcessPages(std::string_view nodeText) { walker_.ProcessPages(nodeText); }
    // A text string of a dictionary text (document information): key
    // ("/title") looked up ignoring case, decoded as PDFDocEncoding or
    // UTF-16BE. objNumber names the object the string belongs to.
    std::u16string GetInfoTag(std::string_view key, std::string_view dictText, int32_t objNumber = 0) {
        return walker_.GetInfoTag(key, dictText, objNumber);
    }

private:
    // Pages, fonts and metadata, read once the objects are.
    void ReadDocumentContent();
    // The value of key in a lower-cased dictionary with an indirect value
    // ("/filter 3 0 r") replaced by the referenced object's own value.
    std::string ResolveDictionaryEntry(std::string_view lowerDict, std::string_view key);

    TDTPDFObjectStore store_;
    TDTPDFFonts FFonts;
    TDTPDFPages FPages{&FFonts};
    TDTPDFDocumentWalker walker_{store_, FFonts, FPages, [this] { return Cancelled(); }};
};

}  // namespace quillmark
