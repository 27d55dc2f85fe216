"""The drum scores of the beat-grid styles, in catalogue order.

Every lane counts sixteenths as a drummer does, four to a beat and four beats to a bar:

    1e&a 2e&a 3e&a 4e&a | 1e&a 2e&a 3e&a 4e&a

X is an accent, x a normal hit, g a ghost and . a rest (see score.py). Swing delays a lane's e and
a; `extra` holds what the grid cannot say (rolls, true triplets). Each score starts with something
on the one, so every motion has an event to lean on at the seam; the one exception is the reggae
one-drop, whose whole point is the empty first beat. Print any of them with
`python -m beatgrid.grid STYLE`.
"""

from __future__ import annotations

from .score import ACCENT, BAR, GHOST, Score, at, roll, score, triplets


def _without_ghosts(lanes: dict[str, str], instrument: str) -> dict[str, str]:
    """The same lanes with the ghost notes of one instrument taken out and nothing else changed."""
    return {**lanes, instrument: lanes[instrument].replace("g", ".")}


# The classic four-bar break: two equal bars of kick and snare backbone with ghosts, a third bar
# whose last snare comes a sixteenth late, and the famous fourth bar with the kicks pushed off the
# one, a snare on 1e, a crash on the & of 3 and the late snare again. Shared by two styles.
# fmt: off
AMEN = {
    "kick":     "X.x. .... ..Xx .... | X.x. .... ..Xx .... |"
                " X.x. .... ..Xx .... | ..Xx .... ..X. ....",
    "snare":    ".... X..g .g.. X..g | .... X..g .g.. X..g |"
                " .... X..g .g.. ..X. | .x.. X..g .g.. ..X.",
    "open_hat": ".... .... .... .... | .... .... .... .... |"
                " .... .... .... .... | .... .... ..X. ....",
    "ride":     "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x. |"
                " x.x. x.x. x.x. x.x. | x.x. x.x. x... x.x.",
}

# Latin club under a son clave: four-floor kick, a conga tumbao (heel-toe ghosts, the slap on 2,
# open tones on 4 and its &) and the anticipated tumbao bass on the & of 2 and on 4. Every lane
# repeats each bar, so only the clave tells 3-2 from 2-3. The clave is on the rim, as a kit
# drummer plays it.
SON = {
    "kick":     "X... X... X... X... | X... X... X... X...",
    "conga":    "g.g. X.g. g.g. X.X. | g.g. X.g. g.g. X.X.",
    "cowbell":  "X... x.x. X... x.x. | X... x.x. X... x.x.",
    "bass":     ".... ..x. .... x... | .... ..x. .... x...",
}
# The son clave over two bars, eighth-note figure x..x..x. ..x.x... spread on sixteenths: the
# three side is 1, the & of 2 and 4; the two side is 2 and 3.
CLAVE_THREE = "X... ..X. .... X..."
CLAVE_TWO = ".... X... X... ...."

