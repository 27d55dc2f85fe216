"""The README's examples show what the code does."""

import re
import subprocess
import sys
from pathlib import Path

import numpy as np

import motiloom_kit as kit

ROOT = Path(__file__).resolve().parents[2]
README = (ROOT / "README.md").read_text(encoding="utf-8")


def test_the_moving_heads_output_is_what_the_program_prints():
    block = re.search(r"examples/moving_heads.py.*?```text\n(.*?)```", README, re.S).group(1)
    shown = [line.strip() for line in block.splitlines()]
    done = subprocess.run(
        [sys.executable, str(ROOT / "examples" / "moving_heads.py")],
        capture_output=True, text=True, check=True, timeout=120,
    )  # fmt: skip
    assert done.stdout.splitlines()[: len(shown)] == shown


def test_the_rate_and_phase_example_shows_its_phase():
    line = next(
        line.split("#")[0].strip()
        for line in README.splitlines()
        if line.startswith("circle.with_rate(") and ".with_phase(" in line
    )
    circle = kit.pattern("circle")
    with_phase = eval(line, {"circle": circle})  # the README's own line
    without = eval(line[: line.index(".with_phase(")], {"circle": circle})
    pips = np.arange(circle.period)
    assert not np.array_equal(with_phase.render(pips), without.render(pips))
