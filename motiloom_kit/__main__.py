"""python -m motiloom_kit: see motiloom_kit.cli."""

from motiloom_kit.cli import main

raise SystemExit(main())
