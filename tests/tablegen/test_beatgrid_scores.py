"""The drum scores of beat-grid styles 1-36, the score format and the grid printer."""

from __future__ import annotations

import math
import sys
from fractions import Fraction
from pathlib import Path

import pytest

PACKS = str(Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs")
if PACKS not in sys.path:
    sys.path.insert(0, PACKS)

from beatgrid.grid import main, render_grid  # noqa: E402
from beatgrid.score import ACCENT, GHOST, roll, score  # noqa: E402
from beatgrid.scores import STYLES  # noqa: E402

BY_KEY = {s.key: s for s in STYLES}
AXES2 = {"bso": {"bounce", "step", "orbit"}, "bs": {"bounce", "step"}, "": set()}

# (key, title, period, axes-2 motions, club note), in catalogue order.
# fmt: off
TABLE = [
    ("four_floor", "Four to the floor / bare pulse", 256, "bso",
     "Equal quarter-note kicks only. This shared foundation is not itself a complete genre."),
    ("house_classic", "House / kick-clap-offbeat hat", 512, "bs", ""),
    ("house_shuffle", "House / shuffled hats", 512, "bs", ""),
    ("house_jack", "Jackin house / ghost-kick turnaround", 512, "bs",
     "Original swung variant: extra ghost kicks and claps; not a transcription of a named track."),
    ("techno_drive", "Techno / straight driving pulse", 512, "bs", ""),
    ("techno_toms", "Techno / tom conversation", 512, "bs", ""),
    ("techno_broken", "Techno / broken kick study", 512, "bs",
     "A deliberately broken alternative; not all techno uses a quarter-note kick."),
    ("techno_polymeter", "Techno / three-step percussion cycle", 768, "bs",
     "Original three-sixteenth percussion cycle over 4/4: both layers close after three bars."),
    ("ukg_two_step", "UK garage / two-step foundation", 512, "bs",
     "Backbeats on 2/4; the second kick sits on the & of 3. Off-grid hats supply shuffle."),
    ("ukg_skip", "UK garage / skipping answer", 512, "bs", ""),
    ("ukg_four_four", "UK garage / four-four shuffle", 512, "bs",
     "Garage also has a four-to-the-floor branch; it is not all two-step."),
    ("speed_garage", "Speed garage / offbeat bass answers", 512, "",
     "Bass onsets are included as movement cues. Audio uses a simple synth, not a sampled Reese"
     " patch."),
    ("bassline", "Bassline / syncopated low-end hooks", 512, "", ""),
    ("grime_sparse", "Grime / sparse square-cut backbeat", 512, "bs", ""),
    ("grime_syncopated", "Grime / displaced snare conversation", 512, "bs",
     "A 140 BPM syncopated study; grime has no single mandatory snare pattern."),
    ("grime_half", "Grime / half-time negative space", 512, "", ""),
    ("drill_tresillo", "UK drill / grouped hats", 512, "",
     "3+3+2 sixteenth grouping is not a tuplet: the grid here remains straight."),
    ("drill_displaced", "UK drill / moving second-bar snare", 512, "",
     "Snare: beat 3 in bar one, beat 4 in bar two. This is one common design, not a rule for all"
     " drill."),
    ("drill_rolls", "UK drill / true triplet hat fill", 512, "",
     "The added hat fill uses rational tuplets; grouped hats and triplet rolls remain distinct"
     " concepts."),
    ("amen_four_bar", "Amen / four-bar structural study", 1024, "",
     "Quenvar / The Ostrels, Amen, Brother. Four bars, not a generic 2-bar loop. Timing/velocity"
     " are approximations; no original recording or measured human microtiming."),
    ("amen_no_ghosts", "Amen / remove the ghost snares", 1024, "",
     "A/B study: only quiet snares removed. This deliberately simplified version is not the"
     " complete Amen."),
    ("jungle_chops", "Jungle / rearranged break fragments", 512, "bs",
     "Original chopped-break-style arrangement, not the original Amen sequence."),
    ("jungle_ghosts", "Jungle / ghosts and snare rolls", 512, "bs", ""),
    ("jungle_switch", "Jungle / full-time to half-time answer", 1024, "bs",
     "Four-bar original phrase: the final half uses fewer main snares, not a tempo change."),
    ("dnb_two_step", "Drum & bass / two-step foundation", 512, "bs", ""),
    ("dnb_rolling", "Drum & bass / rolling ghosts", 512, "bs", ""),
    ("dnb_half", "Drum & bass / half-time space", 512, "", ""),
    ("dubstep_half", "Dubstep / half-step anchor", 512, "", ""),
    ("dubstep_skip", "Dubstep / skippy half-step", 512, "", ""),
    ("trap_trills", "Trap / half-time and hat trills", 512, "", ""),
    ("electro", "Electro / broken machine groove", 512, "bs", ""),
    ("trance", "Trance / offbeat lift", 512, "",
     "Offbeat bass/pulse is included. A rhythmic sketch cannot supply trance harmony, timbre or"
     " arrangement."),
    ("rave_breaks", "Rave / four-floor plus break layer", 512, "bs", ""),
    ("dembow", "Reggaeton / dembow answer", 512, "bs",
     "Quarter-note kick version with offbeat snare answers; one useful dembow foundation, not"
     " every dancehall rhythm."),
    ("disco", "Disco / lively hat accents", 512, "bs", ""),
    ("amapiano", "Amapiano / shaker and bass-percussion study", 512, "",
     "An original percussion and log-drum-style bass rhythm. Pitched bass is a cue lane, not a"
     " downloaded sample."),
]
# fmt: on


def test_styles_follow_the_table_in_order():
    assert [s.key for s in STYLES] == [row[0] for row in TABLE]


@pytest.mark.parametrize("key, title, period, axes2, note", TABLE, ids=[r[0] for r in TABLE])
def test_style_heading(key, title, period, axes2, note):
    s = BY_KEY[key]
    assert (s.title, s.note, s.period, s.axes2) == (title, note, period, AXES2[axes2])
    assert any(e.time < 16 for e in s.events), "something must play on or near the one"


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
    for key in ("techno_broken", "electro"):
        assert times(key, "kick") != [64 * i for i in range(8)], key


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
