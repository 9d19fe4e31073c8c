// TDTPDFObjectStore: the objects of one PDF file. It checks the file, walks
// the cross-reference sections (tables and streams, newest first along
// /Prev), rebuilds the list by scanning when they are damaged, reads
// objects kept in object streams, sets up the security handler and
// decrypts strings and streams. Its parts:
//   pdf_object_store.cpp             load sequence and object lookups
//   pdf_object_store_xref.cpp        file check, cross-reference walk, trailers
//   pdf_object_store_repair.cpp      rebuilding the list of a damaged file
//   pdf_object_store_streams.cpp     stream decoding and object streams
//   pdf_object_store_encryption.cpp  security handler and decryption
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

class TDTPDFObjectStore {
public:
    TDTPDFObjectStore();
    ~TDTPDFObjectStore();
    TDTPDFObjectStore(const TDTPDFObjectStore&) = delete;
    TDTPDFObjectStore& operator=(const TDTPDFObjectStore&) = delete;

    // Takes the file's bytes, reads its cross-reference data (repairing
    // when needed) and sets up decryption with password.
    void Load(std::string data, const std::string& password);
    void Clear();

    const TDTPDFXRefList& XRefs() const { return xrefs_; }
    const std::string& Version() const { return version_; }
    int32_t StartCrossRef() const { return startCrossRef_; }
    // The trailer's /Root, /Info and /Encrypt object numbers as text ("" when
    // the trailer has none), and the first string of its /ID.
    const std::string& RootTag() const { return rootTag_; }
    const std::string& InfoTag() const { return infoTag_; }
    const std::string& EncryptTag() const { return encryptTag_; }
    const std::string& DocID() const { return docID_; }
    void SetDocID(const std::string& v) { docID_ = v; }
    const std::string& TrailerText() const { return trailerText_; }
    bool Repaired() const { return repaired_; }
    std::string_view FileData() const { return data_; }
    const TDTPDFEncryption* Encryption() const { return encryption_.get(); }

    // The raw text of object objNumber (see TDTPDFReader::GetBodyByRefNo).
    std::string GetBodyByRefNo(int32_t objNumber);
    int32_t GetGeneration(int32_t objNumber) const;
    // True when objNumber is stored inside an object stream.
    bool IsCompressed(int32_t objNumber) const;
    // The text of object ref fetched one lookup level down; nullopt at the
    // bound on nested lookups.
    std::optional<std::string> NestedBody(int32_t ref);
    // The parsed object objNumber; the object a reference names (any other
    // value comes back as it is).
    PdfObject ParsedObject(int32_t objNumber);
    PdfObject Resolve(const PdfObject& value);

    // The decoded data of a stream object, its dictionary parsed once:
    // /Length, /Filter and /DecodeParms read as values (indirect ones
    // followed, keys in their exact case), the data cut out, decrypted as
    // object objNumber (0: never) and run through its filters. dictOut, when
    // given, receives the dictionary.
    std::string DecodeStreamObject(std::string_view objectText, int32_t objNumber, PdfObject* dictOut = nullptr);
    std::string GetDecodedStream(int32_t objNumber);

    // Decrypts the bytes of a string of object objNumber generation
    // generation; data comes back unchanged when the document is not
    // encrypted, for objects inside an object stream (the stream was
    // decrypted as a whole) and for the encryption dictionary itself.
    std::string DecryptData(int32_t objNumber, int32_t generation, std::string data);
    // The same for a stream's data; type is its /Type in lower case
    // ("/xref", "/metadata", "" when none), cryptFilter the name a /Crypt
    // filter gives ("" when it has none). Cross-reference streams are never
    // decrypted, metadata streams not when the handler says
    // /EncryptMetadata false.
    std::string DecryptStreamData(int32_t objNumber, std::string_view type, std::string_view cryptFilter,
                                  std::string data);

