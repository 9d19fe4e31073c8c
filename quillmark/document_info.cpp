#include "quillmark/document_info.h"

#include "quillmark/framework/exception.h"
#include "quillmark/framework/messages.h"

namespace quillmark {

TDocumentInfo ReadDocumentInfo(std::string_view bytes, const std::string& password) {
    TDetectionInput input(bytes);
    TDocumentInfo info;
    info.Format = DetectFormat(input);
    if (!info.Format) throw EUnsupportedFormat(strUnrecognisedFormat);
    info.FormatName = info.Format->Name;
    if (info.Format->ReadInfo) {
        info.Format->ReadInfo(input, password, info.Summary);
        return info;
    }
    auto reader = CreateReader(info.Format);
    if (!reader) return info;
    reader->SetParseItems({wpiSummaryInformation});
    reader->SetPassword(password);
    reader->LoadFromBytes(bytes);
    info.Summary = reader->SummaryInformation();
    return info;
}

}  // namespace quillmark
