#!/usr/bin/python3
"""Designs the twelve cabinet models, once per base rate, and writes data/CabinetSections.cpp.

Each model starts as a target magnitude response drawn from the speaker's character: a
low-frequency resonance (a second-order high-pass with a peak, steeper below it for open-backed
cabinets), the cone's midrange and presence peaks and dips, and a steep roll-off above 5 to 7 kHz.
The target is fitted, in dB, by 25 normalised biquads {1, b1, b2, 1, a1, a2} followed by the
model's fixed overall gain. A few rows of some models are fixed in advance; the others are free.

The overall gain fixes the level: for normalised sections with poles and zeros inside the unit
circle, the mean of the log magnitude over the whole band is exactly the log of the overall gain.
So the target's passband is set where the cabinet stage (model, cabinet low-pass and high-pass)
averages 0.3 over 200 Hz to 4 kHz, and the level of the stop band above 10.5 kHz is chosen to
make the target's mean log magnitude equal that of the gain.

Deterministic: fixed targets, fixed starting points, no random numbers. Run with Debian's
numpy and scipy:  /usr/bin/python3 tools/data/design_cabinets.py [output.cpp]
"""
import multiprocessing
import os
import sys

import numpy as np
from scipy.optimize import least_squares

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

# The cabinet stage's fixed low-pass and high-pass rows and gains, per rate.
LOW_PASS = {
    48000: ([(2, 1, -0.273535371, 0.0568595193), (1.99999988, 1, -0.377936274, 0.460233659)], 0.0529868491),
    44100: ([(2, 1, -0.152054101, 0.0449073911), (1.99999988, 1, -0.211110055, 0.450736701)], 0.0691752881),
}
HIGH_PASS = {
    48000: ([(-2, 1, -1.98793662, 0.987979233), (-1.99999988, 1, -1.99496055, 0.995003223)], 0.991485),
    44100: ([(-2, 1, -1.98687267, 0.986923099), (-1.99999988, 1, -1.99451196, 0.994562566)], 0.990735471),
}

# Speaker models: name, low resonance (Hz), its Q, open back, roll-off corner (Hz), and the
# midrange and presence features as (centre Hz, gain dB, width in octaves).
MODELS = [
    ("1x12 US C12", 110, 1.6, True, 5200, [(400, -2.5, 0.6), (1300, 1.5, 0.5), (2600, 4.0, 0.35), (4500, 3.5, 0.25)]),
    ("1x12 US EMI", 100, 1.4, True, 4800, [(700, 2.0, 0.7), (2000, 3.5, 0.4), (3400, -3.0, 0.25), (4200, 2.0, 0.2)]),
    ("1x12 US C90", 115, 1.5, True, 6300, [(250, -1.5, 0.5), (1000, -2.0, 0.5), (3000, 5.0, 0.3), (5200, 3.0, 0.2)]),
    ("2x15 US JBL", 72, 1.8, False, 6500, [(180, 1.5, 0.6), (600, -1.5, 0.8), (3500, 3.0, 0.5), (5800, 2.0, 0.25)]),
    ("2x12 UK BLUE", 95, 1.5, True, 5000, [(500, -2.0, 0.5), (1800, 4.5, 0.35), (3200, -3.5, 0.2), (4300, 2.5, 0.2)]),
    ("2x12 US MATCH", 100, 1.5, True, 5600, [(1000, 3.0, 0.45), (2900, 3.0, 0.3), (4500, -4.0, 0.2)]),
    ("2x12 US C12", 105, 1.7, True, 5800, [(125, 2.0, 0.5), (500, -3.5, 0.6), (2200, 3.0, 0.35), (3800, 4.0, 0.25)]),
    ("4x10 US BASS", 90, 1.8, False, 6000, [(800, 3.0, 0.5), (2500, 3.5, 0.35), (3800, -2.0, 0.25)]),
    ("4x12 UK 75W", 85, 2.0, False, 5500, [(450, -3.0, 0.5), (2000, 3.5, 0.35), (4000, 4.0, 0.25)]),
    ("4x12 UK 25W", 80, 1.9, False, 4600, [(300, 1.0, 0.6), (1200, 3.0, 0.5), (2500, 2.0, 0.35), (3600, -2.0, 0.25)]),
    ("4x12 UK 1960", 90, 2.1, False, 5600, [(1200, -2.5, 0.4), (2500, 4.0, 0.3), (3500, 3.0, 0.2), (5000, -3.0, 0.2)]),
    ("4x12 UK FANE", 95, 1.6, False, 6500, [(436, -3.5, 0.4), (1100, 2.5, 0.4), (2800, -2.5, 0.25), (3600, 4.5, 0.25)]),
]

STOP_START, STOP_FULL = 10500.0, 14000.0
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


def shape_db(model, f):
    """Target shape in dB (no level), the same for both rates."""
    _, f0, q, open_back, corner, features = model
    r = f / f0
    db = 10 * np.log10(r ** 4 / ((1 - r ** 2) ** 2 + (r / q) ** 2))
    if open_back:  # the back wave cancels the lowest octaves: one more order below resonance
        r2 = f / (0.8 * f0)
        db += 10 * np.log10(r2 ** 2 / (1 + r2 ** 2))
    for centre, gain, width in features:
        db += gain * np.exp(-0.5 * (np.log2(f / centre) / width) ** 2)
    db += -10 * np.log10(1 + (f / corner) ** 8)
    return db + breakup_db(MODELS.index(model), f)


