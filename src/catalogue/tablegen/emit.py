"""Writes the checked catalogue as C++ source: per family one header and one or more table shards,
the record array with its name index, and one header that includes every family.

The output is a pure function of the records: no dates, no absolute paths, no set or hash order,
so the same authoring gives byte-identical files. Files whose content is unchanged are not touched,
which keeps the build from recompiling families that did not change.

Tables are cut into translation units by size, not by authoring module: a family's tables fill
shards of at most SHARD_ENTRIES entries in record order (a table is never split), so any family
can hold any number of tables while no unit grows past what the compiler handles in a few seconds
and a few hundred megabytes. The cut depends only on the periods, so the build system learns the
file names without baking anything. Tables are plain constant arrays of literals, which the
compiler places in read-only data with no start-up code.

A shard's second line carries its content key (a hash of everything its text is made from): a
shard whose key on disk is current is neither rendered nor written again.
"""

from __future__ import annotations

import math
import os
import re
import tempfile
from collections.abc import Callable, Iterable, Mapping, Sequence
from dataclasses import dataclass
from hashlib import sha256
from itertools import chain, groupby
from pathlib import Path

from .checks import BakedRecord
from .load import family_files, load_family, present_packs
from .model import CheckError, Table
from .procedural import PROCEDURAL

RECORDS_FILE = "catalogue_records.cpp"
PACKS_HEADER = "motiloom_packs.hpp"
PROCEDURAL_HEADER = "procedural_rudiments.hpp"
DO_NOT_EDIT = "Do not edit: change the authoring module and rebuild."
DO_NOT_EDIT_ANY = "Do not edit: change the pack modules and rebuild."
NAME_KEY_BYTES = 32
IDENTIFIER = re.compile(r"^[a-z][a-z0-9_]*$")
# About 128 tables of 512 entries: a unit compiles in about a second and under 0.2 GB.
SHARD_ENTRIES = 65536


def namespace(pack: str) -> str:
    return f"motiloom_{pack}"


def shard_ranges(periods: Sequence[int], budget: int = SHARD_ENTRIES) -> list[range]:
    """A family's tables (given by their periods, in record order) cut into consecutive runs of at
    most `budget` entries; a table larger than the budget gets a shard of its own."""
    ranges, start, entries = [], 0, 0
    for i, period in enumerate(periods):
        if entries and entries + period > budget:
            ranges.append(range(start, i))
            start, entries = i, 0
        entries += period
    if periods:
        ranges.append(range(start, len(periods)))
    return ranges


def family_header(pack: str, family: str) -> str:
    return f"packs/{pack}/{family}.hpp"


def shard_path(pack: str, family: str, shard: int) -> str:
    # Family keys hold no '-', so a shard can never take another family's file name.
    return f"packs/{pack}/{family}-{shard}.cpp"


def family_outputs(pack: str, family: str, periods: Sequence[int]) -> list[str]:
    """The header and shards written for one family, relative to the output directory."""
    count = len(shard_ranges(periods))
    return [family_header(pack, family)] + [shard_path(pack, family, i) for i in range(count)]


def output_paths(families: Iterable[tuple[str, str, Sequence[int]]]) -> list[str]:
    """Every file written for these (pack, family, periods), sorted, with '/' separators."""
    paths = [RECORDS_FILE, PACKS_HEADER, PROCEDURAL_HEADER]
    for pack, family, periods in families:
        paths.extend(family_outputs(pack, family, periods))
    return sorted(paths)


def discovered_outputs(packs_dir: Path) -> list[str]:
    """The files a run over packs_dir writes. The family modules are imported for their periods;
    nothing is baked."""
    families = []
    for pack in present_packs(packs_dir):
        for key, path in family_files(packs_dir / pack):
            family = load_family(packs_dir, pack, key, path)
            families.append((pack, key, [p.period for p in family.patterns]))
    return output_paths(families)


def name_index(records: Sequence[BakedRecord]) -> list[int]:
    """Record indices ordered by the unsigned bytes of the names; a prefix sorts first."""
    return sorted(range(len(records)), key=lambda i: records[i].name.encode("utf-8"))