    // Nested lookups (an indirect /Length inside an object stream inside
    // ...) never go deeper than this. One level is held by a TLookupLevel
    // while a lookup follows a reference: Entered() is false at the bound,
    // where the lookup gives up. Leaving the scope (by return or exception)
    // gives the level back.
    static constexpr int kMaxLookupDepth = 16;
    class TLookupLevel {
    public:
        explicit TLookupLevel(TDTPDFObjectStore& store)
            : depth_(store.depth_), entered_(store.depth_ < kMaxLookupDepth) {
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

private:
    // --- cross-reference walk (pdf_object_store_xref.cpp) ---
    void CheckFileAndReadXRefs();
    // Reads the section at offset; returns the next /Prev offset, -1 at
    // the end of the chain, -2 when no section is there.
    int64_t ReadSection(int64_t offset, bool newest);
    void ReadXRefTable(size_t pos, size_t end);
    // A cross-reference stream's entries; sectionText runs from its object
    // header through "endstream".
    void ReadXRefStream(std::string_view sectionText, const PdfObject& dict);
    // Takes /Root, /Info, /Encrypt and /ID unless a newer section gave them;
    // the newest trailer's text is kept.
    void ApplyTrailer(const PdfObject& trailer, std::string_view trailerText, bool newest);
    // Sets slot objNumber unless a newer section already did.
    TDTPDFXRef* DefineSlot(int64_t objNumber);
    // The first occurrence of keyword ("trailer", "stream", ...) in the file
    // at or after from; npos when none. The positions of each keyword are
    // found in one pass and kept for the load, so a long chain of sections
    // does not search the rest of the file once per section.
    size_t FindKeyword(std::string_view keyword, size_t from);

    // --- repair (pdf_object_store_repair.cpp) ---
    bool RepairXRefs();
    // Every "N G obj" header in the file, in file order; found once and kept
    // for the load.
    struct FoundObject {
        int32_t number;
        int32_t generation;
        size_t offset;
    };
    const std::vector<FoundObject>& ScanObjectHeaders();
    // The offset of the last "N G obj" header for objNumber found by the
    // scan, or -1. Used when a cross-reference entry points elsewhere.
    int64_t ScannedOffset(int32_t objNumber);

    // --- object streams (pdf_object_store_streams.cpp) ---
    std::string ObjectFromStream(int32_t streamNumber, int32_t index, int32_t objNumber);
    // The header of object stream streamNumber, decoded once per load.
    struct ObjectStreamCache {
        std::string data;
        size_t first = 0;
        std::vector<std::pair<int32_t, size_t>> entries;  // object number, offset
        std::unordered_map<int32_t, size_t> byNumber;      // object number -> first entry
        std::vector<size_t> sortedOffsets;                 // distinct offsets, ascending
    };
    const ObjectStreamCache& ObjectStream(int32_t streamNumber);

    // --- security (pdf_object_store_encryption.cpp) ---
    // Reads the trailer's /Encrypt dictionary and sets up the handler.
    void ParseEncryption(const std::string& password);

    std::string data_;  // the whole file, read once per load
    TDTPDFXRefList xrefs_;
    std::string version_ = "1.0";
    int32_t startCrossRef_ = 0;
    std::string rootTag_, infoTag_, encryptTag_, docID_;
    std::string trailerText_;  // newest trailer dictionary, original case
    PdfObject trailer_;        // the same, parsed
    bool repaired_ = false;
    std::shared_ptr<TDTPDFEncryption> encryption_;
    int32_t encryptObject_ = -1;  // object number of the encryption dictionary

    std::vector<uint8_t> slotSet_;         // slots written by a newer section (load only)
    std::vector<int64_t> sectionOffsets_;  // cross-reference sections read
    std::set<size_t> trailersRead_;        // "trailer" keywords whose dictionary was applied
    std::unordered_map<std::string, std::vector<size_t>> keywordPositions_;
    std::map<int32_t, ObjectStreamCache> objectStreams_;
    bool scanned_ = false;
    bool scanIndexed_ = false;
    std::vector<FoundObject> foundObjects_;
    std::vector<int64_t> scannedOffsets_;  // by object number, -1 when none
    int depth_ = 0;                        // nesting of indirect lookups (lengths, references)
};

}  // namespace quillmark
