#include "common/Numbers.hpp"

#include <charconv>
#include <cmath>
#include <string>

#include "common/IniFile.hpp"

namespace velmar::common {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

void StripTrailingZeros(std::string& s) {
    if (s.find('.') == std::string::npos) {
        return;
    }
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
}

std::string ToChars(double v, std::chars_format fmt, int precision) {
    char buf[512];
    auto res = std::to_chars(buf, buf + sizeof buf, v, fmt, precision);
    if (res.ec != std::errc()) {
        return {};
    }
    return std::string(buf, res.ptr);
}

std::string Pad(std::string text, int width, int where /* -1 left, 1 right, 0 centre */) {
    const int len = static_cast<int>(text.size());
    if (len >= width) {
        return text;
    }
    const int fill = width - len;
    if (where < 0) {
        return std::string(fill, ' ') + text;
    }
    if (where > 0) {
        return text + std::string(fill, ' ');
    }
    const int before = fill / 2;
    return std::string(before, ' ') + text + std::string(fill - before, ' ');
}

}  // namespace

bool ParseReal(std::string_view text, double& value) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (IsBlank(c)) {
            continue;
        }
        s.push_back(c == ',' ? '.' : c);
    }
    std::string_view body = s;
    if (!body.empty() && body.front() == '+') {
        body.remove_prefix(1);
    }
    if (body.empty()) {
        return false;
    }
    // from_chars would take "inf", "nan" and, in hex mode only, hex; refuse anything but digits here.
    for (char c : body) {
        const bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok) {
            return false;
        }
    }
    double parsed = 0;
    auto res = std::from_chars(body.data(), body.data() + body.size(), parsed, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != body.data() + body.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

double ParseIniReal(std::string_view text, double def) {
    if (text.empty()) {
        return def;
    }
    if (auto p = text.find(';'); p != std::string_view::npos) {
        text = text.substr(0, p);
    }
    if (auto p = text.find("//"); p != std::string_view::npos) {
        text = text.substr(0, p);
    }
    double value = def;
    if (!ParseReal(Trim(text), value)) {
        return def;
    }
    return value;
}

double ReadIniReal(const IniFile& ini, std::string_view section, std::string_view key, double def) {
    return ParseIniReal(ini.ReadString(section, key, ""), def);
}

std::string FormatCompact(int width, double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Inf" : "Inf";
    }
    int w = width < 6 ? 6 : width;
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    if (negative) {
        --w;
    }
    std::string text;
    if (magnitude != 0) {
        // The scientific form with three decimals already renormalises 9.9996 to 1.000e+01.
        const std::string sci = ToChars(magnitude, std::chars_format::scientific, 3);
        const auto ePos = sci.find('e');
        std::string mantissa = sci.substr(0, ePos);
        int e = 0;
        std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), e);
        StripTrailingZeros(mantissa);
        if (e == 0) {
            text = mantissa;
        } else if ((e < 0 && -e < w - 2) || (e > 0 && e < w - 1)) {
            const int decimals = e < 0 ? w - 2 : w - e - 2;
            text = ToChars(magnitude, std::chars_format::fixed, decimals);
            StripTrailingZeros(text);
        } else {
            const std::string exponent = "e" + std::to_string(e);
            const int room = w - static_cast<int>(exponent.size());
            if (room >= 1 && static_cast<int>(mantissa.size()) > room) {
                mantissa.resize(room);
            }
            if (!mantissa.empty() && mantissa.back() == '.') {
                mantissa.pop_back();
            }
            text = mantissa + exponent;
        }
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    const auto first = text.find_first_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first);
    if (text.empty()) {
        text = "0";
    }
    if (negative && text != "0") {
        text.insert(text.begin(), '-');
    }
    return text;
}

std::string FormatCompactPadLeft(int width, double value) { return Pad(FormatCompact(width, value), width, -1); }

std::string FormatCompactPadRight(int width, double value) { return Pad(FormatCompact(width, value), width, 1); }

std::string FormatCompactCentre(int width, double value) { return Pad(FormatCompact(width, value), width, 0); }

std::string FormatCompactPadLeftZero(int width, double value) {
    return FormatCompactPadLeft(width, std::fabs(value) < 1e-9 ? 0.0 : value);
}

double NormalizeAngle(double degrees) {
    if (!std::isfinite(degrees) || std::fabs(degrees) > 3600000.0) {
        return 0.0;
    }
    double a = degrees;
    if (std::fabs(a) > 36000.0) {
        a = std::fmod(a, 36000.0);
    }
    a = std::fmod(a, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    // A tiny negative value plus 360 rounds to 360 itself.
    if (a >= 360.0) {
        a = 0.0;
    }
    return a;
}

std::string FormatRealExact(double value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

}  // namespace velmar::common
