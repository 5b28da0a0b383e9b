#!/usr/bin/python3
"""Plots the designed audio tables for docs/audio-data.md.

    /usr/bin/python3 tools/data/plot_audio_data.py <generate_audio_tables binary> [<brondavell_render binary> <built VST3 bundle>]

Reads the cabinet models from data/CabinetSections.cpp, runs the generator in its raw mode for
the curves and impulse responses, and writes small PNGs into docs/audio-data/. With the render
tool and a built bundle it also renders a click and a plucked note through the plug-in with the
spring reverb fully up and plots what comes out.
"""
import os
import subprocess
import sys
import tempfile

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from scipy.io import wavfile  # noqa: E402
from scipy.signal import lfilter  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "docs", "audio-data")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import design_cabinets as design  # noqa: E402


def read_cabinets():
    return design.read_cpp(os.path.join(ROOT, "data", "CabinetSections.cpp"))


def stage_db(rows, gain, rate, f):
    return design.model_db(rows, gain, rate, f) + design.band_db(rate, f)


def voicing_table(tables):
    """Markdown rows of the voicing figures, each re the model's 200 Hz-4 kHz mean."""
    lines = ["| model | family | 60 Hz | 2.5-4 kHz | 8 kHz | 10 kHz | 15 kHz | rates differ up to 10 / 15 kHz |",
             "|---|---|---|---|---|---|---|---|"]
    for m, model in enumerate(design.MODELS):
        cells = {}
        for rate in design.RATES:
            g = design.GAINS[rate][m]
            mean = 20 * np.log10(np.mean(10 ** (stage_db(tables[rate][m], g, rate, np.geomspace(200, 4000, 200)) / 20)))
            rel = lambda hz: stage_db(tables[rate][m], g, rate, np.atleast_1d(float(hz)))[0] - mean  # noqa: E731
            presence = np.mean(stage_db(tables[rate][m], g, rate, np.geomspace(2500, 4000, 60))) - mean
            cells[rate] = (rel(60), presence, rel(8000), rel(10000), rel(15000))
        f10, f15 = np.geomspace(40, 10000, 400), np.geomspace(10000, 15000, 100)
        d = lambda f: np.max(np.abs(stage_db(tables[44100][m], design.GAINS[44100][m], 44100, f)  # noqa: E731
                                    - stage_db(tables[48000][m], design.GAINS[48000][m], 48000, f)))
        fig = " | ".join(f"{cells[44100][k]:+.1f} / {cells[48000][k]:+.1f}" for k in range(5))
        lines.append(f"| {m} {model[0]} | {model[1]} | {fig} | {d(f10):.2f} / {d(f15):.2f} dB |")
    f = np.geomspace(80, 8000, 200)
    for rate in design.RATES:
        db = [stage_db(tables[rate][m], design.GAINS[rate][m], rate, f) for m in range(12)]
        dist = [np.sqrt(np.mean((db[a] - db[b]) ** 2)) for a in range(12) for b in range(a + 1, 12)]
        lines.append(f"\nPairwise difference at {rate} Hz, 80 Hz-8 kHz: median {np.median(dist):.1f} dB RMS, "
                     f"smallest {np.min(dist):.1f} dB.")
    return "\n".join(lines)


def plot_cabinets(tables):
    f = np.geomspace(20, 22000, 700)
    fig, axes = plt.subplots(4, 3, figsize=(11, 9), sharex=True, sharey=True)
    for m, ax in enumerate(axes.flat):
        for rate, style in ((44100, "-"), (48000, "--")):
            ax.semilogx(f, stage_db(tables[rate][m], design.GAINS[rate][m], rate, f), style,
                        lw=1, label=f"{rate / 1000:g} kHz")
        ax.axhline(20 * np.log10(0.3), color="grey", lw=0.6, ls=":")
        ax.set_title(f"{m}: {design.MODELS[m][0]}", fontsize=9)
        ax.set_ylim(-90, 0)
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
    fig, axes = plt.subplots(4, 3, figsize=(15, 10))
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
        span = slice(0, len(x))
        nfft = 512 if spring else 1024
        ax.specgram(x[span], NFFT=nfft, Fs=rate, noverlap=nfft * 7 // 8, cmap="magma", vmin=-130)
        ax.set_ylim(0, 8000 if spring else 16000)
        ax.set_title(f"{name}: spectrogram", fontsize=9)
        ax = axes[row, 2]
        ax.specgram(x[:int(0.3 * rate)], NFFT=256, Fs=rate, noverlap=256 - 8, cmap="magma", vmin=-120)
        ax.set_ylim(0, 6000 if spring else 16000)
        ax.set_title(f"{name}: the first 300 ms, 256-point windows", fontsize=9)
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "impulses.png"), dpi=55)
    plt.close(fig)


def band_decay_db(x, rate, hz):
    """Backward-integrated energy (dB re its start) of the octave band around hz: the band is
    taken by a one-octave band-pass biquad (0 dB at hz) run twice, as the data test
    ReverbImpulsesTest does."""
    w = 2 * np.pi * hz / rate
    alpha = np.sin(w) * np.sinh(0.5 * np.log(2) * w / np.sin(w))
    b = np.array([alpha, 0, -alpha]) / (1 + alpha)
    a = np.array([1, -2 * np.cos(w) / (1 + alpha), (1 - alpha) / (1 + alpha)])
    y = lfilter(b, a, lfilter(b, a, x))
    edc = np.cumsum((y ** 2)[::-1])[::-1]
    return 10 * np.log10(edc / edc[0] + 1e-30)


