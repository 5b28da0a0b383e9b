#!/usr/bin/python3
"""Plots the designed audio tables for docs/audio-data.md.

    /usr/bin/python3 tools/data/plot_audio_data.py <path to generate_audio_tables binary>

Reads the cabinet models from data/CabinetSections.cpp, runs the generator in its raw mode for
the curves and impulse responses, and writes small PNGs into docs/audio-data/.
"""
import os
import re
import subprocess
import sys
import tempfile

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "docs", "audio-data")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import design_cabinets as design  # noqa: E402


def read_cabinets():
    text = open(os.path.join(ROOT, "data", "CabinetSections.cpp")).read()
    tables = {}
    for rate in design.RATES:
        body = re.search(r"kSections%d\[[^\]]*\] = \{(.*?)\};" % rate, text, re.S).group(1)
        body = re.sub(r"//[^\n]*", "", body)
        vals = np.array([float(v.rstrip("f")) for v in re.findall(r"[-+0-9.eE]+f", body)])
        tables[rate] = vals.reshape(12, 25, 6)
    return tables


def stage_db(rows, gain, rate, f):
    w = 2 * np.pi * f / rate
    cab = design.section_db([(r[1], r[2], r[4], r[5]) for r in rows], w) + 20 * np.log10(gain)
    return cab + design.band_db(rate, f)


def plot_cabinets(tables):
    f = np.geomspace(20, 20000, 600)
    fig, axes = plt.subplots(4, 3, figsize=(11, 9), sharex=True, sharey=True)
    for m, ax in enumerate(axes.flat):
        for rate, style in ((44100, "-"), (48000, "--")):
            ax.semilogx(f, stage_db(tables[rate][m], design.GAINS[rate][m], rate, f), style,
                        lw=1, label=f"{rate / 1000:g} kHz")
        ax.axhline(20 * np.log10(0.3), color="grey", lw=0.6, ls=":")
        ax.set_title(f"{m}: {design.MODELS[m][0]}", fontsize=9)
        ax.set_ylim(-60, 0)
        ax.grid(True, which="both", lw=0.3)
    axes[0, 0].legend(fontsize=7)
    fig.supxlabel("Hz")
    fig.supylabel("cabinet stage gain, dB (dotted: 0.3, the level without a cabinet)")
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "cabinets.png"), dpi=62)
    plt.close(fig)


def plot_curves(raw):
    pre = np.fromfile(os.path.join(raw, "preamp.f32"), np.float32)
    pwr = np.fromfile(os.path.join(raw, "poweramp.f32"), np.float32)
    fig, axes = plt.subplots(2, 2, figsize=(10, 6))
    for col, (curve, offset, name, zoom) in enumerate(((pre, 4.0, "preamp", (-4, 8)),
                                                      (pwr, 39.0, "power amp", (-20, 25)))):
        x = np.arange(len(curve)) / 1000.0 - offset
        axes[0, col].plot(x, curve, lw=1)
        axes[0, col].set_title(f"{name} curve")
        axes[1, col].plot(x[1:], np.diff(curve) * 1000.0, lw=1)
        axes[1, col].set_xlim(*zoom)
        axes[1, col].set_title(f"{name} slope")
        for ax in axes[:, col]:
            ax.grid(True, lw=0.3)
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "curves.png"), dpi=62)
    plt.close(fig)


def plot_impulses(raw):
    specs = (("Type1_44100", 44100), ("Type1_48000", 48000), ("Type2_44100", 44100), ("Type2_48000", 48000))
    fig, axes = plt.subplots(4, 2, figsize=(11, 10))
    for row, (name, rate) in enumerate(specs):
        x = np.fromfile(os.path.join(raw, name + ".f32"), np.float32).astype(float)
        t = np.arange(len(x)) / rate
        hop = rate // 100
        frames = len(x) // hop
        env = np.sqrt(np.mean(x[:frames * hop].reshape(frames, hop) ** 2, axis=1))
        peak = np.max(np.abs(x[:frames * hop].reshape(frames, hop)), axis=1)
        ax = axes[row, 0]
        ax.plot(np.arange(frames) * hop / rate, 20 * np.log10(peak + 1e-12), lw=0.8, label="peak per 10 ms")
        ax.plot(np.arange(frames) * hop / rate, 20 * np.log10(env + 1e-12), lw=0.8, label="rms per 10 ms")
        ax.axhline(-60, color="grey", lw=0.6, ls=":")
        ax.set_ylim(-110, 5)
        ax.set_title(f"{name}: envelope (dB re peak)", fontsize=9)
        ax.grid(True, lw=0.3)
        ax.legend(fontsize=7)
        ax = axes[row, 1]
        spring = name.startswith("Type2")
        span = slice(0, int((0.6 if spring else len(x) / rate) * rate))
        nfft = 512 if spring else 1024
        ax.specgram(x[span], NFFT=nfft, Fs=rate, noverlap=nfft * 7 // 8, cmap="magma", vmin=-130)
        ax.set_ylim(0, 8000 if spring else 16000)
        ax.set_title(f"{name}: spectrogram" + (" (first 0.6 s)" if spring else ""), fontsize=9)
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "impulses.png"), dpi=55)
    plt.close(fig)


def main():
    os.makedirs(OUT, exist_ok=True)
    plot_cabinets(read_cabinets())
    with tempfile.TemporaryDirectory() as raw:
        subprocess.run([sys.argv[1], "raw", raw], check=True)
        plot_curves(raw)
        plot_impulses(raw)


if __name__ == "__main__":
    main()