def name_key(name: str) -> str:
    """The lookup key of a name: its bytes zero-padded to 32, as four big-endian 64-bit words."""
    data = name.encode("utf-8")
    if len(data) > NAME_KEY_BYTES:
        raise CheckError(f"{name}: name: longer than {NAME_KEY_BYTES} bytes")
    data = data.ljust(NAME_KEY_BYTES, b"\0")
    words = [int.from_bytes(data[i : i + 8], "big") for i in range(0, NAME_KEY_BYTES, 8)]
    return ", ".join(f"0x{w:016x}ULL" for w in words)


# --- literals ----------------------------------------------------------------------------------


def c_string(text: str) -> str:
    """A C++ string literal holding the UTF-8 bytes of text.

    Bytes outside printable ASCII become three-digit octal escapes: an octal escape ends after
    three digits, whereas a hex escape would swallow any hex digit that follows it.
    """
    parts = []
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in '"\\':
            parts.append("\\" + char)
        elif char == "?":
            parts.append("\\?")  # never lets "??" start a trigraph, whatever the language mode
        elif 0x20 <= byte < 0x7F:
            parts.append(char)
        else:
            parts.append(f"\\{byte:03o}")
    return '"' + "".join(parts) + '"'


def _entry_lines(name: str, table: Table) -> list[str]:
    """One '{x, y, z},' line per entry; each value in its shortest round-trip form, never -0.0."""
    values = set(chain.from_iterable(table))  # tables repeat values, zeros above all
    if not all(map(math.isfinite, values)):
        raise CheckError(
            f"{name}: bounds: a value that is not finite cannot be written as a constant"
        )
    # Adding +0.0 turns -0.0 into 0.0; the set holds one of the two zeros, and either prints "0.0".
    text = {value: repr(float(value) + 0.0) for value in values}
    return [f"{{{text[x]}, {text[y]}, {text[z]}}}," for x, y, z in table]


# --- files -------------------------------------------------------------------------------------


def _family_header(pack: str, source: str, records: Sequence[BakedRecord]) -> str:
    lines = [
        f"// Generated by tablegen from {source}. {DO_NOT_EDIT}",
        "#pragma once",
        "",
        '#include "core/offset3.hpp"',
        "",
        f"namespace {namespace(pack)} {{",
        "",
    ]
    for record in records:
        lines.append(
            f"extern const ::motiloom::Offset3 table_{record.name}[{record.pattern.period}];"
        )
        lines.append(f"::motiloom::Offset3 sample_{record.name}(int pip) noexcept;")
    lines += ["", f"}}  // namespace {namespace(pack)}", ""]
    return "\n".join(lines)


def _shard_source(shard: Shard) -> str:
    pack, records = shard.pack, shard.records
    lines = [
        f"// Generated by tablegen from {records[0].source}. {DO_NOT_EDIT}",
        f"// content key {shard.key}",
        f'#include "{shard.family}.hpp"',
        "",
        '#include "core/pip.hpp"',
        "",
        f"namespace {namespace(pack)} {{",
    ]
    for record in records:
        name, period = record.name, record.pattern.period
        if len(record.table) != period:
            raise CheckError(
                f"{name}: entry count: {len(record.table)} entries for a period of {period}"
            )
        lines.append("")
        lines.append(f"const ::motiloom::Offset3 table_{name}[{period}] = {{")
        lines.extend(_entry_lines(name, record.table))
        lines.append("};")
    lines.append("")
    for record in records:
        name, period = record.name, record.pattern.period
        lines.append(
            f"::motiloom::Offset3 sample_{name}(int pip) noexcept "
            f"{{ return table_{name}[::motiloom::wrap_pip(pip, {period})]; }}"
        )
    lines += ["", f"}}  // namespace {namespace(pack)}", ""]
    return "\n".join(lines)


def _families(records: Sequence[BakedRecord]) -> list[tuple[str, str, str, list[BakedRecord]]]:
    """(pack, family, source, records) for each family, in record order."""
    grouped = []
    for (pack, family), members in groupby(records, key=lambda r: (r.pack, r.family)):
        members = list(members)
        grouped.append((pack, family, members[0].source, members))
    keys = [(pack, family) for pack, family, _, _ in grouped]
    if len(set(keys)) != len(keys):
        raise CheckError("catalogue: record order: a family's records are not contiguous")
    return grouped


