#include "archive/DemoSignals.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmar::archive::demo {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

struct Component {
    double hz;
    double velocityPeak;  // mm/s
    double phase;         // radians
};

// Radial directions see the rotating force; the axial one mostly sees misalignment.
double DirectionGain(int direction, double vertical, double transverse, double axial) {
    switch (direction) {
        case 1:
            return vertical;
        case 2:
            return transverse;
        default:
            return axial;
    }
}

std::vector<Component> Components(const MachineCondition& c, int direction, bool nearBearing) {
    const double f0 = c.shaftHz;
    const double s = std::clamp(c.severity, 0.0, 1.5);
    const double base = c.baseVelocityRms * std::sqrt(2.0);
    std::vector<Component> out;
    // A healthy machine: some residual unbalance, a little 2x, the vane or blade pass.
    out.push_back({f0, base * DirectionGain(direction, 0.8, 1.0, 0.45), 0.3 * direction});
    out.push_back({2 * f0, base * DirectionGain(direction, 0.3, 0.25, 0.3), 1.1 + direction});
    out.push_back({3 * f0, base * 0.08, 2.0});
    out.push_back({6 * f0, base * DirectionGain(direction, 0.25, 0.2, 0.1), 0.7});

    switch (c.fault) {
        case Fault::Unbalance:
            out.push_back({f0, s * 9.0 * DirectionGain(direction, 0.85, 1.0, 0.2), 0.4 * direction});
            break;
        case Fault::Misalignment:
            out.push_back({2 * f0, s * 6.0 * DirectionGain(direction, 0.6, 0.7, 1.0), 0.9});
            out.push_back({f0, s * 4.5 * DirectionGain(direction, 0.3, 0.35, 1.0), 2.4});
            out.push_back({3 * f0, s * 1.6 * DirectionGain(direction, 0.4, 0.4, 0.8), 0.2});
            break;
        case Fault::Looseness:
            // A rich series of harmonics and half orders, strongest vertically.
            for (int k = 1; k <= 10; ++k) {
                out.push_back({k * f0, s * 3.2 / std::sqrt(k) * DirectionGain(direction, 1.0, 0.6, 0.35),
                               0.37 * k * k});
            }
            for (double h : {0.5, 1.5, 2.5, 3.5}) {
                out.push_back({h * f0, s * 0.9 * DirectionGain(direction, 1.0, 0.5, 0.3), h});
            }
            break;
        case Fault::OuterRace:
            if (nearBearing) {
                const double bpfo = c.bpfoOrder * f0;
                out.push_back({bpfo, s * 0.45, 0.5});
                out.push_back({2 * bpfo, s * 0.25, 1.5});
            }
            break;
        case Fault::None:
            break;
    }
    return out;
}

// Bearing impacts: times of the impacts over the record, with the small irregularity of rolling slip.
std::vector<double> ImpactTimes(const MachineCondition& c, double duration, DemoRandom& rng) {
    std::vector<double> times;
    const double period = 1.0 / (c.bpfoOrder * c.shaftHz);
    for (double t = period * rng.Uniform(); t < duration; t += period * (1.0 + 0.008 * (rng.Uniform() - 0.5))) {
        times.push_back(t);
    }
    return times;
}

double ImpactAmplitude(const MachineCondition& c) { return 2.0 + 38.0 * std::clamp(c.severity, 0.0, 1.5); }

constexpr double kResonanceDamping = 0.04;

}  // namespace

