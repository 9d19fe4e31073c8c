// VBA projects: the macros a Word, Excel or PowerPoint document carries.
//
// A project lives in one storage of a compound file: "Macros" in a Word
// binary document, "_VBA_PROJECT_CUR" in an Excel workbook, the root of the
// "vbaProject.bin" part of an Office Open XML package, or the root of a
// compound file that a PowerPoint presentation embeds, compressed, in its
// "PowerPoint Document" stream. That storage holds the "PROJECT" stream (the
// project's text description) and a "VBA" storage with the "dir" stream (the
// module list, itself a compressed container), the "_VBA_PROJECT" stream and
// one stream per module whose source, compressed, starts at the module's
// offset.
//
// The module list comes from "dir" when it is there and readable; otherwise
// from the module table of "_VBA_PROJECT", whose layout changed between VBA
// versions (its offsets are then best effort).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/word/word_records.h"

namespace quillmark {

struct TVBAProject {
    std::string Project;   // the "PROJECT" stream, whole
    int CodePage = 0;      // of module names and sources (0 = the active ANSI code page)
    bool FromDir = false;  // the module list came from the "dir" stream
    TVBAProjectItems Items;
};

// --- The "dir" stream -------------------------------------------------------

struct TVBADirModule {
    std::u16string Name;
    std::u16string StreamName;
    uint32_t Offset = 0;
};

struct TVBADirInfo {
    int CodePage = 0;
    std::vector<TVBADirModule> Modules;
};

// Reads the records of a decompressed "dir" stream. Throws EDamagedDocument
// when a record runs past the end of the stream.
TVBADirInfo ParseVBADirStream(std::string_view dir);

// --- The "_VBA_PROJECT" module table (used when there is no "dir") -----------

// Appends the reference records and fills module names and offsets as the
// older project layout places them. Stops quietly where the stream ends.
void ReadVBAProjectStream(std::string_view stream, TVBAProjectItems& items);

// --- Whole projects ----------------------------------------------------------

// Reads the project kept in `storage` (the storage that holds "PROJECT" and
// "VBA"): the project text, the module list and every module's source.
// Damage inside a module's source is recorded in its item (Damage) with the
// source decompressed before it; a damaged "dir" stream falls back to the
// "_VBA_PROJECT" table.
void ReadVBAProject(const TCompoundStorage& storage, TVBAProject& project);

// The project storage of a compound file's root ("Macros", "_VBA_PROJECT_CUR"
// or the root itself), or an invalid handle.
TCompoundStorage FindVBAProjectStorage(const TCompoundStorage& root);

// Finds and reads the VBA project of a document of any kind: a compound file
// (Word, Excel, PowerPoint, a bare vbaProject.bin) or an Office Open XML
// package (.docm, .xlsm, .pptm). False when the document has no project.
// Throws when the container holding the project is damaged.
bool ReadDocumentVBAProject(std::string_view bytes, TVBAProject& project);

// True when the document carries a VBA project (found without decompressing
// module sources).
bool HasVBAProject(std::string_view bytes);

// --- Listing -----------------------------------------------------------------

// For each module with source, in list order: a banner naming the module and
// its source (decoded with the project's code page, passed through `escape`)
// followed by CR LF.
void AppendMacroListing(const TVBAProjectItems& items, int codePage, TWideStrings& out,
                        const std::function<std::u16string(std::u16string_view)>& escape = nullptr);

}  // namespace quillmark
