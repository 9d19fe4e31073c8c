// VBA projects: the "dir" module list, the older "_VBA_PROJECT" table as the
// fallback, code pages, damaged parts, the containers that hold a project
// (Word, Excel and PowerPoint compound files, Office Open XML packages), and
// the listing in the Word readers.
#include <gtest/gtest.h>

#include <zlib.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/vba_decompression.h"
#include "quillmark/word/vba_project.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"
#include "support/compound_file_builder.h"
#include "support/test_support.h"
#include "support/vba_builder.h"
#include "support/word_doc_builder.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::CompoundFileBuilder;

const std::string kModule1 =
    "Attribute VB_Name = \"Module1\"\r\nSub Hello()\r\n    MsgBox \"Hello from Module1\"\r\nEnd Sub\r\n";
const std::string kThisDocument =
    "Attribute VB_Name = \"ThisDocument\"\r\nAttribute VB_Base = \"1Normal.ThisDocument\"\r\n"
    "Private Sub Document_Open()\r\n    Hello\r\nEnd Sub\r\n";

test::VbaDirModule DirModule(const std::string& name, uint32_t offset) {
    test::VbaDirModule m;
    m.name = m.streamName = name;
    m.unicodeName = m.unicodeStreamName = Utf8ToUtf16(name);
    m.offset = offset;
    return m;
}

// A project storage "PROJECT" + "VBA/{dir, _VBA_PROJECT, modules}" under
// `parent`, with the module sources at offsets 37 and 80.
void AddProject(CompoundFileBuilder& b, uint32_t parent, bool withDir = true, bool withTable = true) {
    b.AddStream(u"PROJECT", "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\nDocument=ThisDocument/&H00000000\r\n"
                            "Module=Module1\r\nName=\"Project\"\r\n", parent);
    uint32_t vba = b.AddStorage(u"VBA", parent);
    if (withDir) {
        test::VbaDirBuilder dir;
        dir.modules = {DirModule("ThisDocument", 80), DirModule("Module1", 37)};
        b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    }
    if (withTable)
        b.AddStream(u"_VBA_PROJECT",
                    test::VbaProjectTable({}, {{u"ThisDocument", u"0{0}", 80}, {u"Module1", u"0{1}", 37}}), vba);
    b.AddStream(u"ThisDocument", test::ModuleStream(kThisDocument, 80), vba);
    b.AddStream(u"Module1", test::ModuleStream(kModule1, 37), vba);
}

std::string ListingOf(const TVBAProject& p) {
    TWideStrings out;
    AppendMacroListing(p.Items, p.CodePage, out);
    return Utf16ToUtf8(out.Text());
}

const std::string kRule = "'===================================\r\n";

std::string Banner(const std::string& name) { return kRule + "'  Macro(s) from " + name + "\r\n" + kRule; }

TEST(VbaDirStream, ReadsCodePageAndModules) {
    test::VbaDirBuilder dir;
    dir.codePage = 1251;
    dir.modules = {DirModule("ThisDocument", 1234), DirModule("Module1", 7)};
    // A module named in the project's code page only: "Модуль" in 1251.
    test::VbaDirModule cyrillic;
    cyrillic.name = cyrillic.streamName = "\xCC\xEE\xE4\xF3\xEB\xFC";
    cyrillic.offset = 99;
    dir.modules.push_back(cyrillic);
    TVBADirInfo info = ParseVBADirStream(dir.Build());
    EXPECT_EQ(info.CodePage, 1251);
    ASSERT_EQ(info.Modules.size(), 3u);
    EXPECT_EQ(info.Modules[0].Name, u"ThisDocument");
    EXPECT_EQ(info.Modules[0].StreamName, u"ThisDocument");
    EXPECT_EQ(info.Modules[0].Offset, 1234u);
    EXPECT_EQ(info.Modules[1].Name, u"Module1");
    EXPECT_EQ(info.Modules[1].Offset, 7u);
    EXPECT_EQ(info.Modules[2].Name, u"\u041C\u043E\u0434\u0443\u043B\u044C");
    EXPECT_EQ(info.Modules[2].StreamName, info.Modules[2].Name);
    EXPECT_EQ(info.Modules[2].Offset, 99u);
}

