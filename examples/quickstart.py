"""A first look at motiloom: a few rudiments and a baked pattern across one beat."""

import motiloom

NAMES = ["bounce", "circle", "step_touch", "single_stroke_roll", "lfo_breathe"]


def main() -> None:
    print(f"motiloom: {motiloom.__doc__}; {motiloom.PIPS_PER_BEAT} pips per beat")
    print(f"{len(motiloom.catalogue())} built-in patterns\n")
    print("pip  " + "".join(f"{name:>26}" for name in NAMES))
    # Every fourth pip: the roll's strokes peak between its zero crossings, which fall every 8.
    for pip in range(0, motiloom.PIPS_PER_BEAT + 1, 4):
        cells = []
        for name in NAMES:
            x, y, z = motiloom.sample(name, pip).as_tuple()
            cells.append(f"({x:+.3f},{y:+.3f},{z:+.3f})".rjust(26))
        print(f"{pip:>3}  " + "".join(cells))

    info = next(e for e in motiloom.catalogue() if e["name"] == "lfo_breathe")
    print(f"\nlfo_breathe: {info['description']}")
    print(f"  loops every {info['period_pips']} pips and uses {info['dimensions']} axis")


if __name__ == "__main__":
    main()
