// The Python binding: quillmark._quillmark, wrapped by the quillmark
// package. Documents are read with the GIL released, so threads extract in
// parallel; the library's error kinds become Python exception classes.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "quillmark/document_info.h"
#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/date_time.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/summary_properties.h"

namespace py = pybind11;
using namespace quillmark;

namespace {

// A path that cannot be opened: raised as OSError (FileNotFoundError,
// PermissionError ...) like Python's own open().
struct OsError {
    int err;
    std::string path;
};

// The document given: bytes-like content, or a path (str or os.PathLike).
struct Source {
    py::object keep;        // holds the bytes object while the GIL is released
    std::string_view bytes;
    std::string copy;       // bytearray or memoryview content
    std::optional<std::string> path;
};

Source ToSource(const py::object& obj) {
    Source s;
    if (PyBytes_Check(obj.ptr())) {
        s.keep = obj;  // immutable: safe to read without the GIL
        s.bytes = std::string_view(PyBytes_AS_STRING(obj.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(obj.ptr())));
    } else if (PyByteArray_Check(obj.ptr()) || PyMemoryView_Check(obj.ptr())) {
        py::object b = py::reinterpret_steal<py::object>(PyBytes_FromObject(obj.ptr()));
        if (!b) throw py::error_already_set();
        s.copy.assign(PyBytes_AS_STRING(b.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(b.ptr())));
        s.bytes = s.copy;
    } else {
        py::object fs = py::module_::import("os").attr("fsencode")(obj);  // str, bytes path or PathLike
        s.path = std::string(py::bytes(fs));
    }
    return s;
}

// Runs with the GIL released: the file's bytes, read here when a path was
// given.
std::string_view LoadBytes(Source& s, uint64_t limit) {
    if (!s.path) {
        if (s.bytes.size() > limit)
            throw ELimitError("input is larger than the limit of " + std::to_string(limit) + " bytes");
        return s.bytes;
    }
    struct stat st;
    if (::stat(s.path->c_str(), &st) != 0) throw OsError{errno, *s.path};
    if (S_ISDIR(st.st_mode)) throw OsError{EISDIR, *s.path};
    s.copy = ReadInputBytes(*s.path, limit);
    return s.copy;
}

py::dict MetadataDict(const TDTWordSummaryInformation& summary);

TMSTextFormating ParseFormat(const std::string& format) {
    if (format == "text" || format == "plain") return tfPlainText;
    if (format == "rtf") return tfRTF;
    if (format == "html") return tfHTML;
    throw py::value_error("format must be 'text', 'rtf' or 'html', not '" + format + "'");
}

uint64_t InputLimit(int64_t maxInputBytes) {
    if (maxInputBytes < 0) throw py::value_error("max_input_bytes must not be negative");
    return maxInputBytes == 0 ? kDefaultMaxInputBytes : static_cast<uint64_t>(maxInputBytes);
}

py::str PyExtract(const py::object& source, const std::string& format, std::optional<std::string> password,
                std::optional<std::string> part, int64_t maxLength, int64_t maxInputBytes) {
    ExtractOptions options;
    options.MaxInputBytes = InputLimit(maxInputBytes);
    options.Format = ParseFormat(format);
    if (maxLength < 0 || maxLength > INT32_MAX) throw py::value_error("max_length must be from 0 to 2**31-1");
    options.MaxLength = static_cast<int32_t>(maxLength);
    if (password) options.Password = *password;
    if (part) {
        auto p = ParseDocumentPart(*part);
        if (!p) throw py::value_error("unknown part '" + *part + "'");
        options.Part = *p;
    }
    options.Summary = false;
    Source s = ToSource(source);
    std::string text;
    {
        py::gil_scoped_release release;
        text = ExtractBytes(LoadBytes(s, options.MaxInputBytes), options).Text;
    }
    return py::str(text);
}

// Everything the batch command records for a document: format, text and
// metadata in one read.
py::dict PyRead(const py::object& source, const std::string& format, std::optional<std::string> password,
             int64_t maxInputBytes) {
    ExtractOptions options;
    options.MaxInputBytes = InputLimit(maxInputBytes);
    options.Format = ParseFormat(format);
    if (password) options.Password = *password;
    Source s = ToSource(source);
    ExtractResult r;
    {
        py::gil_scoped_release release;
        r = ExtractBytes(LoadBytes(s, options.MaxInputBytes), options);
    }
    py::dict d;
    d["format"] = r.FormatName;
    d["text"] = py::str(r.Text);
    d["metadata"] = MetadataDict(r.Summary);
    return d;
}

py::dict PyInfo(const py::object& source, std::optional<std::string> password, int64_t maxInputBytes) {
    uint64_t limit = InputLimit(maxInputBytes);
    Source s = ToSource(source);
    TDocumentInfo info;
    {
        py::gil_scoped_release release;
        info = ReadDocumentInfo(LoadBytes(s, limit), password.value_or(""));
    }
    py::dict d;
    d["format"] = info.FormatName;
    d.attr("update")(MetadataDict(info.Summary));
    return d;
}

py::dict MetadataDict(const TDTWordSummaryInformation& summary) {
    py::dict d;
    for (const auto& p : SummaryProperties(summary)) {
        switch (p.Type) {
            case TSummaryProperty::Text: d[p.Name] = py::str(Utf16ToUtf8(p.TextValue)); break;
            case TSummaryProperty::Number: d[p.Name] = p.NumberValue; break;
            case TSummaryProperty::Date:
                if (p.DateValue == 0) d[p.Name] = py::none();
                else d[p.Name] = DateTimeToIso8601(p.DateValue);
                break;
        }
    }
    return d;
}

std::string PyDetect(const py::object& source) {
    Source s = ToSource(source);
    py::gil_scoped_release release;
    const TFormatEntry* format = DetectFormat(TDetectionInput(LoadBytes(s, kDefaultMaxInputBytes)));
    return format ? format->Name : "unknown";
}

}  // namespace

