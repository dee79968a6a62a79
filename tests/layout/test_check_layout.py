"""The layout check finds each kind of break it is there to find."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import check_layout  # noqa: E402


def write(root, path, text):
    full = root / path
    full.parent.mkdir(parents=True, exist_ok=True)
    full.write_text(text)


def test_reports_undeclared_includes_cycles_and_globs(tmp_path):
    write(tmp_path, "low/CMakeLists.txt", "qvr_add_library(qvr_low SOURCES low.cpp DEPS qvr_high)\n")
    write(tmp_path, "low/low.cpp", '#include "low/low.h"\n#include "high/high.h"\n')
    write(tmp_path, "high/CMakeLists.txt",
          "qvr_add_library(qvr_high\n  SOURCES high.cpp\n  DEPS qvr_low)  # qvr_side\n")
    write(tmp_path, "high/high.cpp", '#include "side/side.h"\n#include <vector>\n')
    write(tmp_path, "side/CMakeLists.txt", "add_library(qvr_side STATIC side.cpp)\n")
    write(tmp_path, "side/side.cpp", '#include "side/side.h"\n')
    write(tmp_path, "cmake/helpers.cmake", "file(GLOB sources *.cpp)\n")

    problems = check_layout.check(str(tmp_path))

    assert "high/high.cpp includes side/ but high/CMakeLists.txt does not name it" in problems
    assert not any(p.startswith("low/low.cpp") for p in problems)  # named, if cyclic
    assert any(p.startswith("dependency cycle: ") and "high" in p and "low" in p
               for p in problems)
    assert "cmake/helpers.cmake finds sources with GLOB" in problems
    assert len(problems) == 3


def test_a_tree_that_keeps_its_layout_passes(tmp_path):
    write(tmp_path, "low/CMakeLists.txt", "qvr_add_library(qvr_low SOURCES low.cpp)\n")
    write(tmp_path, "low/low.cpp", '#include "low/low.h"\n')
    write(tmp_path, "tools/prog/CMakeLists.txt",
          "add_executable(prog main.cpp)\ntarget_link_libraries(prog PRIVATE qvr_low)\n")
    write(tmp_path, "tools/prog/main.cpp", '#include "local.h"\n#include "low/low.h"\n')
    assert check_layout.check(str(tmp_path)) == []
