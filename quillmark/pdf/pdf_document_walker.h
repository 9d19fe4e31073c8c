// TDTPDFDocumentWalker: reads the document out of the objects of a loaded
// file. It walks the page tree (with the attributes pages inherit), loads
// each page's fonts and contents, draws form XObjects through the page's
// resources, and reads the document information dictionary. Pages and
// fonts go to lists its owner keeps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quillmark/framework/summary_information.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_object_store.h"
#include "quillmark/pdf/pdf_pages.h"

namespace quillmark {

class TDTPDFDocumentWalker {
public:
    // cancelled: asked between pages; true ends the walk.
    TDTPDFDocumentWalker(TDTPDFObjectStore& store, TDTPDFFonts& fonts, TDTPDFPages& pages,
                         std::function<bool()> cancelled);

    // Forgets the streams and forms kept from the last load.
    void Clear();
    // Walks the page tree from the text of the catalog or a page-tree node,
    // loading fonts and adding one page per page object.
    void ProcessPages(std::string_view nodeText);
    // The pages of the catalog the trailer's /Root names.
    void ReadPages();
    // The document information dictionary the trailer's /Info names.
    void ReadInformation(TDTWordSummaryInformation& info);
    // A text string of a dictionary text (document information): key
    // ("/title") looked up ignoring case, decoded as PDFDocEncoding or
    // UTF-16BE. objNumber names the object the string belongs to.
    std::u16string GetInfoTag(std::string_view key, std::string_view dictText, int32_t objNumber = 0);

private:
    struct PageWalk;
    void WalkNode(const PdfObject& node, PageWalk& walk, int depth);
    void AddPageObject(const PdfObject& page, PageWalk& walk);
    void LoadPageFonts(const PdfObject& resources, TDTPDFPageFonts& pageFonts);
    // A font of the page's resources: objNumber its object (-1 for a
    // dictionary written inline), body that object's text, dict its
    // dictionary.
    TDTPDFFont* LoadFont(const std::string& name, int32_t objNumber, std::string body, const PdfObject& dict);
    void CollectContents(const PdfObject& contents, std::vector<std::shared_ptr<const std::string>>& out,
                         std::set<int32_t>& seen, int depth);
    // The decoded content and fonts of form XObject objNumber (false when it
    // is not a form). pageFonts: the fonts of the page's resources, for
    // forms without their own.
    bool ReadForm(int32_t objNumber, const TDTPDFPageFonts& pageFonts, std::shared_ptr<const std::string>& content,
                  TDTPDFPageFonts& fonts);
    // Decodes stream object objNumber (text body) and keeps the result when
    // this is its second decoding and the cache has room.
    std::shared_ptr<const std::string> DecodeAndKeep(int32_t objNumber, std::string_view body);

    TDTPDFObjectStore& store_;
    TDTPDFFonts& fonts_;
    TDTPDFPages& pages_;
    std::function<bool()> cancelled_;

    // Decoded content and form streams by object number, so pages that
    // share one stream and forms drawn many times are not decoded again and
    // again: a stream asked for a second time is kept (most are used once,
    // and keeping those would only cost memory). Every reuse is still
    // charged to the load's budget (it is parsed again); the cache holds at
    // most a fixed number of bytes.
    struct FormEntry {
        bool isForm = false;
        bool ownResources = false;
        TDTPDFPageFonts fonts;  // the form's own fonts (ownResources)
    };
    std::unordered_map<int32_t, std::shared_ptr<const std::string>> decodedStreams_;
    std::unordered_set<int32_t> decodedOnce_;  // streams decoded once, not kept
    std::unordered_map<int32_t, FormEntry> forms_;
    size_t cachedStreamBytes_ = 0;
};

}  // namespace quillmark