def plot_decay(raw):
    fig, axes = plt.subplots(1, 2, figsize=(11, 3.6), sharey=True)
    lines = ["| response | " + " | ".join(f"{hz} Hz" for hz in DECAY_BANDS) + " |",
             "|---|" + "---|" * len(DECAY_BANDS)]
    ratios = []
    for ax, name, rate in ((axes[0], "Type1_44100", 44100), (axes[1], "Type2_44100", 44100)):
        x = np.fromfile(os.path.join(raw, name + ".f32"), np.float32).astype(float)
        t = np.arange(len(x)) / rate
        t60 = []
        for hz in DECAY_BANDS:
            db = band_decay_db(x, rate, hz)
            ax.plot(t, db, lw=1, label=f"{hz} Hz")
            i0, i1 = np.argmax(db < -5), np.argmax(db < -25)
            t60.append(-60 / np.polyfit(t[i0:i1], db[i0:i1], 1)[0])
        lines.append(f"| {name} | " + " | ".join(f"{v:.2f} s" for v in t60) + " |")
        ratios.append(f"{name}: {t60[DECAY_BANDS.index(4000)] / t60[DECAY_BANDS.index(500)]:.2f}")
        ax.set_title(f"{name}: energy decay per octave band", fontsize=9)
        ax.set_ylim(-80, 0)
        ax.grid(True, lw=0.3)
        ax.legend(fontsize=7)
        ax.set_xlabel("s")
    axes[0].set_ylabel("dB")
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "decay.png"), dpi=62)
    plt.close(fig)
    return "\n".join(lines) + "\n\nT60 at 4 kHz / 500 Hz: " + ", ".join(ratios)


DECAY_BANDS = (250, 500, 1000, 2000, 4000)
RENDER_RATE = 48000


def render_clips(folder):
    """A click and a muted plucked note (a Karplus-Strong A2 string dying away within about
    0.15 s), each 0.1 s into 3 s of silence, as 48 kHz WAV files."""
    n = 3 * RENDER_RATE
    start = RENDER_RATE // 10
    click = np.zeros(n, np.float32)
    click[start] = 0.5
    period = int(RENDER_RATE / 110.0)
    line = np.random.default_rng(5).uniform(-1, 1, period)
    pluck = np.zeros(n)
    for i in range(n - start):
        pluck[start + i] = line[i % period]
        line[i % period] = 0.35 * (line[i % period] + line[(i + 1) % period])
    clips = {"click": click, "plucked note": (pluck * 0.3 / np.max(np.abs(pluck))).astype(np.float32)}
    paths = {}
    for name, clip in clips.items():
        paths[name] = os.path.join(folder, name.replace(" ", "-") + ".wav")
        wavfile.write(paths[name], RENDER_RATE, clip)
    return paths


def plot_renders(render_tool, bundle, folder):
    """The click and the plucked note through the built plug-in (defaults, reverb type 2 at 1)."""
    fig, axes = plt.subplots(1, 2, figsize=(13, 4))
    for ax, (name, path) in zip(axes, render_clips(folder).items()):
        out = path.replace(".wav", "-out.wav")
        subprocess.run([render_tool, "--plugin", bundle, "--rate", str(RENDER_RATE), "--input", path, "--out", out,
                        "--set", "reverb=1", "--set", "reverbType2=1"], check=True, stdout=subprocess.DEVNULL)
        _, y = wavfile.read(out)
        y = y[:, 0].astype(float) / 2 ** 31
        shown = y[int(0.09 * RENDER_RATE):int(1.0 * RENDER_RATE)]  # from 10 ms before the sound
        with np.errstate(divide="ignore"):  # the silence before the sound
            spec, _, _, image = ax.specgram(shown, NFFT=256, Fs=RENDER_RATE, noverlap=256 - 16, cmap="magma",
                                            xextent=(-0.01, 0.9))
        top = 10 * np.log10(np.max(spec))
        image.set_clim(top - 75, top)
        ax.set_ylim(0, 6000)
        ax.set_xlabel("s after the " + name)
        ax.set_title(f"{name} through the plug-in, reverb type 2 at 1 (48 kHz)", fontsize=9)
    axes[0].set_ylabel("Hz")
    fig.tight_layout()
    fig.savefig(os.path.join(OUT, "spring-renders.png"), dpi=62)
    plt.close(fig)


def main():
    os.makedirs(OUT, exist_ok=True)
    tables = read_cabinets()
    plot_cabinets(tables)
    print(voicing_table(tables))
    with tempfile.TemporaryDirectory() as raw:
        subprocess.run([sys.argv[1], "raw", raw], check=True)
        plot_curves(raw)
        plot_impulses(raw)
        print(plot_decay(raw))
        if len(sys.argv) > 3:
            plot_renders(sys.argv[2], sys.argv[3], raw)


if __name__ == "__main__":
    main()