TEST(VbaDirStream, ARecordRunningPastTheEndIsDamage) {
    test::VbaDirBuilder dir;
    dir.modules = {DirModule("Module1", 7)};
    std::string bytes = dir.Build();
    // Cut inside the records: every cut either parses (records before it)
    // or throws; a cut inside a record's data throws.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        try {
            TVBADirInfo info = ParseVBADirStream(std::string_view(bytes).substr(0, cut));
            EXPECT_LE(info.Modules.size(), 1u);
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("runs past the end"), std::string::npos);
        }
    }
    std::string cut = bytes.substr(0, 6) + "\xFF\xFF";
    cut[2] = '\x40';  // the first record claims 64 bytes
    EXPECT_THROW(ParseVBADirStream(cut), EDamagedDocument);
}

TEST(VbaProject, ModulesComeFromTheDirStream) {
    CompoundFileBuilder b;
    AddProject(b, b.AddStorage(u"Macros"));
    auto file = TCompoundFile::Open(b.Build());
    TVBAProject p;
    ReadVBAProject(FindVBAProjectStorage(file->Root()), p);
    EXPECT_TRUE(p.FromDir);
    EXPECT_EQ(p.CodePage, 1252);
    EXPECT_NE(p.Project.find("Module=Module1"), std::string::npos);
    ASSERT_EQ(p.Items.size(), 2u);
    EXPECT_EQ(p.Items[0]->ModuleName, u"ThisDocument");
    EXPECT_EQ(p.Items[0]->Body, kThisDocument);
    EXPECT_EQ(p.Items[1]->ModuleName, u"Module1");
    EXPECT_EQ(p.Items[1]->Body, kModule1);
    EXPECT_EQ(ListingOf(p), Banner("ThisDocument") + kThisDocument + "\r\n\r\n" + Banner("Module1") + kModule1 + "\r\n\r\n");
}

TEST(VbaProject, DirOffsetsWinOverTheOlderTable) {
    // The table's fixed layout gives offsets that are wrong for this project
    // version; "dir" is right.
    CompoundFileBuilder b;
    uint32_t macros = b.AddStorage(u"Macros");
    test::VbaDirBuilder dir;
    dir.modules = {DirModule("Module1", 37)};
    uint32_t vba = b.AddStorage(u"VBA", macros);
    b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    b.AddStream(u"_VBA_PROJECT", test::VbaProjectTable({}, {{u"Module1", u"0{1}", 12}}), vba);
    b.AddStream(u"Module1", test::ModuleStream(kModule1, 37), vba);
    auto file = TCompoundFile::Open(b.Build());
    TVBAProject p;
    ReadVBAProject(file->Root().OpenStorage(u"Macros"), p);
    ASSERT_EQ(p.Items.size(), 1u);
    EXPECT_EQ(p.Items[0]->Offset, 37u);
    EXPECT_EQ(p.Items[0]->Body, kModule1);
    EXPECT_TRUE(p.Items[0]->Damage.empty());
}

