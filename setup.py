"""Builds the binding's extension module with CMake (the project's own
build), so pip needs nothing beyond the distribution's setuptools:

    pip install --no-build-isolation .
"""
import os
import pathlib
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        jobs = os.environ.get("JOBS", str(os.cpu_count() or 2))
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DQUILLMARK_TESTS=OFF", "-DQUILLMARK_PYTHON=ON",
                        "-DPython3_EXECUTABLE=" + sys.executable], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "quillmark_python", "-j", jobs], check=True)
        built = next((build / "python" / "quillmark").glob("_quillmark*.so"))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


setup(ext_modules=[CMakeExtension("quillmark._quillmark")], cmdclass={"build_ext": CMakeBuild})
