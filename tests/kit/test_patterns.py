"""Patterns as arrays against motiloom's own per-pip sampling, bit for bit, and every baked table
the kit reads against the committed pack digests."""

import hashlib
import json
import math
from fractions import Fraction
from pathlib import Path

import motiloom
import numpy as np
import pytest

from motiloom_kit import catalogue, pattern

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1
DIGESTS = Path(__file__).resolve().parents[1] / "python" / "pack_digests.json"


def spread_of_entries():
    """Every procedural rudiment, the first and last entry of each pack, and the first entry of
    each period: wrapping and interpolation depend on the period and the kind of entry, never on
    which table of them it is."""
    entries = catalogue.entries()
    chosen = {e.name: None for e in entries if e.kind == "procedural"}
    packs: dict[str, list[str]] = {}
    for e in entries:
        packs.setdefault(e.pack, []).append(e.name)
    for names in packs.values():
        chosen.update(dict.fromkeys((names[0], names[-1])))
    periods = {}
    for e in entries:
        periods.setdefault(e.period_pips, e.name)
    chosen.update(dict.fromkeys(periods.values()))
    return list(chosen)


NAMES = spread_of_entries()
# A caller's loop with -0.0 in it: sums and interpolation must not turn it into +0.0.
WAVE = motiloom.SampledPattern(
    "kit_wave", "A caller's ramp", [[k / 50 - 1, -0.0 if k % 3 else 0.5, 0.0] for k in range(101)]
)
LIBRARY = motiloom.PatternLibrary([WAVE])


def bits(values):
    return np.ascontiguousarray(values, dtype=np.float64).view(np.int64)


def per_pip(sample, pips):
    return np.array([sample(pip).as_tuple() for pip in pips], dtype=np.float64)


def boundary_pips(period):
    return [INT32_MIN, INT32_MIN + 1, -period - 1, -period, -1, 0, 1, period - 1, period,
            37 * period + 5, INT32_MAX - 1, INT32_MAX]  # fmt: skip


HUGE = [2**31, -(2**31) - 1, 2**40 + 3, -(2**45) - 7, 2**63 - 1, -(2**63)]
BEYOND_INT64 = [10**30 + 1, -(10**25) - 3]


def test_every_baked_table_the_kit_reads_matches_its_pack_digest():
    """The committed digests pin what motiloom samples, pip by pip (tests/python/test_packs.py);
    the kit's tables, read from the build without a sample call, must give the same bytes."""
    committed = json.loads(DIGESTS.read_text())
    digests = {}
    for entry in catalogue.entries():
        if entry.kind != "baked":
            continue
        table = pattern(entry.name).table()
        digest = digests.setdefault(entry.pack, hashlib.sha256())
        digest.update(entry.name.encode())
        digest.update(np.ascontiguousarray(table, dtype="<f8").tobytes())
    assert {pack: d.hexdigest() for pack, d in digests.items()} == committed


@pytest.mark.parametrize("name", NAMES)
def test_bulk_equals_per_pip_sample(name):
    subject = pattern(name)
    period = subject.period
    table = subject.table()
    assert table.shape == (period, 3) and not table.flags.writeable
    assert np.array_equal(
        bits(table), bits(per_pip(lambda k: motiloom.sample(name, k), range(period)))
    )
    small = boundary_pips(period)
    expected = per_pip(lambda k: motiloom.sample(name, k), small)
    assert np.array_equal(bits(subject.render(np.array(small))), bits(expected))
    # Pips beyond 32 bits land where the wrapped pip does, int64 or Python ints alike.
    for far in (np.array(HUGE, dtype=np.int64), np.array(HUGE, dtype=object), BEYOND_INT64):
        wrapped = per_pip(lambda k: motiloom.sample(name, k % period), list(far))
        assert np.array_equal(bits(subject.render(far)), bits(wrapped))
    assert subject.dimensions == catalogue.lookup(name).dimensions


@pytest.mark.parametrize(
    "make",
    [lambda: pattern(WAVE), lambda: pattern("kit_wave", library=LIBRARY)],
    ids=["own", "lib"],
)
def test_caller_patterns(make):
    subject = make()
    pips = boundary_pips(WAVE.period_pips) + HUGE
    expected = per_pip(lambda k: WAVE.sample(k % WAVE.period_pips), pips)
    assert np.array_equal(bits(subject.render(np.array(pips, dtype=object))), bits(expected))
    assert subject.dimensions == LIBRARY.catalogue()[-1]["dimensions"]
    # Whole pips rendered alongside fractional ones keep their stored rows, -0.0 included.
    whole = np.arange(-5, 300, dtype=np.int64)
    mixed = subject.render(np.concatenate([whole, whole + 0.25]), "linear")
    assert np.array_equal(bits(mixed[: len(whole)]), bits(subject.render(whole)))


