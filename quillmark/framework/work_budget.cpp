#include "quillmark/framework/work_budget.h"

#include <limits>
#include <string>

#include "quillmark/framework/exception.h"

namespace quillmark {

namespace {

thread_local TWorkBudget* t_current = nullptr;

constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();

// a × b + c, saturating instead of wrapping.
uint64_t ScaledLimit(uint64_t perByte, uint64_t inputBytes, uint64_t base) {
    if (perByte != 0 && inputBytes > (kNoLimit - base) / perByte) return kNoLimit;
    return perByte * inputBytes + base;
}

[[noreturn]] void Overrun(const char* quantity, uint64_t limit, const char* what) {
    throw ELimitError("Work limit reached: more than " + std::to_string(limit) + " " + quantity +
                      " (" + (what ? what : "document") + ")");
}

}  // namespace

TWorkLimits TWorkLimits::Unlimited() {
    TWorkLimits l;
    l.DecodedPerInputByte = 0;
    l.DecodedBase = kNoLimit;
    l.ItemsPerInputByte = 0;
    l.ItemsBase = kNoLimit;
    return l;
}

TWorkBudget::TWorkBudget(const TWorkLimits& limits, uint64_t inputBytes)
    : maxDecoded_(ScaledLimit(limits.DecodedPerInputByte, inputBytes, limits.DecodedBase)),
      maxItems_(ScaledLimit(limits.ItemsPerInputByte, inputBytes, limits.ItemsBase)) {}

void TWorkBudget::ChargeDecoded(uint64_t n, const char* what) {
    if (n > maxDecoded_ - decoded_) {
        decoded_ = maxDecoded_;
        Overrun("bytes decoded", maxDecoded_, what);
    }
    decoded_ += n;
    AccountOf(what).decoded += n;
}

void TWorkBudget::ChargeItems(uint64_t n, const char* what) {
    if (n > maxItems_ - items_) {
        items_ = maxItems_;
        Overrun("items built", maxItems_, what);
    }
    items_ += n;
    AccountOf(what).items += n;
}

TWorkBudget::Account& TWorkBudget::AccountOf(const char* what) {
    if (accountCount_ && accounts_[lastAccount_].what == what) return accounts_[lastAccount_];
    for (size_t i = 0; i < accountCount_; ++i)
        if (accounts_[i].what == what) return accounts_[lastAccount_ = i];
    if (accountCount_ == accounts_.size()) return accounts_[lastAccount_ = accounts_.size() - 1];
    accounts_[accountCount_].what = what;
    return accounts_[lastAccount_ = accountCount_++];
}

uint64_t TWorkBudget::DecodedOn(std::string_view what) const {
    uint64_t n = 0;
    for (size_t i = 0; i < accountCount_; ++i)
        if (accounts_[i].what && what == accounts_[i].what) n += accounts_[i].decoded;
    return n;
}

uint64_t TWorkBudget::ItemsOn(std::string_view what) const {
    uint64_t n = 0;
    for (size_t i = 0; i < accountCount_; ++i)
        if (accounts_[i].what && what == accounts_[i].what) n += accounts_[i].items;
    return n;
}

TWorkBudget* CurrentWorkBudget() { return t_current; }

TWorkBudgetScope::TWorkBudgetScope(const TWorkLimits& limits, uint64_t inputBytes)
    : budget_(limits, inputBytes) {
    if (!t_current) {
        t_current = &budget_;
        installed_ = true;
    }
}

TWorkBudgetScope::~TWorkBudgetScope() {
    if (installed_) t_current = nullptr;
}

}  // namespace quillmark
