// A bound on the work one load may do before it has produced its text.
//
// The output cap stops a reader that writes too much; it does not stop one
// that decodes a small file's shared data many times over (the same content
// stream on every page, a form drawn thousands of times, zip members whose
// headers all point at one compressed block) or that builds millions of
// little objects before writing a character. Every load therefore counts two
// things against limits that grow with the size of its input:
//   - decoded bytes: everything inflated, decompressed, decrypted or run
//     through a filter, counted each time it is decoded;
//   - items: the objects a reader builds per piece of input (text items,
//     XML nodes, CMap entries, pieces).
// Crossing either ends the load with ELimitError naming what ran over.
//
// The budget of the load in progress is reachable from any code on the same
// thread (CurrentWorkBudget), so a decoder deep in a container does not need
// it passed down; outside a load the charge functions do nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillmark {

struct TWorkLimits {
    // Decoded bytes allowed: DecodedPerInputByte × input size + DecodedBase.
    uint64_t DecodedPerInputByte = 64;
    uint64_t DecodedBase = uint64_t{64} << 20;
    // Items allowed: ItemsPerInputByte × input size + ItemsBase. A large
    // real .docx builds about one XML node per 3 bytes of the file; a node
    // costs about 128 bytes, so the base alone stays near 64 MiB.
    uint64_t ItemsPerInputByte = 4;
    uint64_t ItemsBase = uint64_t{512} << 10;

    // No bound at all (for hosts that trust their input).
    static TWorkLimits Unlimited();
    bool operator==(const TWorkLimits&) const = default;
};

class TWorkBudget {
public:
    TWorkBudget(const TWorkLimits& limits, uint64_t inputBytes);

    // Counts n more decoded bytes; throws ELimitError when the total passes
    // the limit. `what` names the decoder in the message ("Flate stream").
    void ChargeDecoded(uint64_t n, const char* what);
    // Counts n more items; throws ELimitError past the limit.
    void ChargeItems(uint64_t n, const char* what);

    uint64_t Decoded() const { return decoded_; }
    uint64_t Items() const { return items_; }
    uint64_t MaxDecoded() const { return maxDecoded_; }
    uint64_t MaxItems() const { return maxItems_; }
    // What was charged under one name ("PDF Flate stream"): where a load's
    // work went, for hosts tuning their limits and for tests that a shared
    // object is decoded once and then only counted.
    uint64_t DecodedOn(std::string_view what) const;
    uint64_t ItemsOn(std::string_view what) const;

private:
    struct Account {
        const char* what = nullptr;
        uint64_t decoded = 0, items = 0;
    };
    Account& AccountOf(const char* what);

    uint64_t maxDecoded_, maxItems_;
    uint64_t decoded_ = 0, items_ = 0;
    // Names are the callers' string literals, so most lookups are a pointer
    // compare with the last one; names past the table share its last slot.
    std::array<Account, 32> accounts_{};
    size_t accountCount_ = 0, lastAccount_ = 0;
};

// The budget of the load running on this thread, or null.
TWorkBudget* CurrentWorkBudget();

// Makes a budget current for its lifetime. A scope opened while another is
// current changes nothing: a load that starts a nested load (an embedded
// document, a decrypted package) spends from the outer one.
class TWorkBudgetScope {
public:
    TWorkBudgetScope(const TWorkLimits& limits, uint64_t inputBytes);
    ~TWorkBudgetScope();
    TWorkBudgetScope(const TWorkBudgetScope&) = delete;
    TWorkBudgetScope& operator=(const TWorkBudgetScope&) = delete;

private:
    TWorkBudget budget_;
    bool installed_ = false;
};

// Charge the current budget, if any.
inline void ChargeDecodedBytes(uint64_t n, const char* what) {
    if (TWorkBudget* b = CurrentWorkBudget()) b->ChargeDecoded(n, what);
}
inline void ChargeWorkItems(uint64_t n, const char* what) {
    if (TWorkBudget* b = CurrentWorkBudget()) b->ChargeItems(n, what);
}

}  // namespace quillmark
