// One header that brings in the whole library.
#pragma once

#include "quillmark/format_detection.h"
#include "quillmark/framework/base_document.h"
#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/framework/messages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/readers/palmdoc_compression.h"
#include "quillmark/readers/palmdoc_file.h"
#include "quillmark/codepages/unicode_ranges.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/word/word_xml_file.h"
