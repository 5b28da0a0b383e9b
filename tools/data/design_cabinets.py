#!/usr/bin/python3
"""Designs the twelve cabinet models, once per base rate, and writes data/CabinetSections.cpp.

Each model is voiced in hertz as a chain of analogue second-order shapes: the speaker's
low-frequency resonance in its box (one more order below it for open-backed cabinets), a
sixth-order roll-off whose corner sets how dark the speaker is, a few broad midrange and
presence peaks and dips, eight to ten narrow cone break-up peaks and dips between 1 and 6 kHz
and one or two break-up notches. The target is the same in hertz for both base rates up to
16 kHz. It is fitted, in dB, by 25 normalised biquads {1, b1, b2, 1, a1, a2} followed by the
model's fixed overall gain, starting from the analogue shapes' poles and zeros mapped to the
rate (z = exp(s / rate)). A few rows of some models are fixed in advance.

The overall gain fixes the mean log magnitude over the whole band: for normalised sections it
equals the log of the gain plus the log radius of every zero outside the unit circle. The
passband is set where the cabinet stage (model, cabinet low-pass and high-pass) averages 0.3
over 200 Hz to 4 kHz, and the level of the band above 16 kHz, where the cabinet low-pass
already cuts by 30 dB or more, takes up the difference.

Then the rows are paired and ordered for single-precision arithmetic: every pole pair is
paired with the nearest zero pair, and the order is searched so that the rounding noise that
each section injects, raised by its own poles and by every later section, stays low against
the signal (for a plucked-string riff and for white noise). The ideal response does not depend
on this; the float32 rendering does.

Deterministic apart from the last digits that the platform's LAPACK leaves in the fit; the
regeneration test compares responses, not bytes (see --check). Run with Debian's numpy and
scipy:
    /usr/bin/python3 tools/data/design_cabinets.py [output.cpp]
    /usr/bin/python3 tools/data/design_cabinets.py --check data/CabinetSections.cpp
"""
import multiprocessing
import os
import re
import sys

import numpy as np
from scipy.optimize import least_squares
from scipy.signal import lfilter, sosfilt

RATES = (44100, 48000)
SECTIONS = 25
MAX_POLE_RADIUS = 0.999

# Overall gains (26th scale value) per model, per base rate.
GAINS = {
    48000: [0.0230880007, 0.0301224794, 0.0251534991, 0.0484693907, 0.0345224217, 0.0180617701,
            0.0189859197, 0.00792692043, 0.0579363294, 0.0276924893, 0.0245165899, 0.0322888605],
    44100: [0.0243655294, 0.0227127392, 0.0438096784, 0.0472844988, 0.0366625302, 0.04008241,
            0.0193313807, 0.0262733791, 0.0509454682, 0.0323635787, 0.0191739704, 0.0456384793],
}

# Rows fixed in advance: (rate, model, row) -> (b1, b2, a1, a2).
FIXED_ROWS = {
    (48000, 0, 0): (-1.54280686, 0.561448932, -0.10862866, -0.835822046),
    (48000, 0, 24): (-1.63031805, 0.975774407, -1.62712681, 0.968984485),
    (44100, 0, 0): (1.00159454, 0.99837178, -1.39693904, 0.421581984),
    (48000, 11, 24): (-1.98341358, 0.986732841, -1.97700417, 0.980307817),
}
# Rows of which only b2 is fixed: (rate, model, row) -> b2. The zero pair sits just outside the
# unit circle; the design makes it one of the model's break-up notches.
FIXED_B2 = {(44100, 3, 24): 1.00220764}

# The cabinet stage's fixed low-pass and high-pass rows and gains, per rate.
LOW_PASS = {
    48000: ([(2, 1, -0.273535371, 0.0568595193), (1.99999988, 1, -0.377936274, 0.460233659)], 0.0529868491),
    44100: ([(2, 1, -0.152054101, 0.0449073911), (1.99999988, 1, -0.211110055, 0.450736701)], 0.0691752881),
}
HIGH_PASS = {
    48000: ([(-2, 1, -1.98793662, 0.987979233), (-1.99999988, 1, -1.99496055, 0.995003223)], 0.991485),
    44100: ([(-2, 1, -1.98687267, 0.986923099), (-1.99999988, 1, -1.99451196, 0.994562566)], 0.990735471),
}

