"""The gallery page in a real headless Chromium: it loads cleanly, shows every catalogue entry,
its filters narrow the list, its dots move and its detail view opens."""

import json

import pytest
from chromium import Chromium, executable

from motiloom_kit import catalogue
from motiloom_kit.gallery import write_gallery

BINARY = executable()
pytestmark = pytest.mark.skipif(
    BINARY is None,
    reason="chromium is not installed (make browser-deps installs it from Debian) and could not be",
)
VISIBLE_NAMES = "[...document.querySelectorAll('.card:not([hidden])')].map(c => c.dataset.name)"


@pytest.fixture(scope="module")
def page(tmp_path_factory):
    folder = tmp_path_factory.mktemp("gallery")
    index = write_gallery(folder, bpm=174)
    assert BINARY is not None
    browser = Chromium(BINARY, str(tmp_path_factory.mktemp("profile")))
    try:
        opened = browser.open_page(index.as_uri())
        opened.wait_for("document.body && document.body.dataset.ready === 'true'")
        yield opened
    finally:
        browser.close()


def set_filter(page, selector, value):
    page.evaluate(
        f"(() => {{ const e = document.querySelector({json.dumps(selector)});"
        f" e.value = {json.dumps(value)}; e.dispatchEvent(new Event('input')); }})()"
    )


def test_every_entry_is_shown_without_errors(page):
    assert page.evaluate(VISIBLE_NAMES) == [e.name for e in catalogue.entries()]
    assert page.collect_errors() == []


@pytest.mark.parametrize(
    ("selector", "value", "keeps"),
    [
        ("#f-name", "lfo", lambda e: "lfo" in e.name),
        ("#f-name", "*_roll", lambda e: e.name.endswith("_roll")),
        ("#f-dims", "3", lambda e: e.dimensions == 3),
        ("#f-pack", "procedural", lambda e: e.pack == "procedural"),
        ("#f-family", "lfo", lambda e: e.family == "lfo"),
    ],
)
def test_a_filter_narrows_the_list(page, selector, value, keeps):
    everything = catalogue.entries()
    try:
        set_filter(page, selector, value)
        shown = page.evaluate(VISIBLE_NAMES)
        assert shown == [e.name for e in everything if keeps(e)]
        assert 0 < len(shown) < len(everything)
        assert page.evaluate("document.getElementById('count').textContent").startswith(
            f"{len(shown)} of {len(everything)}"
        )
    finally:
        set_filter(page, selector, "")
    assert page.collect_errors() == []


def test_the_dot_moves_over_time(page):
    dot = "document.querySelector('.card:not([hidden]) .dot').style.transform"
    first = page.wait_for(dot)
    page.wait_for(f"{dot} !== {json.dumps(first)}")
    assert page.collect_errors() == []


def test_the_detail_view_shows_the_pattern(page):
    name = catalogue.entries()[-1].name
    page.evaluate(f"document.querySelector('.card[data-name={json.dumps(name)}]').click()")
    assert page.evaluate("document.getElementById('detail').open") is True
    assert page.evaluate("document.getElementById('d-name').textContent") == name
    cursor = "document.querySelector('#detail .cursor').style.transform"
    first = page.wait_for(cursor)
    page.wait_for(f"{cursor} !== {json.dumps(first)}")
    page.evaluate("document.getElementById('detail').close()")
    assert page.collect_errors() == []
