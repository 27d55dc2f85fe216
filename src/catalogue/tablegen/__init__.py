"""Build-time generator of motiloom's baked pattern tables (standard library only)."""