# Speaker models in the order of the cabinet list: name, family ("UK" darker, "US" brighter),
# low resonance (Hz) and its Q, open back, roll-off corner (Hz), broad features
# (centre Hz, gain dB, Q), and the number of break-up peaks/dips and notches.
MODELS = [
    ("1x12 US C12", "US", 100, 1.5, True, 5600, [(420, -3.0, 1.2), (2600, 4.0, 1.6)], 9, 1),
    ("1x12 US EMI", "US", 100, 1.4, True, 5300, [(700, 2.5, 1.0), (2000, 4.0, 1.4)], 9, 2),
    ("1x12 US C90", "US", 104, 1.6, True, 6000, [(250, -2.0, 1.0), (3000, 5.0, 1.5)], 10, 1),
    ("2x15 US JBL", "US", 72, 1.8, False, 5200, [(180, 2.0, 1.0), (700, -3.0, 0.9), (3500, 3.0, 1.2)], 8, 2),
    ("2x12 UK BLUE", "UK", 92, 1.6, True, 4900, [(500, -2.5, 1.2), (1800, 5.0, 1.6)], 10, 1),
    ("2x12 US MATCH", "US", 102, 1.5, True, 5800, [(1000, 3.5, 1.1), (2900, 3.0, 1.6)], 9, 2),
    ("2x12 US C12", "US", 106, 1.7, True, 5700, [(125, 2.0, 1.2), (550, -4.0, 1.0), (3800, 4.0, 1.8)], 9, 1),
    ("4x10 US BASS", "US", 80, 1.2, True, 5600, [(320, -2.0, 0.9), (3200, 8.5, 1.0)], 9, 2),
    ("4x12 UK 75W", "UK", 85, 2.0, False, 5000, [(450, -3.0, 1.1), (2200, 4.0, 1.4)], 10, 2),
    ("4x12 UK 25W", "UK", 80, 1.9, False, 4600, [(300, 1.5, 0.9), (1300, 3.0, 1.0), (2600, 2.0, 1.5)], 9, 1),
    ("4x12 UK 1960", "UK", 90, 2.1, False, 5100, [(1200, -3.0, 1.4), (2600, 4.5, 1.6)], 10, 2),
    ("4x12 UK FANE", "UK", 95, 1.6, False, 5300, [(436, -3.5, 1.4), (1100, 3.0, 1.2)], 9, 1),
]

TOP_START, TOP_FULL = 16000.0, 18500.0
LN10 = np.log(10.0)


def f32(v):
    return float(np.float32(v))


def section_db(rows, w):
    """dB response of normalised rows (b1, b2, a1, a2) at angular frequencies w."""
    z1 = np.exp(-1j * w)
    z2 = z1 * z1
    h = np.ones_like(z1)
    for b1, b2, a1, a2 in rows:
        h *= (1 + f32(b1) * z1 + f32(b2) * z2) / (1 + f32(a1) * z1 + f32(a2) * z2)
    return 20 * np.log10(np.abs(h))


def band_db(rate, f):
    w = 2 * np.pi * f / rate
    lp_rows, lp_gain = LOW_PASS[rate]
    hp_rows, hp_gain = HIGH_PASS[rate]
    return (section_db(lp_rows, w) + 20 * np.log10(f32(lp_gain)) + section_db(hp_rows, w)
            + 20 * np.log10(f32(hp_gain)))


# ---------------------------------------------------------------------------------------------
# Voicing: analogue second-order shapes, each a (numerator, denominator) pair of polynomials in s
# (coefficients of s^2, s, 1), with frequencies in rad/s.

def high_pass2(hz, q):
    w0 = 2 * np.pi * hz
    return (1.0, 0.0, 0.0), (1.0, w0 / q, w0 * w0)


def low_pass2(hz, q):
    w0 = 2 * np.pi * hz
    return (0.0, 0.0, w0 * w0), (1.0, w0 / q, w0 * w0)


def peak2(hz, db, q):
    """Peaking shape: gain db at hz, bandwidth hz / q; a cut is the boost's mirror image."""
    w0 = 2 * np.pi * hz
    a = 10 ** (db / 40)
    return (1.0, w0 * a / q, w0 * w0), (1.0, w0 / (a * q), w0 * w0)


