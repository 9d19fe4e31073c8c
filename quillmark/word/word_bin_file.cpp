// Opening Word binary documents (compound file or plain file), reading the
// FIB and choosing the streams; the code page of the document's language.
#include "quillmark/word/word_bin_file.h"

#include "quillmark/detection_input.h"

#include <algorithm>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/messages.h"
#include "quillmark/framework/property_set.h"

namespace quillmark {

namespace {

uint16_t PeekU16(std::string_view bytes, size_t offset) {
    ByteReader r(bytes);
    return r.in_range(offset, 2) ? r.at_u16le(offset) : 0;
}

}  // namespace

bool TWordBinFile::IsWordBinaryData(std::string_view bytes) {
    TDetectionInput input(bytes);
    return IsWordBinaryData(input);
}

bool TWordBinFile::IsWordBinaryData(const TDetectionInput& input) {
    // A damaged compound file is left to the generic compound-file handling.
    if (TCompoundFile::IsCompoundFile(input.Bytes())) return input.HasStream("WordDocument");
    // Write files share 0xBE31/0xBE32 with Word for DOS; only the Word for
    // Windows magic numbers identify a plain file as Word.
    uint16_t ident = PeekU16(input.Bytes(), 0);
    return ident == 0xA59B || ident == 0xA5DB;
}

TWordBinFile::TWordBinFile() = default;
TWordBinFile::~TWordBinFile() = default;

void TWordBinFile::ClearInternalLists() {
    TCustomWordFile::ClearInternalLists();
    FLastFieldCode.clear();
    intFieldCodeLen = 0;
    CLX = TCLX();
    piecesAre8Bit_ = false;
    madeUpPiece_ = false;
    decrypted_ = false;
    encryptedSummary_.clear();
    listLabels_ = TDocListLabels();
}

void TWordBinFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    ClearInternalLists();
    std::string bytes = ReadFileBytes(fileName);
    if (TCompoundFile::IsCompoundFile(bytes)) {
        auto file = TCompoundFile::Open(std::move(bytes));
        LoadIStorage(file->Root());
        return;
    }
    uint16_t ident = PeekU16(bytes, 0);
    if (std::find(kPlainWordIdents.begin(), kPlainWordIdents.end(), ident) == kPlainWordIdents.end() ||
        bytes.size() < 2)
        throw Exception(FormatMessage(strFileIsNotWord, fileName));
    ReadDocFromStream(bytes, std::nullopt);
}

void TWordBinFile::LoadFromStream(TStream& stream) {
    TCustomWordFile::LoadFromStream(stream);
    // A stream over memory is read in place: the compound file and its
    // large streams are views of those bytes.
    std::string owned;
    std::string_view bytes = ViewOrReadRest(stream, owned);
    // A stream that is not a compound file is read as a plain Word file,
    // without the magic-number check of LoadFromFile. A compound file that
    // is damaged reports its damage rather than being misread as plain.
    if (TCompoundFile::IsCompoundFile(bytes)) {
        auto file = TCompoundFile::OpenView(bytes);
        LoadIStorage(file->Root());
        return;
    }
    ReadDocFromStream(bytes, std::nullopt);
}

