"""The C++ emitter: literals, the name index order, file layout and rewriting only what changed."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
from dataclasses import replace

import pytest
from hypothesis import given
from hypothesis import strategies as st
from tablegen.checks import BakedRecord
from tablegen.emit import c_string, name_index, name_key, output_paths, render, write_outputs
from tablegen.model import CheckError, Pattern


def record(name, table, pack="initial", family="ring", description="A test pattern.", axes=2):
    pattern = Pattern(name, description, len(table), axes, None)
    return BakedRecord(pack, family, f"packs/{pack}/10_{family}.py", pattern, table)


def table_lines(text: str, name: str) -> list[str]:
    """The entry lines of table_<name> in a generated source."""
    block = re.search(rf"table_{name}\[\d+\] = \{{\n(.*?)\n\}};", text, re.S)
    assert block, f"table_{name} not found"
    return block.group(1).split("\n")


@pytest.mark.parametrize(
    "text, literal",
    [
        ("plain words", '"plain words"'),
        ('a "quoted" word', r'"a \"quoted\" word"'),
        ("back\\slash", r'"back\\slash"'),
        # U+2014 is E2 80 94; the digits after it stay digits: an octal escape stops at three.
        ("4\u201412 beats", r'"4\342\200\22412 beats"'),
        ("caf\u00e9 a1", r'"caf\303\251 a1"'),
        ("tab\there", r'"tab\011here"'),
        ("what??=", r'"what\?\?="'),
    ],
)
def test_string_literals_escape_quotes_backslashes_and_non_ascii_bytes_in_octal(text, literal):
    assert c_string(text) == literal


def test_string_literals_never_use_hex_escapes():
    assert "\\x" not in c_string("".join(chr(c) for c in range(1, 0x300)))


@pytest.mark.parametrize(
    "names, by_bytes",
    [
        # '0' < '_' < letters, and a name that is a prefix of another sorts first.
        (
            ["abcdefghi", "abc_defgh_x", "abc_defgh", "abc0defgh", "ab_cdefgh"],
            ["ab_cdefgh", "abc0defgh", "abc_defgh", "abc_defgh_x", "abcdefghi"],
        ),
        (["ab_zzzzzz", "a_bzzzzzz"], ["a_bzzzzzz", "ab_zzzzzz"]),
        (["walk_10_3", "walk_9_30", "walk_1_300"], ["walk_10_3", "walk_1_300", "walk_9_30"]),
    ],
)
def test_the_name_index_orders_names_by_unsigned_bytes(names, by_bytes):
    records = [record(name, [(0.0, 0.0, 0.0)]) for name in names]
    index = name_index(records)
    assert [names[i] for i in index] == by_bytes
    text = render(records, index)["catalogue_records.cpp"]
    body = re.search(r"catalogue_name_index\[\d+\] = \{\n(.*?)\n\};", text, re.S).group(1)
    assert [int(line.split(",")[0]) for line in body.split("\n")] == index


def _key_words(name):
    return [int(word.removesuffix("ULL"), 16) for word in name_key(name).split(", ")]


@given(st.lists(st.from_regex(r"[a-z][a-z0-9_]{0,31}", fullmatch=True), min_size=2, max_size=40))
def test_name_keys_order_names_exactly_as_their_bytes(names):
    # the lookup searches the keys as integers, so their order must be the names' byte order
    assert sorted(names, key=_key_words) == sorted(names, key=str.encode)
    assert all(len(_key_words(name)) == 4 for name in names)


def test_name_keys_are_emitted_in_index_order_and_refuse_long_names():
    records = [record(name, [(0.0, 0.0, 0.0)]) for name in ["zeta_wave", "alpha_wave"]]
    text = render(records, name_index(records))["catalogue_records.cpp"]
    body = re.search(r"catalogue_name_keys\[\d+\] = \{\n(.*?)\n\};", text, re.S).group(1)
    assert [line.split("// ")[1] for line in body.split("\n")] == ["alpha_wave", "zeta_wave"]
    assert _key_words("alpha_wave")[0] == int.from_bytes(b"alpha_wa", "big")
    with pytest.raises(CheckError):
        name_key("a" * 33)


def test_values_are_shortest_round_trip_decimals_and_never_negative_zero():
    table = [(-0.0, 0.5, 0.0), (0.1, -0.8, 1e-12), (1.0, -1.0, 0.333333333333), (2 / 3, -0.0, -0.0)]
    lines = table_lines(
        render([record("mixed_values", table)], [0])["packs/initial/ring-0.cpp"], "mixed_values"
    )
    assert lines[:3] == ["{0.0, 0.5, 0.0},", "{0.1, -0.8, 1e-12},", "{1.0, -1.0, 0.333333333333},"]
    values = [float(v) for v in re.findall(r"[-+.e0-9]+", lines[3])]
    assert values == [2 / 3, 0.0, 0.0]
    assert "-0.0" not in "\n".join(lines)
    assert len(lines[3]) < len("{0.6666666666666666x, 0.0, 0.0},")  # 16 digits, not 17


def test_each_family_gets_its_own_header_and_source_and_every_pattern_its_table_and_sampler():
    records = [
        record("ring_first_one", [(0.1, 0.2, 0.0)] * 3, family="ring"),
        record("ring_second_one", [(0.3, 0.2, 0.0)] * 2, family="ring"),
        record("path_other_one", [(0.4, 0.1, 0.0)] * 4, pack="expansion", family="path"),
    ]
    outputs = render(records, name_index(records))
    assert sorted(outputs) == output_paths(
        [("initial", "ring", [3, 2]), ("expansion", "path", [4])]
    )
    assert sorted(outputs) == [
        "catalogue_records.cpp",
        "motiloom_packs.hpp",
        "packs/expansion/path-0.cpp",
        "packs/expansion/path.hpp",
        "packs/initial/ring-0.cpp",
        "packs/initial/ring.hpp",
        "procedural_rudiments.hpp",
    ]
    header = outputs["packs/initial/ring.hpp"]
    assert "namespace motiloom_initial {" in header
    assert "extern const ::motiloom::Offset3 table_ring_second_one[2];" in header
    assert "::motiloom::Offset3 sample_ring_second_one(int pip) noexcept;" in header
    assert "path_other_one" not in header
    source = outputs["packs/expansion/path-0.cpp"]
    assert "return table_path_other_one[::motiloom::wrap_pip(pip, 4)];" in source
    assert len(table_lines(source, "path_other_one")) == 4
    assert outputs["packs/initial/ring-0.cpp"].startswith(
        "// Generated by tablegen from packs/initial/10_ring.py."
    )
    records_text = outputs["catalogue_records.cpp"]
    assert "&motiloom_expansion::sample_path_other_one}," in records_text
    assert "const std::size_t catalogue_record_count = 3;" in records_text
    umbrella = outputs["motiloom_packs.hpp"]
    assert umbrella.index('"packs/initial/ring.hpp"') < umbrella.index('"packs/expansion/path.hpp"')


def test_only_files_whose_content_changed_are_rewritten(tmp_path):
    records = [
        record("ring_first_one", [(0.1, 0.2, 0.0), (0.2, 0.1, 0.0)], family="ring"),
        record("path_other_one", [(0.4, 0.1, 0.0), (0.3, 0.2, 0.0)], family="path"),
    ]
    outputs = render(records, name_index(records))
    assert sorted(write_outputs(tmp_path, outputs)) == sorted(outputs)
    (tmp_path / "notes.txt").write_text("kept")
    old = 1_000_000_000_000_000_000
    for path in outputs:
        os.utime(tmp_path / path, ns=(old, old))

    assert write_outputs(tmp_path, render(records, name_index(records))) == []
    assert all((tmp_path / path).stat().st_mtime_ns == old for path in outputs)

    records[1] = replace(records[1], table=[(0.4, 0.1, 0.0), (0.3, 0.25, 0.0)])
    changed = render(records, name_index(records))
    assert write_outputs(tmp_path, changed) == ["packs/initial/path-0.cpp"]
    assert {p for p in outputs if (tmp_path / p).stat().st_mtime_ns != old} == {
        "packs/initial/path-0.cpp"
    }
    assert (tmp_path / "packs/initial/path-0.cpp").read_text() == changed[
        "packs/initial/path-0.cpp"
    ]
    assert (tmp_path / "notes.txt").read_text() == "kept"
    assert sorted(p.name for p in (tmp_path / "packs/initial").iterdir()) == [
        "path-0.cpp", "path.hpp", "ring-0.cpp", "ring.hpp",
    ]  # fmt: skip


PIPS = (0, 1, -1, 159, 160, 255, 256, 1023, 2**31 - 1, -(2**31))  # as in the probe below


def _compiler():
    return (
        shutil.which(os.environ.get("CXX", "c++")) or shutil.which("g++") or shutil.which("clang++")
    )


@pytest.mark.skipif(_compiler() is None, reason="needs a C++17 compiler")
def test_the_generated_cpp_compiles_and_gives_back_the_tables(tmp_path, small_packs):
    from tablegen.__main__ import main
    from tablegen.build import bake_catalogue

    out = tmp_path / "generated"
    assert main(["--packs", str(small_packs), "--out", str(out)]) == 0
    _, families, _ = bake_catalogue(small_packs, None, jobs=1)
    records = [record for family in families for record in family.records()]

    probe = tmp_path / "probe.cpp"
    probe.write_text(
        """