BUTTERWORTH6_Q = (0.5176381, 0.7071068, 1.9318517)

# Notches placed by hand: model -> centres (Hz) in place of the drawn ones, depth and width still
# drawn. Model 2's drawn notch (2.4 kHz) lands on the skirt of its break-up peak at 2.26 kHz,
# which fills it to -8 dB; at 2 kHz, between that peak and the dip at 1.86 kHz, it keeps its
# depth.
NOTCH_CENTRES = {2: (2000.0,)}


def breakup(m, count, notches):
    """Cone break-up: count narrow peaks and dips spread over 1 to 6 kHz and a few deeper notches,
    seeded per model, so no two models break up alike."""
    rng = np.random.default_rng(2000 + m)
    shapes = []
    edges = np.geomspace(1000, 6000, count + 1)
    sign = 1 if rng.random() < 0.5 else -1
    for k in range(count):
        centre = edges[k] * (edges[k + 1] / edges[k]) ** (0.3 + 0.4 * rng.random())
        shapes.append(peak2(centre, sign * (5.0 + 2.5 * rng.random()), 9.0 + 5.0 * rng.random()))
        sign = -sign if rng.random() < 0.8 else sign
    for k in range(notches):
        centre = 1500 * (5500 / 1500) ** ((k + 0.25 + 0.5 * rng.random()) / notches)
        if m in NOTCH_CENTRES:
            centre = NOTCH_CENTRES[m][k]
        shapes.append(peak2(centre, -(11.0 + 3.0 * rng.random()), 14.0 + 6.0 * rng.random()))
    return shapes


def analogue_shapes(m):
    _, _, f0, q, open_back, corner, features, n_breakup, n_notch = MODELS[m]
    shapes = [high_pass2(f0, q)]
    if open_back:  # the back wave cancels the lowest octaves: two more orders below resonance
        shapes.append(high_pass2(0.85 * f0, 0.6))
    shapes += [low_pass2(corner, bq) for bq in BUTTERWORTH6_Q]
    shapes += [peak2(c, g, bq) for c, g, bq in features]
    shapes += breakup(m, n_breakup, n_notch)
    return shapes


def analogue_db(shapes, f):
    s = 2j * np.pi * f
    db = np.zeros_like(f)
    for num, den in shapes:
        db += 20 * np.log10(np.abs(np.polyval(num, s)) / np.abs(np.polyval(den, s)))
    return db


# Narrow notches above 10 kHz that fixed rows put into some models, carried at both rates so that
# the rates agree: model -> (Hz, zero distance, pole distance from the j-axis in rad/s, rate at
# which a fixed row supplies the zeros). Model 0's first row at 44.1 kHz has its zeros at
# radius 0.99919 at 14.7 kHz; model 3's last row at 44.1 kHz has b2 = 1.00220764, a zero pair at
# radius 1.0011, which the design puts at 11.5 kHz.
def _fixed_row_notch(b1, b2):
    r = np.sqrt(b2)
    return np.arccos(-b1 / (2 * r)) * 44100 / (2 * np.pi), abs(np.log(r)) * 44100


_N0 = _fixed_row_notch(*FIXED_ROWS[(44100, 0, 0)][:2])
STOPBAND_NOTCHES = {0: (_N0[0], _N0[1], 0.015 * 2 * np.pi * _N0[0]),
                    3: (11500.0, abs(np.log(np.sqrt(FIXED_B2[(44100, 3, 24)]))) * 44100, 250.0)}


def stopband_notch_db(m, f):
    if m not in STOPBAND_NOTCHES:
        return np.zeros_like(f)
    hz, sz, sp = STOPBAND_NOTCHES[m]
    s = 2j * np.pi * f
    w0 = 2 * np.pi * hz
    return 20 * np.log10(np.abs((s + sz) ** 2 + w0 * w0) / np.abs((s + sp) ** 2 + w0 * w0))


FLOOR_DB = -50.0


def shape_db(m, f):
    """Target shape in dB (passband near 0 dB), the same for both rates. Above 11 kHz, where the
    cabinet low-pass takes over, the speaker's roll-off levels off at FLOOR_DB instead of falling
    further: a deeper model response would only force the top band (below) higher."""
    db = analogue_db(analogue_shapes(m), f)
    floor = FLOOR_DB - 200.0 * (1 - smooth_step(8000.0, 11000.0, f))
    db = 10 * np.log10(10 ** (db / 10) + 10 ** (floor / 10))
    return db + stopband_notch_db(m, f)


