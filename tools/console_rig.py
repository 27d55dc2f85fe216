"""A rig of 120 moving heads on one universe in three groups, for the console's picture and its
benchmark: each group moves a different pattern around its own part of the stage.

    python tools/console_rig.py > /tmp/arena.toml
    python tools/console_rig.py --host 127.0.0.2 --count 120 > /tmp/arena.toml
"""

from __future__ import annotations

import argparse

# (name, pattern, rate, size, centre, spread)
GROUPS = (
    ("left", "circle", "1/2", 0.36, (-0.5, 0.4), "even"),
    ("right", "figure_eight", "1/2", 0.36, (0.5, 0.4), "even"),
    ("floor", "beat_house_classic_spiral", "1", 0.42, (0.0, -0.42), "wings"),
)


def rig_text(count: int = 120, host: str = "127.0.0.1", fps: int = 44, bpm: float = 128) -> str:
    """The rig file: `count` 16-bit heads (four channels each, so at most 128 on a universe)
    split into the three groups, sending sACN universe 1 to `host`."""
    if not 3 <= count <= 128:
        raise ValueError(f"the rig holds 3 to 128 heads on its one universe, not {count}")
    parts = [
        f'fps = {fps}\nbpm = {bpm}\nfade_in_beats = 1\nstop = "home"\n\n'
        f'[[output]]\nprotocol = "sacn"\nhost = "{host}"\nuniverses = [1]\n'
    ]
    for n in range(count):
        parts.append(
            f'[[fixture]]\nname = "head{n + 1}"\nuniverse = 1\naddress = {1 + 4 * n}\n'
            f'profile = "pan-tilt-16"\n'
        )
    cuts = [round(count * k / len(GROUPS)) for k in range(len(GROUPS) + 1)]
    for (name, pattern, rate, size, centre, spread), low, high in zip(
        GROUPS, cuts, cuts[1:], strict=False
    ):
        members = ", ".join(f'"head{n + 1}"' for n in range(low, high))
        parts.append(
            f'[[group]]\nname = "{name}"\nfixtures = [{members}]\npattern = "{pattern}"\n'
            f'rate = "{rate}"\nsize = {size}\ncentre = [{centre[0]}, {centre[1]}]\n'
            f'spread = "{spread}"\n'
        )
    return "\n".join(parts)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=120)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()
    print(rig_text(args.count, args.host), end="")


if __name__ == "__main__":
    main()
