#!/usr/bin/python3
"""Reference vectors for the transform engine's steps, computed with numpy straight from the written rules of
each step (FFT and windows, envelope spectrum, cepstrum, integration with drift removal, differentiation,
power in bands, harmonics). Nothing here uses the program's code; the detrend spline is solved from its own
equations with numpy.linalg and the harmonics scan is written out from the rules.

Inputs are either made by formula (sines plus a 64-bit LCG noise, which the tests rebuild from the parameters
written here) or written out in full rounded to 12 significant digits, so that the text is the exact input.

Writes tests/fixtures/golden/engine_golden.txt, a list of cases:
    case NAME
    KEY VALUE              scalar parameters (kind, quantity, step, window, ...)
    tone A F PHI           signal input: A·sin(2π·F·i·step + PHI), i = 0 … count − 1
    noise AMP SEED         plus AMP·(u − 0.5), u from the LCG below
    array NAME COUNT       followed by COUNT numbers (inputs "in_*", expected results "out_*")
    end

Run from anywhere:  /usr/bin/python3 tools/golden/make_engine_golden.py
"""

import math
import os

import numpy as np

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT_DIR = os.path.join(ROOT, "tests", "fixtures", "golden")
OUT = os.path.join(OUT_DIR, "engine_golden.txt")

MASK64 = (1 << 64) - 1


def lcg_noise(count, seed):
    """u(i) in [0, 1): state = state·6364136223846793005 + 1442695040888963407 (mod 2^64), u = (state >> 11)/2^53."""
    state = seed
    out = np.empty(count)
    for i in range(count):
        state = (state * 6364136223846793005 + 1442695040888963407) & MASK64
        out[i] = (state >> 11) / float(1 << 53)
    return out


def make_signal(count, step, tones, noise=None):
    i = np.arange(count, dtype=np.float64)
    y = np.zeros(count)
    for a, f, phi in tones:
        w = 2.0 * math.pi * f * step
        y = y + a * np.sin(w * i + phi)
    if noise is not None:
        amp, seed = noise
        y = y + amp * (lcg_noise(count, seed) - 0.5)
    return y


def round12(values):
    return np.array([float("%.12g" % v) for v in values])


def rint(v):
    """Nearest integer, ties to even."""
    return int(np.rint(v))


def phase_angle(re, im):
    """90° minus the argument of re + i·im, in [0, 360); 0 for 0."""
    a = np.mod(90.0 - np.degrees(np.arctan2(im, re)), 360.0)
    a = np.where((re == 0) & (im == 0), 0.0, a)
    return np.where(a >= 360.0, 0.0, a)


def line_phase(re, im):
    return np.mod(360.0 - phase_angle(re, im), 360.0)


# ---- FFT step ---------------------------------------------------------------------------------------------

def fft_length(n):
    if n % 2 == 1:
        n -= 1
    n = min(n, 1 << 21)
    return 1 << int(math.floor(math.log2(n) + 0.00001))


def fft_step(y, step, quantity, window, envelope=False):
    N = fft_length(len(y))
    if window != 0 and quantity in (16, 32, 512):
        window = 2
    j = np.arange(N)
    if window == 1:
        w = 0.54 - 0.46 * np.cos(2 * np.pi * j / (N - 1))
    elif window == 2:
        w = 0.5 * (1 - np.cos(2 * np.pi * j / (N - 1)))
    else:
        w = np.ones(N)
    X = np.fft.ifft(w * y[:N]) * N  # Σ x·exp(+2πi·jk/N)
    L = rint(N / 2.56)
    if envelope:
        L = min(L, rint(step * 1000 * N) + 1)
    gain = {0: 1.0, 1: 1.8, 2: 2.0}[window]
    X = X[:L]
    values = np.abs(X) * 2 / N * gain
    phases = line_phase(X.real, X.imag)
    blank = 4 if envelope else 1
    values[:blank] = 0
    phases[:blank] = 0
    return values, phases, 1.0 / (step * N)


def cepstrum(values, phases, shift2, peak):
    N = fft_length(len(values))
    A = values[:N] * 2.56 * N / (2 * 1.875)
    D = 20 * np.log10(A + 0.001 * peak)
    ph = np.radians(np.mod(phases[:N] + shift2, 360.0))
    re = (D * np.cos(ph)).astype(np.float32).astype(np.float64)
    im = (D * np.sin(ph)).astype(np.float32).astype(np.float64)
    Z = np.fft.ifft(re + 1j * im) * N
    j = np.arange(N)
    return Z.real / N / (0.54 - 0.46 * np.cos(2 * np.pi * j / (N - 1)))