def smooth_step(a, b, f):
    t = np.clip((np.log(f) - np.log(a)) / (np.log(b) - np.log(a)), 0, 1)
    return t * t * (3 - 2 * t)


def top_weight(f):
    return smooth_step(TOP_START, TOP_FULL, f)


def stage_mean(rate, cab_db):
    """Mean magnitude of the cabinet stage over 200 Hz to 4 kHz, log-spaced, for a dB function."""
    f = np.geomspace(200, 4000, 200)
    return np.mean(10 ** ((cab_db(f) + band_db(rate, f)) / 20))


def rate_difference_db(rate, f):
    """How much the cabinet low-pass and high-pass of this rate differ from their mean over both
    rates (up to 1.4 dB at 15 kHz); the model makes up for it, so that the stages agree."""
    return band_db(rate, f) - np.mean([band_db(r, f) for r in RATES], axis=0)


def target_db(m, rate, gain, outside_db):
    """The model's full target in dB for one rate: shape, level, and the top band's level from
    the gain (outside_db: what zeros outside the unit circle add to the mean log magnitude)."""
    f_lin = (np.arange(8192) + 0.5) * (rate / 2) / 8192
    shape = lambda f: shape_db(m, f) - rate_difference_db(rate, f) * (1 - top_weight(f))  # noqa: E731
    level = 20 * np.log10(0.3 / stage_mean(rate, shape))
    base = shape(f_lin) + level
    top = (20 * np.log10(gain) + outside_db - np.mean(base)) / np.mean(top_weight(f_lin))
    return (lambda f: shape(f) + level + top * top_weight(f)), top


# ---------------------------------------------------------------------------------------------
# Fit.

def fit_grid(rate, m):
    f = [np.geomspace(20, rate / 2 * 0.995, 700), np.linspace(6000, rate / 2 * 0.995, 160)]
    if m in STOPBAND_NOTCHES:  # the narrow notches need a finer grid than the rest
        f.append(np.linspace(-400, 400, 81) + STOPBAND_NOTCHES[m][0])
    f = np.concatenate(f)
    weight = np.where(f < 40, 0.5, np.where(f > 16000, 0.3, 1.0))
    return f, weight


def pair_db(r, th, w):
    """dB of a conjugate pair of roots at radius r, angle th (broadcast over sections)."""
    q1 = 1 - 2 * r * np.cos(w - th) + r * r
    q2 = 1 - 2 * r * np.cos(w + th) + r * r
    return 10 * (np.log(q1) + np.log(q2)) / LN10, q1, q2


def roots_polar(poly):
    """Radius and angle (upper half plane) of the roots of a quadratic z^2 + c1 z + c2."""
    roots = np.roots(poly)
    root = roots[np.argmax(roots.imag)] if np.any(np.abs(roots.imag) > 1e-12) else roots[np.argmax(np.abs(roots))]
    return abs(root), abs(np.angle(root))


def matched_pairs(shape, rate):
    """(pole radius, pole angle, zero radius, zero angle) of an analogue shape mapped by z = exp(s/T)."""
    num, den = shape
    p = np.roots(den)
    p = p[np.argmax(p.imag)]
    zp = np.exp(p / rate)
    nz = np.trim_zeros(np.asarray(num, float), "f")
    if len(nz) == 3:
        z = np.roots(nz)
        z = z[np.argmax(z.imag)] if np.any(np.abs(z.imag) > 0) else z[0]
        zz = np.exp(z / rate)
    elif len(nz) == 1 and num[0] == 0:  # low-pass: zeros at the top of the band
        zz = -0.3 + 0j
    else:  # high-pass: zeros at 0 Hz
        zz = 1.0 + 0j
    return abs(zp), abs(np.angle(zp)), min(abs(zz), 1.0), abs(np.angle(zz))


