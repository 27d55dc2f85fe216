"""Small pack directories for the tests of the generator."""

from __future__ import annotations

import math
from pathlib import Path

import pytest

# An ellipse x = rx cos(phi), y = ry sin(phi) has its exact peaks at pip 0 (x) and at a quarter
# period (y, where sin is exactly 1.0). With rx > ry it moves fastest away from the seam, so its
# loop is seamless with room to spare.
FAMILY_TEMPLATE = """\
import math

from tablegen.model import Pattern


def ellipse(period, rx, ry):
    def curve(k):
        phi = 2 * math.pi * k / period
        return (rx * math.cos(phi), ry * math.sin(phi))

    return curve


PATTERNS = [
{rows}]
"""


def family_source(rows: list[tuple[str, str, int, float, float]]) -> str:
    """A family module of ellipses; each row is (name, description, period, rx, ry)."""
    text = "".join(
        f"    Pattern({name!r}, {description!r}, {period}, 2, ellipse({period}, {rx!r}, {ry!r})),\n"
        for name, description, period, rx, ry in rows
    )
    return FAMILY_TEMPLATE.format(rows=text)


def _largest_step(period: int, rx: float, ry: float) -> float:
    """The largest step between neighbouring entries of a stored ellipse, seam included."""
    angles = [2 * math.pi * k / period for k in range(period)]
    points = [(round(rx * math.cos(a), 12), round(ry * math.sin(a), 12)) for a in angles]
    return max(math.dist(points[k - 1], points[k]) for k in range(period))


def pack_source(key: str, rows: list[tuple[str, str, int, float, float]], order: int = 10) -> str:
    periods: dict[int, int] = {}
    for _, _, period, _, _ in rows:
        periods[period] = periods.get(period, 0) + 1
    peak = max(max(rx, ry) for _, _, _, rx, ry in rows)
    step = max(_largest_step(period, rx, ry) for _, _, period, rx, ry in rows)
    return (
        "from tablegen.model import Pack\n\n"
        f"PACK = Pack(key={key!r}, count={len(rows)}, peak={peak!r}, max_step={round(step, 4)!r}, "
        f"periods={periods!r}, axes={{2: {len(rows)}}}, en_dashes={{'groove_': 1}}, "
        f"order={order})\n"
    )


@pytest.fixture
def write_packs(tmp_path):
    """Writes packs/<key>/pack.py and packs/<key>/<file> for {key: {file: rows}}; returns packs/."""

    def write(packs: dict[str, dict[str, list[tuple[str, str, int, float, float]]]]) -> Path:
        root = tmp_path / "packs"
        for number, (key, families) in enumerate(packs.items(), start=1):
            pack_dir = root / key
            pack_dir.mkdir(parents=True, exist_ok=True)
            every_row = [row for rows in families.values() for row in rows]
            source = pack_source(key, every_row, order=10 * number)
            (pack_dir / "pack.py").write_text(source, encoding="utf-8")
            for file_name, rows in families.items():
                (pack_dir / file_name).write_text(family_source(rows), encoding="utf-8")
        return root

    return write


# Two packs, three families; names chosen so that byte order differs from record order, and one
# initial groove_ description carries the en dash that must reach C++ as an octal escape.
SMALL_CATALOGUE = {
    "initial": {
        "10_ring.py": [
            (
                "ring_wide_slow",
                "A wide ellipse drawn once over four beats, for the generator.",
                256,
                0.8,
                0.3,
            ),
            (
                "groove_b_narrow",
                "A narrow ellipse over 2.5 beats (4\u201312 source beats), for tests.",
                160,
                0.5,
                0.25,
            ),
        ],
        "20_loop.py": [
            (
                "loop_tall_1024",
                "A tall ellipse over sixteen beats; drawn slowly for the tests.",
                1024,
                0.6,
                0.45,
            ),
        ],
    },
    "expansion": {
        "10_ring.py": [
            (
                "ring_a_far",
                "An ellipse in the expansion pack, named to sort first by bytes.",
                512,
                0.7,
                0.2,
            ),
        ],
    },
}
SMALL_NAMES_BY_BYTES = ("groove_b_narrow", "loop_tall_1024", "ring_a_far", "ring_wide_slow")


@pytest.fixture
def small_packs(write_packs):
    return write_packs(SMALL_CATALOGUE)


@pytest.fixture
def small_catalogue():
    """The authoring of the small packs: {pack: {file: [(name, description, period, rx, ry)]}}."""
    return SMALL_CATALOGUE


@pytest.fixture
def small_names_by_bytes():
    return SMALL_NAMES_BY_BYTES
