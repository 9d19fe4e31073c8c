// TDetectionInput: the bytes of one input, with the listings that format
// detection may look at, computed on first use and at most once whichever
// formats ask: a zip's central-directory names, a compound file's root entry
// names, a stored (uncompressed) zip member. Nothing is inflated or decoded.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TZipArchive;
class TCompoundFile;

// The bytes of one input, with the container listings computed on first use.
class TDetectionInput {
public:
    explicit TDetectionInput(std::string_view bytes);
    ~TDetectionInput();
    TDetectionInput(const TDetectionInput&) = delete;
    TDetectionInput& operator=(const TDetectionInput&) = delete;

    std::string_view Bytes() const { return bytes_; }
    // The parsed containers, for readers of metadata that need more than the
    // names (null when the bytes are not that container).
    const TZipArchive* Zip() const;
    const TCompoundFile* CompoundFile() const;

    // A zip whose central directory reads.
    bool IsZip() const;
    // Member names in directory order (empty when not a zip).
    const std::vector<std::string>& ZipNames() const;
    // Exact name, or ignoring ASCII case when ignoreCase.
    bool HasZipMember(std::string_view name, bool ignoreCase = false) const;
    // The data of a member stored without compression (as ODF keeps its
    // "mimetype"); nothing for a compressed, damaged or missing member.
    std::optional<std::string_view> StoredZipMember(std::string_view name) const;

    // A compound file whose directory reads.
    bool IsCompoundFile() const;
    // The root storage's entry names (streams and storages), UTF-8.
    const std::vector<std::string>& StreamNames() const;
    // A root entry of that name, compared ignoring case as the format does.
    bool HasStream(std::string_view name) const;

private:
    void LoadZip() const;
    void LoadCompound() const;

    std::string_view bytes_;
    mutable bool zipTried_ = false, cfbTried_ = false;
    mutable std::unique_ptr<TZipArchive> zip_;
    mutable std::unique_ptr<TCompoundFile> cfb_;
    mutable std::vector<std::string> zipNames_, streamNames_;
};

}  // namespace quillmark