PYBIND11_MODULE(_quillmark, m) {
    m.doc() = "Text and metadata of documents (the quillmark library).";
    static py::exception<quillmark::Exception> error(m, "Error");
    static py::exception<EPasswordError> passwordError(m, "PasswordError", error.ptr());
    static py::exception<EEncryptedError> encryptedError(m, "EncryptedError", error.ptr());
    static py::exception<EUnsupportedFormat> unsupportedError(m, "UnsupportedFormatError", error.ptr());
    static py::exception<EDamagedDocument> damagedError(m, "DamagedDocumentError", error.ptr());
    static py::exception<ELimitError> limitError(m, "LimitError", error.ptr());
    // One translator, most specific kind first.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const OsError& e) {
            PyErr_SetObject(PyExc_OSError,
                            py::make_tuple(e.err, std::strerror(e.err), py::str(e.path)).ptr());
        } catch (const EPasswordError& e) {
            passwordError(e.what());
        } catch (const EEncryptedError& e) {
            encryptedError(e.what());
        } catch (const EUnsupportedFormat& e) {
            unsupportedError(e.what());
        } catch (const EDamagedDocument& e) {
            damagedError(e.what());
        } catch (const ELimitError& e) {
            limitError(e.what());
        } catch (const quillmark::Exception& e) {
            error(e.what());
        }
    });
    m.def("extract", &PyExtract, py::arg("path_or_bytes"), py::arg("format") = "text",
          py::arg("password") = py::none(), py::arg("part") = py::none(), py::arg("max_length") = 0, py::arg("max_input_bytes") = 0);
    m.def("read", &PyRead, py::arg("path_or_bytes"), py::arg("format") = "text", py::arg("password") = py::none(),
          py::arg("max_input_bytes") = 0);
    m.def("info", &PyInfo, py::arg("path_or_bytes"), py::arg("password") = py::none(), py::arg("max_input_bytes") = 0);
    m.def("detect", &PyDetect, py::arg("path_or_bytes"));
    py::list names;
    for (const auto& f : RegisteredFormats()) names.append(f.Name);
    m.attr("formats") = py::tuple(names);
}