def fit_model(m, rate, gain, fixed):
    nfree = SECTIONS - len(fixed)
    fixed_b2 = {row: b2 for (r, mm, row), b2 in FIXED_B2.items() if r == rate and mm == m}
    outside_db = sum(10 * np.log10(b2) for b2 in fixed_b2.values() if b2 > 1)
    target, top = target_db(m, rate, gain, outside_db)
    f, weight = fit_grid(rate, m)
    w = (2 * np.pi * f / rate)[:, None]
    goal = target(f) - 20 * np.log10(f32(gain)) - section_db(list(fixed.values()), w[:, 0])

    # Start from the analogue shapes, then one section per fixed row that undoes its poles, one
    # for the top band, and neutral sections for whatever is left.
    start = [matched_pairs(s, rate) for s in analogue_shapes(m)]
    b2_row = next(iter(fixed_b2), None)
    notch_start = None
    if m in STOPBAND_NOTCHES:
        hz, sz, sp = STOPBAND_NOTCHES[m]
        th = 2 * np.pi * hz / rate
        notch_start = (np.exp(-sp / rate), th, np.exp(-sz / rate), th)
        if b2_row is not None:
            notch_start = (notch_start[0], th, np.sqrt(fixed_b2[b2_row]), th)
        elif not any(row[1] > 0.998 for row in fixed.values()):
            start.append(notch_start)
    for b1, b2, a1, a2 in fixed.values():
        rz, tz = roots_polar([1, a1, a2])
        rp, tp = roots_polar([1, b1, b2])
        start.append((min(rp, 0.98), tp, rz, tz))
    start.append((0.5, 0.92 * np.pi, 0.3, 0.92 * np.pi))
    spare = nfree - len(start) - (b2_row is not None)
    if spare < 0:
        raise SystemExit(f"model {m} at {rate}: {len(start)} shapes for {nfree} free rows")
    for k in range(spare):
        th = np.pi * (0.1 + 0.8 * (k + 0.5) / spare)
        start.append((0.3, th, 0.3, th))
    if b2_row is not None:
        start.append(notch_start)
        rz_fixed = notch_start[2]
    start = np.array(start)
    p0 = np.concatenate([start[:, 0], start[:, 1], start[:, 2], start[:, 3]])
    lo = np.zeros(4 * nfree)
    hi = np.concatenate([np.full(nfree, MAX_POLE_RADIUS), np.full(nfree, np.pi), np.full(nfree, 1.0), np.full(nfree, np.pi)])
    p0 = np.clip(p0, lo + 1e-10, hi - 1e-10)
    pinned = [] if b2_row is None else [3 * nfree - 1]  # a fixed zero radius is no parameter
    p0, lo, hi = (np.delete(v, pinned) for v in (p0, lo, hi))

    def unpack(p):
        if pinned:
            p = np.insert(p, pinned[0], rz_fixed)
        return p[:nfree], p[nfree:2 * nfree], p[2 * nfree:3 * nfree], p[3 * nfree:]

    def residual(p):
        rp, tp, rz, tz = unpack(p)
        zdb, _, _ = pair_db(rz, tz, w)
        pdb, _, _ = pair_db(rp, tp, w)
        return weight * (zdb.sum(1) - pdb.sum(1) - goal)

    def jacobian(p):
        rp, tp, rz, tz = unpack(p)
        k = 10 / LN10
        _, pq1, pq2 = pair_db(rp, tp, w)
        _, zq1, zq2 = pair_db(rz, tz, w)
        d_rp = -k * ((2 * rp - 2 * np.cos(w - tp)) / pq1 + (2 * rp - 2 * np.cos(w + tp)) / pq2)
        d_tp = -k * ((-2 * rp * np.sin(w - tp)) / pq1 + (2 * rp * np.sin(w + tp)) / pq2)
        d_rz = k * ((2 * rz - 2 * np.cos(w - tz)) / zq1 + (2 * rz - 2 * np.cos(w + tz)) / zq2)
        d_tz = k * ((-2 * rz * np.sin(w - tz)) / zq1 + (2 * rz * np.sin(w + tz)) / zq2)
        return np.delete(weight[:, None] * np.concatenate([d_rp, d_tp, d_rz, d_tz], axis=1), pinned, axis=1)

    sol = least_squares(residual, p0, jac=jacobian, bounds=(lo, hi), method="trf", x_scale="jac",
                        max_nfev=300, xtol=1e-10, ftol=1e-10)
    rp, tp, rz, tz = unpack(sol.x)
    poles = [(-2 * rp[i] * np.cos(tp[i]), rp[i] ** 2) for i in range(nfree)]
    zeros = [(-2 * rz[i] * np.cos(tz[i]), rz[i] ** 2) for i in range(nfree)]
    return poles, zeros, (b2_row, fixed_b2.get(b2_row)), target, top