std::uint64_t DemoRandom::Next() {
    // splitmix64: small, fast, and the same everywhere.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double DemoRandom::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double DemoRandom::Gaussian() {
    double u1 = Uniform();
    const double u2 = Uniform();
    if (u1 < 1e-300) {
        u1 = 1e-300;
    }
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

std::vector<double> AccelerationSignal(const MachineCondition& c, double sampleRate, std::size_t count, int direction,
                                       bool nearBearing) {
    DemoRandom rng(c.seed * 31 + static_cast<std::uint64_t>(direction) * 7 + (nearBearing ? 3 : 0));
    std::vector<double> a(count, 0.0);
    const double dt = 1.0 / sampleRate;
    for (const Component& k : Components(c, direction, nearBearing)) {
        if (k.hz >= sampleRate / 2.56) {
            continue;
        }
        const double amp = k.velocityPeak * 1e-3 * kTwoPi * k.hz;  // mm/s -> m/s^2
        const double w = kTwoPi * k.hz * dt;
        for (std::size_t i = 0; i < count; ++i) {
            a[i] += amp * std::sin(w * static_cast<double>(i) + k.phase);
        }
    }
    if (c.fault == Fault::OuterRace && nearBearing) {
        const double amplitude = ImpactAmplitude(c) * (direction == 3 ? 0.4 : 1.0);
        const double wr = kTwoPi * c.resonanceHz;
        const double tau = 1.0 / (kResonanceDamping * wr);
        for (double t0 : ImpactTimes(c, static_cast<double>(count) * dt, rng)) {
            const auto first = static_cast<std::size_t>(std::ceil(t0 * sampleRate));
            const auto last = std::min(count, first + static_cast<std::size_t>(8 * tau * sampleRate) + 1);
            for (std::size_t i = first; i < last; ++i) {
                const double t = static_cast<double>(i) * dt - t0;
                a[i] += amplitude * std::exp(-t / tau) * std::sin(wr * t);
            }
        }
    }
    const double noise = 0.12 + 0.05 * c.severity;
    for (double& v : a) {
        v += noise * rng.Gaussian();
    }
    return a;
}

std::vector<double> EnvelopeSignal(const MachineCondition& c, double sampleRate, std::size_t count) {
    DemoRandom rng(c.seed * 131 + 5);
    std::vector<double> e(count, 0.0);
    const double dt = 1.0 / sampleRate;
    if (c.fault == Fault::OuterRace) {
        const double tau = 1.0 / (kResonanceDamping * kTwoPi * c.resonanceHz);
        // Collectors smooth the demodulated signal; the impacts come out about a millisecond wide.
        const double width = std::max(tau, 2.0 * dt);
        const double amplitude = ImpactAmplitude(c) * 0.35;
        for (double t0 : ImpactTimes(c, static_cast<double>(count) * dt, rng)) {
            const auto first = static_cast<std::size_t>(std::ceil(t0 * sampleRate));
            const auto last = std::min(count, first + static_cast<std::size_t>(8 * width * sampleRate) + 1);
            for (std::size_t i = first; i < last; ++i) {
                e[i] += amplitude * std::exp(-(static_cast<double>(i) * dt - t0) / width);
            }
        }
    }
    // Unbalance and looseness modulate the high-frequency noise a little at the running speed.
    const double modulation = c.fault == Fault::Looseness ? 0.4 * c.severity : 0.05;
    for (std::size_t i = 0; i < count; ++i) {
        const double carrier = 0.08 + 0.03 * c.severity;
        const double m = 1.0 + modulation * std::sin(kTwoPi * c.shaftHz * static_cast<double>(i) * dt);
        e[i] += carrier * m * std::fabs(1.0 + 0.35 * rng.Gaussian());
    }
    return e;
}

std::vector<double> MarkerSignal(const MachineCondition& c, double sampleRate, std::size_t count) {
    std::vector<double> m(count, 0.0);
    const double revolution = 1.0 / c.shaftHz;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double phase = std::fmod(t, revolution) / revolution;
        m[i] = phase < 0.05 ? 5.0 : 0.0;
    }
    return m;
}

std::vector<double> VelocitySpectrum(const MachineCondition& c, double df, std::size_t lines, int direction,
                                     bool nearBearing) {
    DemoRandom rng(c.seed * 17 + static_cast<std::uint64_t>(direction));
    std::vector<double> power(lines + 1, 0.0);
    // The Hann window's kernel spreads each line over its neighbours.
    auto hann = [](double x) {
        if (std::fabs(x) < 1e-9) {
            return 1.0;
        }
        if (std::fabs(std::fabs(x) - 1.0) < 1e-9) {
            return 0.5;
        }
        return std::sin(std::numbers::pi * x) / (std::numbers::pi * x) / (1.0 - x * x);
    };
    for (const Component& k : Components(c, direction, nearBearing)) {
        const double bin = k.hz / df;
        const auto centre = static_cast<long>(std::floor(bin + 0.5));
        for (long j = centre - 3; j <= centre + 3; ++j) {
            if (j < 0 || j > static_cast<long>(lines)) {
                continue;
            }
            const double a = k.velocityPeak * hann(bin - static_cast<double>(j));
            power[static_cast<std::size_t>(j)] += a * a;
        }
    }
    std::vector<double> spectrum(lines + 1);
    for (std::size_t j = 0; j <= lines; ++j) {
        const double floor = 0.012 * (1.0 + 3.0 / (1.0 + static_cast<double>(j) * df / 20.0));
        const double noise = floor * std::fabs(1.0 + 0.5 * rng.Gaussian());
        spectrum[j] = std::sqrt(power[j] + noise * noise);
    }
    return spectrum;
}

double OverallVelocityRms(const MachineCondition& c, int direction) {
    double sum = 0.0;
    for (const Component& k : Components(c, direction, true)) {
        if (k.hz >= 10.0 && k.hz <= 1000.0) {
            sum += k.velocityPeak * k.velocityPeak / 2.0;
        }
    }
    return std::sqrt(sum + 0.1 * 0.1);
}

int SeverityState(double velocityRms) {
    if (velocityRms < 2.8) {
        return 0;
    }
    if (velocityRms < 4.5) {
        return 3;
    }
    return 6;
}

int ConditionState(const MachineCondition& c) {
    double worst = 0;
    for (int direction = 1; direction <= 3; ++direction) {
        worst = std::max(worst, OverallVelocityRms(c, direction));
    }
    int state = SeverityState(worst);
    if (c.fault == Fault::OuterRace) {
        const double impacts = ImpactAmplitude(c);  // m/s^2 at the bearing
        state = std::max(state, impacts >= 30.0 ? 6 : impacts >= 15.0 ? 3 : 0);
    }
    return state;
}

}  // namespace velmar::archive::demo
