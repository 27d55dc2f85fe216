"""Random calls of every host entry point (see entry_fuzz.py for the argument kinds and the rules
each call is checked against): a hypothesis property over each entry point, and a bounded slice
of the seeded volume driver behind `make fuzz`."""

import entry_fuzz
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st


@pytest.fixture(scope="module")
def ref():
    return entry_fuzz.Builtins()


@settings(
    max_examples=120,
    deadline=None,
    suppress_health_check=[HealthCheck.too_slow, HealthCheck.function_scoped_fixture],
)
@given(rng=st.randoms(use_true_random=False))
@pytest.mark.parametrize("entry", list(entry_fuzz.ENTRIES))
def test_every_call_follows_the_rules_of_its_entry(entry, rng, ref):
    entry_fuzz.call_once(entry, rng, ref)


@pytest.mark.parametrize("seed", [11, 12])
def test_random_driver_slice(seed):
    counts, mismatches = entry_fuzz.drive(3000, seed)
    assert mismatches == []
    # The draws reach both sides of every entry point: some calls succeed, some are refused.
    for entry in ("rudiment", "sample", "SampledPattern", "PatternLibrary", "SampledRecording"):
        outcomes = {label for (e, label) in counts if e == entry}
        assert "ok" in outcomes and "TypeError (refused)" in outcomes, (entry, outcomes)
        assert len(outcomes) >= 3 or entry == "rudiment", (entry, outcomes)


def test_the_driver_repeats_itself_for_a_seed():
    assert entry_fuzz.drive(400, 5) == entry_fuzz.drive(400, 5)
    assert entry_fuzz.drive(400, 5)[0] != entry_fuzz.drive(400, 6)[0]


def test_the_checks_report_a_wrong_outcome():
    """The checks are not vacuous: an outcome that breaks the expected rule is reported."""
    with pytest.raises(entry_fuzz.Mismatch):
        entry_fuzz.expect_error(entry_fuzz.run(lambda: 1), ValueError, "x")
    with pytest.raises(entry_fuzz.Mismatch):
        entry_fuzz.expect_error(entry_fuzz.run(lambda: int("x")), ValueError, "another message")
    with pytest.raises(entry_fuzz.Mismatch):
        entry_fuzz.check_offset(None)