TEST(VbaProject, WithoutDirTheTableIsWalkedAndStreamsMatchIgnoringCase) {
    CompoundFileBuilder b;
    uint32_t macros = b.AddStorage(u"Macros");
    uint32_t vba = b.AddStorage(u"VBA", macros);
    b.AddStream(u"_VBA_PROJECT",
                test::VbaProjectTable({u"*\\G{000204EF-0000-0000-C000-000000000046}#4.0#9#VBE6.DLL#VBA",
                                       u"*\\Gstdole", u"*\\Cref"},
                                      {{u"Module1", u"0{1}", 37}, {u"ThisDocument", u"0{0}", 80}}),
                vba);
    b.AddStream(u"module1", test::ModuleStream(kModule1, 37), vba);
    b.AddStream(u"THISDOCUMENT", test::ModuleStream(kThisDocument, 80), vba);
    auto file = TCompoundFile::Open(b.Build());
    TVBAProject p;
    ReadVBAProject(file->Root().OpenStorage(u"Macros"), p);
    EXPECT_FALSE(p.FromDir);
    // Three reference items; the first two receive the module names.
    ASSERT_EQ(p.Items.size(), 3u);
    EXPECT_EQ(p.Items[0]->Entry.substr(0, 3), u"*\\G");
    EXPECT_EQ(p.Items[0]->ModuleName, u"Module1");
    EXPECT_EQ(p.Items[0]->ModuleID, u"0{1}");
    EXPECT_EQ(p.Items[0]->Body, kModule1);
    EXPECT_EQ(p.Items[1]->ModuleName, u"ThisDocument");
    EXPECT_EQ(p.Items[1]->Body, kThisDocument);
    EXPECT_EQ(p.Items[2]->Entry, u"*\\Cref");
    EXPECT_TRUE(p.Items[2]->ModuleName.empty());
    EXPECT_TRUE(p.Items[2]->Body.empty());
}

TEST(VbaProject, TableWithoutReferencesAndCutTables) {
    std::string table = test::VbaProjectTable({}, {{u"Module1", u"0{1}", 37}});
    TVBAProjectItems items;
    ReadVBAProjectStream(table, items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0]->Entry.empty());
    EXPECT_EQ(items[0]->ModuleName, u"Module1");
    EXPECT_EQ(items[0]->Offset, 37u);
    // Any prefix of the table stops quietly and never invents modules.
    for (size_t cut = 0; cut < table.size(); ++cut) {
        TVBAProjectItems some;
        ReadVBAProjectStream(std::string_view(table).substr(0, cut), some);
        EXPECT_LE(some.size(), 1u);
        if (!some.empty()) {
            EXPECT_TRUE(some[0]->ModuleName.empty() || some[0]->ModuleName == u"Module1");
        }
    }
}

TEST(VbaProject, ADamagedDirFallsBackToTheTable) {
    CompoundFileBuilder b;
    uint32_t macros = b.AddStorage(u"Macros");
    uint32_t vba = b.AddStorage(u"VBA", macros);
    b.AddStream(u"dir", "\x01\x05\x70garbage", vba);
    b.AddStream(u"_VBA_PROJECT", test::VbaProjectTable({}, {{u"Module1", u"0{1}", 37}}), vba);
    b.AddStream(u"Module1", test::ModuleStream(kModule1, 37), vba);
    auto file = TCompoundFile::Open(b.Build());
    TVBAProject p;
    ReadVBAProject(file->Root().OpenStorage(u"Macros"), p);
    EXPECT_FALSE(p.FromDir);
    ASSERT_EQ(p.Items.size(), 1u);
    EXPECT_EQ(p.Items[0]->Body, kModule1);
}

