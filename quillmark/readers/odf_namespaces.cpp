#include "quillmark/readers/odf_namespaces.h"

#include <string>
#include <utility>
#include <vector>

namespace quillmark {

namespace {

struct KnownNamespace {
    std::u16string_view uri;
    std::u16string_view prefix;
};

constexpr KnownNamespace kKnown[] = {
    {u"urn:oasis:names:tc:opendocument:xmlns:office:1.0", u"office"},
    {u"urn:oasis:names:tc:opendocument:xmlns:style:1.0", u"style"},
    {u"urn:oasis:names:tc:opendocument:xmlns:text:1.0", u"text"},
    {u"urn:oasis:names:tc:opendocument:xmlns:table:1.0", u"table"},
    {u"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", u"draw"},
    {u"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0", u"fo"},
    {u"http://www.w3.org/1999/xlink", u"xlink"},
    {u"http://purl.org/dc/elements/1.1/", u"dc"},
    {u"urn:oasis:names:tc:opendocument:xmlns:meta:1.0", u"meta"},
    {u"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0", u"number"},
    {u"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0", u"presentation"},
    {u"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", u"svg"},
    {u"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", u"manifest"},
};

// More prefixes bound to known namespaces than any writer uses are
// ignored, so a hostile file cannot make every lookup long.
constexpr size_t kMaxRenamings = 64;

// One renaming in force: names with prefix `from` become `to`.
struct Renaming {
    std::u16string from;  // "" for the default namespace (elements only)
    std::u16string_view to;
};

std::u16string_view KnownPrefix(std::u16string_view uri) {
    for (const auto& k : kKnown)
        if (k.uri == uri) return k.prefix;
    return {};
}

// The renamings a node's own xmlns declarations add to those in force;
// false when it declares nothing that changes them.
bool Declarations(const TDTXMLItem& node, const std::vector<Renaming>& outer, std::vector<Renaming>& inner) {
    bool changed = false;
    for (const auto& ref : node.Items) {
        const TDTXMLItem& a = *ref;
        if (a.Kind != ikAttribute) break;
        std::u16string_view name = a.TagName;
        if (name.substr(0, 5) != u"xmlns") continue;
        std::u16string prefix;
        if (name.size() == 5) prefix.clear();
        else if (name[5] == u':') prefix = std::u16string(name.substr(6));
        else continue;
        std::u16string uri = a.GetTagValue();
        std::u16string_view known = KnownPrefix(uri);
        if (!changed) {
            inner = outer;
            changed = true;
        }
        // A new binding of the prefix replaces the old one.
        std::erase_if(inner, [&](const Renaming& r) { return r.from == prefix; });
        if (!known.empty() && known != prefix && inner.size() < kMaxRenamings) inner.push_back({prefix, known});
    }
    return changed;
}

void Rename(TDTXMLItem& node, const std::vector<Renaming>& renamings, bool element) {
    std::u16string_view name = node.TagName;
    size_t colon = name.find(u':');
    std::u16string_view prefix = colon == std::u16string::npos ? std::u16string_view() : name.substr(0, colon);
    if (colon == std::u16string::npos && !element) return;  // unprefixed attributes have no namespace
    for (const auto& r : renamings) {
        if (r.from != prefix) continue;
        std::u16string_view local = colon == std::u16string::npos ? name : name.substr(colon + 1);
        node.SetTagName(std::u16string(r.to) + u":" + std::u16string(local));
        return;
    }
}

}  // namespace

void CanonicalizeOdfPrefixes(TDTXMLItem& root) {
    // Declarations sit on the root element in practice, but any element may
    // carry them, so each one is looked at; nodes are renamed only where a
    // renaming is in force.
    struct Frame {
        TDTXMLItem* node;
        int next;
        size_t scope;  // index of the renamings in force below this node
    };
    std::vector<std::vector<Renaming>> scopes(1);
    std::vector<Frame> stack;
    auto enter = [&](TDTXMLItem* node, size_t outerScope) {
        std::vector<Renaming> inner;
        size_t scope = outerScope;
        if (Declarations(*node, scopes[outerScope], inner)) {
            scopes.push_back(std::move(inner));
            scope = scopes.size() - 1;
        }
        const std::vector<Renaming>& in = scopes[scope];
        if (!in.empty()) {
            Rename(*node, in, true);
            for (const auto& a : node->Items) {
                if (a->Kind != ikAttribute) break;
                if (a->TagName.substr(0, 5) != u"xmlns") Rename(*a, in, false);
            }
        }
        stack.push_back({node, 0, scope});
    };
    enter(&root, 0);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->Items.Count()) {
            stack.pop_back();
            continue;
        }
        TDTXMLItem* child = top.node->Items[top.next++];
        if (child->Kind == ikProperty) enter(child, top.scope);
    }
}

}  // namespace quillmark