# ---- Integration and differentiation ------------------------------------------------------------------------

def natural_spline_slopes(x, y):
    n = len(x)
    h = np.diff(x)
    A = np.zeros((n, n))
    r = np.zeros(n)
    A[0, 0], A[0, 1] = 2.0, 1.0
    r[0] = 3 * (y[1] - y[0]) / h[0]
    for i in range(1, n - 1):
        lam = h[i] / (h[i - 1] + h[i])
        mu = 1 - lam
        A[i, i - 1], A[i, i], A[i, i + 1] = lam, 2.0, mu
        r[i] = 3 * (lam * (y[i] - y[i - 1]) / h[i - 1] + mu * (y[i + 1] - y[i]) / h[i])
    A[n - 1, n - 2], A[n - 1, n - 1] = 1.0, 2.0
    r[n - 1] = 3 * (y[n - 1] - y[n - 2]) / h[n - 2]
    return np.linalg.solve(A, r)


def spline_values(x, y, m, at):
    # The interval is the first whose right knot lies beyond the point; the outer pieces extrapolate.
    k = np.clip(np.searchsorted(x, at, side="right"), 1, len(x) - 1)
    x0, x1 = x[k - 1], x[k]
    y0, y1 = y[k - 1], y[k]
    m0, m1 = m[k - 1], m[k]
    h = x1 - x0
    t = at - x0
    s = (y1 - y0) / h
    return y0 + m0 * t + ((3 * s - 2 * m0 - m1) / h) * t ** 2 + ((m0 + m1 - 2 * s) / h ** 2) * t ** 3


def remove_mean(y):
    return y - np.mean(y)


