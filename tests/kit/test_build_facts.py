"""What the kit reads from the build: the extension's own tables without a copy, each entry's pack
and family as the authoring declares them, caller patterns read entry by entry, and the public
path a build without the kit's native module falls back on."""

import json
import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

import motiloom
import numpy as np
import pytest

import motiloom_kit
from motiloom_kit import catalogue, pattern

REPO = Path(__file__).resolve().parents[2]
PACKS_DIR = REPO / "src" / "catalogue" / "packs"
BAKED = [e for e in catalogue.entries() if e.kind == "baked"]


def mapped_ranges(path):
    """The address ranges at which the file `path` is mapped into this process."""
    ranges = []
    for line in Path("/proc/self/maps").read_text().splitlines():
        fields = line.split()
        if len(fields) >= 6 and os.path.realpath(fields[5]) == os.path.realpath(path):
            low, high = (int(part, 16) for part in fields[0].split("-"))
            ranges.append((low, high))
    return ranges


def test_baked_tables_are_views_of_the_extensions_own_memory():
    ranges = mapped_ranges(motiloom.__file__)
    assert ranges, "the extension is not mapped from its file"
    for entry in BAKED:
        table = pattern(entry.name).table()
        start = table.__array_interface__["data"][0]
        end = start + table.nbytes
        assert any(low <= start and end <= high for low, high in ranges), entry.name
        assert not table.flags.writeable and not table.flags.owndata


def test_views_outlive_every_name_that_made_them():
    script = """
        import gc, sys
        import numpy as np
        import motiloom, motiloom_kit
        table = motiloom_kit.pattern("beat_dembow_push_ricochet").table()
        for name in [m for m in sys.modules if m.startswith("motiloom_kit")]:
            del sys.modules[name]
        del motiloom_kit
        gc.collect()
        expected = [motiloom.sample("beat_dembow_push_ricochet", k).as_tuple() for k in range(512)]
        print(np.array_equal(table, np.array(expected)), table.shape)
    """
    out = run_python(script)
    assert out.split() == ["True", "(512,", "3)"]


def declared_origins():
    """(name, pack, family) of every pattern, in catalogue order, read from the authoring."""
    from tablegen.load import load_catalogue

    return [
        (p.name, pack.facts.key, p.family or family.key)
        for pack in load_catalogue(PACKS_DIR)
        for family in pack.families
        for p in family.patterns
    ]


def test_pack_and_family_of_every_entry_are_what_the_authoring_declares():
    assert [(e.name, e.pack, e.family) for e in BAKED] == declared_origins()
    from tablegen.procedural import PROCEDURAL

    procedural = [(e.name, e.pack, e.family) for e in catalogue.entries() if e.pack == "procedural"]
    assert procedural == [(r.name, "procedural", r.family) for r in PROCEDURAL]


def test_the_listing_has_the_modules_four_fields():
    mine = [{k: v for k, v in e.as_dict().items() if k in e0} for e, e0 in
            zip(catalogue.entries(), motiloom.catalogue(), strict=True)]  # fmt: skip
    assert mine == motiloom.catalogue()


# A caller's pattern whose description is not UTF-8 (the module allows bytes there).
GOOD = motiloom.SampledPattern("kit_good", "Fine", [[0.5, -0.0, 0.25], [-0.5, 0.0, 0.0]])
BAD = motiloom.SampledPattern("kit_bad", b"caf\xe9 au lait", [[0.1, 0.2, 0.0]] * 3)


class NoListing(motiloom.PatternLibrary):
    """A library whose full listing must not be asked for."""

    def catalogue(self):
        raise AssertionError("the whole listing was built")


def test_library_entries_are_found_one_by_one():
    library = NoListing([BAD, GOOD])
    with pytest.raises(UnicodeDecodeError):
        motiloom.PatternLibrary([BAD, GOOD]).catalogue()  # the module's own listing fails
    good = pattern("kit_good", library=library)
    assert good.description == "Fine" and good.period == 2 and good.dimensions == 3
    rows = good.render(np.arange(-3, 3))
    expected = [list(GOOD.sample(k).as_tuple()) for k in range(-3, 3)]
    assert np.array_equal(np.signbit(rows), np.signbit(expected)) and rows.tolist() == expected
    bad = pattern("kit_bad", library=library)
    assert bad.description == "caf\\xe9 au lait" and bad.table().tolist() == [[0.1, 0.2, 0.0]] * 3
    assert pattern("lfo_breathe", library=library).table() is pattern("lfo_breathe").table()
    with pytest.raises(ValueError, match=r"^Unknown motiloom: kit_goo \(did you mean kit_good"):
        pattern("kit_goo", library=library)


def test_a_sampled_pattern_is_copied_in_one_step():
    made = pattern(BAD)
    assert made.kind == "caller" and made.entry.pack is None
    assert made.table().tolist() == [[0.1, 0.2, 0.0]] * 3 and made.dimensions == 2


def run_python(script, env=None):
    result = subprocess.run(
        [sys.executable, "-P", "-c", textwrap.dedent(script)],
        capture_output=True, text=True, env=env, timeout=120, check=False,
    )  # fmt: skip
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_a_build_without_the_native_module_uses_the_public_path(tmp_path):
    installed = Path(motiloom_kit.__file__).parent
    copy = tmp_path / "motiloom_kit"
    shutil.copytree(installed, copy, ignore=shutil.ignore_patterns("_tables*.so", "__pycache__"))
    names = ["bounce", "lfo_breathe", "beat_dembow_step", "kit_good"]
    script = """
        import json, sys, warnings
        import motiloom
        import motiloom_kit as kit
        assert kit.__file__.startswith(sys.argv[1])
        good = motiloom.SampledPattern("kit_good", "Fine", [[0.5, -0.0, 0.25], [-0.5, 0.0, 0.0]])
        library = motiloom.PatternLibrary([good])
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            entries = kit.entries()
            tables = {n: kit.pattern(n, library=library).table().tolist() for n in sys.argv[2:]}
        print(json.dumps({
            "warnings": [(w.category.__name__, str(w.message)) for w in caught],
            "entries": [e.as_dict() for e in entries],
            "tables": tables,
        }))
    """
    script = f"import sys; sys.argv[1:] = {[str(tmp_path), *names]!r}\n" + textwrap.dedent(script)
    # The child imports the copied kit (no _tables beside it) ahead of the installed one.
    env = dict(os.environ, PYTHONPATH=str(tmp_path))
    seen = json.loads(run_python(script, env))
    assert [category for category, _ in seen["warnings"]] == ["PublicPathWarning"]
    assert "public API only" in seen["warnings"][0][1]
    listing = motiloom.catalogue()
    assert [{k: e[k] for k in listing[0]} for e in seen["entries"]] == listing
    assert [(e["kind"], e["pack"], e["family"]) for e in seen["entries"]] == [
        ("procedural", "procedural", None) if e.kind == "procedural" else ("baked", None, None)
        for e in catalogue.entries()
    ]
    library = motiloom.PatternLibrary([GOOD])
    for name in names:
        assert seen["tables"][name] == pattern(name, library=library).table().tolist(), name