# ---------------------------------------------------------------------------------------------
# Pairing and ordering for single-precision arithmetic.

def riff(rate, seconds=3.0):
    """A plucked-string riff (Karplus-Strong strings), peaks scaled to 4 like the power stage's."""
    n = int(rate * seconds)
    out = np.zeros(n)
    rng = np.random.default_rng(7)
    for k, (beat, note) in enumerate([(0, 40), (0.5, 43), (1, 45), (1.5, 47), (2, 52), (2.5, 50),
                                      (3, 47), (3.5, 45), (4, 40), (4, 47), (4, 52)]):
        period = int(rate / (440 * 2 ** ((note - 69) / 12)))
        start = int(beat * 0.3 * rate)
        excite = np.zeros(n - start)
        excite[:period] = rng.uniform(-1, 1, period)
        den = np.zeros(period + 2)
        den[0], den[period], den[period + 1] = 1, -0.4985, -0.4985
        out[start:] += lfilter([1.0], den, excite)
    return out * (4.0 / np.max(np.abs(out)))


def noise(rate, seconds=1.0):
    return np.random.default_rng(11).standard_normal(int(rate * seconds)) * 0.1


def rows_response(rows, w):
    z1 = np.exp(-1j * w)
    z2 = z1 * z1
    return np.array([(1 + b1 * z1 + b2 * z2) / (1 + a1 * z1 + a2 * z2) for b1, b2, a1, a2 in rows])


def fixed_stage_response(rate, w):
    lp_rows, lp_gain = LOW_PASS[rate]
    hp_rows, hp_gain = HIGH_PASS[rate]
    return np.prod(rows_response(lp_rows + hp_rows, w), axis=0) * lp_gain * hp_gain


RUNNING_GAIN_LIMIT_DB = 45.0


class NoiseModel:
    """Frequency-domain estimate of the float32 rounding noise of an ordered cascade, relative to
    the output signal, for an input spectrum: every section adds noise in proportion to the power
    at its input and output, shaped by its own poles and then by every later section."""

    def __init__(self, rate, gain, input_spectra, bins=256):
        self.w = (np.arange(bins) + 0.5) * np.pi / bins
        self.tail = np.abs(fixed_stage_response(rate, self.w) * gain) ** 2
        self.spectra = input_spectra

    def prepare(self, rows):
        """Per-row power responses and pole-only noise gains, for cost()."""
        z1 = np.exp(-1j * self.w)
        self.power = np.abs(rows_response(rows, self.w)) ** 2
        self.inv_a = np.array([1 / np.abs(1 + a1 * z1 + a2 * z1 * z1) ** 2 for _, _, a1, a2 in rows])

    def cost(self, order):
        power = self.power[order]
        prefix = np.cumprod(power, axis=0)
        suffix = np.cumprod(power[::-1], axis=0)[::-1]
        after = np.vstack([suffix[1:], np.ones_like(power[:1])]) * self.tail
        shaped = np.mean(self.inv_a[order] * after, axis=1)
        worst = 0.0
        for spectrum in self.spectra:
            p_out = np.mean(prefix * spectrum, axis=1)
            p_in = np.concatenate([[np.mean(spectrum)], p_out[:-1]])
            noise_out = np.sum((3 * p_out + 2 * p_in) * shaped)
            worst = max(worst, noise_out / np.mean(prefix[-1] * spectrum * self.tail))
        # Keep the running gain within about 45 dB: beyond it the signal inside the cascade grows
        # far past the range the quantised states are fine in.
        excess = max(0.0, 10 * np.log10(np.max(prefix)) - RUNNING_GAIN_LIMIT_DB)
        return worst * 10 ** (excess / 10)


def spectrum_of(x, bins=256):
    spec = np.abs(np.fft.rfft(x, 2 * bins))[:bins] ** 2
    return spec / np.mean(spec) * np.mean(x ** 2)