void TWordBinFile::LoadIStorage(const TCompoundStorage& storage) {
    FSummaryInformation.Clear();
    wvCHPX_pn_previous = 0;
    for (const TStorageElement& e : storage.Elements()) {
        if (e.Type == TStorageElementType::Storage) {
            if (e.Name != u"Macros" || !ParseItems().Contains(wpiVBA)) continue;
            TCompoundStorage macros;
            try {
                macros = storage.OpenStorage(e.Name);
            } catch (const Exception&) {
                continue;  // a storage that does not open is skipped
            }
            ReadMacros(macros);
            continue;
        }
        if (e.Name == u"WordDocument" && e.Size > 0) {
            // The streams are read in place where their sectors follow each
            // other, else copied into these.
            std::string wordCopy, tableCopy;
            std::string_view word = storage.ReadStreamView(e.Name, wordCopy);
            // Word 97 and later keep the piece table in "1Table" or "0Table",
            // as the FIB's table-stream bit says; prefer that one and fall
            // back to the other. Older versions have no table stream.
            std::optional<std::string_view> table;
            const char16_t* preferred = (PeekU16(word, 10) >> 9 & 1) ? u"1Table" : u"0Table";
            const char16_t* other = preferred[0] == u'1' ? u"0Table" : u"1Table";
            for (const char16_t* name : {preferred, other}) {
                if (!storage.HasStream(name)) continue;
                try {
                    table = storage.ReadStreamView(name, tableCopy);
                    break;
                } catch (const Exception&) {
                    // a table stream that does not open is skipped
                }
            }
            if (IsEncryptedStream(word)) {
                // Deciphered in copies of their own.
                if (word.data() != wordCopy.data()) wordCopy.assign(word);
                if (table && table->data() != tableCopy.data()) tableCopy.assign(*table);
                DecryptStreams(storage, wordCopy, table ? &tableCopy : nullptr);
                word = wordCopy;
                if (table) table = tableCopy;
            }
            ReadDocFromStream(word, table);
        }
    }
    // The property sets ("\005SummaryInformation", "\005DocumentSummary-
    // Information") sort after "WordDocument", so reading them after the walk
    // keeps the order of the storage.
    if (ParseItems().Contains(wpiSummaryInformation)) {
        ReadSummaryInformation(storage, FSummaryInformation);
        ReadEncryptedSummaryInformation();
    }
}

void TWordBinFile::ReadMacros(const TCompoundStorage& macros) {
    TVBAProject project;
    ReadVBAProject(macros, project);
    TakeVBAProject(std::move(project));
}

void TWordBinFile::ReadFIB(std::string_view stream) {
    FIB = TFIB();
    FDocVersion = DocVersionOf(PeekU16(stream, 0), PeekU16(stream, 2));
    FIB = ReadFIBForVersion(stream, FDocVersion);
}

void TWordBinFile::ReadDocFromStream(std::string_view stream, std::optional<std::string_view> tableStream) {
    ReadFIB(stream);
    // An encrypted document reaches here deciphered (see LoadIStorage) or
    // not at all; a plain file or a stream cannot be deciphered.
    if (quillmark::IsPasswordProtected(FIB) && !decrypted_) throw EPasswordError(strPasswordProtected);
    if (!ParseItems().Contains(wpiText)) return;
    ReadCLX(FDocVersion >= 8 || FDocVersion == 0 ? tableStream : std::nullopt, stream);
    if (FDocVersion > 2) {
        // The language event fires once per load.
        const int codePage = DocLangToCodePage();
        LoadListLabels(stream, tableStream, codePage);
        ReadSimpleText(stream, codePage);
    } else {
        listLabels_ = TDocListLabels();
        ReadWord2Text(stream);
    }
}

uint16_t TWordBinFile::DocLangToCodePage() {
    uint16_t lid = IsFarEastDocument() ? FIB.lidFE : FIB.lID;
    if (FOnGetDefaultLanguage) FOnGetDefaultLanguage(*this, lid);
    return LanguageToCodePage(lid);
}

uint16_t TWordBinFile::LanguageToCodePage(uint16_t lid) {
    auto in = [](unsigned v, std::initializer_list<unsigned> set) {
        return std::find(set.begin(), set.end(), v) != set.end();
    };
    unsigned p = lid & 0xFF, l = lid;
    if (in(p, {5, 14, 21, 24, 27, 36})) return 1250;
    if (in(p, {2, 25, 28, 34, 35, 47}) || in(l, {0x0C1A, 0x082C, 0x0843})) return 1251;
    if (in(p, {3, 6, 7, 9, 10, 11, 12, 15, 16, 19, 20, 22, 23, 29, 33, 45, 54, 56, 62, 65}) ||
        in(l, {0x041A, 0x081A}))
        return 1252;
    if (p == 8) return 1253;
    if (p == 31) return 1254;
    if (in(p, {37, 38, 39})) return 1257;
    if (p == 13) return 1255;
    if (p == 1) return 1256;
    if (p == 4) {
        if (l == 0x0404 || l == 0x0C04) return 950;
        if (l == 0x0804) return 936;
        return 0;
    }
    if (p == 17) return 932;
    if (p == 18) {
        if (l == 0x0812) return 1361;
        if (l == 0x0412) return 949;
        return 0;
    }
    if (l == 0x041E) return 874;
    return 0;
}

}  // namespace quillmark