@pytest.mark.parametrize("name", NAMES)
def test_linear_interpolation(name):
    subject = pattern(name)
    whole = np.array([-(2**40), -1, 0, 1, subject.period - 1, 2**33 + 7], dtype=np.int64)
    exact_rows = subject.render(whole)
    mixed = subject.render(np.concatenate([whole, whole + 0.5]), "linear")
    assert np.array_equal(bits(mixed[: len(whole)]), bits(exact_rows))
    halfway = mixed[len(whole) :]
    assert np.allclose(halfway, (exact_rows + subject.render(whole + 1)) / 2, rtol=0, atol=1e-12)
    assert np.array_equal(bits(subject.render(whole + 0.5)), bits(exact_rows))  # "none" floors


@pytest.mark.parametrize(
    ("rate", "value"),
    [("1/2", Fraction(1, 2)), ("1/3", Fraction(1, 3)), (2, Fraction(2)), ("3/2", Fraction(3, 2)),
     ("dotted", Fraction(2, 3)), ("triplet", Fraction(3, 2)), (0.75, Fraction(3, 4))],
)  # fmt: skip
@pytest.mark.parametrize("phase_beats", [0, Fraction(1, 3), 5])
@pytest.mark.parametrize("name", ["circle", "helix"])
def test_rate_and_phase_follow_the_loop(name, rate, value, phase_beats):
    subject = pattern(name, rate=rate, phase_beats=phase_beats)
    pips = [-(2**40) - 1, -1001, -1, 0, 1, 7, 63, 64, 1001, 2**35 + 3]
    period = subject.period
    where = [math.floor(p * value + phase_beats * 64) % period for p in pips]
    expected = per_pip(lambda k: motiloom.sample(name, k), where)
    assert np.array_equal(bits(subject.render(np.array(pips))), bits(expected))
    assert subject.loop_pips == period / value


def test_phase_by_loop_fraction_and_shift():
    base = pattern("lfo_breathe")
    quarter = base.period // 4
    pips = np.arange(-600, 600)
    ahead = base.render(pips + quarter)
    assert np.array_equal(base.with_phase(loop=Fraction(1, 4)).render(pips), ahead)
    assert np.array_equal(base.with_phase(beats=Fraction(quarter, 64)).render(pips), ahead)
    assert np.array_equal(base.shifted(Fraction(5, 4)).render(pips), ahead)


@pytest.mark.parametrize(
    ("typo", "meant"), [("lfo_breth", "lfo_breathe"), ("circel", "circle"), ("bounse", "bounce")]
)
def test_a_typo_gets_the_module_error_and_close_names(typo, meant):
    with pytest.raises(ValueError) as error:
        pattern(typo)
    assert str(error.value).startswith(f"Unknown motiloom: {typo} (did you mean ")
    assert meant in error.value.suggestions


def test_a_library_typo_suggests_the_library_names():
    with pytest.raises(ValueError, match=r"^Unknown motiloom: kit_wav \(did you mean kit_wave"):
        pattern("kit_wav", library=LIBRARY)


@pytest.mark.parametrize(
    ("call", "error"),
    [
        (lambda p: p.render(np.array([True, False])), TypeError),
        (lambda p: p.render(np.array([1.5, np.nan])), ValueError),
        (lambda p: p.render(np.array(["1"])), TypeError),
        (lambda p: p.render([1, 2], "cubic"), ValueError),
        (lambda p: p.with_rate(0), ValueError),
        (lambda p: p.with_rate("fast"), ValueError),
        (lambda p: p.with_phase(), TypeError),
        (lambda p: p.with_phase(beats=1, loop=0.5), TypeError),
        (lambda p: pattern(3), TypeError),
    ],
)
def test_bad_input_is_refused(call, error):
    subject = pattern("circle")
    with pytest.raises(error):
        call(subject)
    with pytest.raises(ValueError):
        subject.table()[0, 0] = 1.0


@pytest.mark.parametrize(("rate", "phase_beats"), [("1/4", 0), (1, Fraction(1, 128))])
def test_linear_reaches_between_rows_when_rate_or_phase_does(rate, phase_beats):
    """Whole pips of the timeline can fall between rows of the loop; "linear" draws the line."""
    subject = pattern("circle", rate=rate, phase_beats=phase_beats)
    table = subject.table()
    where = np.arange(8) * subject.rate + subject.phase
    low = np.array([math.floor(w) for w in where]) % subject.period
    part = np.array([float(w - math.floor(w)) for w in where])[:, None]
    expected = table[low] + (table[(low + 1) % subject.period] - table[low]) * part
    assert np.allclose(subject.render(np.arange(8), "linear"), expected, rtol=0, atol=1e-15)
    assert np.array_equal(subject.render(np.arange(8)), table[low])
