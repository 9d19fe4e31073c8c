#include "quillmark/detection_input.h"

#include <algorithm>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/package/zip_archive.h"

namespace quillmark {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

TDetectionInput::TDetectionInput(std::string_view bytes) : bytes_(bytes) {}
TDetectionInput::~TDetectionInput() = default;

void TDetectionInput::LoadZip() const {
    if (zipTried_) return;
    zipTried_ = true;
    if (!IsZipArchiveData(bytes_)) return;
    try {
        auto zip = std::make_unique<TZipArchive>();
        zip->LoadFromBytes(std::string(bytes_));
        for (int i = 0; i < zip->Count(); ++i) zipNames_.push_back(zip->Files()[i].DisplayName());
        zip_ = std::move(zip);
    } catch (const Exception&) {
        zipNames_.clear();  // a central directory that does not read: not a zip here
    }
}

const TZipArchive* TDetectionInput::Zip() const {
    LoadZip();
    return zip_.get();
}

const TCompoundFile* TDetectionInput::CompoundFile() const {
    LoadCompound();
    return cfb_.get();
}

bool TDetectionInput::IsZip() const {
    LoadZip();
    return zip_ != nullptr;
}

const std::vector<std::string>& TDetectionInput::ZipNames() const {
    LoadZip();
    return zipNames_;
}

bool TDetectionInput::HasZipMember(std::string_view name, bool ignoreCase) const {
    LoadZip();
    if (!zip_) return false;
    if (ignoreCase) return zip_->GetIndexByFileName(name) >= 0;
    return std::find(zipNames_.begin(), zipNames_.end(), name) != zipNames_.end();
}

std::optional<std::string_view> TDetectionInput::StoredZipMember(std::string_view name) const {
    LoadZip();
    if (!zip_) return std::nullopt;
    for (int i = 0; i < zip_->Count(); ++i) {
        const TLocalFile& f = zip_->Files()[i];
        if (f.DisplayName() != name) continue;
        if (!f.Damage().empty() || f.CentralCommonFileHeader.CompressionMethod != 0) return std::nullopt;
        return f.CompressedData();
    }
    return std::nullopt;
}

void TDetectionInput::LoadCompound() const {
    if (cfbTried_) return;
    cfbTried_ = true;
    if (!TCompoundFile::IsCompoundFile(bytes_)) return;
    try {
        auto file = TCompoundFile::OpenView(bytes_);
        for (const TStorageElement& e : file->Root().Elements()) streamNames_.push_back(Utf16ToUtf8(e.Name));
        cfb_ = std::move(file);
    } catch (const Exception&) {
        streamNames_.clear();  // damaged: left to the generic compound-file entry
    }
}

bool TDetectionInput::IsCompoundFile() const {
    LoadCompound();
    return cfb_ != nullptr;
}

const std::vector<std::string>& TDetectionInput::StreamNames() const {
    LoadCompound();
    return streamNames_;
}

bool TDetectionInput::HasStream(std::string_view name) const {
    LoadCompound();
    return std::any_of(streamNames_.begin(), streamNames_.end(),
                       [&](const std::string& n) { return EqualsIgnoringAsciiCase(n, name); });
}

}  // namespace quillmark