def _packs_header(families: Sequence[tuple[str, str, str, list[BakedRecord]]]) -> str:
    lines = [
        f"// Generated by tablegen from every pack's authoring modules. {DO_NOT_EDIT_ANY}",
        "// Every baked table and sample function, for C++ programs that use them directly.",
        "#pragma once",
        "",
    ]
    lines += [f'#include "{family_header(pack, family)}"' for pack, family, _, _ in families]
    lines.append("")
    return "\n".join(lines)


def _records_source(records: Sequence[BakedRecord], index: Sequence[int]) -> str:
    count = len(records)
    if count == 0:
        raise CheckError("catalogue: record count: no tables to write")
    lines = [
        f"// Generated by tablegen from every pack's authoring modules. {DO_NOT_EDIT_ANY}",
        "#include <cstddef>",
        "#include <cstdint>",
        "#include <string_view>",
        "",
        '#include "catalogue/catalogue_record.hpp"',
        f'#include "{PACKS_HEADER}"',
        "",
        "namespace motiloom {",
        "",
        "using namespace std::string_view_literals;",
        "",
        "// Every baked pattern, in pack order.",
        f"const CatalogueRecord catalogue_records[{count}] = {{",
    ]
    start = 0
    for pack, members in groupby(records, key=lambda r: r.pack):
        members = list(members)
        lines.append(f"    // {pack}: records {start} to {start + len(members) - 1}")
        for record in members:
            p = record.pattern
            lines.append(
                f"    {{{c_string(p.name)}sv, {c_string(p.description)}sv, {p.period}, {p.axes}, "
                f"&{namespace(pack)}::sample_{p.name}}},"
            )
        start += len(members)
    lines += [
        "};",
        "",
        "// The pack, family and table of each record, in the same order.",
        f"const CatalogueOrigin catalogue_origins[{count}] = {{",
    ]
    for record in records:
        family = record.listed_family
        if not IDENTIFIER.match(family) or len(family) > NAME_KEY_BYTES:
            raise CheckError(
                f"{record.name}: family: {family!r} is not 1 to 32 of a-z, 0-9 and _ "
                "starting with a letter"
            )
        table = f"{namespace(record.pack)}::table_{record.name}"
        lines.append(f'    {{"{record.pack}"sv, "{family}"sv, {table}}},')
    lines += [
        "};",
        "",
        "// Record indices ordered by the unsigned bytes of their names.",
        f"const std::uint64_t catalogue_name_index[{count}] = {{",
    ]
    lines += [f"    {i},  // {records[i].name}" for i in index]
    lines += [
        "};",
        "",
        "// The index's names as integer keys: bytes zero-padded to 32, four big-endian words.",
        f"const NameKey catalogue_name_keys[{count}] = {{",
    ]
    lines += [f"    {{{name_key(records[i].name)}}},  // {records[i].name}" for i in index]
    lines += [
        "};",
        "",
        f"const std::size_t catalogue_record_count = {count};",
        "",
        "}  // namespace motiloom",
        "",
    ]
    return "\n".join(lines)


def _procedural_header() -> str:
    lines = [
        "// Generated by tablegen from tablegen/procedural.py. Do not edit: change that "
        "declaration and rebuild.",
        "#pragma once",
        "",
        "#include <array>",
        "",
        '#include "rudiments/procedural.hpp"',
        "",
        "namespace motiloom {",
        "",
        "// The procedural rudiments in catalogue order. The catalogue lists them ahead of the",
        "// baked patterns, sampling by name tries them first, and the host registers them in this",
        "// order.",
        f"inline constexpr std::array<ProceduralRudiment, {len(PROCEDURAL)}> "
        "procedural_rudiments{{",
    ]
    for r in PROCEDURAL:
        lines.append(
            f"    {{{{{c_string(r.name)}, {c_string(r.description)}, {r.period}, {r.axes}}}, "
            f"&{r.name}, {c_string(r.family)}}},"
        )
    lines += ["}};", "", "}  // namespace motiloom", ""]
    return "\n".join(lines)


