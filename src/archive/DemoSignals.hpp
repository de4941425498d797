#pragma once
// Synthetic vibration of rotating machines for the demo archive: the signals a vibration engineer expects to
// see from a machine developing unbalance, misalignment, a rolling-bearing outer-race defect or looseness.

#include <cstdint>
#include <vector>

namespace velmar::archive::demo {

enum class Fault { None, Unbalance, Misalignment, OuterRace, Looseness };

// How a machine behaves in one month of its year.
struct MachineCondition {
    double shaftHz = 24.75;      // running speed
    Fault fault = Fault::None;
    double severity = 0;         // 0 healthy .. 1 the end of the year's development
    double bpfoOrder = 3.05;     // outer-race defect frequency in orders of the shaft speed
    double resonanceHz = 3100;   // structural resonance the bearing impacts ring at
    double baseVelocityRms = 0.9;  // mm/s of a healthy machine in the 10-1000 Hz band
    std::uint64_t seed = 1;
};

// Deterministic generator (not std::*_distribution, whose sequences differ between libraries).
class DemoRandom {
public:
    explicit DemoRandom(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    std::uint64_t Next();
    double Uniform();  // [0, 1)
    double Gaussian();

private:
    std::uint64_t state_;
};

// Acceleration in m/s^2 at `sampleRate`, `count` samples, at a point in a direction (1 vertical,
// 2 transverse, 3 axial). `nearBearing` marks the point whose bearing carries the defect.
std::vector<double> AccelerationSignal(const MachineCondition& c, double sampleRate, std::size_t count, int direction,
                                       bool nearBearing);

// Envelope of the acceleration band around the resonance, m/s^2, as a demodulating collector records it.
std::vector<double> EnvelopeSignal(const MachineCondition& c, double sampleRate, std::size_t count);

// Tachometer pulses, volts: one pulse per revolution.
std::vector<double> MarkerSignal(const MachineCondition& c, double sampleRate, std::size_t count);

// Velocity amplitude spectrum (peak, mm/s) from 0 Hz with `lines` + 1 values at step `df`, as a collector
// computes it with a Hann window.
std::vector<double> VelocitySpectrum(const MachineCondition& c, double df, std::size_t lines, int direction,
                                     bool nearBearing);

// Overall velocity RMS, mm/s, 10-1000 Hz, of the machine in that direction: the number states follow.
double OverallVelocityRms(const MachineCondition& c, int direction);

// 0 green, 3 yellow, 6 red by the usual zones of rigidly mounted medium machines.
int SeverityState(double velocityRms);

// The state an engineer gives the machine: the velocity zones, and for a bearing defect the impact level,
// which barely moves the velocity but is plain in the envelope.
int ConditionState(const MachineCondition& c);

}  // namespace velmar::archive::demo
