import os
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def data_dir():
    return pathlib.Path(os.environ.get("QUILLMARK_TEST_DATA", ROOT / "tests" / "data"))


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("QUILLMARK_CLI", str(ROOT / "build" / "quillmark"))
    assert os.access(path, os.X_OK), path
    return path


@pytest.fixture(scope="session")
def corpus(data_dir):
    """The shared corpus when this checkout sits next to it, else the test data."""
    path = os.environ.get("QUILLMARK_CORPUS") or str(ROOT.parent / "shared" / "corpus")
    return pathlib.Path(path) if os.path.isdir(path) else data_dir