TEST(VbaProject, DamagedModulesAreListedWithTheirDamage) {
    CompoundFileBuilder b;
    uint32_t macros = b.AddStorage(u"Macros");
    uint32_t vba = b.AddStorage(u"VBA", macros);
    test::VbaDirBuilder dir;
    dir.modules = {DirModule("Cut", 10), DirModule("Gone", 0), DirModule("Far", 1000000)};
    b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    std::string cut = test::ModuleStream("Sub Cut()\r\nEnd Sub\r\n", 10);
    cut += "\x01";  // a chunk header cut short after the source
    b.AddStream(u"Cut", cut, vba);
    b.AddStream(u"Far", test::ModuleStream(kModule1, 10), vba);
    auto file = TCompoundFile::Open(b.Build());
    TVBAProject p;
    ReadVBAProject(file->Root().OpenStorage(u"Macros"), p);
    ASSERT_EQ(p.Items.size(), 3u);
    EXPECT_EQ(p.Items[0]->Body, "Sub Cut()\r\nEnd Sub\r\n");
    EXPECT_NE(p.Items[0]->Damage.find("chunk header cut short"), std::string::npos);
    EXPECT_NE(p.Items[1]->Damage.find("\"Gone\" is missing"), std::string::npos);
    EXPECT_NE(p.Items[2]->Damage.find("past the end"), std::string::npos);
    std::string listing = ListingOf(p);
    EXPECT_NE(listing.find(Banner("Cut") + "Sub Cut()\r\nEnd Sub\r\n\r\n'  (the source is damaged here: "),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find(Banner("Gone")), std::string::npos);
}

TEST(VbaProject, WorkStaysWithinTheFileAndTheOutputLimit) {
    // A list naming one stream for many modules reads it once; the sources
    // of a project share one output limit.
    std::string source;
    for (int i = 0; source.size() < 20000; ++i) source += "Sub S" + std::to_string(i) + "()\r\nEnd Sub\r\n";
    CompoundFileBuilder b;
    uint32_t vba = b.AddStorage(u"VBA");
    test::VbaDirBuilder dir;
    dir.modules = {DirModule("Module1", 37), DirModule("Module1", 37), DirModule("Module2", 37),
                   DirModule("Module3", 37)};
    b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    b.AddStream(u"Module1", test::ModuleStream(source, 37), vba);
    b.AddStream(u"Module2", test::ModuleStream(source, 37), vba);
    b.AddStream(u"Module3", test::ModuleStream(source, 37), vba);
    const std::string bytes = b.Build();
    SetMaxOutputBytes(source.size() * 2 - 5000);  // the "dir" stream is far smaller
    TVBAProject p;
    bool found = ReadDocumentVBAProject(bytes, p);
    SetMaxOutputBytes(kDefaultMaxOutputBytes);
    ASSERT_TRUE(found);
    ASSERT_EQ(p.Items.size(), 4u);
    EXPECT_EQ(p.Items[0]->Body, source);
    EXPECT_TRUE(p.Items[1]->Body.empty());
    EXPECT_NE(p.Items[1]->Damage.find("belongs to an earlier module"), std::string::npos);
    EXPECT_EQ(p.Items[2]->Body.size(), source.size() - 5000);
    EXPECT_NE(p.Items[2]->Damage.find("exceeds the limit"), std::string::npos) << p.Items[2]->Damage;
    EXPECT_TRUE(p.Items[3]->Body.empty());
    EXPECT_NE(p.Items[3]->Damage.find("exceed the output limit"), std::string::npos);
}

