"""The gallery page in a real headless Chromium: it loads cleanly, shows every catalogue entry,
its filters and search narrow the list (and say when nothing is left), its dots move, its detail
view opens (from a card or a new location hash), titles break between words, it runs no code but
its own, and no description can break it."""

import json

import motiloom
import pytest
from kit.chromium import Chromium, executable

from motiloom_kit import catalogue, pattern
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


@pytest.mark.parametrize("words", ["decaying", "grace accented", "GRACE"])
def test_the_search_box_finds_words_of_descriptions(page, words):
    wanted = words.lower().split()

    def keeps(e):
        return all(w in e.name or w in e.description.lower() for w in wanted)

    expected = [e.name for e in catalogue.entries() if keeps(e)]
    assert expected and any(not all(w in name for w in wanted) for name in expected)
    try:
        set_filter(page, "#f-name", words)
        assert page.evaluate(VISIBLE_NAMES) == expected
    finally:
        set_filter(page, "#f-name", "")
    assert page.collect_errors() == []


def test_no_match_says_so(page):
    none = "document.getElementById('none')"
    assert page.evaluate(f"{none}.hidden") is True
    try:
        set_filter(page, "#f-name", "zz_no_such_pattern")
        assert page.evaluate(VISIBLE_NAMES) == []
        assert page.evaluate(f"{none}.hidden") is False
        assert page.evaluate(f"{none}.textContent") == "No pattern matches these filters."
    finally:
        set_filter(page, "#f-name", "")
    assert page.evaluate(f"{none}.hidden") is True


def test_a_new_location_hash_opens_its_pattern(page):
    first, second = catalogue.entries()[3].name, catalogue.entries()[-7].name
    shown = (
        "document.getElementById('detail').open && document.getElementById('d-name').textContent"
    )
    for name in (first, second):
        page.evaluate(f"location.hash = {json.dumps('#' + name)}")
        assert page.wait_for(f"{shown} === {json.dumps(name)}")
    page.evaluate("location.hash = '#zz_no_such_pattern'")
    page.wait_for("!document.getElementById('detail').open")
    assert page.collect_errors() == []


# For every title of a card: the text before each line break after the first line. A title may
# break only after an underscore.
LINE_BREAKS = """(() => {
  const breaks = [];
  for (const title of document.querySelectorAll('.card h3')) {
    const text = title.textContent;
    const range = document.createRange();
    let top = null;
    let node = null, offset = 0;
    const walker = document.createTreeWalker(title, NodeFilter.SHOW_TEXT);
    let seen = 0;
    while ((node = walker.nextNode())) {
      for (offset = 0; offset < node.length; offset++, seen++) {
        range.setStart(node, offset);
        range.setEnd(node, offset + 1);
        const rect = range.getBoundingClientRect();
        if (top !== null && rect.top > top + 1) breaks.push(text.slice(0, seen));
        top = rect.top;
      }
    }
  }
  return breaks;
})()"""


def test_card_titles_break_only_after_underscores(page):
    breaks = page.evaluate(LINE_BREAKS)
    assert breaks, "no title is long enough to break at this width"
    assert [b for b in breaks if not b.endswith("_")] == []


def test_the_page_runs_only_its_own_inline_code(page):
    """The policy's digests allow the page's own script and style: an inline script added to the
    document is refused, and the browser reports the refusal."""
    page.evaluate(
        "(() => { const s = document.createElement('script');"
        " s.textContent = 'window.injected = 1'; document.body.append(s); })()"
    )
    assert page.evaluate("typeof window.injected") == "undefined"
    refused = page.collect_errors()
    assert refused and all("Content Security Policy" in e for e in refused)
    page.errors.clear()


# Each would once stop the page: "<!--<script>" makes the data block run on to the next
# "</script>", the page's own script; "</script>" ends the block early.
HOSTILE = [
    "<!--<script>",
    "</script><script>window.injected = 1</script>",
    "<!--<SCRIPT  <\u003c/script> ]]> & &amp; \u2028",
]


@pytest.mark.parametrize("text", HOSTILE)
def test_no_description_can_end_or_comment_out_the_data(tmp_path, text):
    patterns = [
        pattern("bounce"),
        pattern(motiloom.SampledPattern("hostile", text, [[0.5, -0.5, 0.0], [0.0, 0.0, 0.0]])),
        pattern("circle"),
    ]
    index = write_gallery(tmp_path / "site", patterns)
    assert BINARY is not None
    browser = Chromium(BINARY, str(tmp_path / "profile"))
    try:
        opened = browser.open_page(index.as_uri())
        opened.wait_for("document.body && document.body.dataset.ready === 'true'")
        titles = "[...document.querySelectorAll('.card')].map(c => [c.dataset.name, c.title])"
        assert opened.evaluate(titles) == [[p.name, p.description] for p in patterns]
        assert opened.evaluate("typeof window.injected") == "undefined"
        assert opened.collect_errors() == []
    finally:
        browser.close()
