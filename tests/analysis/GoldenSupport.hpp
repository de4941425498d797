#pragma once
// The reference vectors of tools/golden/make_engine_golden.py (numpy, from the written rules of each step)
// and helpers to compare the engine's results with them.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/Series.hpp"

namespace velmar::analysis::testing {

struct GoldenCase {
    struct Tone {
        double amplitude, frequency, phase;
    };

    std::string name;
    std::map<std::string, double> scalars;
    std::map<std::string, std::vector<double>> arrays;
    std::vector<Tone> tones;
    bool hasNoise = false;
    double noiseAmplitude = 0;
    std::uint64_t noiseSeed = 0;

    double Scalar(const std::string& key) const {
        const auto it = scalars.find(key);
        if (it == scalars.end()) {
            throw std::out_of_range(name + ": no scalar " + key);
        }
        return it->second;
    }
    double Scalar(const std::string& key, double def) const {
        const auto it = scalars.find(key);
        return it == scalars.end() ? def : it->second;
    }
    const std::vector<double>& Array(const std::string& key) const {
        const auto it = arrays.find(key);
        if (it == arrays.end()) {
            throw std::out_of_range(name + ": no array " + key);
        }
        return it->second;
    }

    // The signal the script made from its tones and noise: Σ A·sin(2π·F·step·i + φ) + amp·(u − 0.5), with
    // the same operations in the same order, u from the same 64-bit LCG.
    std::vector<double> Signal() const {
        const auto count = static_cast<std::size_t>(Scalar("count"));
        const double step = Scalar("step");
        std::vector<double> y(count, 0.0);
        for (const Tone& t : tones) {
            const double w = 2.0 * 3.141592653589793 * t.frequency * step;
            for (std::size_t i = 0; i < count; ++i) {
                y[i] = y[i] + t.amplitude * std::sin(w * static_cast<double>(i) + t.phase);
            }
        }
        if (hasNoise) {
            std::uint64_t state = noiseSeed;
            for (std::size_t i = 0; i < count; ++i) {
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                const double u = static_cast<double>(state >> 11) / 9007199254740992.0;
                y[i] = y[i] + noiseAmplitude * (u - 0.5);
            }
        }
        const double offset = Scalar("offset", 0.0);
        if (offset != 0.0) {
            for (double& v : y) {
                v = v + offset;
            }
        }
        return y;
    }

    // The input as a series: a signal from the tones, or the spectrum lines given in full.
    Series Input() const {
        Series s;
        s.kind = static_cast<std::int32_t>(Scalar("kind"));
        s.quantity = static_cast<std::int32_t>(Scalar("quantity"));
        s.xStep = Scalar("step");
        s.rms = Scalar("rms", 0.0);
        s.phaseShift2 = Scalar("shift2", 0.0);
        if (!tones.empty()) {
            s.y = Signal();
        } else {
            s.y = Array("in_values");
            if (arrays.count("in_phases") != 0) {
                s.phase = Array("in_phases");
                s.flags = Series::kComplexFlag;
            }
        }
        s.xEnd = s.xStart + s.xStep * static_cast<double>(s.y.size() - 1);
        s.RecomputePeak();
        s.peak = Scalar("peak", s.peak);
        return s;
    }
};

inline std::map<std::string, GoldenCase> LoadGoldenFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::map<std::string, GoldenCase> cases;
    GoldenCase current;
    std::string line;
    auto number = [](const std::string& text) {
        double v = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (error != std::errc() || end != text.data() + text.size()) {
            throw std::runtime_error("bad number " + text);
        }
        return v;
    };
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "case") {
            current = GoldenCase{};
            words >> current.name;
        } else if (key == "end") {
            cases[current.name] = current;
        } else if (key == "tone") {
            std::string a, f, p;
            words >> a >> f >> p;
            current.tones.push_back({number(a), number(f), number(p)});
        } else if (key == "noise") {
            std::string a;
            words >> a >> current.noiseSeed;
            current.noiseAmplitude = number(a);
            current.hasNoise = true;
        } else if (key == "array") {
            std::string name;
            std::size_t count = 0;
            words >> name >> count;
            std::vector<double> values;
            values.reserve(count);
            std::string word;
            while (values.size() < count && in >> word) {
                values.push_back(number(word));
            }
            current.arrays[name] = std::move(values);
        } else {
            std::string value;
            words >> value;
            current.scalars[key] = number(value);
        }
    }
    return cases;
}

inline const GoldenCase& Golden(const std::string& name) {
    static const std::map<std::string, GoldenCase> cases =
        LoadGoldenFile(std::string(VELMAR_FIXTURE_DIR) + "/golden/engine_golden.txt");
    const auto it = cases.find(name);
    if (it == cases.end()) {
        throw std::out_of_range("no golden case " + name);
    }
    return it->second;
}

inline double MaxAbs(const std::vector<double>& v) {
    double m = 0;
    for (double x : v) {
        m = std::max(m, std::fabs(x));
    }
    return m;
}

// Every element within `relative` of the largest reference magnitude.
inline void ExpectNearVector(const std::vector<double>& got, const std::vector<double>& want, double relative,
                             const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    const double tolerance = relative * std::max(MaxAbs(want), 1e-300);
    int reported = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (std::fabs(got[i] - want[i]) > tolerance && reported++ < 5) {
            ADD_FAILURE() << what << "[" << i << "]: " << got[i] << " against " << want[i];
        }
    }
}

// Phases compared round the circle, only where the line carries something (a phase of noise means nothing).
inline void ExpectNearPhases(const std::vector<double>& got, const std::vector<double>& want,
                             const std::vector<double>& values, double degrees, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    const double floor = 1e-6 * MaxAbs(values);
    int reported = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (values[i] <= floor) {
            continue;
        }
        double d = std::fmod(std::fabs(got[i] - want[i]), 360.0);
        d = std::min(d, 360.0 - d);
        if (d > degrees && reported++ < 5) {
            ADD_FAILURE() << what << "[" << i << "]: " << got[i] << " against " << want[i];
        }
    }
}

}  // namespace velmar::analysis::testing
