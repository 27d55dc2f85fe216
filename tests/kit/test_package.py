"""What the installed distribution says about itself: its version everywhere it is shown, its
licence, and that no required dependency is GPL."""

import importlib.metadata
import re
import subprocess
import sys
from pathlib import Path

import pytest

import motiloom_kit

DIST = importlib.metadata.distribution("motiloom")
BIN = Path(sys.executable).parent


def test_version_of_the_kit_is_the_wheels():
    assert motiloom_kit.__version__ == DIST.version


@pytest.mark.parametrize(
    "command",
    [
        [str(BIN / "motiloom"), "--version"],
        [sys.executable, "-P", "-m", "motiloom_kit", "--version"],
    ],
    ids=["console-script", "python-m"],
)
def test_version_on_the_command_line(command):
    done = subprocess.run(command, capture_output=True, text=True, timeout=60, check=True)
    assert done.stdout == f"motiloom {DIST.version}\n"
    assert done.stderr == ""


def test_licence_metadata_names_the_shipped_licence_file():
    metadata = DIST.metadata
    shipped = [f for f in DIST.files or [] if f.name == "LICENSE"]
    assert metadata["License-File"] == "LICENSE" and len(shipped) == 1
    first_line = shipped[0].read_text().splitlines()[0]  # "MIT License"
    assert first_line == f"{metadata['License-Expression']} License"


def test_no_required_dependency_is_gpl():
    """The GPL library (aalink) is only ever an optional extra: every dependency installed without
    an extra is read for its own licence, as its metadata states it."""
    required = [text for text in DIST.requires or [] if "extra ==" not in text]
    assert required, "the distribution declares no required dependency at all"
    for text in required:
        name = re.match(r"[A-Za-z0-9._-]+", text).group()
        meta = importlib.metadata.metadata(name)
        stated = [
            meta.get("License-Expression") or "",
            (meta.get("License") or "").partition("\n")[0],
            *(c for c in meta.get_all("Classifier") or [] if c.startswith("License ::")),
        ]
        assert not any(re.search(r"(?<!L)GPL|General Public", s) for s in stated), (name, stated)
