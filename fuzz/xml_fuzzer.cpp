// libFuzzer target: the XML engine, then lookups and value decoding over
// every node of the tree.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "quillmark/package/xml_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::TDTXMLEngine engine;
    engine.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    engine.GetItemByTag(nullptr, u"w:body");
    std::vector<quillmark::TDTXMLItem*> stack{&engine.RootItem()};
    while (!stack.empty()) {
        quillmark::TDTXMLItem* node = stack.back();
        stack.pop_back();
        node->GetTagValue();
        for (const auto& child : node->Items) stack.push_back(child.get());
    }
    return 0;
}
