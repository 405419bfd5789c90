"""Builds the extension module through the project's CMake: the library, the
host's libraries, the diff and the module, nothing else. The shared libraries
travel inside the package, beside the module. CMAKE_CXX_COMPILER_LAUNCHER
(ccache) and CMAKE_BUILD_PARALLEL_LEVEL in the environment are honoured."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        stage = Path(self.build_temp).resolve() / "stage"
        subprocess.run([
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DTRANSSPACE_BUILD_TESTS=OFF", "-DTRANSSPACE_BUILD_BENCH=OFF",
            "-DTRANSSPACE_BUILD_TOOLS=OFF",
            "-DTRANSSPACE_PYTHON=ON", "-DTRANSSPACE_PYTHON_BUNDLE=ON",
            "-DTRANSSPACE_PYTHON_INSTALL_DIR=.",
            # The interpreter behind a venv: the same from one venv to the next.
            f"-DPython3_EXECUTABLE={os.path.realpath(sys.executable)}",
        ], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "transspace_python",
                        "-j", jobs], check=True)
        shutil.rmtree(stage, ignore_errors=True)
        subprocess.run(["cmake", "--install", str(build), "--component", "python",
                        "--prefix", str(stage)], check=True)
        target = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        target.mkdir(parents=True, exist_ok=True)
        # The module and the libraries under the names the module asks for
        # (libtransspace.so.1); the Python files come as package files.
        for built in (stage / "transspace").iterdir():
            if re.fullmatch(r".*\.so(\.\d+)?", built.name):
                shutil.copy2(built, target / built.name, follow_symlinks=True)


setup(
    ext_modules=[Extension("transspace._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # setuptools' own build folders, apart from CMake's build/.
    options={"build": {"build_base": "build-pip"}},
)
