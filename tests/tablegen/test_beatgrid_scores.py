"""The drum scores of the 68 beat-grid styles, the score format and the grid printer."""

from __future__ import annotations

import math
from fractions import Fraction

import pytest
from beatgrid.grid import main, render_grid
from beatgrid.score import ACCENT, GHOST, roll, score
from beatgrid.scores import STYLES

BY_KEY = {s.key: s for s in STYLES}
# The one style whose loop opens on silence: the one-drop leaves beat 1 empty by definition.
STARTS_WITH_SPACE = {"reggae_one_drop"}


def test_every_style_plays_on_or_near_the_one_and_loops_in_whole_bars():
    for s in STYLES:
        assert s.period % 256 == 0, s.key
        if s.key not in STARTS_WITH_SPACE:
            assert any(e.time < 16 for e in s.events), f"{s.key}: nothing on or near the one"


def test_every_style_plays_its_own_score():
    assert len({s.events for s in STYLES}) == len(STYLES)


def times(key, *kinds):
    return BY_KEY[key].times(*kinds)


# Exact hit times, written out by beat: 64 pips a beat, 256 a bar.
@pytest.mark.parametrize(
    "key, kinds, expected",
    [
        ("four_floor", ("kick", "snare", "hat", "perc", "bass"), [0, 64, 128, 192]),
        ("ukg_two_step", ("snare",), [64, 192, 256 + 64, 256 + 192]),
        ("drill_displaced", ("snare",), [2 * 64, 256 + 3 * 64]),
        ("techno_polymeter", ("perc",), [3 * 16 * i for i in range(16)]),
        ("dembow", ("kick",), [64 * i for i in range(8)]),
        # per pair of beats: the a of the first (3 sixteenths) and the & of the second (6)
        ("dembow", ("snare",), sorted(128 * i + d for i in range(4) for d in (48, 96))),
        ("dubstep_half", ("snare",), [128, 256 + 128]),
        # per bar: 1, 2, 3, the a of 3, the & of 4
        ("jersey_five", ("kick",), [b + t for b in (0, 256) for t in (0, 64, 128, 176, 224)]),
        ("reggae_one_drop", ("kick",), [128, 256 + 128]),
        ("reggae_one_drop", ("rim",), [128, 256 + 128]),
        ("reggae_steppers", ("kick",), [64 * i for i in range(8)]),
        ("reggae_rockers", ("kick",), [0, 128, 256, 256 + 128]),
        # three side: 1, the & of 2, 4; two side: 2, 3
        ("son_clave_32", ("rim",), [0, 96, 192, 256 + 64, 256 + 128]),
        ("dnb_push", ("kick",), [0, 128 + 32, 256, 256 + 128 + 32, 256 + 192 + 48]),
    ],
)
def test_defining_hit_times(key, kinds, expected):
    assert times(key, *kinds) == expected


def test_four_floor_is_equal_kicks_only():
    assert {(e.instrument, e.level) for e in BY_KEY["four_floor"].events} == {("kick", ACCENT)}


def test_two_step_kicks_and_shuffled_hats():
    for bar in (0, 256):
        kicks = [t - bar for t in times("ukg_two_step", "kick") if bar <= t < bar + 256]
        assert kicks[:2] == [0, 2 * 64 + 32]  # the second kick sits on the & of 3
        assert {0, 2 * 64 + 32} <= {t - bar for t in times("dnb_two_step", "kick")}
    assert any(t % 16 for t in times("ukg_two_step", "hat"))
    assert not any(t % 16 for t in times("dnb_two_step", "kick", "snare", "hat"))


def test_drill_hats_are_grouped_3_3_2_on_a_straight_grid():
    hats = times("drill_tresillo", "hat")
    assert all(t.denominator == 1 and t % 16 == 0 for t in hats)
    gaps = [(b - a) % 512 for a, b in zip(hats, hats[1:] + hats[:1], strict=True)]
    assert gaps == [48, 48, 32] * 4


