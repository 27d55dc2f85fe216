"""The version of the motiloom distribution: the one place it is written. The build reads it
from here into the wheel's metadata; `motiloom_kit.__version__` and `motiloom --version` show it."""

__version__ = "0.1.0"
