#include "quillmark/word/word_xml_file.h"

#include "quillmark/detection_input.h"

#include <algorithm>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/messages.h"
#include "quillmark/word/office_crypto.h"
#include "quillmark/word/vba_project.h"
#include "quillmark/word/word_xml_properties.h"
#include "quillmark/word/word_xml_text.h"

namespace quillmark {

namespace {

constexpr std::string_view kDocumentPart = "word/document.xml";
constexpr std::u16string_view kPackageStream = u"Package";
constexpr std::string_view kVbaProjectPart = "word/vbaProject.bin";

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

bool TWordXmlFile::IsWordXmlData(std::string_view bytes) {
    TDetectionInput input(bytes);
    return IsWordXmlData(input);
}

bool TWordXmlFile::IsWordXmlData(const TDetectionInput& input) {
    if (input.IsZip()) return input.HasZipMember(kDocumentPart, true);
    // A package saved with a password is a compound file too; it is a
    // Word document (encrypted) whatever the package turns out to hold.
    return input.HasStream(Utf16ToUtf8(kPackageStream)) ||
           (input.HasStream(Utf16ToUtf8(kEncryptionInfoStream)) && input.HasStream(Utf16ToUtf8(kEncryptedPackageStream)));
}

bool TWordXmlFile::IsEncryptedPackage(const TCompoundStorage& root) {
    return root.HasStream(kEncryptionInfoStream) && root.HasStream(kEncryptedPackageStream);
}

std::vector<std::string> TWordXmlFile::NumberedParts(const TZipArchive& zip, std::string_view prefix) {
    // "word/header12.xml": the prefix, a number, ".xml" (any letter case).
    std::vector<std::pair<uint64_t, std::string>> found;
    for (int i = 0; i < zip.Count(); ++i) {
        const std::string& name = zip.Files()[i].DisplayName();
        if (!StartsWithIgnoringCase(name, prefix) || name.size() < prefix.size() + 5) continue;
        std::string_view rest = std::string_view(name).substr(prefix.size());
        std::string_view digits = rest.substr(0, rest.size() - 4);
        if (!StartsWithIgnoringCase(rest.substr(digits.size()), ".xml") || digits.size() > 9) continue;
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (zip.GetIndexByFileName(name) != i) continue;  // a duplicate name: the first one counts
        found.emplace_back(std::stoull(std::string(digits)), name);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

void TWordXmlFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TMemoryStream stream(ReadFileBytes(fileName));
    const std::string& bytes = stream.Bytes();
    if (TCompoundFile::IsCompoundFile(bytes)) {
        InternalLoadFromOLEStream(stream);
        return;
    }
    if (!IsZipArchiveData(bytes)) throw Exception(FormatMessage(strFileIsNotWord, fileName));
    LoadFromStream(stream);
}

void TWordXmlFile::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    std::string bytes = stream.ReadRest();
    TZipArchive zip;
    if (TCompoundFile::IsCompoundFile(bytes)) {
        // A package embedded in a compound file's "Package" stream, or
        // saved with a password; a compound file with neither holds no Word
        // 2007 text.
        auto file = TCompoundFile::Open(std::move(bytes));
        std::optional<std::string> package = EmbeddedPackage(file->Root());
        if (!package) return;
        zip.LoadFromBytes(std::move(*package));
    } else {
        zip.LoadFromBytes(std::move(bytes));
    }
    LoadPackage(zip);
}

void TWordXmlFile::InternalLoadFromOLEStream(TStream& stream) {
    int64_t start = stream.Position();
    std::string bytes = stream.ReadRest();
    if (!TCompoundFile::IsCompoundFile(bytes)) {
        // Not a compound file: the stream is the package itself.
        stream.SetPosition(start);
        TMSWBaseDocument::InternalLoadFromOLEStream(stream);
        return;
    }
    auto file = TCompoundFile::Open(std::move(bytes));
    std::optional<std::string> package = EmbeddedPackage(file->Root());
    file.reset();
    if (!package) {
        ClearInternalLists();
        return;
    }
    TMemoryStream packageStream(std::move(*package));
    LoadFromStream(packageStream);
}

std::optional<std::string> TWordXmlFile::EmbeddedPackage(const TCompoundStorage& root) const {
    // A package saved with a password: deciphered, it reads as any other.
    if (IsEncryptedPackage(root))
        return DecryptOoxmlPackage(root.ReadStream(kEncryptionInfoStream), root.ReadStream(kEncryptedPackageStream),
                                   Password());
    if (root.HasStream(kPackageStream)) return root.ReadStream(kPackageStream);
    return std::nullopt;
}

void TWordXmlFile::LoadPackage(const TZipArchive& zip) {
    // The macro listing comes first, so that the text pass frames it with
    // the other part lists.
    if (ParseItems().Contains(wpiVBA)) ReadMacros(zip);
    if (ParseItems().Contains(wpiText)) {
        LoadNumbering(zip);
        LoadTextParts(zip, {std::string(kDocumentPart)}, Text());
        LoadTextParts(zip, {"word/endnotes.xml"}, EndNoteText());
        LoadTextParts(zip, {"word/footnotes.xml"}, FootNoteText());
        LoadTextParts(zip, NumberedParts(zip, "word/header"), HeaderText());
        LoadTextParts(zip, NumberedParts(zip, "word/footer"), FooterText());
        FrameParts();
    }
    if (ParseItems().Contains(wpiSummaryInformation)) {
        SummaryInformation().Clear();
        for (const char* part : {"docProps/core.xml", "docProps/app.xml"}) {
            TDTXMLEngine engine;
            engine.LoadFromBytes(zip.DecompressFileName(part));
            ReadWordXmlProperties(engine, SummaryInformation());
        }
    }
}

void TWordXmlFile::ReadMacros(const TZipArchive& zip) {
    // A macro-enabled document keeps its VBA project, a compound file, in
    // "word/vbaProject.bin".
    int index = zip.GetIndexByFileName(kVbaProjectPart);
    if (index < 0) return;
    auto file = TCompoundFile::Open(zip.GetUncompressed(index));
    TCompoundStorage storage = FindVBAProjectStorage(file->Root());
    if (!storage.IsValid()) return;
    TVBAProject project;
    ReadVBAProject(storage, project);
    TakeVBAProject(std::move(project));
}

void TWordXmlFile::LoadNumbering(const TZipArchive& zip) {
    // Both parts are optional: a package without numbering.xml has no lists,
    // and damaged numbering costs the labels, not the text.
    TDTXMLEngine numbering, styles;
    try {
        if (zip.GetIndexByFileName("word/numbering.xml") >= 0) {
            numbering.LoadFromBytes(zip.DecompressFileName("word/numbering.xml"));
            if (zip.GetIndexByFileName("word/styles.xml") >= 0)
                styles.LoadFromBytes(zip.DecompressFileName("word/styles.xml"));
        }
        numbering_.Load(numbering.RootItem(), &styles.RootItem());
    } catch (const Exception&) {
        numbering_.Load(TDTXMLEngine().RootItem(), nullptr);
    }
}

void TWordXmlFile::LoadTextParts(const TZipArchive& zip, const std::vector<std::string>& parts,
                                 TWideStrings& target) {
    // The main text carries its frame here; the part lists get theirs from
    // FrameParts once they are all filled.
    bool main = &target == text_.get();
    std::u16string start = main ? GetTextStart() : std::u16string();
    if (!start.empty()) AddText(start, target);
    for (const std::string& part : parts) {
        if (IsCancelExtract) break;
        TDTXMLEngine engine;
        engine.LoadFromBytes(zip.DecompressFileName(part));
        // Each part numbers its lists from the start.
        numbering_.ResetCounters();
        WalkTree(engine.RootItem(), target, &numbering_);
    }
    std::u16string finish = main ? GetTextFinish() : std::u16string();
    if (!finish.empty()) AddText(finish, target);
}

void TWordXmlFile::LoadXMLFilePart(TStream* aStream, TWideStrings& target) {
    if (!aStream) return;
    std::u16string start = GetTextStart();
    if (!start.empty()) AddText(start, target);
    TDTXMLEngine engine;
    engine.LoadFromStream(*aStream);
    WalkTree(engine.RootItem(), target);
    std::u16string finish = GetTextFinish();
    if (!finish.empty()) AddText(finish, target);
}

void TWordXmlFile::WalkTree(TDTXMLItem& root, TWideStrings& target, TDocxNumbering* numbering) {
    TWordXmlTextWalk walk(
        TextFormating(), [&](std::u16string&& line) { AddText(line, target); },
        [&] { return Cancelled(); });
    if (numbering && !numbering->Empty()) walk.SetNumbering(numbering);
    walk.Walk(root);
    walk.Flush();
}

}  // namespace quillmark
