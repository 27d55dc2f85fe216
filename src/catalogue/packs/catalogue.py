"""What is stated about the complete catalogue of six packs; checked once every pack is present."""

from tablegen.model import Totals

TOTALS = Totals(
    packs=("initial", "expansion", "atlas", "continuum", "club", "dancefloor"),
    records=1716,
    entries=1022912,
    periods={
        160: 3, 224: 5, 256: 41, 288: 5, 320: 4, 352: 6, 384: 4, 416: 6, 448: 6,
        480: 5, 512: 1304, 544: 1, 608: 1, 640: 1, 768: 17, 1024: 307,
    },
    axes={1: 29, 2: 321, 3: 1366},
    closed_seams=24,
    # Tables whose seam is exactly their largest step: those that start at their fastest point
    # and are mirror-symmetric about pip 0 (the closed forms and waves that are, and the braids,
    # five ribbons and five surface paths of the continuum pack, authored so).
    level_seams=39,
    origin_starts=71,
    peak=1.0,
    peak_tables=frozenset(("groove_b_played", "groove_b_grid")),
    largest_step="0.2793",
    longest_entry="1.23",
    longest_entry_table="gesture_spiral_reach",
    mean_range=("-0.739", "0.411"),
    still_x=18,
    still_x_named=frozenset(("lfo_double_pump", "beat_four_floor_bounce")),
    still_x_family=("atlas", "env_"),
    index_head=("accent_walk_10_3", "accent_walk_11_2", "accent_walk_11_3"),
    last_record="beat_dembow_push_ricochet",
)  # fmt: skip
