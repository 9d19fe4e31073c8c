// Record layouts of the Word binary format (Word 2, Word 6/95, Word 97 and
// later): the file information block in its common in-memory form, the piece
// table records, the VBA project item, and the paragraph, character, section
// and style records the format declares. Parsing lives in fib.cpp and
// piece_table.cpp; these are plain structs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillmark {

// One module of a document's VBA project.
struct TVBAProjectItem {
    std::u16string Entry;       // the project-stream record that names the module
    std::u16string ModuleName;
    std::u16string ModuleID;
    uint32_t Offset = 0;        // where the module's compressed source begins in its stream
    std::string Body;           // the module's decompressed source
};

// The project's modules, in the order the project stream lists them.
using TVBAProjectItems = std::vector<std::unique_ptr<TVBAProjectItem>>;

}  // namespace quillmark
