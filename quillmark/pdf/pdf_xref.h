// The cross-reference list of a PDF file: one slot per object number, saying
// whether the object is free, stored at a byte offset in the file, or stored
// inside an object stream.
#pragma once

#include <cstdint>
#include <vector>

namespace quillmark {

enum TDTPDFXRefKind : unsigned char {
    xrkFree = 0,
    xrkUnCompressed = 1,
    xrkCompressed = 2,
};

struct TDTPDFXRef {
    TDTPDFXRefKind Kind = xrkFree;
    // xrkUnCompressed: byte offset of the "N G obj" header from the start of
    // the file. xrkCompressed: index of the object inside its object stream.
    int32_t Offset = 0;
    // xrkCompressed: the object number of the object stream holding it.
    int32_t ObjNumber = 0;
    // Generation number from the cross-reference entry (0 for compressed).
    int32_t Generation = 0;
};

// Slot i stands for object number i. The largest slot index accepted; PDF
// itself caps object numbers at 8,388,607.
inline constexpr int32_t kMaxPdfObjectNumber = 8388607;

class TDTPDFXRefList {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The item at index, or nullptr outside the list.
    const TDTPDFXRef* GetItem(int32_t index) const;
    TDTPDFXRef* GetItem(int32_t index);
    // Grows the list with default (free) items until index exists and
    // returns it; nullptr for a negative index or one above
    // kMaxPdfObjectNumber. The reference stays valid until the next AddItem.
    TDTPDFXRef* AddItem(int32_t index);
    // -1 when out of range or free; the offset for an uncompressed object;
    // for a compressed one, the offset of its object stream.
    int64_t GetOffsetForXRef(int32_t index) const;
    void Clear();

    // Sorted, distinct byte offsets of every uncompressed object plus any
    // extra boundaries (cross-reference sections); rebuilt by BuildIndex.
    void BuildIndex(const std::vector<int64_t>& extraBoundaries);
    // The smallest indexed offset greater than offset, or limit when none
    // is smaller than limit.
    int64_t NextBoundary(int64_t offset, int64_t limit) const;

private:
    std::vector<TDTPDFXRef> items_;
    std::vector<int64_t> boundaries_;
};

}  // namespace quillmark
