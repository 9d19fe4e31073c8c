// The format registry: a format added through the registry alone is detected,
// extracted and described; detection reads container listings only; the
// simple Extract API gives what the component gives.
#include <gtest/gtest.h>

#include <string>

#include "quillmark/document_info.h"
#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/readers/palmdoc_file.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

// A toy format: "FAKE!" then lines of text; the first line is the title.
class TFakeReader : public TMSWBaseDocument {
public:
    void LoadFromStream(TStream& stream) override {
        TMSWBaseDocument::LoadFromStream(stream);
        std::string bytes = stream.ReadRest().substr(5);
        std::string title = bytes.substr(0, bytes.find('\n'));
        if (ParseItems().Contains(wpiSummaryInformation)) FSummaryInformation.SetTitle(Latin1ToUtf16(title));
        if (!ParseItems().Contains(wpiText)) return;
        WithFrame([&] {
            size_t from = 0, nl;
            while ((nl = bytes.find('\n', from)) != std::string::npos) {
                AddText(Escape(Latin1ToUtf16(bytes.substr(from, nl - from))), *text_);
                from = nl + 1;
            }
            notes_.Add(u"a note");
        });
    }
    const TWideStrings* PartText(TDocumentPart part) const override {
        if (part == TDocumentPart::Notes) return &notes_;
        return TMSWBaseDocument::PartText(part);
    }
    void ClearInternalLists() override {
        TMSWBaseDocument::ClearInternalLists();
        notes_.Clear();
    }

private:
    TWideStrings notes_;
};

struct FakeFormat {
    FakeFormat() {
        RegisterFormat({"fake", "test format",
                        [](const TDetectionInput& in) { return in.Bytes().substr(0, 5) == "FAKE!"; },
                        [] { return std::make_unique<TFakeReader>(); }, nullptr});
    }
    ~FakeFormat() { UnregisterFormat("fake"); }
};

TEST(FormatRegistry, AFormatAddedThroughTheRegistryIsExtractedAndDescribed) {
    const std::string doc = "FAKE!Title line\nsecond <line>\n";
    EXPECT_THROW(ExtractBytes(doc), EUnsupportedFormat);
    {
        FakeFormat fake;
        EXPECT_STREQ(FormatName(DetectFormat(doc)), "fake");
        ExtractResult r = ExtractBytes(doc);
        EXPECT_EQ(r.FormatName, "fake");
        EXPECT_EQ(r.Text, "Title line\nsecond <line>\n");  // plain frame lines dropped
        EXPECT_EQ(r.Summary.Title(), u"Title line");

        ExtractOptions html;
        html.Format = tfHTML;
        html.Part = TDocumentPart::Notes;
        ExtractResult notes = ExtractBytes(doc, html);
        // The part list is framed like the main text: a whole HTML page.
        EXPECT_EQ(notes.Text.rfind("<html>", 0), 0u) << notes.Text;
        EXPECT_NE(notes.Text.find("a note"), std::string::npos);
        EXPECT_NE(notes.Text.find("</html>"), std::string::npos);

        ExtractOptions none;
        none.Part = TDocumentPart::Footnotes;  // a part this format lacks: empty
        EXPECT_EQ(ExtractBytes(doc, none).Text, "");

        TDocumentInfo info = ReadDocumentInfo(doc);
        EXPECT_EQ(info.FormatName, "fake");
        EXPECT_EQ(info.Summary.Title(), u"Title line");
    }
    EXPECT_EQ(DetectFormat(doc), nullptr);
    EXPECT_THROW(ReadDocumentInfo(doc), EUnsupportedFormat);
}

TEST(FormatRegistry, AddedFormatsComeBeforeTheGenericContainers) {
    FakeFormat fake;
    const auto& formats = RegisteredFormats();
    size_t fakeAt = 0, oleAt = 0;
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].Name == "fake") fakeAt = i;
        if (formats[i].Name == "ole") oleAt = i;
    }
    EXPECT_LT(fakeAt, oleAt);
    for (const auto& f : formats) EXPECT_TRUE(f.Detect) << f.Name;
}