def breakup_db(m, f):
    """Cone break-up: a few narrow peaks and dips between 1.4 and 6 kHz, seeded per model."""
    rng = np.random.default_rng(1000 + m)
    db = np.zeros_like(f)
    for _ in range(4):
        centre = 1400 * (6000 / 1400) ** rng.random()
        gain = (1.5 + 2.0 * rng.random()) * (1 if rng.random() < 0.5 else -1)
        width = 0.06 + 0.06 * rng.random()
        db += gain * np.exp(-0.5 * (np.log2(f / centre) / width) ** 2)
    return db


def stop_weight(f):
    t = np.clip((np.log(f) - np.log(STOP_START)) / (np.log(STOP_FULL) - np.log(STOP_START)), 0, 1)
    return t * t * (3 - 2 * t)


def stage_mean(rate, cab_db):
    """Mean magnitude of the cabinet stage over 200 Hz to 4 kHz, log-spaced, for a dB function."""
    f = np.geomspace(200, 4000, 200)
    return np.mean(10 ** ((cab_db(f) + band_db(rate, f)) / 20))


def target_db(model, rate, gain):
    """The full target in dB for one rate: shape, level, and the stop-band level from the gain."""
    f_lin = (np.arange(8192) + 0.5) * (rate / 2) / 8192
    level = 20 * np.log10(0.3 / stage_mean(rate, lambda f: shape_db(model, f)))
    base = shape_db(model, f_lin) + level
    stop = (20 * np.log10(gain) - np.mean(base)) / np.mean(stop_weight(f_lin))
    return lambda f: shape_db(model, f) + level + stop * stop_weight(f), stop


def fit_grid(rate):
    f = np.concatenate([np.geomspace(20, rate / 2 * 0.995, 520), np.linspace(8000, rate / 2 * 0.995, 120)])
    weight = np.where(f < 40, 0.5, np.where(f > 10000, 0.35, 1.0))
    return f, weight


def pair_db(r, th, w):
    """dB of a conjugate pair of roots at radius r, angle th (broadcast over sections)."""
    q1 = 1 - 2 * r * np.cos(w - th) + r * r
    q2 = 1 - 2 * r * np.cos(w + th) + r * r
    return 10 * (np.log(q1) + np.log(q2)) / LN10, q1, q2


def fit_model(model, rate, gain, fixed):
    target, stop = target_db(model, rate, gain)
    f, weight = fit_grid(rate)
    w = (2 * np.pi * f / rate)[:, None]
    goal = target(f) - 20 * np.log10(f32(gain)) - section_db(list(fixed.values()), w[:, 0])
    nfree = SECTIONS - len(fixed)
    # Start: pole-zero pairs spread over 30 Hz to 20 kHz, zeros a little further out.
    fc = np.geomspace(30, min(20000, rate * 0.45), nfree)
    th0 = 2 * np.pi * fc / rate
    p0 = np.concatenate([np.full(nfree, 0.9), th0, np.full(nfree, 0.8), th0 * 1.05])
    lo = np.concatenate([np.zeros(nfree), np.zeros(nfree), np.zeros(nfree), np.zeros(nfree)])
    hi = np.concatenate([np.full(nfree, MAX_POLE_RADIUS), np.full(nfree, np.pi), np.full(nfree, 1.0), np.full(nfree, np.pi)])
    p0 = np.clip(p0, lo + 1e-6, hi - 1e-6)

    def unpack(p):
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
        return weight[:, None] * np.concatenate([d_rp, d_tp, d_rz, d_tz], axis=1)

    sol = least_squares(residual, p0, jac=jacobian, bounds=(lo, hi), method="trf", x_scale="jac",
                        max_nfev=400, xtol=1e-10, ftol=1e-10)
    rp, tp, rz, tz = unpack(sol.x)
    order = np.argsort(tp)
    free = [(-2 * rz[i] * np.cos(tz[i]), rz[i] ** 2, -2 * rp[i] * np.cos(tp[i]), rp[i] ** 2) for i in order]
    rows = []
    for r in range(SECTIONS):
        rows.append(fixed[r] if r in fixed else free.pop(0))
    return [tuple(f32(v) for v in row) for row in rows], target, stop


def model_db(rows, gain, rate, f):
    return section_db(rows, 2 * np.pi * f / rate) + 20 * np.log10(f32(gain))


def design_one(job):
    rate, m = job
    model = MODELS[m]
    fixed = {row: vals for (r, mm, row), vals in FIXED_ROWS.items() if r == rate and mm == m}
    rows, target, stop = fit_model(model, rate, GAINS[rate][m], fixed)
    f = np.geomspace(40, 10000, 300)
    err = model_db(rows, GAINS[rate][m], rate, f) - target(f)
    return rows, (f"{rate} {model[0]:14s} stop-band level {stop:+6.1f} dB, fit error 40 Hz-10 kHz "
                  f"rms {np.sqrt(np.mean(err ** 2)):.3f} dB, max {np.max(np.abs(err)):.3f} dB")


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "CabinetSections.cpp")
    jobs = [(rate, m) for rate in RATES for m in range(len(MODELS))]
    with multiprocessing.Pool(4) as pool:
        results = pool.map(design_one, jobs)
    tables = {rate: [] for rate in RATES}
    for (rate, m), (rows, line) in zip(jobs, results):
        tables[rate].append(rows)
        print(line, file=sys.stderr)
    write_cpp(out_path, tables)


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


if __name__ == "__main__":
    main()
