#include "quillmark/extract.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "support/test_support.h"

namespace quillmark {
namespace {

// A host's stop request reaches the readers through the simple API: raised
// before the load, a reader that checks it between pieces of work gives
// (much) less than the whole text, and the same options with the flag down
// give all of it.
TEST(Extract, HostCancelFlagStopsReadersThatCheckIt) {
    for (const char* name : {"docx/long_3.docx", "pdf/multi_3.pdf", "word/long_3.doc"}) {
        std::string bytes = test::ReadDataFile(name);
        std::atomic<bool> stop{false};
        ExtractOptions options;
        options.Cancel = &stop;
        std::string whole = ExtractBytes(bytes, options).Text;
        ASSERT_GT(whole.size(), 100u) << name;
        stop = true;
        std::string cut = ExtractBytes(bytes, options).Text;
        EXPECT_LT(cut.size(), whole.size() / 2) << name;
        EXPECT_EQ(whole.compare(0, cut.size(), cut), 0) << name << ": the part read is a prefix";
        stop = false;
        EXPECT_EQ(ExtractBytes(bytes, options).Text, whole) << name;
    }
}

}  // namespace
}  // namespace quillmark