@dataclass(frozen=True)
class Shard:
    """One translation unit of tables: a run of one family's records."""

    path: str
    pack: str
    family: str
    key: str  # content key: equal keys give equal text
    run: range  # the positions of its records within the family
    records: Sequence[BakedRecord]


def shards(
    records: Sequence[BakedRecord], family_keys: Mapping[tuple[str, str], str]
) -> list[Shard]:
    """Every shard of the catalogue; `family_keys` gives the content key of each (pack, family)."""
    found = []
    for pack, family, _, members in _families(records):
        family_key = family_keys[(pack, family)]
        for i, run in enumerate(shard_ranges([r.pattern.period for r in members])):
            key = sha256(f"{family_key}/{i}/{run.start}/{run.stop}".encode()).hexdigest()
            path = shard_path(pack, family, i)
            found.append(Shard(path, pack, family, key, run, members[run.start : run.stop]))
    return found


def render_shard(shard: Shard) -> str:
    return _shard_source(shard)


def render_fixed(records: Sequence[BakedRecord], index: Sequence[int]) -> dict[str, str]:
    """Every output that is not a table shard: family headers, the packs header, the records and
    the table of procedural rudiments."""
    families = _families(records)
    outputs = {}
    for pack, family, source, members in families:
        outputs[family_header(pack, family)] = _family_header(pack, source, members)
    outputs[PACKS_HEADER] = _packs_header(families)
    outputs[RECORDS_FILE] = _records_source(records, index)
    outputs[PROCEDURAL_HEADER] = _procedural_header()
    return outputs


def render(
    records: Sequence[BakedRecord],
    index: Sequence[int],
    family_keys: Mapping[tuple[str, str], str] | None = None,
) -> dict[str, str]:
    """The text of every output file, keyed by its path relative to the output directory."""
    if family_keys is None:
        family_keys = {(r.pack, r.family): "" for r in records}
    outputs = render_fixed(records, index)
    for shard in shards(records, family_keys):
        outputs[shard.path] = render_shard(shard)
    return outputs


def shard_is_current(out_dir: Path, shard: Shard) -> bool:
    """Whether the file on disk was written from the same content key."""
    try:
        with open(out_dir.joinpath(*shard.path.split("/")), encoding="utf-8") as stream:
            stream.readline()
            return stream.readline() == f"// content key {shard.key}\n"
    except (FileNotFoundError, UnicodeDecodeError):
        return False


def write_shards(
    out_dir: Path,
    all_shards: Sequence[Shard],
    with_tables: Callable[[Shard], Shard],
) -> list[str]:
    """Renders and writes every shard whose content key on disk is not current; `with_tables`
    supplies a shard's tables when they were left in the cache. Returns the paths written."""
    stale = [shard for shard in all_shards if not shard_is_current(out_dir, shard)]
    return write_outputs(out_dir, {s.path: render_shard(with_tables(s)) for s in stale})


def write_outputs(out_dir: Path, outputs: Mapping[str, str]) -> list[str]:
    """Writes each file whose content differs from what is on disk; returns the paths written.

    A file is replaced in one step (write a temporary file beside it, then rename), so an
    interrupted run never leaves a half-written file that looks current. Nothing else in out_dir
    is touched.
    """
    written = []
    for relative in sorted(outputs):
        data = outputs[relative].encode("utf-8")
        path = out_dir.joinpath(*relative.split("/"))
        try:
            if path.read_bytes() == data:
                continue
        except FileNotFoundError:
            pass
        path.parent.mkdir(parents=True, exist_ok=True)
        handle, temporary = tempfile.mkstemp(
            dir=path.parent, prefix=f".{path.name}.", suffix=".tmp"
        )
        try:
            with os.fdopen(handle, "wb") as stream:
                stream.write(data)
            os.chmod(temporary, 0o644)  # mkstemp makes the file private; sources are readable
            os.replace(temporary, path)
        except BaseException:
            Path(temporary).unlink(missing_ok=True)
            raise
        written.append(relative)
    return written
