// TDTPDFReader: the PDF reader component. This header declares the whole
// class; its parts live in separate files:
//   pdf_reader.cpp             construction, load sequence, object lookups
//   pdf_reader_xref.cpp        file check, cross-reference walk, trailers
//   pdf_reader_repair.cpp      rebuilding the object list of a damaged file
//   pdf_reader_streams.cpp     /Filter, /Length, stream content, object streams
//   pdf_reader_encryption.cpp  security handler set-up and decryption
//   pdf_reader_document.cpp    pages, fonts and document information
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/summary_information.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_syntax.h"
#include "quillmark/pdf/pdf_xref.h"

namespace quillmark {

inline constexpr const char* strNotValidPDF = "This is not valid PDF-document";
inline constexpr const char* strXRefWNotValid =
    "First parameter in /W tag for /TYPE/XREF section is not valid";
inline constexpr const char* strXRefStreamLength =
    "Content of stream for /TYPE/XREF section have incorrect length";

class TDTPDFEncryption;  // the security handler family (pdf_encryption.h)

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
    const std::string& DocID() const { return FDocID; }
    void SetDocID(const std::string& v) { FDocID = v; }

    // --- public read-only properties ---
    const TDTPDFXRefList& XRefs() const { return FXRefs; }
    const TDTPDFFonts& Fonts() const { return FFonts; }
    const TDTPDFPages& Pages() const { return FPages; }
    const std::string& Version() const { return FVersion; }
    int32_t GetStartCrossRef() const { return StartCrossRef; }
    const std::string& GetRootTag() const { return RootTag; }
    const std::string& GetInfoTag() const { return InfoTag; }
    const std::string& GetEncryptTag() const { return EncryptTag; }
    // The newest trailer dictionary as it stands in the file (original case;
    // for a cross-reference stream, its dictionary).
    const std::string& TrailerText() const { return trailerText_; }
    // True when the object list was rebuilt by scanning the file.
    bool Repaired() const { return repaired_; }
    // The loaded file's bytes (kept for the lifetime of the load).
    std::string_view FileData() const { return data_; }

    // True when bytes start like a PDF file ("%PDF-", any case).
    static bool IsPdfData(std::string_view bytes);

    // --- object layer ---
    // The raw text of object objNumber: from its "N G obj" header up to the
    // next object or cross-reference section. Objects held in an object
    // stream come back as "N 0 obj <bytes> endobj". Empty when the object is
    // free, absent or unreadable.
    std::string GetBodyByRefNo(int32_t objNumber);
    // Generation number of an object (0 when unknown).
    int32_t GetGeneration(int32_t objNumber) const;
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
    // Convenience: GetFilterContent + GetStreamContent for object objNumber.
    std::string GetDecodedStream(int32_t objNumber);
    // The bytes of a string (already decoded from "(...)" or "<...>") found
    // in object objNumber, decrypted when the document is encrypted.
    std::string DecryptString(int32_t objNumber, std::string_view bytes);
    // The security handler of the loaded document (nullptr when the
    // document is not encrypted).
    const TDTPDFEncryption* GetEncryption() const { return Encryption.get(); }

protected:
    // --- security (pdf_reader_encryption.cpp) ---
    // Reads the trailer's /Encrypt dictionary (EncryptTag) and sets up
    // Encryption; runs once per load after the cross-reference walk.
    void ParseEncryption();
    // Decrypts the bytes of a string belonging to object objNumber
    // generation generation; returns data unchanged when the document is not
    // encrypted, for objects inside an object stream (the stream was
    // decrypted as a whole) and for the encryption dictionary itself.
    std::string DecryptData(int32_t objNumber, int32_t generation, std::string data);
    // The same for the data of a stream object; type is its /Type in lower
    // case ("/xref", "/metadata", "" when none), cryptFilter the name given
    // by a /Crypt filter ("" when it has none). Cross-reference streams are
    // never decrypted, metadata streams not when the handler says
    // /EncryptMetadata false.
    std::string DecryptStreamData(int32_t objNumber, std::string_view type, std::string_view cryptFilter,
                                  std::string data);
    // The decoded data of a stream object, its dictionary parsed once:
    // /Length, /Filter and /DecodeParms read as values (indirect ones
    // followed, keys in their exact case), the data cut out, decrypted as
    // object objNumber (0: never) and run through its filters. dictOut, when
    // given, receives the dictionary.
    std::string DecodeStreamObject(std::string_view objectText, int32_t objNumber, PdfObject* dictOut = nullptr);

    // --- document layer (pdf_reader_document.cpp) ---
    // Pages, fonts and metadata: runs after ParseEncryption.
    void ReadDocumentContent();
    // Clears the document-layer lists; called by ClearInternalLists.
    void ClearDocumentLists();
public:
    // Walks the page tree from the text of the catalog or a page-tree node,
    // loading fonts and adding one page per page object.
    void ProcessPages(std::string_view nodeText);
    // A text string of a dictionary text (document information): key
    // ("/title") looked up ignoring case, decoded as PDFDocEncoding or
    // UTF-16BE. objNumber names the object the string belongs to.
    std::u16string GetInfoTag(std::string_view key, std::string_view dictText, int32_t objNumber = 0);
protected:
    struct PageWalk;
    void WalkNode(int32_t objNumber, const PdfObject& node, PageWalk& walk, int depth);
    void AddPageObject(const PdfObject& page, PageWalk& walk);
    void LoadPageFonts(const PdfObject& resources, TDTPDFPageFonts& pageFonts);
    TDTPDFFont* LoadFont(const std::string& name, int32_t objNumber, const PdfObject& dict);
    void CollectContents(const PdfObject& contents, std::vector<std::shared_ptr<const std::string>>& out,
                         std::set<int32_t>& seen, int depth);
    // The decoded content and fonts of form XObject objNumber (false when it
    // is not a form).
    // pageFonts: the fonts of the page's resources, for forms without their own.
    bool ReadForm(int32_t objNumber, const TDTPDFPageFonts& pageFonts, std::shared_ptr<const std::string>& content,
                  TDTPDFPageFonts& fonts);
    // The parsed object a reference names (other objects come back as they are).
    PdfObject Resolve(const PdfObject& value);
    PdfObject ParsedObject(int32_t objNumber);
    void ReadInformation();

