"""The tempo map and the tempo sources, driven with made-up times: exact positions at a fixed
tempo, no jump on a change, eased re-syncs, tap fitting and MIDI clock following."""

import math
import random
from fractions import Fraction

import numpy as np
import pytest

from motiloom_kit import Clock
from motiloom_kit.midi import MidiClockFollower
from motiloom_kit.tempo import TapTempo, TempoMap


@pytest.mark.parametrize(("bpm", "fps"), [(128, 44), ("174.5", 60), (90, 30), ("133.333", 25)])
def test_a_fixed_tempo_gives_exactly_the_clocks_pips(bpm, fps):
    tempo = TempoMap(bpm, fps)
    count = 5000
    frames = Clock(bpm).frames(fps, Fraction(count, 1) / Fraction(str(fps)))
    times = tempo.times(count)
    assert np.array_equal(times.whole, frames.whole[:count])
    assert np.array_equal(times.fraction, frames.fraction[:count])
    # One frame at a time, as a show reads them, the same.
    for k in (0, 1, 999, 4999):
        position = tempo.position(k)
        assert math.floor(position) == frames.whole[k]
        assert float(position - math.floor(position)) == frames.fraction[k]


def started(bpm=120, fps=50):
    now = [100.0]
    tempo = TempoMap(bpm, fps, clock=lambda: now[0])
    tempo.start(100.0)
    return tempo, now


def test_a_tempo_change_carries_the_position_on():
    tempo, now = started(120, 50)  # 128 pips a second: 2.56 pips a frame
    for k in range(100):
        tempo.position(k)
    now[0] = 100.0 + 99.5 / 50  # frame 99 is out; the change starts at frame 100
    tempo.set_bpm(60)
    steps = [tempo.position(k + 1) - tempo.position(k) for k in (98, 99, 100, 120)]
    assert steps == [Fraction(128, 50)] * 2 + [Fraction(64, 50)] * 2  # no jump, then the new step
    assert tempo.bpm == 60


def test_a_change_never_rewrites_frames_already_read():
    tempo, now = started()
    sent = [tempo.position(k) for k in range(50)]
    tempo.set_bpm(200, at=100.0)  # dated at frame 0, heard after frame 49 went out
    assert [tempo.peek(k) for k in range(50)] == sent
    assert tempo.position(50) - sent[-1] == Fraction(128, 50)  # frame 50 still one old step on


def test_an_align_is_eased_over_a_beat_and_lands_exactly():
    tempo, now = started(120, 50)  # a beat is 25 frames
    for k in range(10):
        tempo.position(k)
    target_at = 100.0 + 10 / 50
    correction = tempo.align(tempo.peek(10) + 32, target_at)
    assert correction == 32
    steps = [tempo.position(k + 1) - tempo.position(k) for k in range(10, 40)]
    plain = Fraction(128, 50)
    assert all(s >= plain for s in steps)  # the ease only ever adds: no jump back
    assert max(s - plain for s in steps) < 32 / 10  # spread out, not a jump
    assert tempo.position(60) == Fraction(128 * 60, 50) + 32  # complete after one beat
    assert tempo.align(tempo.position(61), 100.0 + 61 / 50) == 0  # already there: nothing


def test_hold_and_release():
    tempo, now = started()
    tempo.position(10)
    now[0] = 100.0 + 10.2 / 50
    tempo.hold()
    assert tempo.position(11) == tempo.position(30) and tempo.held
    now[0] = 100.0 + 30.2 / 50
    tempo.release()
    assert tempo.position(32) - tempo.position(31) == Fraction(128, 50)


def taps(bpm, count, start=5.0, jitter=0.0, seed=1):
    rng = random.Random(seed)
    return [start + i * 60 / bpm + rng.uniform(-jitter, jitter) for i in range(count)]


@pytest.mark.parametrize("bpm", [90, 120, 128, 174])
def test_four_taps_give_the_tempo(bpm):
    source = TapTempo()
    for t in taps(bpm, 4):
        got = source.tap(t)
    assert got == pytest.approx(bpm, abs=1e-9)