#include <cstdio>
#include <climits>
#include "catalogue/catalogue_record.hpp"
#include "motiloom_packs.hpp"

int main() {
    using namespace motiloom;
    const int pips[] = {0, 1, -1, 159, 160, 255, 256, 1023, INT_MAX, INT_MIN};
    std::printf("%zu\\n", catalogue_record_count);
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const CatalogueRecord& r = catalogue_records[i];
        const auto position = static_cast<unsigned long long>(catalogue_name_index[i]);
        std::printf("%.*s %u %u %llu ", static_cast<int>(r.name.size()), r.name.data(),
                    r.period_pips, r.axes, position);
        for (unsigned char c : r.description) std::printf("%02x", c);
        for (int pip : pips) {
            const Offset3 o = r.sampler(pip);
            std::printf(" %a,%a,%a", o.x, o.y, o.z);
        }
        std::printf("\\n");
    }
    std::printf("%a\\n", motiloom_initial::table_ring_wide_slow[64].y);
}
"""
    )
    src = os.path.join(os.path.dirname(__file__), "..", "..", "src")
    sources = [str(probe), str(out / "catalogue_records.cpp")] + [
        str(p) for p in sorted(out.glob("packs/*/*.cpp"))
    ]
    exe = tmp_path / "probe"
    subprocess.run(
        [
            _compiler(),
            "-std=c++17",
            "-Wall",
            "-Wextra",
            "-Werror",
            "-I",
            src,
            "-I",
            str(out),
            *sources,
            "-o",
            str(exe),
        ],
        check=True,
    )
    lines = subprocess.run(
        [str(exe)], check=True, capture_output=True, text=True
    ).stdout.splitlines()

    assert int(lines[0]) == len(records) == 4
    index = [int(line.split()[3]) for line in lines[1:5]]
    assert [records[i].name for i in index] == sorted(r.name for r in records)
    for line, rec in zip(lines[1:5], records, strict=True):
        name, period, axes, _, description, *samples = line.split()
        assert (name, int(period), int(axes)) == (rec.name, rec.pattern.period, rec.pattern.axes)
        assert bytes.fromhex(description) == rec.pattern.description.encode("utf-8")
        for pip, sample in zip(PIPS, samples, strict=True):
            expected = rec.table[pip % rec.pattern.period]
            assert tuple(float.fromhex(v) for v in sample.split(",")) == expected, (name, pip)
    assert float.fromhex(lines[5]) == 0.3  # y of a 0.3-high ellipse at a quarter turn
    # the byte comparison above covered a non-ASCII character, escaped in octal
    assert any("\u2013" in r.pattern.description for r in records)
