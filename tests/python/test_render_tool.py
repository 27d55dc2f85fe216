"""The table-rendering tool selects from the built module and writes paged sheets."""

import motiloom
import pytest

pytest.importorskip("matplotlib")

import motion_sheet as sheet  # noqa: E402 (the tools need matplotlib)
import render_patterns as render  # noqa: E402

render.motiloom = motiloom  # the tool's table source, which main() sets; here the built module

NAMES = [entry["name"] for entry in motiloom.catalogue()]


def test_select_keeps_catalogue_order_once_each():
    chosen = render.select([NAMES[1], NAMES[0], "*", NAMES[1]])
    assert [entry["name"] for entry in chosen] == NAMES


def test_select_refuses_a_selector_that_matches_nothing():
    with pytest.raises(SystemExit):
        render.select(["no_such_pattern_*"])


def test_pages_of_eight():
    assert [len(page) for page in render.pages(list(range(17)))] == [8, 8, 1]


def test_sheet_and_one_png_per_pattern(tmp_path):
    assert render.main(["--sheet", str(tmp_path / "s.png"), NAMES[0], NAMES[1]]) == 0
    assert sorted(p.name for p in tmp_path.iterdir()) == ["s-1.png"]
    assert render.main(["--out", str(tmp_path / "each"), NAMES[0]]) == 0
    assert (tmp_path / "each" / f"{NAMES[0]}.png").stat().st_size > 0


def test_motion_sheet_draws_one_motion_across_chosen_styles(tmp_path):
    target = tmp_path / "box.png"
    assert (
        sheet.main(["--motion", "box", "--styles", "four_floor", "dembow", "--out", str(target)])
        == 0
    )
    assert target.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


@pytest.mark.parametrize("args", [["--motion", "boxes"], ["--styles", "no_such_style"]])
def test_motion_sheet_refuses_an_unknown_motion_or_style(tmp_path, args):
    with pytest.raises(SystemExit):
        sheet.main([*args, "--out", str(tmp_path / "x.png")])
    assert not (tmp_path / "x.png").exists()
