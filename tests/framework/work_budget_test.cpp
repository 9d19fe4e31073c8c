// The per-load work budget: limits scale with the input, nested loads spend
// from the outer budget, and a reader's charge reaches the host as
// ELimitError through LoadFromBytes with the configured limits.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {
namespace {

// Charges one item per input byte and one decoded byte per input byte, ten
// times over: a stand-in for a reader that decodes shared data repeatedly.
class TChargingReader : public TMSWBaseDocument {
public:
    void LoadFromStream(TStream& stream) override {
        TMSWBaseDocument::LoadFromStream(stream);
        uint64_t size = static_cast<uint64_t>(stream.Size());
        for (int i = 0; i < 10; ++i) {
            ChargeDecodedBytes(size, "test stream");
            ChargeWorkItems(size, "test items");
        }
        seen = CurrentWorkBudget();
    }
    TWorkBudget* seen = nullptr;
};

TEST(WorkBudget, LimitsScaleWithInputAndSaturate) {
    TWorkLimits limits;
    limits.DecodedPerInputByte = 4;
    limits.DecodedBase = 100;
    limits.ItemsPerInputByte = 0;
    limits.ItemsBase = 7;
    TWorkBudget b(limits, 50);
    EXPECT_EQ(b.MaxDecoded(), 300u);
    EXPECT_EQ(b.MaxItems(), 7u);
    b.ChargeDecoded(300, "x");  // exactly at the limit is allowed
    EXPECT_THROW(b.ChargeDecoded(1, "x"), ELimitError);
    b.ChargeItems(7, "y");
    try {
        b.ChargeItems(1, "CMap ranges");
        FAIL() << "no limit error";
    } catch (const ELimitError& e) {
        EXPECT_NE(std::string(e.what()).find("CMap ranges"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("7 items"), std::string::npos) << e.what();
    }
    // A huge input cannot wrap the limit round to a small number.
    TWorkBudget huge(TWorkLimits{}, std::numeric_limits<uint64_t>::max() / 2);
    EXPECT_EQ(huge.MaxDecoded(), std::numeric_limits<uint64_t>::max());
    TWorkBudget unlimited(TWorkLimits::Unlimited(), 10);
    unlimited.ChargeDecoded(std::numeric_limits<uint64_t>::max() - 1, "x");
    EXPECT_EQ(unlimited.Decoded(), std::numeric_limits<uint64_t>::max() - 1);
}

TEST(WorkBudget, ScopesNestAndOutsideALoadNothingIsCounted) {
    EXPECT_EQ(CurrentWorkBudget(), nullptr);
    ChargeDecodedBytes(uint64_t{1} << 62, "outside");  // no budget: no effect
    {
        TWorkLimits small{0, 10, 0, 10};
        TWorkBudgetScope outer(small, 0);
        TWorkBudget* b = CurrentWorkBudget();
        ASSERT_NE(b, nullptr);
        {
            TWorkBudgetScope inner(TWorkLimits::Unlimited(), 0);
            EXPECT_EQ(CurrentWorkBudget(), b);  // the nested load spends from the outer
            ChargeDecodedBytes(8, "inner");
        }
        EXPECT_EQ(b->Decoded(), 8u);
        EXPECT_THROW(ChargeDecodedBytes(3, "outer"), ELimitError);
    }
    EXPECT_EQ(CurrentWorkBudget(), nullptr);
}

TEST(WorkBudget, ReaderLoadsAreHeldToTheirLimits) {
    std::string input(1000, 'x');
    TChargingReader defaults;  // 10 × input is well inside the default
    defaults.LoadFromBytes(input);
    EXPECT_NE(defaults.seen, nullptr);
    EXPECT_EQ(CurrentWorkBudget(), nullptr);  // the scope ended with the load

    TChargingReader tight;
    tight.SetWorkLimits({5, 0, 100, 0});  // 5 × input decoded bytes
    EXPECT_THROW(tight.LoadFromBytes(input), ELimitError);
    EXPECT_EQ(CurrentWorkBudget(), nullptr);  // and after an exception

    TChargingReader free;
    free.SetWorkLimits(TWorkLimits::Unlimited());
    free.LoadFromBytes(input);
}

}  // namespace
}  // namespace quillmark