def pair_sections(poles, zeros):
    """Pairs every pole pair, nearest the unit circle first, with the nearest free zero pair."""
    def root(poly):
        r = np.roots([1, *poly])
        return r[np.argmax(r.imag)] if np.any(r.imag > 0) else r[np.argmax(np.abs(r))]
    pole_roots = [root(p) for p in poles]
    zero_roots = [root(z) for z in zeros]
    free = list(range(len(zeros)))
    pairs = []
    for i in sorted(range(len(poles)), key=lambda i: -abs(pole_roots[i])):
        j = min(free, key=lambda j: abs(zero_roots[j] - pole_roots[i]))
        free.remove(j)
        pairs.append((zeros[j][0], zeros[j][1], poles[i][0], poles[i][1]))
    return pairs


def order_sections(free_rows, fixed, model):
    """Places the free rows around the fixed ones, then moves rows one at a time while the
    estimated rounding noise falls."""
    slots = [r for r in range(SECTIONS) if r not in fixed]
    # Start with the sharpest resonances last, where little follows to raise their noise.
    free_rows = sorted(free_rows, key=lambda row: row[3])
    rows = [tuple(f32(v) for v in row) for row in list(fixed.values()) + free_rows]
    model.prepare(rows)
    fixed_at = {r: k for k, r in enumerate(fixed)}

    def layout(order):
        free = iter(order)
        return [fixed_at[r] if r in fixed_at else len(fixed) + next(free) for r in range(SECTIONS)]

    order = list(range(len(free_rows)))
    best = model.cost(layout(order))
    improved = True
    passes = 0
    while improved and passes < 6:
        improved = False
        passes += 1
        for i in range(len(order)):
            for j in range(len(order)):
                if i == j:
                    continue
                trial = order[:]
                trial.insert(j, trial.pop(i))
                c = model.cost(layout(trial))
                if c < best * 0.999:
                    best, order, improved = c, trial, True
    return [rows[k] for k in layout(order)], best


def float32_snr(rows, gain, rate, x):
    """Signal-to-error ratio (dB) of the model and the cabinet low-pass run in float32 against
    float64 (a quick check; the data tests measure the whole stage in the plug-in's arithmetic)."""
    lp_rows, lp_gain = LOW_PASS[rate]

    def sos(rs, dtype):
        return np.array([[1, f32(b1), f32(b2), 1, f32(a1), f32(a2)] for b1, b2, a1, a2 in rs], dtype)

    out = {}
    for dtype in (np.float32, np.float64):
        y = sosfilt(sos(rows, dtype), x.astype(dtype)) * dtype(f32(gain))
        out[dtype] = sosfilt(sos(lp_rows, dtype), y) * dtype(f32(lp_gain))
    err = out[np.float32].astype(float) - out[np.float64]
    return 10 * np.log10(np.sum(out[np.float64] ** 2) / np.sum(err ** 2))


# ---------------------------------------------------------------------------------------------

def model_db(rows, gain, rate, f):
    return section_db(rows, 2 * np.pi * f / rate) + 20 * np.log10(f32(gain))


def design_one(job):
    rate, m = job
    gain = GAINS[rate][m]
    fixed = {row: vals for (r, mm, row), vals in FIXED_ROWS.items() if r == rate and mm == m}
    poles, zeros, (b2_row, b2), target, top = fit_model(m, rate, gain, fixed)
    pinned = dict(fixed)
    if b2_row is not None:
        # The last free row carries the fixed zero radius; keep it at its place.
        pinned[b2_row] = (zeros[-1][0], b2, poles[-1][0], poles[-1][1])
        poles, zeros = poles[:-1], zeros[:-1]
    free_rows = pair_sections(poles, zeros)
    x_riff, x_noise = riff(rate), noise(rate)
    model = NoiseModel(rate, gain, [spectrum_of(x_riff), spectrum_of(x_noise)])
    rows, _ = order_sections(free_rows, pinned, model)
    f = np.geomspace(40, 15000, 400)
    err = model_db(rows, gain, rate, f) - target(f)
    snr = min(float32_snr(rows, gain, rate, x_riff), float32_snr(rows, gain, rate, x_noise))
    return rows, (f"{rate} {MODELS[m][0]:14s} top band {top:+6.1f} dB, fit error 40 Hz-15 kHz "
                  f"rms {np.sqrt(np.mean(err ** 2)):.3f} dB, max {np.max(np.abs(err)):.3f} dB, "
                  f"float32 SNR {snr:.1f} dB")


