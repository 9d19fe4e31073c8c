// Damaged documents: every prefix and many byte flips of real and crafted
// files end with a result or a quillmark::Exception, never a crash.
#include <gtest/gtest.h>

#include <random>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/word_bin_file.h"
#include "support/test_support.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

void LoadBytes(const std::string& bytes) {
    TWordBinFile doc;
    TMemoryStream s(bytes);
    try {
        doc.LoadFromStream(s);
    } catch (const Exception&) {
    }
}

void LoadStreams(std::string_view word, const std::string& table) {
    TWordBinFile doc;
    doc.SetTextFormating(tfHTML);
    try {
        doc.ReadDocFromStream(word, table);
    } catch (const Exception&) {
    }
}

TEST(WordBinFileDamage, PrefixesAndFlipsOfRealFiles) {
    SetMaxOutputBytes(size_t{64} << 20);
    std::mt19937 rng(99);
    for (const char* name : {"word/multi_3.doc", "word/poi_word2.doc", "word/poi_Bug60942.doc"}) {
        std::string bytes = test::ReadDataFile(name);
        for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 97) LoadBytes(bytes.substr(0, cut));
        for (int round = 0; round < 150; ++round) {
            std::string damaged = bytes;
            for (int k = 0; k < 4; ++k) damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
            LoadBytes(damaged);
        }
    }
    SetMaxOutputBytes(kDefaultMaxOutputBytes);
}

TEST(WordBinFileDamage, FlipsInTheFibAndPieceTable) {
    SetMaxOutputBytes(size_t{64} << 20);
    test::WordDocBuilder b;
    b.pieces = {{u"one \x13PAGE\x14" u"1\x15 two\r", true}, {u"three\x07\x07", false}, {u"four\r", true}};
    b.ccpFtn = 3;
    std::string word = b.WordDocument(), table = b.Table();
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string w = word, t = table;
        // Hit the fields the reader uses most: the FIB's first 110 bytes,
        // fcClx/lcbClx, and the piece table itself.
        for (int k = 0; k < 3; ++k) {
            switch (rng() % 3) {
                case 0: w[rng() % 110] = static_cast<char>(rng()); break;
                case 1: w[418 + rng() % 8] = static_cast<char>(rng()); break;
                default: t[rng() % t.size()] = static_cast<char>(rng()); break;
            }
        }
        LoadStreams(w, t);
        LoadStreams(std::string_view(w).substr(0, rng() % w.size()), t.substr(0, rng() % t.size()));
    }
    SetMaxOutputBytes(kDefaultMaxOutputBytes);
}

}  // namespace
}  // namespace quillmark