STYLES: tuple[Score, ...] = (
    # 1. Nothing but the pulse: one equal kick per beat, one bar long.
    score(
        "four_floor", "Four to the floor / bare pulse",
        "Equal quarter-note kicks only. This shared foundation is not itself a complete genre.",
        period=256, axes2="bounce step orbit",
        lanes={
            "kick":     "X... X... X... X...",
        },
    ),
    # 2. The house skeleton: kick on every beat, clap on 2 and 4, open hat on every &.
    score(
        "house_classic", "House / kick-clap-offbeat hat", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
        },
    ),
    # 3. The same skeleton under running sixteenth hats whose e and a drag late.
    score(
        "house_shuffle", "House / shuffled hats", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      "xgxg xgxg xgxg xgxg | xgxg xgxg xgxg xgxg",
        },
        swing={"hat": 5},
    ),
    # 4. Jackin: swung ghost kicks on the a of 2 and a ghost clap on 3e push the groove; bar two
    #    ends on a ghost-kick turnaround back into the one.
    score(
        "house_jack", "Jackin house / ghost-kick turnaround",
        "Original swung variant: extra ghost kicks and claps; not a transcription of a named "
        "track.",
        axes2="bounce step",
        lanes={
            "kick":     "X... X..g X... X... | X... X..g X... Xg.g",
            "clap":     ".... X... .g.. X... | .... X... .g.. X.g.",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
        },
        swing={"kick": 5, "clap": 5},
    ),
    # 5. Straight and relentless: sixteenth hats leaning on the &, a rolling bass on the three
    #    sixteenths after each kick, a dry rim on the backbeat.
    score(
        "techno_drive", "Techno / straight driving pulse", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "rim":      ".... x... .... x... | .... x... .... x...",
            "hat":      "ggXg ggXg ggXg ggXg | ggXg ggXg ggXg ggXg",
            "bass":     ".xxx .xxx .xxx .xxx | .xxx .xxx .xxx .xxx",
        },
    ),
    # 6. High toms ask in the first half of each bar, mid and low toms answer in the second;
    #    bar two answers with more low toms.
    score(
        "techno_toms", "Techno / tom conversation", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "tom_low":  ".... .... ...x ..x. | .... .... ...x .xx.",
            "tom_mid":  ".... .... .x.. x... | .... .... .x.. ....",
            "tom_high": "...x .x.. .... .... | ...x .x.x .... ....",
        },
    ),
    # 7. The kick leaves the quarter notes: 1, the & of 2 and of 3, then a different bar two.
    score(
        "techno_broken", "Techno / broken kick study",
        "A deliberately broken alternative; not all techno uses a quarter-note kick.",
        axes2="bounce step",
        lanes={
            "kick":     "X... ..X. ..x. .... | X..x ..X. .... .x..",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      "x.xx x.xx x.xx x.xx | x.xx x.xx x.xx x.xx",
            "perc":     ".x.. .... x... ..x. | .... .x.. ..x. ....",
        },
    ),
    # 8. A percussion hit every three sixteenths against a plain 4/4 layer: the cycle lands on a
    #    different sixteenth in each bar and meets the one again only after three bars.
    score(
        "techno_polymeter", "Techno / three-step percussion cycle",
        "Original three-sixteenth percussion cycle over 4/4: both layers close after three bars.",
        period=768, axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X... | X... X... X... X...",
            "clap":     ".... x... .... x... | .... x... .... x... | .... x... .... x...",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "perc":     "X..x ..x. .x.. x..x | ..x. .x.. x..x ..x. | .x.. x..x ..x. .x..",
        },
    ),
    # 9. Two-step: kick on 1 and on the & of 3 (never 2 and 4), snare backbeats, and hats on
    #    the e and a swung late so the shuffle lives off the grid.
    score(
        "ukg_two_step", "UK garage / two-step foundation",
        "Backbeats on 2/4; the second kick sits on the & of 3. Off-grid hats supply shuffle.",
        axes2="bounce step",
        lanes={
            "kick":     "X... .... ..X. .... | X... .... ..X. ....",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "hat":      ".gxg .gxg .gxg .gxg | .gxg .gxg .gxg .gxx",
        },
        swing={"hat": 6},
    ),
    # 10. Kicks skip onto swung off-sixteenths (the a of 2, the e of 3) and a ghost snare answers
    #     the backbeat on the a of 4; rims fill the gaps.
    score(
        "ukg_skip", "UK garage / skipping answer", "", axes2="bounce step",
        lanes={
            "kick":     "X... ...x ..X. .... | X... .... .X.. .x..",
            "snare":    ".... X... .... X..g | .... X... .... X...",
            "rim":      ".... ..g. ...x .... | ..g. .... ...x ..g.",
            "hat":      ".x.x .x.x .x.x .x.x | .x.x .x.x .x.x .x.x",
        },
        swing={"kick": 6, "snare": 6, "rim": 6, "hat": 6},
    ),
    # 11. Garage with a four-to-the-floor kick: swung hats between open offbeat hats and swung
    #     rim ghosts keep it garage rather than house.
    score(
        "ukg_four_four", "UK garage / four-four shuffle",
        "Garage also has a four-to-the-floor branch; it is not all two-step.",
        axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "rim":      ".... ...g .... .g.. | .... ...g ..g. ....",
            "hat":      ".g.x .g.x .g.x .g.x | .g.x .g.x .g.x .g.x",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
        },
        swing={"rim": 6, "hat": 6},
    ),
    # 12. Four-floor kick with the bass answering on every &, stronger on the & of 1 and 3, and
    #     a pickup at the end of bar two.
    score(
        "speed_garage", "Speed garage / offbeat bass answers",
        "Bass onsets are included as movement cues. Audio uses a simple synth, not a sampled Reese "
        "patch.",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "bass":     "..X. ..x. ..X. ..x. | ..X. ..x. ..X. .xX.",
        },
        swing={"hat": 5},
    ),
    # 13. The bass carries a syncopated hook (e and & of 1, & of 2, e and a of 3, & of 4) over a
    #     four-floor kick; bar two bends it to land once on a beat, on 3.
    score(
        "bassline", "Bassline / syncopated low-end hooks", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "shaker":   ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
            "bass":     ".xx. ..x. .x.x ..X. | .xx. ..x. X..x .xx.",
        },
        swing={"shaker": 4},
    ),
    # 14. Grime felt in half time: one snare per bar on beat 3, square quarter-note hats, and a
    #     short square bass under the kick.
    score(
        "grime_sparse", "Grime / sparse square-cut backbeat", "", axes2="bounce step",
        lanes={
            "kick":     "X... .... .... .... | X... ..x. .... ....",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "hat":      "x... x... x... x... | x... x... x... x...",
            "bass":     "X... .... .... ..x. | X... ..x. .... ....",
        },
    ),
    # 15. The snare moves: beat 3 and the & of 4 in bar one, the a of 2 and beat 4 in bar two,
    #     with the kick answering around it.
    score(
        "grime_syncopated", "Grime / displaced snare conversation",
        "A 140 BPM syncopated study; grime has no single mandatory snare pattern.",
        axes2="bounce step",
        lanes={
            "kick":     "X... ..x. .... .x.. | ..X. .... .x.. ....",
            "snare":    ".... .... X... ..x. | .... ...X .... X...",
            "rim":      ".... .g.. .... .... | .g.. .... ..g. ....",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
        },
    ),
    # 16. Half time with most of the bar left empty: one kick, one snare per bar, a held bass
    #     and a late pickup.
    score(
        "grime_half", "Grime / half-time negative space", "",
        lanes={
            "kick":     "X... .... .... .... | .... ..x. .... ....",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "hat":      "x... .... .... .... | x... .... .... ..x.",
            "bass":     "X... .... .... .... | .... .... .... .x..",
        },
    ),
    # 17. Hats in groups of 3+3+2 sixteenths, straight (no swing, no tuplets), over a half-time
    #     snare on 3 and a sliding 808 that follows the kick.
    score(
        "drill_tresillo", "UK drill / grouped hats",
        "3+3+2 sixteenth grouping is not a tuplet: the grid here remains straight.",
        lanes={
            "kick":     "X... .... .... ..x. | .... ..X. .... ....",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "hat":      "X..x ..x. X..x ..x. | X..x ..x. X..x ..x.",
            "bass":     "X... .... .... ..x. | .... ..X. ..x. ....",
        },
    ),
    # 18. The snare sits on beat 3 of bar one and moves to beat 4 in bar two. Nothing else of
    #     the snare family plays, so the move is all the motions hear of it.
    score(
        "drill_displaced", "UK drill / moving second-bar snare",
        "Snare: beat 3 in bar one, beat 4 in bar two. This is one common design, not a rule for "
        "all drill.",
        lanes={
            "kick":     "X... .... ..x. .... | ..X. ...x .... ....",
            "snare":    ".... .... X... .... | .... .... .... X...",
            "hat":      "x.x. x.x. x.xx x.x. | x.x. x.x. x.x. x...",
            "bass":     "X... .... ..x. .... | ..X. ...x .... ....",
        },
    ),
    # 19. Grouped 3+3+2 hats, then a true triplet fill to close bar two: three hats in the time of
    #     two sixteenths on the & of 3, then six in beat 4 (times in thirds of a pip).
    score(
        "drill_rolls", "UK drill / true triplet hat fill",
        "The added hat fill uses rational tuplets; grouped hats and triplet rolls remain distinct "
        "concepts.",
        lanes={
            "kick":     "X... ...x .... .... | X... .... ..x. ....",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "hat":      "X..x ..x. X..x ..x. | X..x ..x. X... ....",
            "bass":     "X... ...x .... .... | X... .... ..x. ....",
        },
        extra=[
            *triplets("hat", at("2.3.3"), 3, 32, GHOST),
            *triplets("hat", at("2.4.1"), 6, 64),
        ],
    ),
    # 20. The four-bar break itself (AMEN above).
    score(
        "amen_four_bar", "Amen / four-bar structural study",
        "Quenvar / The Ostrels, Amen, Brother. Four bars, not a generic 2-bar loop. "
        "Timing/velocity are approximations; no original recording or measured human microtiming.",
        period=1024,
        lanes=AMEN,
    ),
    # 21. The same break with only its ghost snares taken out.
    score(
        "amen_no_ghosts", "Amen / remove the ghost snares",
        "A/B study: only quiet snares removed. This deliberately simplified version is not the "
        "complete Amen.",
        period=1024,
        lanes=_without_ghosts(AMEN, "snare"),
    ),
    # 22. Beats of the break cut and reordered (bar.beat of AMEN): 1.1 1.2 1.1 3.4 | 4.1 1.2 1.3
    #     1.4, over an even ride and a sub on the ones.
    score(
        "jungle_chops", "Jungle / rearranged break fragments",
        "Original chopped-break-style arrangement, not the original Amen sequence.",
        axes2="bounce step",
        lanes={
            "kick":     "X.x. .... X.x. .... | ..Xx .... ..Xx ....",
            "snare":    ".... X..g .... ..X. | .x.. X..g .g.. X..g",
            "ride":     "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... .... .... | .... .... X... ....",
        },
    ),
    # 23. Busy ghost snares around the backbeat, then a 32nd-note snare roll rising from a ghost
    #     to an accent through beat 4 of bar two.
    score(
        "jungle_ghosts", "Jungle / ghosts and snare rolls", "", axes2="bounce step",
        lanes={
            "kick":     "X.x. .... ..x. .... | X.x. .... ..X. ....",
            "snare":    "..g. X.g. .g.g X.g. | .g.. X..g .gg. ....",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
        },
        extra=roll("snare", at("2.4.1"), 8, 64),
    ),
    # 24. Two bars of full-time break (main snares on 2 and 4), answered by two bars with one main
    #     snare per bar on 3: half-time feel at the same tempo.
    score(
        "jungle_switch", "Jungle / full-time to half-time answer",
        "Four-bar original phrase: the final half uses fewer main snares, not a tempo change.",
        period=1024, axes2="bounce step",
        lanes={
            "kick":     "X.x. .... ..x. .... | X.x. .... ..xX .... |"
                        " X... .... .... ..x. | X... ..x. .... ....",
            "snare":    ".... X..g .g.. X..g | .... X..g .g.. X.g. |"
                        " .... ..g. X... .g.. | .g.. .... X... ..g.",
            "ride":     "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x. |"
                        " x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... .... .... | X... .... .... .... |"
                        " X... .... .... .... | X... .... ..x. ....",
        },
    ),
    # 25. Drum & bass two-step: kick on 1 and the & of 3, snares on 2 and 4, straight eighth hats;
    #     bar two adds a kick on the & of 1.
    score(
        "dnb_two_step", "Drum & bass / two-step foundation", "", axes2="bounce step",
        lanes={
            "kick":     "X... .... ..X. .... | X.x. .... ..X. ....",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
        },
    ),
    # 26. The two-step kept rolling by ghost snares between the backbeats, running hats and a
    #     moving bass.
    score(
        "dnb_rolling", "Drum & bass / rolling ghosts", "", axes2="bounce step",
        lanes={
            "kick":     "X... .... ..X. .... | X... .... ..X. ..x.",
            "snare":    "..g. X..g .g.. X.g. | ..g. X..g .gg. X..g",
            "hat":      "x.xg x.xg x.xg x.xg | x.xg x.xg x.xg x.xg",
            "bass":     "X... .... .x.. .... | X... ..x. .x.. ....",
        },
    ),
    # 27. Drum & bass in half time: snare only on 3, a ride keeping the real tempo in eighths,
    #     quiet shaker sixteenths and a long sub.
    score(
        "dnb_half", "Drum & bass / half-time space", "",
        lanes={
            "kick":     "X... .... .... ..x. | .... ..X. .... ....",
            "snare":    ".... .... X... .... | .... .... X... ...g",
            "shaker":   ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
            "ride":     "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... .... .... | .... ..x. .... ....",
        },
    ),
    # 28. Half-step: kick on 1, snare on beat 3 of each bar, offbeat hats and a wobbling bass in
    #     eighths.
    score(
        "dubstep_half", "Dubstep / half-step anchor", "",
        lanes={
            "kick":     "X... .... .... .... | X... .... .... ....",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "bass":     "X.x. x.x. .... .... | X... .... x.x. x.x.",
        },
    ),
    # 29. The half-step with swung skips: kicks, rim ghosts and hats on the e and a pushed late.
    score(
        "dubstep_skip", "Dubstep / skippy half-step", "",
        lanes={
            "kick":     "X... ..x. .... .x.. | X... .... ..x. ...x",
            "snare":    ".... .... X... .... | .... .... X... ....",
            "rim":      ".... ...g .... ..g. | ...g .... .... .g..",
            "hat":      "x.xg x.xg x.xg x.xg | x.xg x.xg x.xg x.xg",
            "bass":     "X... .... .... .x.. | X... .... ..x. ....",
        },
        swing={"kick": 5, "rim": 5, "hat": 5},
    ),
    # 30. Half-time clap on 3, an 808 doubling the kick, eighth hats broken by trills: 32nds
    #     through beat 4 of bar one and sixteenth triplets through beat 2 of bar two.
    score(
        "trap_trills", "Trap / half-time and hat trills", "",
        lanes={
            "kick":     "X... .... ..x. .... | X..x .... .... .x..",
            "clap":     ".... .... X... .... | .... .... X... ....",
            "hat":      "x.x. x.x. x.x. .... | x.x. .... x.x. x.x.",
            "bass":     "X... .... ..x. .... | X..x .... .... .x..",
        },
        extra=[*triplets("hat", at("1.4.1"), 8, 64), *triplets("hat", at("2.2.1"), 6, 64)],
    ),
    # 31. Machine electro: the kick on 1 and the & of 2 and 3, clap on 2 and 4, even sixteenth
    #     hats and a syncopated cowbell.
    score(
        "electro", "Electro / broken machine groove", "", axes2="bounce step",
        lanes={
            "kick":     "X... ..X. ..X. .... | X... ..X. .... ..x.",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      "xxxx xxxx xxxx xxxx | xxxx xxxx xxxx xxxx",
            "cowbell":  "..x. .x.. x.x. .... | ..x. .x.. ..x. x...",
        },
    ),
    # 32. Four-floor kick with the bass and an accented open hat lifting every &.
    score(
        "trance", "Trance / offbeat lift",
        "Offbeat bass/pulse is included. A rhythmic sketch cannot supply trance harmony, timbre or "
        "arrangement.",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... x... .... x... | .... x... .... x...",
            "hat":      ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
            "open_hat": "..X. ..X. ..X. ..X. | ..X. ..X. ..X. ..X.",
            "bass":     "..X. ..X. ..X. ..X. | ..X. ..X. ..X. ..X.",
        },
    ),
    # 33. A four-floor kick with a break's snares and ghosts laid over it.
    score(
        "rave_breaks", "Rave / four-floor plus break layer", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "snare":    ".... X..g .g.. X..g | .... X..g .g.. ..X.",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.X.",
        },
    ),
    # 34. Dembow: a kick on every beat; in each pair of beats the snare answers on the a of the
    #     first and the & of the second (3+3+2 sixteenths: boom, ch, boom, chick).
    score(
        "dembow", "Reggaeton / dembow answer",
        "Quarter-note kick version with offbeat snare answers; one useful dembow foundation, not "
        "every dancehall rhythm.",
        axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "snare":    "...x ..x. ...x ..x. | ...x ..x. ...x ..x.",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
        },
    ),
    # 35. Disco: open hats on every & (accented on the & of 1 and 3), closed hats around them,
    #     snare on 2 and 4.
    score(
        "disco", "Disco / lively hat accents", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "snare":    ".... x... .... x... | .... x... .... x...",
            "hat":      "xg.g xg.g xg.g xg.g | xg.g xg.g xg.g xg.g",
            "open_hat": "..X. ..x. ..X. ..x. | ..X. ..x. ..X. ..X.",
        },
    ),
    # 36. Amapiano: lightly swung shaker sixteenths accented 3+3+2, a kick on 1 and 3, rims on
    #     the backbeat and a syncopated log-drum bass.
    score(
        "amapiano", "Amapiano / shaker and bass-percussion study",
        "An original percussion and log-drum-style bass rhythm. Pitched bass is a cue lane, not a "
        "downloaded sample.",
        lanes={
            "kick":     "X... .... X... .... | X... .... X... ..x.",
            "rim":      ".... x... .... x..g | .... x... ..g. x...",
            "shaker":   "Xggx ggxg Xggx ggxg | Xggx ggxg Xggx ggxg",
            "bass":     "X..x ..x. .... x.x. | X..x ..x. ..X. ...x",
        },
        swing={"shaker": 3},
    ),
    # 37. Jersey club: five kicks a bar on 1, 2, 3, the a of 3 and the & of 4. The last three
    #     fall 3+3 sixteenths apart and stumble like a triplet into the next one; claps on 2 and
    #     4, offbeat hats and a squeak-like perc on the & of 1 and the e of 4.
    score(
        "jersey_five", "Jersey / five-kick foundation", "", axes2="bounce step",
        lanes={
            "kick":     "X... X... X..x ..x. | X... X... X..x ..x.",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "perc":     "..x. .... .... .x.. | ..x. .... .... .x..",
        },
    ),
    # 38. A chopped perc call through the first half of each bar, the five-kick figure under it,
    #     and a turnaround: bar two runs its kicks in eighths and then sixteenths through beat 4
    #     while the clap drops out.
    score(
        "jersey_call", "Jersey / call and turnaround", "",
        lanes={
            "kick":     "X... X... X..x ..x. | X... X... X.x. xxxx",
            "clap":     ".... X... .... X... | .... X... .... ....",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ....",
            "perc":     "..x. .x.x .... .... | ..x. .x.x .... ....",
        },
    ),
    # 39. Footwork: half-time clap on 3; the bass sounds with the kick on the one, then replies
    #     in true triplets: three in beat 2 of bar one, then three quarter-note triplets across
    #     beats 3 and 4 of bar two, pulling against the straight eighth hats.
    score(
        "footwork_triplet", "Footwork / triplet bass reply", "",
        lanes={
            "kick":     "X... .... .... ..x. | X... ..x. .... ....",
            "clap":     ".... .... X... .... | .... .... X... ....",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... .... .... | .... .... .... ....",
        },
        extra=[
            *triplets("bass", at("1.2.1"), 3, 64),
            *triplets("bass", at("2.3.1"), 3, 128, ACCENT),
        ],
    ),
    # 40. Half time that breaks off: bar one keeps the clap on 3; in bar two the clap comes early
    #     on the & of 2 and everything stops there, leaving the rest of the bar silent.
    score(
        "footwork_sparse", "Footwork / interrupted half-time", "",
        lanes={
            "kick":     "X... .... .... ..x. | X..x .... .... ....",
            "clap":     ".... .... X... .... | .... ..X. .... ....",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x... .... ....",
            "bass":     "X... .... .... .... | X... .... .... ....",
        },
    ),
    # 41. UK funky: a four-floor kick under three toms that skip across the swung e and a, low
    #     toms answering high ones, and a swung shaker.
    score(
        "funky_toms", "UK funky / tom-led skips", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "shaker":   "gxgx gxgx gxgx gxgx | gxgx gxgx gxgx gxgx",
            "tom_high": ".x.. ...x .... .... | .x.. ...x .x.. ...x",
            "tom_mid":  ".... ..x. .... ..x. | .... ..x. .... ....",
            "tom_low":  "...x .... ..x. .... | ...x .... ..x. .x..",
        },
        swing={"shaker": 4, "tom_high": 4, "tom_mid": 4, "tom_low": 4},
    ),
    # 42. UK funky with the kick off the quarter notes: the claps keep 2 and 4 but answer the
    #     broken kick with extra hits (the a of 4, the & of 3), swung rims fill between.
    score(
        "funky_syncopated", "UK funky / broken response", "",
        lanes={
            "kick":     "X... ..x. .x.. x... | X... ..x. .... ..x.",
            "clap":     ".... X... .... X..x | .... X... ..x. X...",
            "rim":      "..g. ...x ..g. .... | ..g. .x.. ...x ....",
            "shaker":   "xgxg xgxg xgxg xgxg | xgxg xgxg xgxg xgxg",
            "bass":     "X... ...x ..x. .... | X... ...x .... .x..",
        },
        swing={"rim": 4, "shaker": 4},
    ),
    # 43. Broken beat: every snare sits a sixteenth off a backbeat, early for 2 and late for 4 in
    #     bar one, late for 2 and early for 4 in bar two; rim ghosts mark the missed beats.
    score(
        "broken_push", "Broken beat / early-and-late answers", "",
        lanes={
            "kick":     "X... ..x. ..x. .... | X.x. .... ...x ....",
            "snare":    "...X .... .... .X.. | .... .X.. ...X ....",
            "rim":      ".... g... .... g... | .... .... .... g...",
            "hat":      "x.xx x.x. x.xx x.x. | x.xx x.x. x.xx x.x.",
            "bass":     "X... ..x. ..x. .... | X.x. .... ...x ....",
        },
    ),
    # 44. Broken beat with a rim circuit: a rim every three sixteenths (3+3+3+3+4) goes round
    #     each bar, swung with the hats and the broken kick around a plain 2 and 4.
    score(
        "broken_shuffle", "Broken beat / shuffled rim circuit", "",
        lanes={
            "kick":     "X... ..x. .... .x.. | X... .... ..x. ...x",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "rim":      "x..x ..x. .x.. x... | x..x ..x. .x.. x.g.",
            "hat":      ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
        },
        swing={"kick": 6, "rim": 6, "hat": 6},
    ),
    # 45. Afro house: a bell and congas woven through the gaps of a four-floor kick, so no two of
    #     the three ever strike together; soft rims on 2 and 4 and a quiet shaker.
    score(
        "afro_bell", "Afro house / bell and kick weave", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "rim":      ".... x... .... x... | .... x... .... X...",
            "shaker":   ".g.g .g.g .g.g .g.g | .g.g .g.g .g.g .g.g",
            "conga":    "...x ..x. ...x .... | ...x ..x. .x.. ..x.",
            "bell":     "..x. .x.x ..x. .xx. | ..x. .x.x ..x. .x.x",
        },
    ),
    # 46. Three over four: the congas play three even strokes in each bar (half-note triplets,
    #     85 1/3 pips apart) against four kicks, over offbeat hats and sixteenth shaker.
    score(
        "afro_cross", "Afro house / three-over-four percussion", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "shaker":   "gxgg gxgg gxgg gxgg | gxgg gxgg gxgg gxgg",
            "rim":      ".... .... .... .... | .... .... .... ..g.",
        },
        extra=[
            *triplets("conga", at("1.1.1"), 3, BAR, ACCENT),
            *triplets("conga", at("2.1.1"), 3, BAR, ACCENT),
        ],
    ),
    # 47. Gqom: a broken kick that avoids the one of bar two, a low tom between, a clap on 4 and
    #     little else; most sixteenths stay empty.
    score(
        "gqom_space", "Gqom / broken-kick space study", "",
        lanes={
            "kick":     "X... ..X. .... .... | ..X. .... .x.. ....",
            "clap":     ".... .... .... X... | .... .... .... X...",
            "shaker":   "..x. .... ..x. .... | ..x. .... ..x. ....",
            "tom_low":  ".... .... ..x. .... | .... ..x. .... .x..",
        },
    ),
    # 48. Gqom: kick, low tom and mid tom trade single hits a sixteenth or two apart, and in bar
    #     two the low tom takes the one from the kick.
    score(
        "gqom_exchange", "Gqom / staggered drum exchange", "",
        lanes={
            "kick":     "X... ..X. .... x... | .... ..X. .X.. ....",
            "clap":     ".... .... X... .... | .... .... X... ....",
            "shaker":   "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "tom_mid":  ".... .x.. ..x. .... | .... .x.. ..x. ....",
            "tom_low":  "...x .... .x.. ..x. | X..x .... .... .x..",
        },
    ),
    # 49. Baile funk tamborzao feel: the kick plays 3+3+2 in the first half of each bar and the
    #     low tom answers with the same figure in the second half; claps on 2 and 4.
    score(
        "baile_toms", "Baile funk / low-drum conversation", "", axes2="bounce step",
        lanes={
            "kick":     "X..X ..X. .... .... | X..X ..X. .... ....",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "tom_low":  ".... .... x..x ..x. | .... .... x..x .x.x",
        },
    ),
    # 50. Baile funk, Miami-bass side: 808 kick and bass on 1 and the & of 2, snares on 2 and 4
    #     each answered a sixteenth or two later, mid toms pushing the offbeats.
    score(
        "baile_response", "Baile funk / syncopated answer", "",
        lanes={
            "kick":     "X... ..X. ...X .... | X... ..X. .... ..X.",
            "snare":    ".... X..x .... X.x. | .... X..x ..x. X...",
            "tom_mid":  "..x. .... .x.. ...x | ..x. .... .x.. ....",
            "bass":     "X... ..x. ...x .... | X... ..x. .... ..x.",
        },
    ),
    # 51. One drop: beat 1 is left empty on purpose, and the kick drops with the rim on 3. Hats
    #     on the beats and &s from the & of 1, a bass line that steps around the drop.
    score(
        "reggae_one_drop", "Reggae / one-drop foundation", "",
        lanes={
            "kick":     ".... .... X... .... | .... .... X... ....",
            "rim":      ".... .... X... .... | .... .... X... ....",
            "hat":      "..x. x.x. x.x. x.x. | ..x. x.x. x.x. x.xx",
            "bass":     ".... ..x. .... x.x. | .... ..x. ..x. x...",
        },
    ),
    # 52. Steppers: a kick on every beat under the one-drop's rim on 3, offbeat hats and a bass
    #     that walks with the kick.
    score(
        "reggae_steppers", "Dub / steppers foundation", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "rim":      ".... .... X... .... | .... .... X... ....",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "bass":     "X... ..x. X... ..x. | X... ..x. X.x. x...",
        },
    ),
    # 53. Rockers: the kick on 1 and 3 with the rim on 3, busy sixteenth hats and a rim ghost
    #     pickup into the one.
    score(
        "reggae_rockers", "Reggae / kick-on-one-and-three study", "",
        lanes={
            "kick":     "X... .... X... .... | X... .... X... ....",
            "rim":      ".... .... X... .... | .... .... X... ..g.",
            "hat":      "x.xx x.x. x.xx x.x. | x.xx x.x. x.xx x.x.",
            "bass":     "X.x. .... X.x. .x.. | X.x. .... X... x...",
        },
    ),
    # 54. 3-2 son clave: the three side (1, the & of 2, 4) in bar one, the two side (2, 3) in bar
    #     two, over the Latin club lanes (SON above).
    score(
        "son_clave_32", "Latin club / 3-2 son clave", "",
        lanes={**SON, "rim": f"{CLAVE_THREE} | {CLAVE_TWO}"},
    ),
    # 55. The same clave begun on its two side: the whole score is the 3-2 one a bar later.
    score(
        "son_clave_23", "Latin club / 2-3 son clave", "",
        lanes={**SON, "rim": f"{CLAVE_TWO} | {CLAVE_THREE}"},
    ),
    # 56. Psy: a kick on every beat and a straight rolling bass on the three sixteenths after it,
    #     with whole beats of bass left out (beat 4 of bar one, beat 3 of bar two).
    score(
        "psy_rolling", "Psy / straight rolling bass gaps", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... x... .... x... | .... X... .... x...",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "bass":     ".xxx .xxx .xxx .... | .xxx .xxx .... .xxx",
        },
    ),
    # 57. Offbeat bass on every &; in bar one an open hat takes the a of each beat, in bar two
    #     the bass takes it over and gallops.
    score(
        "psy_offbeat", "Trance / offbeat bass exchange", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... x... | .... x... .... x...",
            "open_hat": "...x ...x ...x ...x | .... .... .... ....",
            "bass":     "..X. ..X. ..X. ..X. | ..Xx ..Xx ..Xx ..Xx",
        },
    ),
    # 58. Hard dance reverse bass: each kick is followed by a bass swell that waits until the &
    #     and rises in 32nds into the next kick; beat 4 of bar two drops its kick for one long
    #     swell back into the one.
    score(
        "hard_reverse", "Hard dance / delayed bass swell cues", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... ....",
            "clap":     ".... X... .... X... | .... X... .... X...",
        },
        extra=[
            *(swell for beat in range(7) for swell in roll("bass", 64 * beat + 32, 3, 24)),
            *roll("bass", at("2.4.1"), 8, 64),
        ],
    ),
    # 59. Italo drum machine: four-floor kick, snare on 2 and 4, an octave bass in eighths (low on
    #     the beat, high on the &), and a rim that calls while a high tom answers.
    score(
        "italo_machine", "Italo / machine rim conversation", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "rim":      "..x. .x.. ...x .... | ..x. .x.. .... ....",
            "tom_high": ".... .... ..x. .x.. | .... .... ..x. x.x.",
            "bass":     "X.x. X.x. X.x. X.x. | X.x. X.x. X.x. X.x.",
        },
    ),
    # 60. Electro: running sixteenth hats accented 3+3+3+3+4, a kick that never repeats between
    #     the bars, 808 snare on 2 and 4 and a cowbell between.
    score(
        "electro_robot", "Electro / asymmetric machine break", "",
        lanes={
            "kick":     "X..X .... ..X. .... | X... ..XX .... .x..",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "hat":      "XxxX xxXx xXxx Xxxx | XxxX xxXx xXxx Xxxx",
            "cowbell":  ".... ...x .... ..x. | ..x. .... ...x ....",
        },
    ),
    # 61. Acid house: a 303-style bass running in sixteenths with accents, normal notes, ghosts
    #     and rests, under a four-floor kick, claps, offbeat open hats and syncopated rims.
    score(
        "acid_percussion", "Acid house / syncopated machine accents", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "clap":     ".... X... .... X... | .... X... .... X...",
            "open_hat": "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "rim":      "...x .... .x.. ..x. | ...x ..x. .... .x..",
            "bass":     "xXgx gxXg .gXx .Xgx | xXgx gx.X xgXg Xgx.",
        },
    ),
    # 62. Rumble techno: the low end answers each kick with a decaying echo, a sixteenth late in
    #     bar one and an eighth late in bar two; offbeat hats and sparse rim ghosts.
    score(
        "techno_rumble", "Techno / delayed low-end answer", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "rim":      ".... .... ...g .... | .... .... ...g ..g.",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
            "bass":     ".Xg. .Xg. .Xg. .Xg. | ..Xg ..Xg ..Xg ..Xg",
        },
    ),
    # 63. Garage led by the rim: swung rim clicks on the e and a around a two-step kick and plain
    #     backbeat snares, a swung skip kick in bar two.
    score(
        "ukg_rim_shuffle", "Garage / rim-led skipping pocket", "",
        lanes={
            "kick":     "X... .... ..X. .... | X... ...x ..X. ....",
            "snare":    ".... X... .... X... | .... X... .... X...",
            "rim":      ".x.x ..gx .x.. ..gx | .x.x ..gx ...x .x.x",
            "hat":      "..x. ..x. ..x. ..x. | ..x. ..x. ..x. ..x.",
        },
        swing={"kick": 6, "rim": 6},
    ),
    # 64. Drum & bass two-step: each main snare gets a ghost reply on its &, and bar two ends on
    #     a kick pickup on the a of 4 (the last ghost gives way to it) into the one.
    score(
        "dnb_push", "DnB / kick pickup and ghost reply", "",
        lanes={
            "kick":     "X... .... ..X. .... | X... .... ..X. ...x",
            "snare":    ".... X.g. .... X.g. | .... X.g. .... X...",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... ..x. .... | X... .... ..x. ...x",
        },
    ),
    # 65. Jungle: bar one runs the break forward (kick 1 and the & of 3, snares on 2 and 4);
    #     bar two switches back, a snare on its one and the kicks moved to the & of 1 and 3.
    score(
        "jungle_switchback", "Jungle / two-bar switchback", "",
        lanes={
            "kick":     "X.x. .... ..X. .... | ..X. .... X.x. ....",
            "snare":    ".... X..g .g.. X..g | X... ..g. .g.. X.g.",
            "ride":     "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "bass":     "X... .... .... .... | .... .... X... ....",
        },
    ),
    # 66. Amapiano: kick and rim keep the first half of each bar, and the log-drum-like bass
    #     answers in the second, longer and accented in bar two; a lightly swung shaker.
    score(
        "amapiano_answer", "Amapiano / log-like bass answer", "",
        lanes={
            "kick":     "X... .... X... .... | X... .... X... ....",
            "rim":      ".... x... .... .... | .... x... .... ....",
            "shaker":   "x.xx x.xx x.xx x.xx | x.xx x.xx x.xx x.xx",
            "bass":     ".... ..x. ..X. .x.. | .... ..x. ..X. x.Xx",
        },
        swing={"shaker": 3},
    ),
    # 67. Dancehall with room: a kick on the ones, claps replying on the & of 2 and 4, a rim on
    #     the odd a, no hats; the second bar answers the first with less.
    score(
        "dancehall_space", "Dancehall / spacious offbeat replies", "",
        lanes={
            "kick":     "X... .... .... .... | X... .... ..x. ....",
            "clap":     ".... ..x. .... ..x. | .... ..x. .... ....",
            "rim":      ".... .... ...x .... | .... .... .... .x..",
            "bass":     "X... .... .... .... | X... .... ..x. ....",
        },
    ),
    # 68. The dembow of style 34 unchanged, answered by a timbal pickup through the e, & and a of
    #     beat 4 in bar two, back into the one.
    score(
        "dembow_push", "Reggaeton / dembow with pickup answer", "",
        lanes={
            "kick":     "X... X... X... X... | X... X... X... X...",
            "snare":    "...x ..x. ...x ..x. | ...x ..x. ...x ..x.",
            "hat":      "x.x. x.x. x.x. x.x. | x.x. x.x. x.x. x.x.",
            "tom_high": ".... .... .... .... | .... .... .... .xxX",
        },
    ),
)
# fmt: on