def fmt(v):
    return f"{np.float32(v):.9g}f" if v != int(v) else f"{v:.1f}f"


def write_cpp(path, tables):
    lines = ["// Generated by tools/data/design_cabinets.py; a test regenerates it and compares. Do not edit.",
             "// Twelve cabinet models per base rate, 25 normalised sections each, then the model's gain.",
             "// Models in the order of the cabinet list:"]
    for m, model in enumerate(MODELS):
        lines.append(f"//   {m:2d} {model[0]}")
    lines += ["", '#include "AudioTables.h"', "", "namespace", "{"]
    for rate in RATES:
        lines.append(f"const float kSections{rate}[{len(MODELS)} * 25 * 6] = {{")
        for m, rows in enumerate(tables[rate]):
            lines.append(f"    // {m}: {MODELS[m][0]}")
            for row in rows:
                lines.append("    1.0f, " + ", ".join(fmt(v) for v in row[:2]) + ", 1.0f, " + ", ".join(fmt(v) for v in row[2:]) + ",")
        lines.append("};")
        lines.append("")
        lines.append(f"const float kScale{rate}[{len(MODELS)} * 26] = {{")
        for m in range(len(MODELS)):
            lines.append("    " + "1.0f, " * 25 + fmt(GAINS[rate][m]) + ",")
        lines.append("};")
        lines.append("")
    lines += ["}  // namespace", "",
              "const BiquadTable kCabinetSections[2] = {{kSections44100, kScale44100}, {kSections48000, kScale48000}};", ""]
    with open(path, "w") as f:
        f.write("\n".join(lines))


def read_cpp(path):
    """The rows {b1, b2, a1, a2} of every model per rate from a generated table file."""
    text = open(path).read()
    tables = {}
    for rate in RATES:
        body = re.search(r"kSections%d\[[^\]]*\] = \{(.*?)\};" % rate, text, re.S).group(1)
        body = re.sub(r"//[^\n]*", "", body)
        vals = np.array([float(v.rstrip("f")) for v in re.findall(r"[-+0-9.eE]+f", body)])
        tables[rate] = vals.reshape(len(MODELS), SECTIONS, 6)[:, :, [1, 2, 4, 5]]
    return tables


# Regenerated tables must match the committed ones within this much from 30 Hz to 15 kHz: the
# largest difference of the two responses, relative to the passband level 0.3 (-46 dB, 0.09 dB
# in the passband). The fit's last digits depend on the platform's LAPACK and the order of the
# rows on the fit; the response does not. Measured linearly so that the depth of a narrow
# notch, which those digits do move, does not count.
CHECK_TOLERANCE = 0.005


def check(committed_path, regenerated_path):
    committed, regenerated = read_cpp(committed_path), read_cpp(regenerated_path)
    f = np.geomspace(30, 15000, 2000)
    worst = 0.0
    for rate in RATES:
        for m in range(len(MODELS)):
            a = 10 ** ((model_db(committed[rate][m], GAINS[rate][m], rate, f) + band_db(rate, f)) / 20)
            b = 10 ** ((model_db(regenerated[rate][m], GAINS[rate][m], rate, f) + band_db(rate, f)) / 20)
            diff = np.max(np.abs(a - b)) / 0.3
            worst = max(worst, diff)
            if diff > CHECK_TOLERANCE:
                print(f"{rate} model {m}: responses differ by up to {diff:.4f} of 0.3", file=sys.stderr)
    print(f"largest difference {worst:.5f} of the passband level (tolerance {CHECK_TOLERANCE})")
    return worst <= CHECK_TOLERANCE


def main():
    args = sys.argv[1:]
    if args and args[0] == "--check":
        sys.exit(0 if check(args[1], args[2]) else 1)
    out_path = args[0] if args else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "CabinetSections.cpp")
    jobs = [(rate, m) for rate in RATES for m in range(len(MODELS))]
    with multiprocessing.Pool(4) as pool:
        results = pool.map(design_one, jobs)
    tables = {rate: [] for rate in RATES}
    for (rate, m), (rows, line) in zip(jobs, results):
        tables[rate].append(rows)
        print(line, file=sys.stderr)
    write_cpp(out_path, tables)


if __name__ == "__main__":
    main()
