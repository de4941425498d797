// velmar-cli zamer: a measurement file as JSON, one channel as CSV, and new measurement files from CSV.
// Thin over TZamerFile; everything about the file itself lives there.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.hpp"
#include "analysis/ChannelConversion.hpp"
#include "analysis/TransformTable.hpp"
#include "archive/NaprPreobrDBLevel.hpp"
#include "common/ProgramContext.hpp"
#include "archive/ZamerFile.hpp"
#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::cli {
namespace {

namespace fs = std::filesystem;
using archive::ChannelCoding;
using archive::TChannelRecord;
using archive::TZamerFile;

// A failure that ends the command with a one-line message and exit code 2.
class CommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A wrong command line: exit code 1.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void PrintZamerUsage(std::FILE* out) {
    std::fputs(
        "usage:\n"
        "  velmar-cli zamer info FILE\n"
        "  velmar-cli zamer export FILE --channel N [--csv|--json]\n"
        "        [--kind K --quantity Q] [--window hamming|hann|rect] [--t1 S --t2 S --f1 HZ --f2 HZ --df HZ]\n"
        "        [--bands octave|half|third|RATIO] [--home BASE]\n"
        "      kinds and quantities by code or three-letter code (Sig, Spc, Spf, Spo, Gar, Kep, Pwb, Env;\n"
        "      Acc, Vel, Dis, ...); the conversion table is BASE/INI/PREOBR.INI or the shipped one\n"
        "  velmar-cli zamer rms FILE --channel N [--calibration] [--home BASE]\n"
        "  velmar-cli zamer import-csv OUT --kind K --quantity Q --step S [--first-x X] DATA.csv...\n",
        out);
}

std::string Real(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

// ---- JSON ----

// Indented JSON; a container opened as compact (a table row) stays on one line.
class JsonWriter {
  public:
    void BeginObject(bool compact = false) { Open('{', compact); }
    void EndObject() { Close('}'); }
    void BeginArray(bool compact = false) { Open('[', compact); }
    void EndArray() { Close(']'); }

    void Key(std::string_view key) {
        Separate();
        Quote(key);
        out_ += ": ";
        afterKey_ = true;
    }
    void String(std::string_view text) {
        Separate();
        Quote(text);
    }
    void Integer(std::int64_t v) {
        Separate();
        out_ += std::to_string(v);
    }
    // JSON has no NaN or infinity; a damaged file may hold them.
    void Number(double v) {
        Separate();
        out_ += std::isfinite(v) ? Real(v) : "null";
    }

    template <typename T>
    void Field(std::string_view key, T value) {
        Key(key);
        if constexpr (std::is_floating_point_v<T>) {
            Number(value);
        } else if constexpr (std::is_integral_v<T>) {
            Integer(static_cast<std::int64_t>(value));
        } else {
            String(value);
        }
    }

    const std::string& Text() const { return out_; }

  private:
    struct Level {
        bool empty = true;
        bool compact = false;
    };

    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (levels_.empty()) {
            return;
        }
        Level& level = levels_.back();
        if (!level.empty) {
            out_ += level.compact ? ", " : ",";
        }
        level.empty = false;
        if (!level.compact) {
            Newline();
        }
    }
    void Open(char c, bool compact) {
        Separate();
        out_ += c;
        levels_.push_back({true, compact || (!levels_.empty() && levels_.back().compact)});
    }
    void Close(char c) {
        const Level level = levels_.back();
        levels_.pop_back();
        if (!level.empty && !level.compact) {
            Newline();
        }
        out_ += c;
    }
    void Newline() {
        out_ += '\n';
        out_.append(2 * levels_.size(), ' ');
    }
    void Quote(std::string_view text) {
        out_ += '"';
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            switch (c) {
                case '"':
                    out_ += "\\\"";
                    break;
                case '\\':
                    out_ += "\\\\";
                    break;
                case '\n':
                    out_ += "\\n";
                    break;
                case '\r':
                    out_ += "\\r";
                    break;
                case '\t':
                    out_ += "\\t";
                    break;
                default:
                    if (c < 0x20 || c == 0x7F) {
                        char buffer[8];
                        std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                        out_ += buffer;
                    } else {
                        out_ += ch;
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// ---- arguments ----

std::optional<double> ParseNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

long ParseCount(std::string_view option, std::string_view text, long low, long high) {
    long v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || v < low || v > high) {
        throw UsageError(std::string(option) + ": not a valid number: " + std::string(text));
    }
    return v;
}

// Options ("--name value" or flags) and the remaining plain arguments.
struct Arguments {
    std::vector<std::string_view> plain;
    std::vector<std::pair<std::string_view, std::string_view>> options;

    std::optional<std::string_view> Get(std::string_view name) const {
        for (const auto& [key, value] : options) {
            if (key == name) {
                return value;
            }
        }
        return std::nullopt;
    }
    bool Has(std::string_view name) const { return Get(name).has_value(); }
};

Arguments SplitArguments(std::span<const std::string_view> args, std::span<const std::string_view> withValue,
                         std::span<const std::string_view> flags) {
    Arguments result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a.size() > 2 && a.substr(0, 2) == "--") {
            if (std::find(withValue.begin(), withValue.end(), a) != withValue.end()) {
                if (i + 1 >= args.size()) {
                    throw UsageError(std::string(a) + " needs a value");
                }
                result.options.emplace_back(a, args[++i]);
            } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
                result.options.emplace_back(a, "");
            } else {
                throw UsageError("unknown option " + std::string(a));
            }
        } else {
            result.plain.push_back(a);
        }
    }
    return result;
}

// ---- info ----

int Info(const Arguments& args) {
    if (args.plain.size() != 1) {
        throw UsageError("zamer info takes one FILE");
    }
    TZamerFile file = TZamerFile::OpenFile(fs::path(args.plain[0]));
    file.Hold();
    JsonWriter json;
    json.BeginObject();
    json.Field("version", file.Version());

    const archive::ZamerHeader h = file.GetHeader();
    json.Key("header");
    json.BeginObject();
    json.Field("text", h.Text());
    json.Field("year", h.year);
    json.Field("month", h.month);
    json.Field("day", h.day);
    json.Field("hour", h.hour);
    json.Field("minute", h.minute);
    json.Field("second", h.second);
    json.EndObject();

    const common::MeasurementParams p = file.GetParams();
    json.Key("params");
    json.BeginObject();
    json.Field("kinds", p.kinds);
    json.Field("passport", p.passport);
    json.Field("volume", p.volume);
    json.Field("synchronous", p.synchronous);
    json.Field("quantities", p.quantities);
    json.Field("fmax", p.fMax);
    json.Field("dfmax", p.dfMax);
    json.Field("samples", p.samples);
    json.Field("marker", p.marker);
    json.Field("masses", p.masses);
    json.Field("planes", p.planes);
    json.EndObject();

    const archive::ZamerDescription d = file.GetDescription();
    json.Key("description");
    json.BeginObject();
    json.Field("channel_count", d.channelCount);
    json.Field("marker_channel_count", d.markerChannelCount);
    json.Field("comment", d.Comment());
    json.Field("state", d.state);
    json.EndObject();

    json.Key("tech_params");
    json.BeginArray();
    for (const auto& e : file.GetTechParams()) {
        if (e.id != 0) {
            json.BeginObject(true);
            json.Field("id", e.id);
            json.Field("value", e.value);
            json.EndObject();
        }
    }
    json.EndArray();

    json.Key("blocks");
    json.BeginArray();
    for (const auto& e : file.GetDirectory()) {
        if (e.id != 0) {
            json.BeginObject(true);
            json.Field("id", e.id);
            json.Field("offset", e.offset);
            json.Field("length", e.length);
            json.EndObject();
        }
    }
    json.EndArray();

    json.Key("channels");
    json.BeginArray();
    for (int k = 1; k <= file.ChannelCount(); ++k) {
        const TChannelRecord c = file.GetChannel(k);
        json.BeginObject(true);
        json.Field("number", k);
        json.Field("in_use", c.inUse);
        json.Field("year", c.year);
        json.Field("month", c.month);
        json.Field("day", c.day);
        json.Field("hour", c.hour);
        json.Field("minute", c.minute);
        json.Field("second", c.second);
        json.Field("rms", c.rms);
        json.Field("peak", c.peak);
        json.Field("phase_shift", c.phaseShift);
        json.Field("first_x", c.firstX);
        json.Field("last_x", c.lastX);
        json.Field("step", c.step);
        json.Field("flags", c.flags);
        json.Field("kind", c.kind);
        json.Field("quantity", c.quantity);
        json.Field("count", c.count);
        json.Field("scale", c.scale);
        json.Field("packing", c.packing);
        json.Field("data_offset", c.dataOffset);
        json.Field("data_length", c.dataLength);
        json.Field("phase_shift2", c.phaseShift2);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    file.Release();
    std::printf("%s\n", json.Text().c_str());
    return kExitOk;
}

// ---- export ----

bool IsSpectrumKind(std::uint32_t kind) {
    return kind == 4 || kind == 8 || kind == 16 || kind == 32;
}

// The columns of one exported series: abscissa, value, and for pairs the phase, for harmonics phase and area.
struct ExportTable {
    const char* header = "x,y";
    std::size_t points = 0;
    std::function<void(std::size_t, std::vector<double>&)> row;
};

void WriteTable(const ExportTable& t, int channel, bool json) {
    std::string out;
    std::vector<double> row;
    if (json) {
        JsonWriter w;
        w.BeginObject();
        w.Field("channel", channel);
        w.Field("columns", t.header);
        w.Key("points");
        w.BeginArray();
        for (std::size_t i = 0; i < t.points; ++i) {
            row.clear();
            t.row(i, row);
            w.BeginArray(true);
            for (double v : row) {
                w.Number(v);
            }
            w.EndArray();
        }
        w.EndArray();
        w.EndObject();
        out = w.Text() + "\n";
    } else {
        out = std::string(t.header) + "\n";
        for (std::size_t i = 0; i < t.points; ++i) {
            row.clear();
            t.row(i, row);
            for (std::size_t j = 0; j < row.size(); ++j) {
                if (j) {
                    out += ',';
                }
                out += Real(row[j]);
            }
            out += '\n';
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// The conversion table: the base directory's INI/ when one is given or set, else the shipped one.
analysis::TransformEngine LoadEngine(const Arguments& args) {
    fs::path iniDir;
    if (const auto home = args.Get("--home")) {
        iniDir = fs::path(std::string(*home)) / "INI";
    } else if (const char* env = std::getenv("VELMAR_HOME"); env && *env) {
        iniDir = fs::path(env) / "INI";
    } else {
        std::error_code ec;
        const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        iniDir = common::ResourceDirectory(exe.parent_path()) / "ini";
    }
    analysis::TransformTable table;
    const analysis::TransformTableFile file = analysis::LoadTransformTable(table, iniDir);
    if (!file.found) {
        throw CommandError(file.path.string() + ": no conversion table");
    }
    return analysis::TransformEngine(table);
}

struct LoadedChannel {
    TChannelRecord record;
    std::vector<double> values;
};

LoadedChannel LoadChannel(const Arguments& args) {
    const int k = static_cast<int>(ParseCount("--channel", *args.Get("--channel"), 1, 65535));
    TZamerFile file = TZamerFile::OpenFile(fs::path(args.plain[0]));
    const TChannelRecord c = file.GetChannel(k);
    if (k > file.ChannelCount()) {
        throw CommandError("there is no channel " + std::to_string(k));
    }
    if (!c.IsInUse()) {
        throw CommandError("channel " + std::to_string(k) + " is not in use");
    }
    auto values = file.ReadChannelData(k);
    if (!values) {
        throw CommandError("the data of channel " + std::to_string(k) + " cannot be read");
    }
    return {c, std::move(*values)};
}

bool WantsConversion(const Arguments& args) {
    for (std::string_view o : {"--kind", "--quantity", "--window", "--t1", "--t2", "--f1", "--f2", "--df", "--bands"}) {
        if (args.Has(o)) {
            return true;
        }
    }
    return false;
}

double RealOption(const Arguments& args, std::string_view option) {
    const auto v = ParseNumber(*args.Get(option));
    if (!v) {
        throw UsageError(std::string(option) + " takes a number");
    }
    return *v;
}

int ExportConverted(const Arguments& args, const LoadedChannel& ch, int k) {
    analysis::ChannelConversionOptions o;
    if (const auto v = args.Get("--kind")) {
        const auto code = analysis::ParseKindCode(*v);
        if (!code) {
            throw UsageError("unknown kind '" + std::string(*v) + "'");
        }
        o.kind = *code;
    }
    if (const auto v = args.Get("--quantity")) {
        const auto code = analysis::ParseQuantityCode(*v);
        if (!code) {
            throw UsageError("unknown quantity '" + std::string(*v) + "'");
        }
        o.quantity = *code;
    }
    if (const auto v = args.Get("--window")) {
        const auto w = analysis::ParseWindowName(*v);
        if (!w) {
            throw UsageError("unknown window '" + std::string(*v) + "'");
        }
        o.window = *w;
    }
    if (const auto v = args.Get("--bands")) {
        o.bands = analysis::ParseBandChoice(*v);
        if (!o.bands) {
            throw UsageError("--bands takes octave, half, third or a ratio above 1");
        }
    }
    if (args.Has("--t1")) o.beginTime = RealOption(args, "--t1");
    if (args.Has("--t2")) o.endTime = RealOption(args, "--t2");
    if (args.Has("--f1")) o.beginFreq = RealOption(args, "--f1");
    if (args.Has("--f2")) o.endFreq = RealOption(args, "--f2");
    if (args.Has("--df")) o.stepFreq = RealOption(args, "--df");

    const analysis::TransformEngine engine = LoadEngine(args);
    const archive::TDataHeader header =
        archive::HeaderFromChannel(ch.record, static_cast<std::int64_t>(ch.values.size() * sizeof(double)));
    const analysis::ChannelConversion result = analysis::ConvertChannel(engine, header, ch.values, o);
    if (result.status != analysis::ConvertStatus::kConverted) {
        throw CommandError("channel " + std::to_string(k) + " does not convert: " +
                           std::string(analysis::ConvertStatusToken(result.status)));
    }
    const analysis::Series& s = result.series;
    ExportTable t;
    t.points = s.Count();
    if (!s.x.empty()) {
        t.header = "x,y,phase,area";
        t.row = [&s](std::size_t i, std::vector<double>& r) {
            r = {s.x[i], s.y[i], i < s.phase.size() ? s.phase[i] + s.phaseShift2 : 0.0,
                 i < s.fourth.size() ? s.fourth[i] : 0.0};
        };
    } else if (!s.phase.empty()) {
        t.header = "x,y,phase";
        t.row = [&s](std::size_t i, std::vector<double>& r) {
            r = {s.xStart + static_cast<double>(i) * s.xStep, s.y[i], s.phase[i] + s.phaseShift2};
        };
    } else {
        t.row = [&s](std::size_t i, std::vector<double>& r) {
            r = {s.xStart + static_cast<double>(i) * s.xStep, s.y[i]};
        };
    }
    WriteTable(t, k, args.Has("--json"));
    return kExitOk;
}

int Export(const Arguments& args) {
    if (args.plain.size() != 1 || !args.Has("--channel")) {
        throw UsageError("zamer export takes FILE --channel N");
    }
    if (args.Has("--csv") && args.Has("--json")) {
        throw UsageError("--csv or --json, not both");
    }
    const int k = static_cast<int>(ParseCount("--channel", *args.Get("--channel"), 1, 65535));
    const LoadedChannel ch = LoadChannel(args);
    if (WantsConversion(args)) {
        return ExportConverted(args, ch, k);
    }
    const TChannelRecord& c = ch.record;
    const std::vector<double>& v = ch.values;

    // Columns per point: harmonics carry four values each; pair-flagged spectra a value and a phase.
    const bool harmonics = archive::CodingOf(c) == ChannelCoding::Harmonics;
    const bool pairs = !harmonics && IsSpectrumKind(c.kind) && c.HasPairFlag();
    const std::size_t width = harmonics ? 4 : pairs ? 2 : 1;
    ExportTable t;
    t.header = harmonics ? "x,y,phase,area" : pairs ? "x,y,phase" : "x,y";
    t.points = v.size() / width;
    t.row = [&](std::size_t i, std::vector<double>& r) {
        r.push_back(harmonics ? v[4 * i] : c.firstX + double(i) * c.step);
        for (std::size_t j = harmonics ? 1 : 0; j < width; ++j) {
            r.push_back(v[width * i + j]);
        }
    };
    WriteTable(t, k, args.Has("--json"));
    return kExitOk;
}

// ---- rms ----

int Rms(const Arguments& args) {
    if (args.plain.size() != 1 || !args.Has("--channel")) {
        throw UsageError("zamer rms takes FILE --channel N");
    }
    const int k = static_cast<int>(ParseCount("--channel", *args.Get("--channel"), 1, 65535));
    const LoadedChannel ch = LoadChannel(args);
    const analysis::TransformEngine engine = LoadEngine(args);
    const archive::TDataHeader header =
        archive::HeaderFromChannel(ch.record, static_cast<std::int64_t>(ch.values.size() * sizeof(double)));
    const auto rms = analysis::ChannelRms(engine, header, ch.values, args.Has("--calibration"));
    if (!rms) {
        throw CommandError("channel " + std::to_string(k) + " has no velocity spectrum");
    }
    std::printf("%s\n", Real(*rms).c_str());
    return kExitOk;
}

// ---- import-csv ----

bool IsKnown(std::uint32_t code, std::span<const std::uint32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// One value per line, or "x,y" (the y is taken); for harmonics "frequency,amplitude,phase,area". Empty lines
// and lines starting with "#" are skipped, and so is a first line that holds no number (a column header).
std::vector<double> ReadCsv(const fs::path& path, bool harmonics) {
    std::string text;
    try {
        text = common::ReadWholeFile(path);
    } catch (const std::system_error& e) {
        throw CommandError(e.what());
    }
    std::vector<double> values;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::vector<std::optional<double>> fields;
        for (std::size_t from = 0;;) {
            const std::size_t comma = line.find_first_of(",;\t", from);
            fields.push_back(
                ParseNumber(line.substr(from, comma == std::string_view::npos ? comma : comma - from)));
            if (comma == std::string_view::npos) {
                break;
            }
            from = comma + 1;
        }
        const bool numeric =
            std::all_of(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
        if (!numeric && values.empty() && lineNumber == 1) {
            continue;
        }
        const std::string where = path.string() + ":" + std::to_string(lineNumber) + ": ";
        if (!numeric) {
            throw CommandError(where + "not a number");
        }
        if (harmonics) {
            if (fields.size() != 4) {
                throw CommandError(where + "a harmonic needs frequency, amplitude, phase and area");
            }
            for (const auto& f : fields) {
                values.push_back(*f);
            }
        } else if (fields.size() <= 2) {
            values.push_back(*fields.back());
        } else {
            throw CommandError(where + "one value or x,y per line");
        }
    }
    if (values.empty()) {
        throw CommandError(path.string() + ": no values");
    }
    return values;
}

// Removes the file unless it was handed over.
class PendingFile {
  public:
    explicit PendingFile(fs::path path) : path_(std::move(path)) {}
    ~PendingFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    void Keep() { path_.clear(); }

  private:
    fs::path path_;
};

int ImportCsv(const Arguments& args) {
    if (args.plain.size() < 2 || !args.Has("--kind") || !args.Has("--quantity") || !args.Has("--step")) {
        throw UsageError(
            "zamer import-csv takes OUT --kind K --quantity Q --step S [--first-x X] DATA.csv...");
    }
    const auto kind = static_cast<std::uint32_t>(ParseCount("--kind", *args.Get("--kind"), 1, 65535));
    const auto quantity =
        static_cast<std::uint32_t>(ParseCount("--quantity", *args.Get("--quantity"), 1, 1 << 30));
    if (!IsKnown(kind, common::kKindOrder)) {
        throw UsageError("--kind: unknown kind code " + std::to_string(kind));
    }
    if (!IsKnown(quantity, common::kQuantityOrder)) {
        throw UsageError("--quantity: unknown quantity code " + std::to_string(quantity));
    }
    const auto step = ParseNumber(*args.Get("--step"));
    if (!step || *step <= 0) {
        throw UsageError("--step must be a positive number");
    }
    double firstX = 0;
    if (const auto text = args.Get("--first-x")) {
        const auto v = ParseNumber(*text);
        if (!v) {
            throw UsageError("--first-x must be a number");
        }
        firstX = *v;
    }
    const fs::path out(args.plain[0]);
    const bool harmonics = kind == common::kKindHarmonics;
    if (args.plain.size() - 1 > 65535) {
        throw UsageError("too many channels");
    }

    // Every input is read and checked before anything is written.
    std::vector<std::vector<double>> channels;
    for (std::size_t i = 1; i < args.plain.size(); ++i) {
        channels.push_back(ReadCsv(fs::path(args.plain[i]), harmonics));
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(out, ec))) {
        throw CommandError(out.string() + ": exists; not replaced");
    }

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    const common::CivilTime moment{local.tm_year + 1900,
                                   local.tm_mon + 1,
                                   local.tm_mday,
                                   local.tm_hour,
                                   local.tm_min,
                                   std::min(local.tm_sec, 59),
                                   0};

    // The file is built under a hidden name and linked into place only when complete, so that neither a
    // failure nor a crash leaves half a measurement under the real name.
    const fs::path dir = out.has_parent_path() ? out.parent_path() : fs::path(".");
    const fs::path temporary =
        dir / ("." + out.filename().string() + ".import-" + std::to_string(::getpid()));
    TZamerFile file = [&] {
        try {
            return TZamerFile::CreateFile(temporary, static_cast<int>(channels.size()), moment);
        } catch (const archive::EFailOpenFile& e) {
            throw CommandError(out.string() + ": " + e.what());
        }
    }();
    PendingFile pending(temporary);

    archive::ZamerHeader header = file.GetHeader();
    header.SetText(fs::absolute(out, ec).string());
    file.SetHeader(header);

    common::MeasurementParams params;
    params.kinds = kind;
    params.quantities = quantity;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const std::vector<double>& v = channels[i];
        const std::size_t stride = harmonics ? 4 : 1;
        const std::size_t points = v.size() / stride;
        double sum = 0;
        double peak = 0;
        for (std::size_t j = 0; j < points; ++j) {
            const double y = v[stride * j + (harmonics ? 1 : 0)];
            sum += y * y;
            peak = std::max(peak, std::fabs(y));
        }
        TChannelRecord c;
        c.year = static_cast<std::uint16_t>(moment.year);
        c.month = static_cast<std::uint16_t>(moment.month);
        c.day = static_cast<std::uint16_t>(moment.day);
        c.hour = static_cast<std::uint16_t>(moment.hour);
        c.minute = static_cast<std::uint16_t>(moment.minute);
        c.second = static_cast<std::uint16_t>(moment.second);
        c.rms = std::sqrt(sum / double(points));
        c.peak = peak;
        c.kind = static_cast<std::uint16_t>(kind);
        c.quantity = quantity;
        c.count = static_cast<std::uint32_t>(points);
        c.step = *step;
        c.firstX = harmonics ? v.front() : firstX;
        c.lastX = harmonics ? v[4 * (points - 1)] : firstX + double(points - 1) * *step;
        const int k = static_cast<int>(i) + 1;
        file.SetChannel(k, c);
        std::size_t clipped = 0;
        if (file.WriteChannelData(k, v, &clipped) < 0 || clipped != 0) {
            throw CommandError(std::string(args.plain[i + 1]) + ": values could not be stored");
        }
        params.samples = std::max<std::uint32_t>(params.samples, static_cast<std::uint32_t>(points));
    }
    file.SetParams(params);

    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!synced) {
        throw CommandError(out.string() + ": cannot be written");
    }
    // link() never replaces: a file that appeared meanwhile under the name is left alone.
    if (::link(temporary.c_str(), out.c_str()) != 0) {
        throw CommandError(out.string() +
                           (errno == EEXIST ? ": exists; not replaced" : ": cannot be created"));
    }
    std::printf("%s: %zu channel%s\n", out.c_str(), channels.size(), channels.size() == 1 ? "" : "s");
    return kExitOk;
}

}  // namespace

int RunZamerCommand(std::span<const std::string_view> args) {
    if (args.empty() || args[0] == "help" || args[0] == "--help") {
        PrintZamerUsage(args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string_view command = args[0];
    const auto rest = args.subspan(1);
    std::string fileName;
    try {
        if (command == "info") {
            const Arguments a = SplitArguments(rest, {}, {});
            fileName = a.plain.empty() ? "" : std::string(a.plain[0]);
            return Info(a);
        }
        if (command == "export") {
            constexpr std::string_view kWithValue[] = {"--channel", "--kind", "--quantity", "--window",
                                                       "--t1", "--t2", "--f1", "--f2", "--df", "--bands",
                                                       "--home"};
            constexpr std::string_view kFlags[] = {"--csv", "--json"};
            const Arguments a = SplitArguments(rest, kWithValue, kFlags);
            fileName = a.plain.empty() ? "" : std::string(a.plain[0]);
            return Export(a);
        }
        if (command == "rms") {
            constexpr std::string_view kWithValue[] = {"--channel", "--home"};
            constexpr std::string_view kFlags[] = {"--calibration"};
            const Arguments a = SplitArguments(rest, kWithValue, kFlags);
            fileName = a.plain.empty() ? "" : std::string(a.plain[0]);
            return Rms(a);
        }
        if (command == "import-csv") {
            constexpr std::string_view kWithValue[] = {"--kind", "--quantity", "--step", "--first-x"};
            const Arguments a = SplitArguments(rest, kWithValue, {});
            fileName = a.plain.empty() ? "" : std::string(a.plain[0]);
            return ImportCsv(a);
        }
        throw UsageError("unknown zamer command '" + std::string(command) + "'");
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velmar-cli zamer: %s\n", e.what());
        PrintZamerUsage(stderr);
        return kExitUsage;
    } catch (const archive::EFailOpenFile& e) {
        std::fprintf(stderr, "velmar-cli zamer: %s: %s\n", fileName.c_str(), e.what());
    } catch (const archive::EAbort&) {
        std::fprintf(stderr, "velmar-cli zamer: %s: an old-format file is not written\n", fileName.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmar-cli zamer: %s\n", e.what());
    }
    return kExitFailure;
}

}  // namespace velmar::cli