    // --- object layer internals ---
    void CheckFileAndReadXRefs();
    // Reads the section at offset; returns the next /Prev offset or -1.
    int64_t ReadSection(int64_t offset, bool newest);
    void ReadXRefTable(size_t pos, size_t end);
    void ReadXRefStream(std::string_view sectionText);
    void ApplyTrailer(std::string_view trailer, bool newest);
    // Sets slot objNumber unless a newer section already did.
    TDTPDFXRef* DefineSlot(int64_t objNumber);
    // The first occurrence of keyword ("trailer", "stream", ...) in the file
    // at or after from; npos when none. The positions of each keyword are
    // found in one pass and kept for the load, so a long chain of sections
    // does not search the rest of the file once per section.
    size_t FindKeyword(std::string_view keyword, size_t from);
    bool RepairXRefs();
    // Every "N G obj" header in the file, in file order (number, generation,
    // offset); found once and kept for the load.
    struct FoundObject {
        int32_t number;
        int32_t generation;
        size_t offset;
    };
    const std::vector<FoundObject>& ScanObjectHeaders();
    // The offset of the last "N G obj" header for objNumber found by the
    // scan, or -1. Used when a cross-reference entry points elsewhere.
    int64_t ScannedOffset(int32_t objNumber);
    // The value of key in a lower-cased dictionary with an indirect value
    // ("/filter 3 0 r") replaced by the referenced object's own value.
    std::string ResolveDictionaryEntry(std::string_view lowerDict, std::string_view key);
    std::string ObjectFromStream(int32_t streamNumber, int32_t index, int32_t objNumber);

    // Fields (names as the component has always had them).
    TDTPDFXRefList FXRefs;
    std::string FDocID;
    std::string FVersion = "1.0";
    int32_t StartCrossRef = 0;
    std::string RootTag, InfoTag, EncryptTag;
    std::shared_ptr<TDTPDFEncryption> Encryption;
    int32_t encryptObject_ = -1;  // object number of the encryption dictionary

    std::string data_;            // the whole file, read once per load
    std::string trailerText_;     // newest trailer dictionary, original case
    bool repaired_ = false;
    std::vector<uint8_t> slotSet_;         // slots written by a newer section (load only)
    std::vector<int64_t> sectionOffsets_;  // cross-reference sections read
    std::set<size_t> trailersRead_;        // "trailer" keywords whose dictionary was applied
    std::unordered_map<std::string, std::vector<size_t>> keywordPositions_;
    // Object streams already decoded: number -> (decoded data, first, index).
    struct ObjectStreamCache {
        std::string data;
        size_t first = 0;
        std::vector<std::pair<int32_t, size_t>> entries;  // object number, offset
        std::unordered_map<int32_t, size_t> byNumber;      // object number -> first entry
        std::vector<size_t> sortedOffsets;                 // distinct offsets, ascending
    };
    std::map<int32_t, ObjectStreamCache> objectStreams_;
    int depth_ = 0;  // nesting of indirect lookups (lengths, references)
    // One level of that nesting, held while a lookup follows a reference:
    // Entered() is false at the bound, where the lookup gives up. Leaving
    // the scope (by return or exception) gives the level back.
    static constexpr int kMaxLookupDepth = 16;
    class TLookupLevel {
    public:
        explicit TLookupLevel(int& depth) : depth_(depth), entered_(depth < kMaxLookupDepth) {
            if (entered_) ++depth_;
        }
        ~TLookupLevel() {
            if (entered_) --depth_;
        }
        TLookupLevel(const TLookupLevel&) = delete;
        TLookupLevel& operator=(const TLookupLevel&) = delete;
        bool Entered() const { return entered_; }

    private:
        int& depth_;
        bool entered_;
    };
    // The text of object ref, fetched one lookup level down; nullopt at the
    // bound.
    std::optional<std::string> NestedBody(int32_t ref);
    bool scanned_ = false;
    bool scanIndexed_ = false;
    std::vector<FoundObject> foundObjects_;
    std::vector<int64_t> scannedOffsets_;  // by object number, -1 when none

    // --- document layer fields (fonts, pages, summary) go below ---
    TDTPDFFonts FFonts;
    TDTPDFPages FPages{this};
    // Decoded content and form streams by object number, so pages that
    // share one stream and forms drawn many times are not decoded again and
    // again: a stream asked for a second time is kept (most are used once,
    // and keeping those would only cost memory). Every reuse is still
    // charged to the load's budget (it is parsed again); the cache holds at
    // most kMaxStreamCacheBytes.
    struct FormEntry {
        bool isForm = false;
        bool ownResources = false;
        TDTPDFPageFonts fonts;  // the form's own fonts (ownResources)
    };
    std::unordered_map<int32_t, std::shared_ptr<const std::string>> decodedStreams_;
    std::unordered_set<int32_t> decodedOnce_;  // streams decoded once, not kept
    std::unordered_map<int32_t, FormEntry> forms_;
    size_t cachedStreamBytes_ = 0;
    // Decodes stream object objNumber (text body) and keeps the result when
    // this is its second decoding and the cache has room.
    std::shared_ptr<const std::string> DecodeAndKeep(int32_t objNumber, std::string_view body);
};

}  // namespace quillmark
