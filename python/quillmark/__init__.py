"""Text and metadata of documents.

    >>> import quillmark
    >>> quillmark.extract("report.doc")
    'Quarterly report\\n...'
    >>> quillmark.info(open("report.doc", "rb").read())["Author"]
    'A. Writer'

Documents are read with the GIL released, so threads extract in parallel.
Failures raise a subclass of quillmark.Error naming the kind of problem.
"""

from ._quillmark import (  # noqa: F401
    DamagedDocumentError,
    EncryptedError,
    Error,
    LimitError,
    PasswordError,
    UnsupportedFormatError,
    detect,
    extract,
    formats,
    info,
    read,
)

__all__ = [
    "extract", "info", "detect", "read", "formats", "error_kind",
    "Error", "PasswordError", "EncryptedError", "UnsupportedFormatError",
    "DamagedDocumentError", "LimitError",
]

_KINDS = (
    (PasswordError, "password"),
    (EncryptedError, "encrypted"),
    (UnsupportedFormatError, "unsupported"),
    (DamagedDocumentError, "damaged"),
    (LimitError, "limit"),
    (MemoryError, "memory"),
)


def error_kind(exc: BaseException) -> str:
    """The error kind of an exception as `quillmark batch` names it."""
    for cls, name in _KINDS:
        if isinstance(exc, cls):
            return name
    return "other"
