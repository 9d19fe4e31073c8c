// Real PDF files checked against listings made by qpdf
// (tests/tools/make_pdf_listings.py): the cross-reference list, the header
// of every object's text, and the decoded data of every stream.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_reader.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

std::vector<std::string> SampleNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(test::DataPath("pdf")))
        // Files without a listing belong to other tests.
        if (e.path().extension() == ".pdf" &&
            std::filesystem::exists(std::filesystem::path(e.path()).replace_extension(".xref.txt")))
            names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Listing(const TDTPDFReader& r) {
    std::string out;
    char line[128];
    for (int32_t i = 0; i < r.XRefs().Count(); ++i) {
        const TDTPDFXRef& x = *r.XRefs().GetItem(i);
        if (x.Kind == xrkUnCompressed)
            std::snprintf(line, sizeof line, "%d/%d: uncompressed; offset = %d\n", i, x.Generation, x.Offset);
        else if (x.Kind == xrkCompressed)
            std::snprintf(line, sizeof line, "%d/0: compressed; stream = %d, index = %d\n", i, x.ObjNumber, x.Offset);
        else
            continue;
        out += line;
    }
    return out;
}

TEST(PdfCorpus, ObjectListsAgreeWithQpdf) {
    std::vector<std::string> names = SampleNames();
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        TDTPDFReader r;
        r.SetParseItems(TDTWParseItems{});
        r.LoadFromFile(test::DataPath("pdf/" + name + ".pdf"));
        EXPECT_EQ(Listing(r), test::ReadDataFile("pdf/" + name + ".xref.txt"));

        for (int32_t n = 0; n < r.XRefs().Count(); ++n) {
            const TDTPDFXRef& x = *r.XRefs().GetItem(n);
            if (x.Kind == xrkFree) continue;
            // An object listed inside an object stream that is itself
            // compressed cannot be reached (qpdf reads it as null too).
            if (x.Kind == xrkCompressed && r.XRefs().GetOffsetForXRef(n) < 0) {
                EXPECT_EQ(r.GetBodyByRefNo(n), "");
                continue;
            }
            std::string header = std::to_string(n) + " " + std::to_string(x.Kind == xrkCompressed ? 0 : x.Generation) + " obj";
            std::string body = r.GetBodyByRefNo(n);
            EXPECT_EQ(body.substr(0, header.size()), header) << "object " << n;
        }

        std::istringstream streams(test::ReadDataFile("pdf/" + name + ".streams.txt"));
        int32_t n = 0;
        size_t size = 0;
        std::string crc;
        while (streams >> n >> size >> crc) {
            std::string data = r.GetDecodedStream(n);
            char got[16];
            std::snprintf(got, sizeof got, "%08lx",
                          crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
            EXPECT_EQ(data.size(), size) << "stream " << n;
            EXPECT_EQ(got, crc) << "stream " << n;
        }
    }
}

}  // namespace
}  // namespace quillmark
