"""The rolling-circle traces of the atlas pack, inside (hypotrochoids) and outside
(epitrochoids), share their circles and pens: for each fixed radius R and rolling radius r, the
pen ratio rho = d / r (the pen inside the rolling circle, rho < 1), in record order."""

PEN_RATIOS = {
    (3, 1): 0.45,
    (4, 1): 0.6,
    (5, 2): 0.75,
    (5, 1): 0.55,
    (7, 2): 0.65,
    (7, 3): 0.7,
    (8, 3): 0.6,
    (9, 4): 0.8,
}
