"""The README's picture of the console: a 120-head rig playing, its page in headless Chromium.

    .venv/bin/python tools/console_screenshot.py --out docs/console.png

The show sends sACN to 127.0.0.1 (nothing need receive it) and serves its console on a free
loopback port; Chromium talks to it over loopback and to this script over a pipe. Both are
stopped before the script ends.
"""

from __future__ import annotations

import argparse
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

from console_rig import rig_text
from kit.chromium import Chromium, executable

ROOT = Path(__file__).resolve().parent.parent

WIDTH, HEIGHT = 1280, 800


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=ROOT / "docs" / "console.png")
    parser.add_argument("--python", default=sys.executable)
    args = parser.parse_args()
    binary = executable()
    if binary is None:
        sys.exit("chromium is not installed (make browser-deps installs it)")
    with tempfile.TemporaryDirectory() as folder:
        # The browser first: its start-up would otherwise take the show's processor time.
        browser = Chromium(binary, str(Path(folder) / "profile"), size=(WIDTH, HEIGHT))
        page = browser.open_page("about:blank")
        rig = Path(folder) / "arena.toml"
        rig.write_text(rig_text(120))
        show = subprocess.Popen(
            [args.python, "-P", "-m", "motiloom_kit", "play", str(rig), "--bpm", "128",
             "--seconds", "120", "--web", "127.0.0.1:0", "--status", "none"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            text=True,
        )  # fmt: skip
        address = threading.Event()
        url: list[str] = []

        def read() -> None:
            assert show.stderr is not None
            for line in show.stderr:
                if line.startswith("console at "):
                    url.append(line.split()[-1])
                    address.set()

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        try:
            if not address.wait(30):
                sys.exit("the show did not start its console")
            browser.call("Emulation.setDeviceMetricsOverride", page.session, width=WIDTH,
                         height=HEIGHT, deviceScaleFactor=1, mobile=False)  # fmt: skip
            browser.call("Page.navigate", page.session, url=url[0])
            page.wait_for("document.body && document.body.dataset.ready === 'true'")
            page.wait_for("window.motiloomConsole.framesDrawn > 60")
            # A change waiting for its bar, as a designer would see one: made on a downbeat, so
            # that the picture is taken before the bar it waits for.
            page.wait_for("/^[2-9]\\.1$/.test(document.getElementById('bar').textContent)")
            page.evaluate("document.querySelector(\"[data-group='floor'] input.size-value\")"
                          ".value = '0.5'")  # fmt: skip
            page.evaluate("document.querySelector(\"[data-group='floor'] input.size-value\")"
                          ".dispatchEvent(new Event('change'))")  # fmt: skip
            page.wait_for("document.getElementById('waiting').textContent !== ''")
            time.sleep(0.3)
            if page.collect_errors():
                sys.exit(f"the page reported errors: {page.errors}")
            args.out.write_bytes(page.screenshot())
        finally:
            browser.close()
            show.terminate()
            show.wait(timeout=20)
            reader.join(timeout=5)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