def test_taps_are_fitted_not_taken_from_the_last_interval():
    source = TapTempo()
    times = taps(120, 16, jitter=0.02, seed=4)
    for t in times:
        fitted = source.tap(t)
    last_interval = 60 / (times[-1] - times[-2])
    assert abs(fitted - 120) < 0.5 < abs(last_interval - 120)


def test_a_pause_starts_a_new_series_and_only_the_window_counts():
    source = TapTempo(window=16)
    for t in taps(90, 8):
        source.tap(t)
    after = taps(140, 3, start=20.0)  # more than two seconds later: a new tempo from 2 taps
    assert source.tap(after[0]) is None
    assert source.tap(after[1]) == pytest.approx(140)
    for t in taps(100, 30, start=40.0)[:-16] + taps(130, 16, start=40.0 + 14 * 0.6):
        source.tap(t)
    assert source.bpm == pytest.approx(130, abs=1.5)  # the 16 latest taps, not the 30


def test_taps_move_the_show_onto_the_beat():
    tempo, now = started(100, 50)
    source = TapTempo(clock=lambda: now[0])
    source.start(tempo)
    frame = 0
    beats = taps(120, 8, start=101.3)
    for t in beats:
        while tempo.time_of(frame) < t:
            tempo.position(frame)
            frame += 1
        now[0] = t
        source.tap(t)
    for _ in range(100):
        tempo.position(frame)
        frame += 1
    assert tempo.bpm == 120
    # The taps, carried on, fall on whole beats, the first of them on a bar line.
    later = beats[-1] + 60 / 120 * 4
    pip = tempo.position_at(later)
    assert pip / 64 == pytest.approx(round(pip / 64), abs=0.02)
    assert (round(pip / 64) - 11) % 4 == 0  # beat 11 after the first tap, which was beat 0


def clock_ticks(bpm, beats, start=0.0, jitter=0.0017, seed=2):
    rng = random.Random(seed)
    period = 60 / bpm / 24
    return [start + i * period + rng.gauss(0, jitter) * 0.5 for i in range(int(beats * 24))]


def follow(ticks, bpm=100):
    tempo, now = started(bpm, 100)
    follower = MidiClockFollower(tempo)
    seen = []
    for t in ticks:
        now[0] = t
        follower.message("clock", t)
        seen.append((t, follower.bpm))
    return follower, seen, tempo


def test_a_steady_clock_settles_within_half_a_bpm_in_two_beats():
    ticks = clock_ticks(120, 16, start=101.0)
    follower, seen, tempo = follow(ticks)
    after_two = [bpm for t, bpm in seen[48:]]
    assert all(abs(b - 120) <= 0.5 for b in after_two)
    assert abs(float(tempo.bpm) - 120) <= 0.5


def test_a_tempo_change_is_followed_within_four_beats():
    first = clock_ticks(120, 8, start=101.0)
    second = clock_ticks(140, 12, start=first[-1] + 60 / 120 / 24, seed=3)
    follower, seen, tempo = follow(first + second)
    four_beats_on = seen[len(first) + 4 * 24 :]
    assert all(abs(b - 140) <= 0.5 for _, b in four_beats_on)


def test_start_stop_continue_and_song_position():
    tempo, now = started(120, 100)
    follower = MidiClockFollower(tempo)
    ticks = clock_ticks(120, 4, start=101.0, jitter=0)
    follower.message("start", 100.99)
    for t in ticks[:48]:
        now[0] = t
        follower.message("clock", t)
    frame = math.ceil(tempo.frame_at(ticks[47]))
    for k in range(frame + 60):  # the eased start completes
        tempo.position(k)
    # Two beats of clocks after start: the show is two beats in (the first clock was pip 0).
    assert tempo.position_at(ticks[47] + 0.5) == pytest.approx(47 * 64 / 24 + 64, abs=0.5)
    follower.message("stop", ticks[47] + 0.6)
    assert tempo.held
    follower.message("songpos", ticks[47] + 0.7, pos=32)  # two bars of sixteenths
    follower.message("continue", ticks[47] + 0.8)
    assert not tempo.held