TEST(VbaProject, SourcesAreDecodedWithTheProjectCodePage) {
    struct Case {
        uint16_t codePage;
        std::string source;
        std::u16string text;
    };
    const Case cases[] = {
        {1251, "' \xCF\xF0\xE8\xE2\xE5\xF2\r\n", u"' \u041F\u0440\u0438\u0432\u0435\u0442\r\n"},
        {1253, "' \xE3\xE5\xE9\xDC\r\n", u"' \u03B3\u03B5\u03B9\u03AC\r\n"},
        {932, "' \x93\xFA\x96\x7B\r\n", u"' \u65E5\u672C\r\n"},
        {1252, "' caf\xE9\r\n", u"' caf\u00E9\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        CompoundFileBuilder b;
        uint32_t vba = b.AddStorage(u"VBA");
        test::VbaDirBuilder dir;
        dir.codePage = c.codePage;
        dir.modules = {DirModule("Module1", 5)};
        b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
        b.AddStream(u"Module1", test::ModuleStream(c.source, 5), vba);
        TVBAProject p;
        ASSERT_TRUE(ReadDocumentVBAProject(b.Build(), p));
        EXPECT_EQ(p.CodePage, c.codePage);
        TWideStrings out;
        AppendMacroListing(p.Items, p.CodePage, out);
        ASSERT_EQ(out.Count(), 4);
        EXPECT_EQ(out[3], c.text + u"\r\n");
    }
}

TEST(VbaProject, AModuleOfExactly4096Characters) {
    std::string source;
    for (int i = 0; source.size() < 4096; ++i) source += "' line " + std::to_string(i) + "\r\n";
    source.resize(4096);
    CompoundFileBuilder b;
    uint32_t vba = b.AddStorage(u"VBA");
    test::VbaDirBuilder dir;
    dir.modules = {DirModule("Big", 0)};
    b.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    b.AddStream(u"Big", test::ModuleStream(source, 0), vba);
    TVBAProject p;
    ASSERT_TRUE(ReadDocumentVBAProject(b.Build(), p));
    ASSERT_EQ(p.Items.size(), 1u);
    EXPECT_EQ(p.Items[0]->Body.size(), 4096u);
    EXPECT_EQ(p.Items[0]->Body, source);
}

// --- containers ---------------------------------------------------------------

std::string ProjectBin() {
    CompoundFileBuilder b;
    AddProject(b, 0);
    return b.Build();
}

std::string Zlib(const std::string& data) {
    uLongf n = compressBound(data.size());
    std::string out(n, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                        data.size(), 9),
              Z_OK);
    out.resize(n);
    return out;
}

std::string PptRecord(uint16_t verInstance, uint16_t type, const std::string& body) {
    std::string r;
    for (uint32_t v : {uint32_t{verInstance} | uint32_t{type} << 16}) {
        for (int i = 0; i < 4; ++i) r += static_cast<char>(v >> (8 * i));
    }
    for (int i = 0; i < 4; ++i) r += static_cast<char>(body.size() >> (8 * i));
    return r + body;
}

TEST(VbaContainers, FindsTheProjectOfEveryKindOfDocument) {
    const std::string bin = ProjectBin();
    // Excel: "_VBA_PROJECT_CUR".
    CompoundFileBuilder xls;
    xls.AddStream(u"Workbook", std::string(600, 'w'));
    AddProject(xls, xls.AddStorage(u"_VBA_PROJECT_CUR"));
    // PowerPoint: a compressed OLE object inside the record stream, after
    // another (uncompressed, not a project) object.
    std::string compressed = std::string("\0\0\0\0", 4) + Zlib(bin);
    for (int i = 0; i < 4; ++i) compressed[i] = static_cast<char>(bin.size() >> (8 * i));
    std::string records = PptRecord(0x000F, 0x03E8,
                                    PptRecord(0x0000, 0x03E9, std::string(40, 'd')) +
                                        PptRecord(0x0000, 0x1011, "not a compound file")) +
                          PptRecord(0x0010, 0x1011, compressed);
    CompoundFileBuilder ppt;
    ppt.AddStream(u"PowerPoint Document", records);
    ppt.AddStream(u"Current User", std::string(30, 'u'));
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"vbaProject.bin", bin},
        {"xls", xls.Build()},
        {"ppt", ppt.Build()},
        {"xlsm", test::ZipBuilder().Add("[Content_Types].xml", "<Types/>").Add("xl/vbaProject.bin", bin).Build()},
        {"pptm", test::ZipBuilder().Add("ppt/presentation.xml", "<p/>").Add("ppt/vbaProject.bin", bin, 0).Build()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(HasVBAProject(c.bytes));
        TVBAProject p;
        ASSERT_TRUE(ReadDocumentVBAProject(c.bytes, p));
        ASSERT_EQ(p.Items.size(), 2u);
        EXPECT_EQ(p.Items[1]->Body, kModule1);
    }
    // Documents without a project.
    CompoundFileBuilder plain;
    plain.AddStream(u"Workbook", "w");
    for (const std::string& bytes : {plain.Build(), test::ZipBuilder().Add("word/document.xml", "<w/>").Build(),
                                     std::string("plain text")}) {
        EXPECT_FALSE(HasVBAProject(bytes));
        TVBAProject p;
        EXPECT_FALSE(ReadDocumentVBAProject(bytes, p));
    }
}