TEST(FormatRegistry, DetectionReadsTheZipDirectoryWithoutInflating) {
    // A member in a compression method nobody knows: decoding it would fail,
    // so a docx detected from this zip proves detection decoded nothing.
    test::ZipBuilder zip;
    zip.Add("word/document.xml", "<w:document/>", 99);
    zip.Add("mimetype", "application/x-test", 0);
    std::string bytes = zip.Build();
    TDetectionInput input(bytes);
    EXPECT_TRUE(input.IsZip());
    EXPECT_TRUE(input.HasZipMember("WORD/document.xml", true));
    EXPECT_FALSE(input.HasZipMember("WORD/document.xml"));
    EXPECT_EQ(input.StoredZipMember("mimetype").value_or(""), "application/x-test");
    EXPECT_FALSE(input.StoredZipMember("word/document.xml").has_value());  // compressed
    EXPECT_STREQ(FormatName(DetectFormat(input)), "docx");
    EXPECT_THROW(ExtractBytes(bytes), Exception);
}

TEST(FormatRegistry, EveryFormatReadsTheSameFromBytesAsFromItsFile) {
    for (const char* name : {"palmdoc/basic_3.pdb", "word/basic_3.doc", "docx/basic_3.docx", "pdf/basic_3.pdf",
                             "word/poi_word2.doc", "fb2/basic_3.fb2"}) {
        std::string path = test::DataPath(name);
        ExtractResult fromFile = Extract(path);
        ExtractResult fromBytes = ExtractBytes(ReadFileBytes(path));
        EXPECT_EQ(fromFile.Text, fromBytes.Text) << name;
        EXPECT_FALSE(fromFile.Text.empty()) << name;
        EXPECT_NE(fromFile.Text[0], '\n') << name;
        EXPECT_EQ(fromFile.Summary, fromBytes.Summary) << name;
    }
}

TEST(FormatRegistry, ErrorKindsNameTheProblem) {
    EXPECT_THROW(ExtractBytes("plain text is no document"), EUnsupportedFormat);
    ExtractOptions o;
    EXPECT_THROW(Extract(test::DataPath("pdf/encrypted/oo32-simple-open-password.pdf"), o), EPasswordError);
    o.Password = "wrong";
    EXPECT_THROW(Extract(test::DataPath("pdf/encrypted/oo32-simple-open-password.pdf"), o), EPasswordError);
    std::string cfb = ReadFileBytes(test::DataPath("word/basic_3.doc"));
    cfb.resize(1536);  // the header survives; the directory sectors do not
    EXPECT_THROW(ExtractBytes(cfb), Exception);
    try {
        Extract(testing::TempDir());
        FAIL() << "a directory was read";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Is a directory");
    }
    o = {};
    o.MaxInputBytes = 100;
    EXPECT_THROW(Extract(test::DataPath("word/basic_3.doc"), o), ELimitError);
    o.MaxInputBytes = 1 << 20;
    EXPECT_THROW(Extract("/dev/zero", o), ELimitError);  // an endless device

    // A recognised container that is damaged says so; an intact one with no
    // text of ours is unsupported.
    test::ZipBuilder zip;
    zip.Add("data.bin", "payload");
    std::string good = zip.Build();
    EXPECT_STREQ(FormatName(DetectFormat(good)), "zip");
    EXPECT_THROW(ExtractBytes(good), EUnsupportedFormat);
    zip.declaredEntries = 65535;
    EXPECT_THROW(ExtractBytes(zip.Build()), EDamagedDocument);
    EXPECT_THROW(ReadDocumentInfo(zip.Build()), EDamagedDocument);
    EXPECT_THROW(ExtractBytes(good.substr(0, good.size() / 2)), EDamagedDocument);  // cut short
}

}  // namespace
}  // namespace quillmark