def test_drill_fill_and_trap_trills_are_true_tuplets():
    for key in ("drill_rolls", "trap_trills"):
        assert any(t.denominator == 3 for t in times(key, "hat")), key
    # the trap trill also runs in 32nd notes, on whole pips between the sixteenths
    assert any(t.denominator == 1 and t % 16 == 8 for t in times("trap_trills", "hat"))


def test_polymeter_layers_close_together_after_three_bars():
    assert math.lcm(3 * 16, 4 * 64) == 768 == BY_KEY["techno_polymeter"].period
    assert times("techno_polymeter", "kick") == [64 * i for i in range(12)]


def test_amen_pair_differs_only_in_quiet_snares():
    full, bare = set(BY_KEY["amen_four_bar"].events), set(BY_KEY["amen_no_ghosts"].events)
    removed = full - bare
    assert bare < full and removed
    assert {(e.instrument, e.level) for e in removed} == {("snare", GHOST)}


def test_amen_bars_three_and_four_vary_the_first():
    def bar(n, instrument):
        return [t - 256 * (n - 1) for t in times("amen_four_bar", instrument) if t // 256 == n - 1]

    assert bar(1, "snare") == bar(2, "snare") != bar(3, "snare") != bar(4, "snare")
    assert 0 in bar(1, "kick") and 0 not in bar(4, "kick")  # the fourth bar pushes its kicks
    assert max(bar(4, "snare")) == 3 * 64 + 32  # and ends on the late snare


def test_jungle_switch_halves_its_main_snares_without_changing_tempo():
    main = [e.time for e in BY_KEY["jungle_switch"].of("snare") if e.level == ACCENT]
    first, second = sum(t < 512 for t in main), sum(t >= 512 for t in main)
    assert 0 < second < first
    assert times("jungle_switch", "ride") == [32 * i for i in range(32)]


def test_broken_styles_leave_the_quarter_note_kick():
    broken = ("techno_broken", "electro", "electro_robot", "funky_syncopated", "broken_push")
    for key in (*broken, "broken_shuffle", "gqom_space", "gqom_exchange"):
        assert times(key, "kick") != [64 * i for i in range(8)], key


def test_son_clave_directions_are_one_score_a_bar_apart():
    three_two, two_three = BY_KEY["son_clave_32"], BY_KEY["son_clave_23"]
    moved = {((e.time + 256) % 512, e.instrument, e.level) for e in three_two.events}
    assert moved == {(e.time, e.instrument, e.level) for e in two_three.events}
    assert times("son_clave_23", "rim")[:2] == [64, 128]  # opens on the two side


def test_one_drop_leaves_beat_one_of_both_bars_empty():
    assert not [e for e in BY_KEY["reggae_one_drop"].events if e.time % 256 < 16]


def test_dembow_push_is_the_dembow_plus_a_pickup_into_the_one():
    push, plain = BY_KEY["dembow_push"], BY_KEY["dembow"]
    added = set(push.events) - set(plain.events)
    assert set(plain.events) < set(push.events)
    assert added and all(448 <= e.time < 512 for e in added)


def test_footwork_bass_replies_in_true_triplets():
    bass = times("footwork_triplet", "bass")
    assert all((t * 3 / 64).denominator == 1 for t in bass)  # on the eighth-triplet lattice
    assert any(t.denominator == 3 for t in bass)
    assert all(t % 16 == 0 for t in times("footwork_triplet", "kick", "snare", "hat"))


def test_afro_cross_sets_three_strokes_against_four_kicks_per_bar():
    for bar in (0, 256):
        congas = [t - bar for t in times("afro_cross", "conga") if bar <= t < bar + 256]
        kicks = [t - bar for t in times("afro_cross", "kick") if bar <= t < bar + 256]
        assert congas == [Fraction(256, 3) * i for i in range(3)]
        assert kicks == [64 * i for i in range(4)]


def test_afro_bell_weaves_between_the_kicks():
    kicks = set(times("afro_bell", "kick"))
    for weave in ("bell", "conga"):
        assert kicks.isdisjoint(times("afro_bell", weave)), weave


def test_psy_bass_rolls_off_the_beat_with_whole_beats_left_out():
    bass = times("psy_rolling", "bass")
    per_beat = [sorted(t % 64 for t in bass if t // 64 == beat) for beat in range(8)]
    assert all(b in ([], [16, 32, 48]) for b in per_beat)
    assert 0 < per_beat.count([]) < 8
    assert times("psy_rolling", "kick") == [64 * i for i in range(8)]


def test_broken_push_snares_sit_a_sixteenth_off_the_backbeat_both_ways():
    snares = [e.time % 256 for e in BY_KEY["broken_push"].events if e.instrument == "snare"]
    # each snare's distance to the nearest backbeat (2 or 4 of its bar); rims only ghost them
    offsets = [min((t - beat for beat in (64, 192)), key=abs) for t in snares]
    assert len(offsets) == 4 and set(offsets) == {-16, 16}


def test_hard_reverse_swells_wait_for_the_and_and_rise():
    bass = BY_KEY["hard_reverse"].of("bass")
    assert all(e.time % 64 >= 32 or e.time >= 448 for e in bass)
    for beat in range(8):
        swell = [e.level for e in bass if e.time // 64 == beat]
        assert len(swell) > 1 and swell == sorted(swell) and swell[-1] == ACCENT


def test_grid_round_trips_lanes_and_marks_off_grid_events():
    lanes = {"kick": "X... x... ..g. .... | X... .... X.x. ...x", "hat": "..x. " * 8}
    s = score("t", "T", lanes=lanes, extra=[("open_hat", 70, 0.7), ("hat", Fraction(64, 3), GHOST)])
    lines = render_grid(s).splitlines()
    grid = {line.split()[0]: line[10:] for line in lines[2:5]}
    assert grid["kick"] == lanes["kick"]
    assert grid["hat"] == ".~x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x."  # 64/3 is sixteenth 2
    assert grid["open_hat"].replace(" ", "")[70 // 16] == "~"
    assert lines[-2:] == ["~ hat      64/3(g)", "~ open_hat 70"]


def test_grid_command(capsys):
    assert main(["four_floor"]) == 0
    assert "kick      X... X... X... X..." in capsys.readouterr().out
    with pytest.raises(SystemExit):
        main(["no_such_style"])


BAR2 = "x... .... .... .... | .... .... .... ...."


@pytest.mark.parametrize(
    "lanes, extra, swing, message",
    [
        ({"kick": "x..."}, (), None, "make 64 pips, not 512"),
        ({"kick": "x... .... .... .... .... | .... .... ...."}, (), None, "'|' falls"),
        ({"kick": BAR2.replace("x", "o")}, (), None, "unknown symbol 'o'"),
        ({"gong": BAR2}, (), None, "unknown instrument 'gong'"),
        ({"kick": BAR2}, [("gong", 3, 0.5)], None, "unknown instrument 'gong'"),
        ({"kick": BAR2}, [("kick", 0, 0.5)], None, "written twice"),
        ({"kick": BAR2}, [("hat", 512, 0.5)], None, "outside the loop"),
        ({"kick": BAR2}, [("hat", 8, 0.0)], None, "outside the loop or has no level"),
        ({"kick": BAR2}, (), {"kick": 16}, "swing of 16"),
        ({"kick": BAR2}, (), {"hat": 4}, "without a lane"),
        ({"kick": BAR2.replace("x", ".")}, (), None, "nothing plays"),
    ],
)
def test_score_rejects_bad_input(lanes, extra, swing, message):
    with pytest.raises(ValueError, match=message):
        score("bad", "Bad", lanes=lanes, extra=extra, swing=swing)


def test_roll_spaces_hits_evenly_and_rises():
    hits = roll("snare", 448, 8, 64)
    assert [t for _, t, _ in hits] == [448 + 8 * i for i in range(8)]
    assert [lv for _, _, lv in hits] == sorted(lv for _, _, lv in hits)
    assert (hits[0][2], hits[-1][2]) == (GHOST, ACCENT)
