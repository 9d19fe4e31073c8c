// The page tree walk with its fonts and contents, forms drawn by pages, and
// the document information dictionary.
#include <algorithm>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_date.h"
#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_syntax.h"
#include "quillmark/pdf/pdf_document_walker.h"

namespace quillmark {

namespace {

// Page trees are shallow; anything deeper is a loop or an attack.
constexpr int kMaxTreeDepth = 64;
// Nested /Contents arrays.
constexpr int kMaxContentsDepth = 8;
// Decoded content and form streams kept for reuse per load at most.
constexpr size_t kMaxStreamCacheBytes = size_t{64} << 20;
// Decoded bytes charged at least for each drawing of a form.
constexpr size_t kMinFormDrawCost = 1024;

const PdfObject* GetIgnoreCase(const PdfObject& dict, std::string_view key) {
    if (const PdfObject* v = dict.Get(key)) return v;
    for (const auto& e : dict.entries)
        if (PdfEqualsIgnoreCase(e.first, key)) return &e.second;
    return nullptr;
}

// A /MediaBox array's numbers (anything else in it counts as 0).
TDTPDFMediaBox MediaBoxOf(const PdfObject& box) {
    TDTPDFMediaBox out;
    if (box.kind != PdfObject::Array) return out;
    for (const PdfObject& v : box.items) {
        if (out.Count == 4) break;
        out.Values[out.Count++] = v.kind == PdfObject::Number ? v.number : 0.0;
    }
    return out;
}

}  // namespace

struct TDTPDFDocumentWalker::PageWalk {
    std::set<int32_t> visited;  // page-tree objects already walked
    const PdfObject* resources = nullptr;  // inherited /Resources
    const PdfObject* mediaBox = nullptr;   // inherited /MediaBox
};

TDTPDFDocumentWalker::TDTPDFDocumentWalker(TDTPDFObjectStore& store, TDTPDFFonts& fonts, TDTPDFPages& pages,
                                           std::function<bool()> cancelled)
    : store_(store), fonts_(fonts), pages_(pages), cancelled_(std::move(cancelled)) {}

void TDTPDFDocumentWalker::Clear() {
    decodedStreams_.clear();
    decodedOnce_.clear();
    forms_.clear();
    cachedStreamBytes_ = 0;
}

void TDTPDFDocumentWalker::ReadPages() {
    // Fonts read their streams through the store only while it has the
    // document's data: during this load.
    struct DropDecoders {
        TDTPDFFonts& fonts;
        ~DropDecoders() { fonts.DropStreamDecoders(); }
    } dropDecoders{fonts_};
    int64_t root = PdfToInt(store_.RootTag(), 0);
    if (root > 0 && root <= INT32_MAX) ProcessPages(store_.GetBodyByRefNo(static_cast<int32_t>(root)));
}

void TDTPDFDocumentWalker::ProcessPages(std::string_view nodeText) {
    PdfObject node = PdfParseObjectBody(nodeText);
    if (node.kind != PdfObject::Dictionary) return;
    PageWalk walk;
    const PdfObject* type = node.Get("Type");
    const PdfObject* pages = node.Get("Pages");
    if ((type && type->IsName("Catalog")) || (!type && pages)) {
        if (!pages || pages->kind != PdfObject::Reference) return;
        walk.visited.insert(pages->ref);
        WalkNode(store_.ParsedObject(pages->ref), walk, 0);
        return;
    }
    WalkNode(node, walk, 0);
}

void TDTPDFDocumentWalker::WalkNode(const PdfObject& node, PageWalk& walk, int depth) {
    if (node.kind != PdfObject::Dictionary || depth > kMaxTreeDepth || (cancelled_ && cancelled_())) return;
    const PdfObject* type = node.Get("Type");
    const PdfObject* kidsValue = node.Get("Kids");
    bool isTree = type ? type->IsName("Pages") : kidsValue != nullptr;
    if (!isTree) {
        if (!type || type->IsName("Page")) AddPageObject(node, walk);
        return;
    }
    // Attributes a page inherits from its ancestors.
    PdfObject resources, mediaBox;
    const PdfObject* savedResources = walk.resources;
    const PdfObject* savedMediaBox = walk.mediaBox;
    if (const PdfObject* r = node.Get("Resources")) {
        resources = store_.Resolve(*r);
        walk.resources = &resources;
    }
    if (const PdfObject* m = node.Get("MediaBox")) {
        mediaBox = store_.Resolve(*m);
        walk.mediaBox = &mediaBox;
    }
    // /Count is not trusted: the kids themselves say how many there are.
    PdfObject kids = kidsValue ? store_.Resolve(*kidsValue) : PdfObject();
    for (const PdfObject& kid : kids.items) {
        if (kid.kind != PdfObject::Reference || !walk.visited.insert(kid.ref).second) continue;
        WalkNode(store_.ParsedObject(kid.ref), walk, depth + 1);
    }
    walk.resources = savedResources;
    walk.mediaBox = savedMediaBox;
}

void TDTPDFDocumentWalker::AddPageObject(const PdfObject& page, PageWalk& walk) {
    PdfObject resources;
    if (const PdfObject* r = page.Get("Resources")) resources = store_.Resolve(*r);
    else if (walk.resources) resources = *walk.resources;
    TDTPDFPageFonts pageFonts;
    LoadPageFonts(resources, pageFonts);

    PdfObject box;
    if (const PdfObject* m = page.Get("MediaBox")) box = store_.Resolve(*m);
    else if (walk.mediaBox) box = *walk.mediaBox;

    // A page of one content stream is parsed where the decoded stream is;
    // streams of a page of several are joined as if they were one, and a
    // token must not run on from one into the next.
    std::vector<std::shared_ptr<const std::string>> streams;
    std::set<int32_t> seen;
    if (const PdfObject* c = page.Get("Contents")) CollectContents(*c, streams, seen, 0);
    std::string joined;
    std::string_view content;
    if (streams.size() == 1) {
        content = *streams[0];
    } else if (streams.size() > 1) {
        size_t total = 0;
        for (const auto& s : streams) total += s->size() + 1;
        joined.reserve(total);
        for (const auto& s : streams) {
            joined += *s;
            joined.push_back('\n');
        }
        content = joined;
    }
    PdfObject xobjects;
    if (const PdfObject* x = resources.Get("XObject")) xobjects = store_.Resolve(*x);
    TDTPDFFormResolver forms = [this, &xobjects, &pageFonts](const std::string& name,
                                                               std::shared_ptr<const std::string>& out,
                                                               TDTPDFPageFonts& fonts) {
        const PdfObject* ref = xobjects.Get(name.size() > 1 ? std::string_view(name).substr(1) : std::string_view());
        return ref && ref->kind == PdfObject::Reference && ReadForm(ref->ref, pageFonts, out, fonts);
    };
    pages_.ParseContents(content, MediaBoxOf(box), &pageFonts, &forms);
}

void TDTPDFDocumentWalker::LoadPageFonts(const PdfObject& resources, TDTPDFPageFonts& pageFonts) {
    const PdfObject* fontValue = resources.Get("Font");
    if (!fontValue) return;
    PdfObject fonts = store_.Resolve(*fontValue);
    for (const auto& [name, value] : fonts.entries) {
        TDTPDFFont* font = nullptr;
        if (value.kind == PdfObject::Reference) {
            font = fonts_.FindFontByObject(value.ref);
            if (!font) {
                std::string body = store_.GetBodyByRefNo(value.ref);
                PdfObject dict = PdfParseObjectBody(body);
                // A font that names a missing object is left out.
                if (dict.kind != PdfObject::Dictionary) continue;
                font = LoadFont(name, value.ref, std::move(body), dict);
            }
        } else if (value.kind == PdfObject::Dictionary) {
            font = LoadFont(name, -1, std::string(), value);
        }
        if (font) pageFonts.emplace("/" + name, font);
    }
}

TDTPDFFont* TDTPDFDocumentWalker::LoadFont(const std::string& name, int32_t objNumber, std::string body,
                                           const PdfObject& dict) {
    TDTPDFFont* font = fonts_.AddItem();
    font->FontName = "/" + name;
    fonts_.SetObject(font, objNumber);
    font->Content = std::move(body);
    font->SetupEncoding(dict, [this](const PdfObject& v) { return store_.Resolve(v); });
    // A damaged font stream loses that font's mapping, not the document.
    try {
        const PdfObject* toUnicode = dict.Get("ToUnicode");
        if (toUnicode && toUnicode->kind == PdfObject::Reference) font->SetCMap(store_.GetDecodedStream(toUnicode->ref));
    } catch (const ELimitError&) {
        throw;  // the load's work limit ends the load, not just this font
    } catch (const Exception&) {
    }
    // The descendant's font program and CID-to-GID map are decoded only
    // when a text step asks for them.
    font->SetStreamDecoder([this](int32_t n) { return store_.GetDecodedStream(n); });
    return font;
}

void TDTPDFDocumentWalker::CollectContents(const PdfObject& contents, std::vector<std::shared_ptr<const std::string>>& out,
                                   std::set<int32_t>& seen, int depth) {
    if (depth > kMaxContentsDepth) return;
    if (contents.kind == PdfObject::Array) {
        for (const PdfObject& item : contents.items) CollectContents(item, out, seen, depth + 1);
        return;
    }
    if (contents.kind != PdfObject::Reference || !seen.insert(contents.ref).second) return;
    std::shared_ptr<const std::string> data;
    if (auto cached = decodedStreams_.find(contents.ref); cached != decodedStreams_.end()) {
        data = cached->second;
        ChargeDecodedBytes(data->size(), "PDF content streams");
    } else {
        std::string body = store_.GetBodyByRefNo(contents.ref);
        if (body.empty()) return;
        PdfObject obj = PdfParseObjectBody(body);
        if (obj.kind == PdfObject::Array) {
            // A /Contents reference to an array of streams.
            CollectContents(obj, out, seen, depth + 1);
            return;
        }
        data = DecodeAndKeep(contents.ref, body);
    }
    if (!data->empty()) out.push_back(std::move(data));
}

std::shared_ptr<const std::string> TDTPDFDocumentWalker::DecodeAndKeep(int32_t objNumber, std::string_view body) {
    auto data = std::make_shared<const std::string>(store_.DecodeStreamObject(body, objNumber));
    // Most streams are used once: only one asked for a second time is kept.
    if (decodedOnce_.insert(objNumber).second) return data;
    if (data->size() <= kMaxStreamCacheBytes - cachedStreamBytes_) {
        cachedStreamBytes_ += data->size();
        decodedStreams_.emplace(objNumber, data);
    }
    return data;
}

bool TDTPDFDocumentWalker::ReadForm(int32_t objNumber, const TDTPDFPageFonts& pageFonts,
                            std::shared_ptr<const std::string>& content,
                            TDTPDFPageFonts& fonts) {
    // Forms drawing forms multiply: every drawing counts as an item, and as
    // the bytes its content takes to parse again (at least a small stream's
    // worth, so forms of a few bytes drawn by the million stay bounded too).
    ChargeWorkItems(1, "PDF form XObjects drawn");
    std::shared_ptr<const std::string> data;
    if (auto cached = decodedStreams_.find(objNumber); cached != decodedStreams_.end()) data = cached->second;
    auto it = forms_.find(objNumber);
    if (it == forms_.end() || (it->second.isForm && !data)) {
        std::string body = store_.GetBodyByRefNo(objNumber);
        if (it == forms_.end()) {
            FormEntry entry;
            PdfObject dict = PdfParseObjectBody(body);
            const PdfObject* subtype = dict.Get("Subtype");
            entry.isForm = subtype && subtype->IsName("Form");
            // A form without resources of its own uses those of the page.
            if (const PdfObject* r = dict.Get("Resources"); entry.isForm && r) {
                entry.ownResources = true;
                LoadPageFonts(store_.Resolve(*r), entry.fonts);
            }
            it = forms_.emplace(objNumber, std::move(entry)).first;
        }
        if (it->second.isForm) data = DecodeAndKeep(objNumber, body);
    }
    const FormEntry& form = it->second;
    if (!form.isForm) return false;
    ChargeDecodedBytes(std::max<size_t>(data->size(), kMinFormDrawCost), "PDF form XObjects drawn");
    content = std::move(data);
    fonts = form.ownResources ? form.fonts : pageFonts;
    return true;
}

std::u16string TDTPDFDocumentWalker::GetInfoTag(std::string_view key, std::string_view dictText, int32_t objNumber) {
    if (!key.empty() && key[0] == '/') key.remove_prefix(1);
    PdfObject dict = PdfParseObjectBody(dictText);
    const PdfObject* value = GetIgnoreCase(dict, key);
    if (!value) return {};
    PdfObject v = *value;
    if (v.kind == PdfObject::Reference) {
        objNumber = v.ref;
        v = store_.Resolve(v);
    }
    if (v.kind != PdfObject::String) {
        if (v.kind == PdfObject::Name) return PdfTextString(v.text);
        return {};
    }
    // Strings of an object held in an object stream are not encrypted on
    // their own; others are decrypted with their object's key.
    std::string bytes = v.text;
    const TDTPDFXRef* x = store_.XRefs().GetItem(objNumber - store_.StartCrossRef());
    if (objNumber > 0 && x && x->Kind == xrkUnCompressed)
        bytes = store_.DecryptData(objNumber, store_.GetGeneration(objNumber), std::move(bytes));
    return PdfTextString(bytes);
}

void TDTPDFDocumentWalker::ReadInformation(TDTWordSummaryInformation& s) {
    int64_t info = PdfToInt(store_.InfoTag(), 0);
    if (info <= 0 || info > INT32_MAX) return;
    int32_t n = static_cast<int32_t>(info);
    std::string body = store_.GetBodyByRefNo(n);
    if (body.empty()) return;
    s.SetTitle(GetInfoTag("/title", body, n));
    s.SetAuthor(GetInfoTag("/author", body, n));
    s.SetSubject(GetInfoTag("/subject", body, n));
    s.SetKeywords(GetInfoTag("/keywords", body, n));
    s.SetAppName(GetInfoTag("/producer", body, n));
    s.SetCreated(PdfDateToDateTime(GetInfoTag("/creationdate", body, n)));
    s.SetLastSaved(PdfDateToDateTime(GetInfoTag("/moddate", body, n)));
}

}  // namespace quillmark
