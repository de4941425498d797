#pragma once
// Number texts: tolerant parsing of reals typed by users or stored in INI files, compact formatting for
// axes, tables and INI values, and angle normalisation. None of it depends on the process locale.

#include <string>
#include <string_view>

namespace velmar::common {

class IniFile;

// Accepts "," or "." as the decimal separator and ignores blanks. On failure returns false and leaves
// `value` unchanged. NaN, infinities and hexadecimal forms are refused so they never reach a file.
bool ParseReal(std::string_view text, double& value);

// Reads a real from an INI value; a comment after ";" or "//" is ignored. Empty or bad text gives `def`.
double ReadIniReal(const IniFile& ini, std::string_view section, std::string_view key, double def);
// The same rule on a text already read.
double ParseIniReal(std::string_view text, double def);

// Compact text of `value` in about `width` characters (at least 6), without padding.
std::string FormatCompact(int width, double value);
// Variants padded to `width`: on the left, on the right, centred, and on the left with |value| < 1e-9 as 0.
std::string FormatCompactPadLeft(int width, double value);
std::string FormatCompactPadRight(int width, double value);
std::string FormatCompactCentre(int width, double value);
std::string FormatCompactPadLeftZero(int width, double value);

// Degrees into [0, 360). Values beyond ±3,600,000 are taken as garbage and give 0.
double NormalizeAngle(double degrees);

// Shortest text that reads back to the same double ("." separator), for machine files.
std::string FormatRealExact(double value);

}  // namespace velmar::common