// --- the Word readers -----------------------------------------------------------

std::string WordWithMacros() {
    test::WordDocBuilder w;
    w.pieces = {{u"Body text\r", true}};
    CompoundFileBuilder b;
    b.AddStream(u"WordDocument", w.WordDocument());
    b.AddStream(u"1Table", w.Table());
    AddProject(b, b.AddStorage(u"Macros"));
    return b.Build();
}

TEST(VbaWordReaders, ListingNeedsVbaInParseItemsAndIsRenewedByEveryLoad) {
    TWordBinFile doc;
    TMemoryStream withMacros(WordWithMacros());
    doc.LoadFromStream(withMacros);
    EXPECT_EQ(doc.MacroText().Count(), 0);  // wpiVBA is not in the default items
    EXPECT_TRUE(doc.VBAProjectItems().empty());

    doc.SetParseItems({wpiText, wpiVBA});
    withMacros.SetPosition(0);
    doc.LoadFromStream(withMacros);
    EXPECT_EQ(Utf16ToUtf8(doc.MacroText().Text()),
              Banner("ThisDocument") + kThisDocument + "\r\n\r\n" + Banner("Module1") + kModule1 + "\r\n\r\n");
    EXPECT_EQ(doc.VBAProjectItems().size(), 2u);
    EXPECT_NE(doc.VBAProject().find("Name=\"Project\""), std::string::npos);
    EXPECT_NE(Utf16ToUtf8(doc.Text().Text()).find("Body text"), std::string::npos);

    // A second document without macros lists none of the first one's.
    test::WordDocBuilder w;
    w.pieces = {{u"Other\r", true}};
    TMemoryStream other(w.Compound());
    doc.LoadFromStream(other);
    EXPECT_EQ(doc.MacroText().Count(), 0);
    EXPECT_TRUE(doc.VBAProjectItems().empty());
    EXPECT_TRUE(doc.VBAProject().empty());
}

TEST(VbaWordReaders, HtmlListingEscapesTheSource) {
    TWordBinFile doc;
    doc.SetParseItems({wpiVBA});
    doc.SetTextFormating(tfHTML);
    TMemoryStream s(WordWithMacros());
    doc.LoadFromStream(s);
    std::string html = Utf16ToUtf8(doc.MacroText().Text());
    EXPECT_NE(html.find("MsgBox &quot;Hello from Module1&quot;"), std::string::npos) << html;
}

TEST(VbaWordReaders, MacroEnabledPackageListsItsProject) {
    std::string docm = test::ZipBuilder()
                           .Add("[Content_Types].xml", "<Types/>")
                           .Add("word/document.xml",
                                "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                                "<w:body><w:p><w:r><w:t>Hi</w:t></w:r></w:p></w:body></w:document>")
                           .Add("word/vbaProject.bin", ProjectBin())
                           .Build();
    TWordXmlFile doc;
    doc.SetParseItems({wpiText, wpiVBA});
    TMemoryStream s(docm);
    doc.LoadFromStream(s);
    EXPECT_EQ(Utf16ToUtf8(doc.MacroText().Text()),
              Banner("ThisDocument") + kThisDocument + "\r\n\r\n" + Banner("Module1") + kModule1 + "\r\n\r\n");
    // Loading it again does not list the modules twice.
    s.SetPosition(0);
    doc.LoadFromStream(s);
    EXPECT_EQ(doc.MacroText().Count(), 8);
}

}  // namespace
}  // namespace quillmark