def detrend(y, m):
    n = len(y)
    L = n // m
    y = y.copy()
    # point numbers from 1: value of point i is y[i-1]
    c = np.array([(k - 1) * L + L // 2 for k in range(1, m + 1)], dtype=np.float64)
    s = np.zeros(m)
    for k in range(1, m + 1):
        i = np.arange((k - 1) * L + 2, k * L + 1)
        s[k - 1] = np.sum((y[i - 2] + y[i - 1]) / 2) / L
    s0 = s.copy()
    points = np.arange(1, n + 1, dtype=np.float64)
    C = None
    for _ in range(10):
        kx = np.concatenate(([-float(n)], c, [2.0 * n]))
        ky = np.concatenate(([s[0]], s, [s[-1]]))
        slopes = natural_spline_slopes(kx, ky)
        C = spline_values(kx, ky, slopes, points)
        for k in range(1, m + 1):
            i = np.arange((k - 1) * L + 2, k * L + 1)
            M = np.sum(C[i - 1] + C[i - 2] / 2) / L
            if M == 0:
                M = 1.0
            s[k - 1] = math.sqrt(2) * s[k - 1] * s0[k - 1] / M
    return y - C


def integrate_signal(y, step, from_velocity):
    y = remove_mean(y)
    out = np.concatenate(([0.0], np.cumsum((y[:-1] + y[1:]) / 2 * step * 1000)))
    out = remove_mean(out)
    segments = [2]
    if from_velocity:
        segments.append(4)
        if len(y) > 2048:
            segments.append(8)
    for m in segments:
        out = detrend(out, m)
    return out, segments


def integrate_spectrum(x, y, phases, from_velocity):
    n = len(y)
    k = min(rint(n * (0.015 if from_velocity else 0.001)), 20)
    i = np.arange(1, n + 1)
    with np.errstate(divide="ignore", invalid="ignore"):
        out = np.where((i <= k) | (x == 0), 0.0, y * 1000 / (2 * np.pi * x))
    return out, np.mod(phases + 90, 360.0)


def differentiate_signal(y, step):
    n = len(y)
    d = np.zeros(n)
    for i in range(3, n - 1):  # 1-based i = 3 … n−2
        d[i - 1] = (y[i - 3] - 8 * y[i - 2] + 8 * y[i] - y[i + 1]) / 12 / step / 1000
    d[1] = d[2] + (d[2] - d[4]) / 2
    d[0] = d[1]
    d[n - 2] = d[n - 3] + (d[n - 3] - d[n - 5]) / 2
    d[n - 1] = d[n - 2]
    return d - np.mean(d)


def differentiate_spectrum(x, y, phases):
    return y * 2 * np.pi * x / 1000, np.mod(phases - 90, 360.0)


# ---- Power in bands -------------------------------------------------------------------------------------------

def index_of(at, xstart, step, n):
    """Nearest point number (from 1): n beyond the last abscissa, 1 before the first."""
    xend = xstart + step * (n - 1)
    if xstart <= at and step != 0:
        if at > xend:
            return n
        return rint((at - xstart) / step) + 1
    return 1


def band_power(y, step, mode, ratio=0.0, bands=()):
    n = len(y)
    F = step * (n - 1)
    out = np.zeros(n)

    def band(lo, hi):
        ilo = index_of(lo, 0.0, step, n)
        if (ilo - 1) * step < lo:
            ilo += 1
        ihi = index_of(hi, 0.0, step, n)
        if ilo > ihi:
            return
        p = math.sqrt(np.sum(y[ilo - 1:ihi] ** 2))
        out[ilo - 1:ihi] = p

    if mode == 0:
        lo = 22.0
        hi = min(lo * ratio, F)
        while True:
            band(lo, hi)
            lo = hi
            hi = min(lo * ratio, F)
            if abs(F - lo) < 0.00001:
                break
    else:
        for lo, hi in bands:
            if lo > F:
                continue
            band(max(lo, 0.0), min(hi, F))
    return out


# ---- Harmonics ----------------------------------------------------------------------------------------------

def lagrange(ys, x1, h, x):
    p = (x - x1) / h
    total = 0.0
    m = len(ys)
    for j in range(m):
        num, den = 1.0, 1.0
        for i in range(m):
            if i != j:
                num *= p - i
                den *= j - i
        total += ys[j] * num / den
    return total


def refine(y, step, xstart, c, peak):
    """Line c counts from 1; y[c-1] is its value."""
    n = len(y)
    Y = lambda i: y[i - 1]
    X = lambda i: xstart + (i - 1) * step
    if c < 2 or c + 1 > n:
        return peak
    if not (Y(c - 1) > Y(c) / 2 or Y(c + 1) > Y(c) / 2):
        return peak
    l = 1 if Y(c) > Y(c - 1) else 0
    r = 1 if Y(c + 1) < Y(c) else 0
    j = c - 1
    while j - 1 >= 1 and Y(j) > Y(j - 1) and Y(j) - Y(j - 1) >= Y(j + 1) - Y(j):
        l += 1
        j -= 1
    j = c + 1
    while j + 1 <= n and Y(j) > Y(j + 1) and Y(j) - Y(j + 1) >= Y(j - 1) - Y(j):
        r += 1
        j += 1
    if not (l >= 1 and r >= 1 and l + r + 1 >= 3):
        return peak
    while l + r + 1 > 6:
        if l > r:
            l -= 1
        else:
            r -= 1
    ys = [Y(i) for i in range(c - l, c + r + 1)]
    x1 = X(c - l)
    if Y(c + 1) >= Y(c - 1):
        lo, hi, vlo, vhi = X(c), X(c + 1), Y(c), Y(c + 1)
    else:
        lo, hi, vlo, vhi = X(c - 1), X(c), Y(c - 1), Y(c)
    v = None
    while hi - lo > 0.0002:
        mid = (lo + hi) / 2
        v = lagrange(ys, x1, step, mid)
        if vlo >= vhi:
            hi, vhi = mid, v
        else:
            lo, vlo = mid, v
    if v is None:
        return peak
    return ((lo + hi) / 2, v, peak[2], peak[3])


def harmonics_scan(y, phases, xstart, step, threshold):
    """The peaks as (frequency, amplitude, phase, area), and whether a 129th one turned up (then the table
    holds the first 128)."""
    n = len(y)
    Y = lambda i: y[i - 1]
    table = []
    f = xstart
    state = "rising"
    current = None
    if Y(1) > Y(2):
        state = "falling"
        current = (xstart, Y(1), phases[0], 1)
    if Y(1) < threshold:
        state = "below"
    area = 0.0
    for i in range(2, n + 1):
        f += step
        if state == "below" and Y(i) > Y(i - 1) and Y(i) > threshold:
            state = "rising"
            area = 0.0
        elif state == "rising" and (Y(i) < Y(i - 1) or Y(i) < threshold):
            current = (f - step, Y(i - 1), phases[i - 2], i - 1)
            state = "falling"
        elif state == "falling" and (Y(i) > Y(i - 1) or Y(i) < threshold or i == n):
            freq, amp, ph, line = current
            freq, amp, ph, _ = refine(y, step, xstart, line, (freq, amp, ph, 0.0))
            if len(table) == 128:
                return table, True
            table.append((freq, amp, ph, area))
            state = "rising" if Y(i) > threshold else "below"
            area = 0.0
        area += (Y(i - 1) + Y(i)) / 2 * step
    return table, False


def harmonics(y, phases, xstart, step, quantity, rms, peak):
    """The peak table and the percentage of the scan that made it."""
    base = 1.5 * rms if quantity == 2 and rms > 0 else peak
    percent = 4
    while True:
        table, overflow = harmonics_scan(y, phases, xstart, step, base * percent / 100)
        if not overflow or percent + 4 > 90:
            return table, percent
        percent += 4


def peak_shape(d):
    """Magnitude of a Hann window's main lobe at d lines from its centre."""
    if abs(d) < 1e-12:
        return 1.0
    if abs(abs(d) - 1) < 1e-12:
        return 0.5
    return abs(math.sin(math.pi * d) / (math.pi * d) / (1 - d * d))


def peaky_spectrum(count, peaks, floor_seed):
    rng = np.random.default_rng(floor_seed)
    y = 0.004 + 0.01 * rng.random(count)
    for centre, amp in peaks:
        for line in range(int(centre) - 1, int(centre) + 3):
            if 0 <= line < count:
                y[line] += amp * peak_shape(line - centre)
    phases = np.mod(np.arange(count) * 37.3 + 11.0, 360.0)
    return round12(y), round12(phases)


# ---- Output ---------------------------------------------------------------------------------------------------

class Writer:
    def __init__(self):
        self.lines = ["# Reference vectors for the transform engine; made by tools/golden/make_engine_golden.py."]

    def case(self, name):
        self.lines.append("case " + name)

    def scalar(self, key, value):
        self.lines.append("%s %s" % (key, repr(float(value)) if isinstance(value, float) else str(value)))

    def tone(self, a, f, phi):
        self.lines.append("tone %r %r %r" % (float(a), float(f), float(phi)))

    def noise(self, amp, seed):
        self.lines.append("noise %r %d" % (float(amp), seed))

    def array(self, name, values):
        values = [float(v) for v in values]
        self.lines.append("array %s %d" % (name, len(values)))
        for k in range(0, len(values), 8):
            self.lines.append(" ".join("%.15g" % v for v in values[k:k + 8]))

    def end(self):
        self.lines.append("end")

    def save(self, path):
        with open(path, "w", newline="\n") as f:
            f.write("\n".join(self.lines) + "\n")


def signal_case(w, name, count, step, kind, quantity, tones, noise, extra=()):
    w.case(name)
    w.scalar("count", count)
    w.scalar("step", float(step))
    w.scalar("kind", kind)
    w.scalar("quantity", quantity)
    for key, value in extra:
        w.scalar(key, value)
    for t in tones:
        w.tone(*t)
    if noise:
        w.noise(*noise)
    return make_signal(count, step, tones, noise)


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    w = Writer()

    # Spectra of one signal through each window; 1000 points take a 512-point transform and 200 lines.
    tones = [(3.0, 160.0, 0.7), (1.25, 415.3, 2.1), (0.4, 900.0, 4.0)]
    noise = (0.05, 12345)
    step = 1.0 / 2560.0
    for window, label in ((0, "rect"), (1, "hamming"), (2, "hann")):
        y = signal_case(w, "fft_signal_" + label, 1000, step, 2, 4, tones, noise, [("window", window)])
        values, phases, df = fft_step(y, step, 4, window)
        w.scalar("out_step", df)
        w.array("out_values", values)
        w.array("out_phases", phases)
        w.end()

    # 1025 points: a 1024-point transform, 400 lines.
    y = signal_case(w, "fft_signal_1025", 1025, step, 2, 2, tones, noise, [("window", 1)])
    values, phases, df = fft_step(y, step, 2, 1)
    w.scalar("out_step", df)
    w.array("out_values", values)
    w.array("out_phases", phases)
    w.end()

    # Voltage takes Hann even when Hamming is asked for.
    y = signal_case(w, "fft_voltage_hamming_asked", 1000, step, 2, 16, tones, noise, [("window", 1)])
    values, phases, df = fft_step(y, step, 16, 1)
    w.scalar("out_step", df)
    w.array("out_values", values)
    w.array("out_phases", phases)
    w.end()

    # Envelope at 25,600 Hz, 4096 points: lines up to 1000 Hz, 161 of them, the first four blank.
    env_step = 1.0 / 25600.0
    env_tones = [(0.8, 125.0, 0.3), (0.3, 437.5, 1.7), (0.5, 2000.0, 0.0)]
    y = signal_case(w, "fft_envelope", 4096, env_step, 512, 4, env_tones, (0.02, 99), [("window", 1)])
    y = y + 1.0  # an envelope is positive
    w.scalar("offset", 1.0)
    values, phases, df = fft_step(y, env_step, 4, 1, envelope=True)
    w.scalar("out_step", df)
    w.array("out_values", values)
    w.end()

    # Cepstrum of a 400-line spectrum with phases and a second phase shift: 256 lines are used.
    rng = np.random.default_rng(7)
    spec_values = round12(0.05 + rng.random(400) * 0.5 + 2.0 * (np.arange(400) % 25 == 0))
    spec_phases = round12(rng.random(400) * 360.0)
    peak = float(np.max(spec_values))
    w.case("cepstrum")
    w.scalar("kind", 4)
    w.scalar("quantity", 2)
    w.scalar("step", 2.5)
    w.scalar("shift2", 30.0)
    w.scalar("peak", peak)
    w.array("in_values", spec_values)
    w.array("in_phases", spec_phases)
    cep = cepstrum(spec_values, spec_phases, 30.0, peak)
    w.scalar("out_step", 1.0 / (2.5 * 256))
    w.array("out_values", cep)
    w.end()

    # Time-domain integration: acceleration into velocity (one detrend of 2 segments).
    itones = [(2.0, 37.0, 0.2), (0.7, 111.0, 1.0)]
    istep = 1.0 / 2048.0
    y = signal_case(w, "int_signal_acc", 3000, istep, 2, 4, itones, (0.3, 4242))
    out, _ = integrate_signal(y, istep, False)
    w.array("out_values", out)
    w.end()
    # Velocity into displacement: 4000 points detrend with 2, 4 and 8 segments, 2048 points with 2 and 4.
    for count in (4000, 2048):
        y = signal_case(w, "int_signal_vel_%d" % count, count, istep, 2, 2, itones, (0.3, 777))
        out, segments = integrate_signal(y, istep, True)
        w.scalar("segments", len(segments))
        w.array("out_values", out)
        w.end()

    # Frequency-domain integration of spectra with phases; the lowest lines are zeroed.
    for quantity, label in ((4, "acc"), (2, "vel")):
        count = 1000
        rng = np.random.default_rng(quantity)
        values = round12(rng.random(count) * 3.0)
        phases = round12(rng.random(count) * 360.0)
        x = np.arange(count) * 1.25
        w.case("int_spectrum_" + label)
        w.scalar("kind", 4)
        w.scalar("quantity", quantity)
        w.scalar("step", 1.25)
        w.array("in_values", values)
        w.array("in_phases", phases)
        out, outp = integrate_spectrum(x, values, phases, quantity == 2)
        w.array("out_values", out)
        w.array("out_phases", outp)
        w.end()

    # Differentiation: a displacement signal and a velocity spectrum.
    y = signal_case(w, "dif_signal", 600, istep, 2, 1, itones, (0.1, 31))
    w.array("out_values", differentiate_signal(y, istep))
    w.end()
    rng = np.random.default_rng(11)
    values = round12(rng.random(300) * 2.0)
    phases = round12(rng.random(300) * 360.0)
    w.case("dif_spectrum")
    w.scalar("kind", 4)
    w.scalar("quantity", 2)
    w.scalar("step", 5.0)
    w.array("in_values", values)
    w.array("in_phases", phases)
    out, outp = differentiate_spectrum(np.arange(300) * 5.0, values, phases)
    w.array("out_values", out)
    w.array("out_phases", outp)
    w.end()

    # Acceleration signal into a velocity spectrum, both ways round: FFT then integration of the lines, and
    # integration of the signal (with its detrend) then FFT.
    otones = [(5.0, 80.0, 0.4), (2.0, 250.0, 1.2)]
    ostep = 1.0 / 2560.0
    y = signal_case(w, "order_bpf_int", 2048, ostep, 2, 4, otones, (0.2, 5))
    values, phases, df = fft_step(y, ostep, 4, 1)
    x = np.arange(len(values)) * df
    ivalues, iphases = integrate_spectrum(x, values, phases, False)
    w.array("out_values", ivalues)
    w.array("out_phases", iphases)
    w.end()
    y = signal_case(w, "order_int_bpf", 2048, ostep, 2, 4, otones, (0.2, 5))
    integrated, _ = integrate_signal(y, ostep, False)
    values, phases, df = fft_step(integrated, ostep, 2, 1)
    w.array("out_values", values)
    w.array("out_phases", phases)
    w.end()

    # Power in bands over a 0 … 1000 Hz spectrum of 401 lines.
    rng = np.random.default_rng(3)
    bvalues = round12(0.1 + rng.random(401))
    for label, ratio in (("octave", 2.0), ("third", 2.0 ** (1.0 / 3.0))):
        w.case("bands_" + label)
        w.scalar("kind", 4)
        w.scalar("quantity", 2)
        w.scalar("step", 2.5)
        w.scalar("mode", 0)
        w.scalar("ratio", ratio)
        w.array("in_values", bvalues)
        w.array("out_values", band_power(bvalues, 2.5, 0, ratio))
        w.end()
    user = [(10.0, 50.0), (-5.0, 7.5), (400.0, 2000.0), (1500.0, 1600.0), (101.3, 98.0), (47.5, 60.0)]
    w.case("bands_user")
    w.scalar("kind", 4)
    w.scalar("quantity", 2)
    w.scalar("step", 2.5)
    w.scalar("mode", 1)
    w.array("in_values", bvalues)
    w.array("bands", [v for band in user for v in band])
    w.array("out_values", band_power(bvalues, 2.5, 1, bands=user))
    w.end()

    # Harmonics. 161 peaks above 4 % of the largest but only 61 above 8 %: one rescan.
    rng = np.random.default_rng(2024)
    centres = np.sort(rng.choice(np.arange(10, 2030, 12), size=161, replace=False)).astype(np.float64)
    centres = centres + rng.random(161) * 0.9
    amps = np.concatenate(([10.0], 1.0 + rng.random(60) * 8.5, 0.45 + rng.random(100) * 0.3))
    rng.shuffle(amps)
    hy, hp = peaky_spectrum(2048, list(zip(centres, amps)), 17)
    for label, quantity, rms in (("rescan", 4, 0.0), ("velocity_base", 2, 2.0)):
        peak = float(np.max(hy))
        table, percent = harmonics(hy, hp, 0.0, 0.5, quantity, rms, peak)
        w.case("harmonics_" + label)
        w.scalar("kind", 4)
        w.scalar("quantity", quantity)
        w.scalar("step", 0.5)
        w.scalar("rms", rms)
        w.scalar("peak", peak)
        w.scalar("percent", percent)
        w.array("in_values", hy)
        w.array("in_phases", hp)
        w.array("out_frequency", [t[0] for t in table])
        w.array("out_amplitude", [t[1] for t in table])
        w.array("out_phase", [t[2] for t in table])
        w.array("out_area", [t[3] for t in table])
        w.end()
    # 200 equal peaks: above every threshold up to 88 %, so the first 128 of the last scan are kept.
    centres = np.arange(200) * 10.0 + 5.3
    hy, hp = peaky_spectrum(2010, [(c, 1.0) for c in centres], 5)
    peak = float(np.max(hy))
    table, percent = harmonics(hy, hp, 0.0, 1.0, 4, 0.0, peak)
    w.case("harmonics_capped")
    w.scalar("kind", 4)
    w.scalar("quantity", 4)
    w.scalar("step", 1.0)
    w.scalar("rms", 0.0)
    w.scalar("peak", peak)
    w.scalar("percent", percent)
    w.array("in_values", hy)
    w.array("in_phases", hp)
    w.array("out_frequency", [t[0] for t in table])
    w.array("out_amplitude", [t[1] for t in table])
    w.array("out_phase", [t[2] for t in table])
    w.array("out_area", [t[3] for t in table])
    w.end()

    w.save(OUT)
    print("wrote", OUT)


if __name__ == "__main__":
    main()
