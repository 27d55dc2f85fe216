"""Integer-pip rhythmic position functions"""

from collections.abc import Iterable, Sequence
from typing import SupportsFloat, SupportsIndex, TypeAlias, TypedDict

# A pip is any int (bool and objects with __index__, numpy ints among them) in the signed
# 32-bit range; floats are refused at run time whatever their value, and so here.
_Pip: TypeAlias = SupportsIndex
# Names and descriptions: text, or raw bytes taken as they are.
_Text: TypeAlias = str | bytes | bytearray
# Doubles: floats, ints and anything that converts itself with __float__ or __index__.
_Real: TypeAlias = SupportsFloat | SupportsIndex

PIPS_PER_BEAT: int

class CatalogueEntry(TypedDict):
    """One catalogue entry, with its keys in this order."""

    name: str
    description: str
    period_pips: int
    dimensions: int

class Offset3:
    """A position: three components in [-1, 1]. Made only by the module; read-only."""

    @property
    def x(self) -> float: ...
    @property
    def y(self) -> float: ...
    @property
    def z(self) -> float: ...
    def as_tuple(self) -> tuple[float, float, float]: ...

class SampledRecording:
    """A finite, non-looping recording: one row of named axes per pip, from `start_pip`."""

    def __init__(
        self,
        name: _Text,
        dimensions: Iterable[_Text],
        samples: Iterable[Iterable[_Real]],
        bpm: _Real,
        beat_zero_seconds: _Real = 0.0,
        start_pip: _Pip = 0,
    ) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def dimensions(self) -> list[str]: ...
    @property
    def sample_count(self) -> int: ...
    @property
    def bpm(self) -> float: ...
    @property
    def beat_zero_seconds(self) -> float: ...
    @property
    def start_pip(self) -> int: ...
    def sample(self, pip: _Pip) -> list[float]:
        """The row at `pip`; IndexError outside the recording."""

class SampledPattern:
    """A caller's looping pattern: one (x, y, z) row per pip of its period (1 to 65,535)."""

    def __init__(
        self, name: _Text, description: _Text, samples: Iterable[Sequence[_Real]]
    ) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def description(self) -> str: ...
    @property
    def period_pips(self) -> int: ...
    def sample(self, pip_count: _Pip) -> Offset3:
        """The row at `pip_count`, wrapped into the period."""

class PatternLibrary:
    """Up to 1,024 caller patterns layered over the built-in catalogue."""

    def __init__(self, patterns: Iterable[SampledPattern] = ...) -> None: ...
    def sample(self, name: _Text, pip_count: _Pip) -> Offset3:
        """The named pattern (the library's own first, then the built-ins) at `pip_count`."""

    def catalogue(self) -> list[CatalogueEntry]:
        """The built-in entries followed by the library's own."""

def sample(name: _Text, pip_count: _Pip) -> Offset3:
    """Any built-in pattern, procedural or baked, by name; ValueError for an unknown name."""

def catalogue() -> list[CatalogueEntry]:
    """Every built-in pattern: the procedural rudiments, then the baked tables."""

def bounce(pip: _Pip, /) -> Offset3: ...
def sway(pip: _Pip, /) -> Offset3: ...
def circle(pip: _Pip, /) -> Offset3: ...
def figure_eight(pip: _Pip, /) -> Offset3: ...
def step_touch(pip: _Pip, /) -> Offset3: ...
def box_step(pip: _Pip, /) -> Offset3: ...
def helix(pip: _Pip, /) -> Offset3: ...
def vorn_background(pip: _Pip, /) -> Offset3: ...
def single_stroke_roll(pip: _Pip, /) -> Offset3: ...
def double_stroke_roll(pip: _Pip, /) -> Offset3: ...
def multiple_bounce_roll(pip: _Pip, /) -> Offset3: ...
def single_paradiddle(pip: _Pip, /) -> Offset3: ...
def flam(pip: _Pip, /) -> Offset3: ...
def drag(pip: _Pip, /) -> Offset3: ...
def five_stroke_roll(pip: _Pip, /) -> Offset3: ...
