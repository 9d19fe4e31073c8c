// The XML tree's memory and its node cap: a part made of millions of tiny
// elements either comes out whole or stops at the cap with the limit kind,
// within 256 MiB and 2 s of processor time (measured in a child process).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "quillmark/extract.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/xml_engine.h"
#include "support/child_process.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

// A .docx whose body is `paragraphs` one-letter paragraphs: three elements
// and six tags each.
std::string DocxOfParagraphs(int paragraphs) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/"
        "wordprocessingml/2006/main\"><w:body>";
    const std::string paragraph = "<w:p><w:r><w:t>a</w:t></w:r></w:p>";
    xml.reserve(xml.size() + paragraph.size() * paragraphs + 64);
    for (int i = 0; i < paragraphs; ++i) xml += paragraph;
    xml += "</w:body></w:document>";
    return test::DocxOfDocument(std::move(xml));
}

enum Outcome : int { kText = 0, kLimit = 1, kOther = 2 };

TEST(XmlLimits, MillionsOfTinyTagsStayWithinMemoryAndTime) {
    TWorkLimits onlyNodeCap = TWorkLimits::Unlimited();
    onlyNodeCap.XmlNodesPerPart = TWorkLimits{}.XmlNodesPerPart;
    struct Case {
        const char* name;
        int paragraphs;
        TWorkLimits limits;
        Outcome expected;
    };
    const Case cases[] = {
        // 10^6 tags: the whole text, with only the node cap in force.
        {"1e6 tags, node cap only", 1000000 / 6, onlyNodeCap, kText},
        // 10^7 tags: the work budget stops it first...
        {"1e7 tags, default limits", 10000000 / 6, TWorkLimits{}, kLimit},
        // ...and without it the node cap does, naming XML nodes.
        {"1e7 tags, node cap only", 10000000 / 6, onlyNodeCap, kLimit},
    };
    for (const Case& c : cases) {
        std::string bytes = DocxOfParagraphs(c.paragraphs);
        test::ChildRun m = test::RunInChild([&](std::string& message) {
            ExtractOptions options;
            options.WorkLimits = c.limits;
            options.Summary = false;
            try {
                ExtractResult r = ExtractBytes(bytes, options);
                // Sane text: one "a" line per paragraph and nothing else.
                std::string want;
                for (int i = 0; i < c.paragraphs; ++i) want += "a\n";
                if (r.Text + "\n" != want && r.Text != want) {
                    message = "wrong text of " + std::to_string(r.Text.size()) + " bytes";
                    return int{kOther};
                }
                return int{kText};
            } catch (const ELimitError& e) {
                message = e.what();
                return int{kLimit};
            } catch (const std::exception& e) {
                message = e.what();
                return int{kOther};
            }
        });
        std::printf("  %-28s %8zu bytes  peak %6ld KiB  cpu %.2f s  -> %s\n", c.name, bytes.size(), m.peakKiB,
                    m.seconds, m.message.c_str());
        EXPECT_EQ(m.exitCode, c.expected) << c.name << ": " << m.message;
        if (&c == &cases[2]) {
            EXPECT_NE(m.message.find("XML nodes"), std::string::npos) << m.message;
        }
        if (test::kMeasuredBuild) {
            EXPECT_LT(m.peakKiB, 256 * 1024) << c.name;
            EXPECT_LT(m.seconds, 2.0) << c.name;
        }
    }
}

// The cap counts every node of a part (the root, elements, attributes,
// comments, text runs), comes from the engine or the work budget, and
// starts again with each part.
TEST(XmlLimits, NodeCapPerPart) {
    const std::string xml = "<r a=\"1\"><!--c--><p>x</p><p>y</p></r>";  // 5 nodes
    for (uint64_t cap : {4, 5}) {
        TDTXMLEngine engine;
        engine.SetMaxNodes(cap);
        if (cap < 5) {
            try {
                engine.LoadFromBytes(xml);
                ADD_FAILURE() << "no limit at " << cap;
            } catch (const ELimitError& e) {
                EXPECT_NE(std::string(e.what()).find("more than 4 XML nodes"), std::string::npos) << e.what();
            }
        } else {
            engine.LoadFromBytes(xml);
            engine.LoadFromBytes(xml);  // a second part of the same size fits again
            EXPECT_EQ(engine.Tree().NodeCount(), 5u);
        }
    }
    TWorkLimits limits;
    limits.XmlNodesPerPart = 3;
    TWorkBudgetScope scope(limits, xml.size());
    TDTXMLEngine engine;
    EXPECT_THROW(engine.LoadFromBytes(xml), ELimitError);
    engine.SetKeepTextRuns(true);
    engine.SetMaxNodes(7);  // with the two text runs
    EXPECT_NO_THROW(engine.LoadFromBytes(xml));
}

}  // namespace
}  // namespace quillmark
