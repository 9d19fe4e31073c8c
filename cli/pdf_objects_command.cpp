// quillmark pdf-objects: prints a PDF file's cross-reference list in the
// layout of `qpdf --show-xref`, so the two can be compared line by line.
//   --check      also fetch every object and decode every stream, and report
//                objects whose text does not start with their "N G obj" header
//   --stream N   print the decoded data of stream object N instead
//   --password PW  the user or owner password of an encrypted file
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/exception.h"
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark::cli {

namespace {

void PrintList(const TDTPDFReader& reader) {
    const TDTPDFXRefList& list = reader.XRefs();
    for (int32_t i = 0; i < list.Count(); ++i) {
        const TDTPDFXRef& x = *list.GetItem(i);
        int32_t obj = i + reader.GetStartCrossRef();
        if (x.Kind == xrkUnCompressed)
            std::printf("%d/%d: uncompressed; offset = %d\n", obj, x.Generation, x.Offset);
        else if (x.Kind == xrkCompressed)
            std::printf("%d/0: compressed; stream = %d, index = %d\n", obj, x.ObjNumber, x.Offset);
    }
}

// Fetches every object (and decodes every stream); returns the number of
// objects whose text does not begin with their header.
int CheckAll(TDTPDFReader& reader) {
    const TDTPDFXRefList& list = reader.XRefs();
    int bad = 0, objects = 0, streams = 0;
    size_t decoded = 0;
    for (int32_t i = 0; i < list.Count(); ++i) {
        if (list.GetItem(i)->Kind == xrkFree) continue;
        int32_t obj = i + reader.GetStartCrossRef();
        std::string body = reader.GetBodyByRefNo(obj);
        ++objects;
        std::string head = std::to_string(obj) + " ";
        if (body.compare(0, head.size(), head) != 0) {
            std::printf("object %d: text does not start with its header\n", obj);
            ++bad;
            continue;
        }
        if (list.GetItem(i)->Kind == xrkUnCompressed) {
            try {
                TDTPDFFilterContent fc = reader.GetFilterContent(body);
                int32_t hint = fc.Length1;
                decoded += reader.GetStreamContent(fc.Filter, body, fc.Length, hint, obj).size();
                ++streams;
            } catch (const Exception& e) {
                std::printf("object %d: %s\n", obj, e.what());
                ++bad;
            }
        }
    }
    std::printf("%d objects, %d streams decoded, %zu bytes; %d problems%s\n", objects, streams, decoded,
                bad, reader.Repaired() ? " (object list rebuilt by scanning)" : "");
    return bad;
}

}  // namespace

const char* const kPdfObjectsUsage =
    "usage: quillmark pdf-objects [--check | --stream N] [--password PW] FILE\n"
    "Print a PDF's cross-reference list as 'qpdf --show-xref' does.\n"
    "  --check         also read every object and decode every stream\n"
    "  --stream N      print the decoded data of stream object N instead\n"
    "  --password PW   the user or owner password of an encrypted file\n";

int RunPdfObjects(const Args& args) {
    bool check = false;
    long long stream = -1;
    std::string password;
    ParsedArgs parsed = ParseArgs(args, {{"check", 0, false}, {"stream", 0, true}, {"password", 0, true}},
                                  "pdf-objects", kPdfObjectsUsage,
                                  [&](const std::string& n, const std::string& v) -> std::string {
                                      if (n == "check") check = true;
                                      else if (n == "password") password = v;
                                      else if (!ParseCount(v, INT32_MAX, stream))
                                          return "--stream takes an object number";
                                      return "";
                                  });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    auto Usage = [](const std::string& why) { return UsageError("pdf-objects", kPdfObjectsUsage, why); };
    if (parsed.files.size() > 1) return Usage("one file only");
    std::string file = parsed.files.empty() ? std::string() : parsed.files[0];
    if (file.empty()) return Usage("no file given");
    TDTPDFReader reader;
    try {
        reader.SetParseItems(TDTWParseItems{});
        reader.SetPassword(password);
        reader.LoadFromBytes(ReadInputBytes(file, kDefaultMaxInputBytes));
        if (stream >= 0) {
            std::string data = reader.GetDecodedStream(static_cast<int32_t>(stream));
            WriteOut(data);
            return FinishOutput() ? kExitOk : kExitReadError;
        }
        PrintList(reader);
        if (check) return CheckAll(reader) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        return ReportFailure(file, e);
    }
    return 0;
}

}  // namespace quillmark::cli
