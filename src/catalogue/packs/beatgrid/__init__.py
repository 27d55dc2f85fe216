"""Drum scores of the beat-grid styles and the grid that prints them."""
