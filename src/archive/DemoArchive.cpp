#include "archive/DemoArchive.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "archive/DemoSignals.hpp"
#include "archive/ZamerFile.hpp"
#include "common/DayCount.hpp"
#include "common/IniFile.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::archive {
namespace fs = std::filesystem;
using common::IniFile;

namespace {

// What a channel of the demo measurements holds.
enum class ChannelPlan { None, Acceleration, FastAcceleration, VelocitySpectrum, Envelope };

struct PassportSpec {
    const char* file;
    const char* name;
    const char* brand;
    int points;
    double rpm;
};

const PassportSpec kPassports[] = {
    {"NS_D320.psp", "Насосный агрегат", "Д320-50", 4, 1480},
    {"VN_VDN12.psp", "Дымосос", "ВДН-12,5", 4, 990},
    {"KM_4VU.psp", "Компрессор", "4ВУ1-5/9", 4, 740},
};

struct StationSpec {
    const char* dir;
    const char* name;
    int parent;  // index of the parent station, -1 under the root
};

const StationSpec kStations[] = {
    {"_STAN001", "Насосная станция №1", -1},
    {"_CEH001", "Цех водоподготовки", 0},
    {"_STAN002", "Котельная", -1},
    {"_CEH001", "Тягодутьевые машины", 2},
};

struct MachineSpec {
    int station;
    const char* dir;
    const char* name;
    int passport;
    demo::Fault fault;
    double bpfoOrder;
    bool nameSet;
    double baseRms;
};

const MachineSpec kMachines[] = {
    {1, "_AGR001", "Н-1 питательный", 0, demo::Fault::Unbalance, 3.05, false, 0.9},
    {1, "_AGR002", "Н-2 питательный", 0, demo::Fault::OuterRace, 3.58, true, 0.8},
    {0, "_AGR001", "Н-3 подпиточный", 0, demo::Fault::Misalignment, 3.05, false, 0.7},
    {3, "_AGR001", "ДС-1", 1, demo::Fault::Looseness, 3.12, false, 1.0},
    {3, "_AGR002", "ДС-2", 1, demo::Fault::None, 3.12, false, 1.1},
    {2, "_AGR001", "К-1 воздушный", 2, demo::Fault::Misalignment, 3.30, false, 1.2},
};

// The technological parameters the passports name; the first is the shaft speed.
const char* const kTechParamNames[] = {
    "Частота вращения вала, об/мин",
    "Частота вращения вала 2, об/мин",
    "Частота вращения вала 3, об/мин",
    "Нагрузка, %",
};

const char* const kNameSetFile = "NS4RAD.NAM";

fs::path StationPath(const fs::path& root, int index) {
    const StationSpec& s = kStations[index];
    return s.parent < 0 ? root / s.dir : StationPath(root, s.parent) / s.dir;
}

void WriteIni(IniFile& ini) {
    if (ini.LossyWrite()) {
        throw std::runtime_error("demo archive: a text cannot be stored in Windows-1251");
    }
    ini.UpdateFile();
}

void WriteMoment(IniFile& ini, double moment) {
    ini.WriteString("Main", "Date", common::FormatIniDate(moment));
    ini.WriteString("Main", "Time", common::FormatIniTime(moment));
}

void WritePassports(const fs::path& psp) {
    for (const PassportSpec& p : kPassports) {
        IniFile ini(psp / p.file);
        ini.WriteString("ПараметрыКонструкции", "Наименование", p.name);
        ini.WriteString("ПараметрыКонструкции", "Марка", p.brand);
        ini.WriteInteger("ПараметрыКонструкции", "КоличествоТочекЗамера", p.points);
        int n = 1;
        for (const char* name : kTechParamNames) {
            ini.WriteString("ТехнологическиеПараметры", "Параметр" + std::to_string(n++) + "Наименование", name);
        }
        WriteIni(ini);
    }
}

// Four bearings measured in the two radial directions: a point entry, then its two directions.
void WriteNameSet(const fs::path& psp) {
    IniFile ini(psp / kNameSetFile);
    const char* const points[] = {"Двигатель, свободный конец", "Двигатель, со стороны насоса",
                                  "Насос, со стороны двигателя", "Насос, свободный конец"};
    const char* const shortPoints[] = {"Д1", "Д2", "Н1", "Н2"};
    ini.WriteString("Title", "Name", "Насос с двигателем, радиальные");
    ini.WriteInteger("Title", "Count", 12);
    int entry = 1;
    for (int p = 0; p < 4; ++p) {
        std::string section = std::to_string(entry++);
        ini.WriteString(section, "FullName", points[p]);
        ini.WriteString(section, "ShortName", shortPoints[p]);
        ini.WriteBool(section, "Point", true);
        const char* const dirs[] = {"вертикально", "поперечно"};
        const char* const shortDirs[] = {"В", "П"};
        for (int d = 0; d < 2; ++d) {
            section = std::to_string(entry++);
            ini.WriteString(section, "FullName", std::string(points[p]) + ", " + dirs[d]);
            ini.WriteString(section, "ShortName", std::string(shortPoints[p]) + shortDirs[d]);
            ini.WriteBool(section, "Point", false);
            ini.WriteBool(section, "Node", false);
        }
    }
    WriteIni(ini);
}

// Which channel of a measurement holds what. Point 2 carries the bearing that develops the defect.
struct ChannelSlot {
    int channel;
    int point;
    int direction;
    ChannelPlan plan;
};

std::vector<ChannelSlot> ChannelLayout(const MachineSpec& m) {
    std::vector<ChannelSlot> slots;
    auto planFor = [](int point, int direction) {
        if (point == 2) {
            return direction == 1 ? ChannelPlan::FastAcceleration
                                  : direction == 2 ? ChannelPlan::Envelope : ChannelPlan::VelocitySpectrum;
        }
        return direction == 1 ? ChannelPlan::Acceleration : ChannelPlan::VelocitySpectrum;
    };
    if (m.nameSet) {
        // Entries 1, 4, 7, 10 name the points and carry no data.
        for (int p = 1; p <= 4; ++p) {
            for (int d = 1; d <= 2; ++d) {
                slots.push_back({3 * (p - 1) + 1 + d, p, d, planFor(p, d)});
            }
        }
        return slots;
    }
    const int points = kPassports[m.passport].points;
    for (int p = 1; p <= points; ++p) {
        for (int d = 1; d <= 3; ++d) {
            slots.push_back({3 * p + d - 3, p, d, planFor(p, d)});
        }
    }
    return slots;
}

int RegularChannelCount(const MachineSpec& m) { return m.nameSet ? 12 : 3 * kPassports[m.passport].points; }

struct Recorded {
    std::vector<double> values;
    double step = 0;
    std::uint32_t kind = 0;
    std::uint32_t quantity = 0;
};

constexpr double kSlowRate = 5120.0;    // 2 kHz band, 1.6 s records
constexpr double kFastRate = 25600.0;   // 10 kHz band for bearing impacts
constexpr double kEnvelopeRate = 2560.0;
constexpr std::size_t kSlowSamples = 8192;
constexpr std::size_t kFastSamples = 16384;
constexpr std::size_t kEnvelopeSamples = 4096;
constexpr std::size_t kSpectrumLines = 800;
constexpr double kSpectrumDf = 1.25;  // 1000 Hz / 800 lines

Recorded Record(const demo::MachineCondition& c, ChannelPlan plan, int direction, int point) {
    const bool bearing = point == 2;
    switch (plan) {
        case ChannelPlan::Acceleration:
            return {demo::AccelerationSignal(c, kSlowRate, kSlowSamples, direction, bearing), 1.0 / kSlowRate,
                    common::kKindSignal, common::kQuantityAcceleration};
        case ChannelPlan::FastAcceleration:
            return {demo::AccelerationSignal(c, kFastRate, kFastSamples, direction, bearing), 1.0 / kFastRate,
                    common::kKindSignal, common::kQuantityAcceleration};
        case ChannelPlan::Envelope:
            return {demo::EnvelopeSignal(c, kEnvelopeRate, kEnvelopeSamples), 1.0 / kEnvelopeRate,
                    common::kKindEnvelope, common::kQuantityAcceleration};
        case ChannelPlan::VelocitySpectrum:
            return {demo::VelocitySpectrum(c, kSpectrumDf, kSpectrumLines, direction, bearing), kSpectrumDf,
                    common::kKindSpectrum, common::kQuantityVelocity};
        case ChannelPlan::None:
            break;
    }
    return {};
}

void FillStatistics(TChannelRecord& r, const std::vector<double>& v, bool spectrum) {
    double peak = 0;
    double sum = 0;
    for (double x : v) {
        peak = std::max(peak, std::fabs(x));
        sum += x * x;
    }
    r.peak = peak;
    // A spectrum's lines are peak amplitudes of sines: each holds half its square in power.
    r.rms = v.empty() ? 0.0 : spectrum ? std::sqrt(sum / 2.0) : std::sqrt(sum / static_cast<double>(v.size()));
}

void StampRecorded(TChannelRecord& r, const common::CivilTime& moment) {
    r.year = static_cast<std::uint16_t>(moment.year);
    r.month = static_cast<std::uint16_t>(moment.month);
    r.day = static_cast<std::uint16_t>(moment.day);
    r.hour = static_cast<std::uint16_t>(moment.hour);
    r.minute = static_cast<std::uint16_t>(moment.minute);
    r.second = static_cast<std::uint16_t>(moment.second);
}

int WriteMeasurement(const fs::path& machineDir, const MachineSpec& m, const demo::MachineCondition& c,
                     const common::CivilTime& moment) {
    const int regular = RegularChannelCount(m);
    TZamerFile file = TZamerFile::CreateNewMeasurement(machineDir, regular + 1, moment);
    file.Hold();

    for (const ChannelSlot& slot : ChannelLayout(m)) {
        const Recorded rec = Record(c, slot.plan, slot.direction, slot.point);
        TChannelRecord r;
        StampRecorded(r, moment);
        r.kind = static_cast<std::uint16_t>(rec.kind);
        r.quantity = rec.quantity;
        r.firstX = 0;
        r.step = rec.step;
        r.lastX = rec.step * static_cast<double>(rec.values.size() - 1);
        r.count = static_cast<std::uint32_t>(rec.values.size());
        FillStatistics(r, rec.values, rec.kind == common::kKindSpectrum);
        file.SetChannel(slot.channel, r);
        file.WriteChannelData(slot.channel, rec.values);
    }
    // The tachometer mark: the last channel.
    {
        const std::vector<double> mark = demo::MarkerSignal(c, kSlowRate, kSlowSamples);
        TChannelRecord r;
        StampRecorded(r, moment);
        r.kind = common::kKindSignal;
        r.quantity = common::kQuantityVoltage;
        r.step = 1.0 / kSlowRate;
        r.lastX = r.step * static_cast<double>(mark.size() - 1);
        r.count = static_cast<std::uint32_t>(mark.size());
        FillStatistics(r, mark, false);
        file.SetChannel(regular + 1, r);
        file.WriteChannelData(regular + 1, mark);
    }

    common::MeasurementParams params;
    params.kinds = common::kKindSignal | common::kKindSpectrum | common::kKindEnvelope;
    params.passport = 2;
    params.volume = 100;
    params.synchronous = 1;
    params.quantities = common::kQuantityAcceleration | common::kQuantityVelocity | common::kQuantityVoltage;
    params.fMax = 10000;
    params.dfMax = static_cast<std::uint32_t>(kSpectrumDf * 1000);
    params.samples = kFastSamples;
    params.marker = 4;
    params.masses = 1;
    params.planes = 1;
    file.SetParams(params);

    const int state = demo::ConditionState(c);
    ZamerDescription description = file.GetDescription();
    description.markerChannelCount = 1;
    description.state = static_cast<std::uint16_t>(state);
    description.SetComment(state == 0 ? "Плановый замер" : state == 3 ? "Повышенная вибрация"
                                                                      : "Недопустимая вибрация");
    file.SetDescription(description);

    file.SetTechParam(kTechParamFirstId, c.shaftHz * 60.0);
    file.SetTechParam(kTechParamFirstId + 3, 70.0 + 20.0 * (c.seed % 7) / 7.0);
    file.Release();
    return state;
}

}  // namespace

void GenerateDemoArchive(const fs::path& root, const DemoArchiveOptions& options, const DemoProgress& progress) {
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        throw std::runtime_error("demo archive: " + root.string() + " is not empty");
    }
    fs::create_directories(root / "PSP");
    WritePassports(root / "PSP");
    WriteNameSet(root / "PSP");

    const double created = common::EncodeDayCount(options.lastYear - 1, options.lastMonth, 1, 8, 0, 0);
    for (int i = 0; i < static_cast<int>(std::size(kStations)); ++i) {
        const fs::path dir = StationPath(root, i);
        fs::create_directory(dir);
        IniFile ini(dir / "UNIT_D.INF");
        ini.WriteString("Main", "Name", kStations[i].name);
        WriteMoment(ini, created);
        ini.WriteInteger(options.slotSection, "Enabled", 1);
        WriteIni(ini);
    }

    const int total = static_cast<int>(std::size(kMachines)) * 12;
    int done = 0;
    for (std::size_t mi = 0; mi < std::size(kMachines); ++mi) {
        const MachineSpec& m = kMachines[mi];
        const PassportSpec& passport = kPassports[m.passport];
        const fs::path dir = StationPath(root, m.station) / m.dir;
        fs::create_directory(dir);

        int lastState = 0;
        for (int month = 0; month < 12; ++month) {
            // Twelve months ending with the last one.
            int y = options.lastYear;
            int mo = options.lastMonth - 11 + month;
            while (mo < 1) {
                mo += 12;
                --y;
            }
            demo::MachineCondition c;
            demo::DemoRandom jitter(options.seed * 1000 + mi * 37 + static_cast<std::uint64_t>(month));
            c.shaftHz = passport.rpm / 60.0 * (1.0 - 0.004 * jitter.Uniform());
            c.fault = m.fault;
            c.severity = std::pow(month / 11.0, 1.6);
            c.bpfoOrder = m.bpfoOrder;
            c.baseVelocityRms = m.baseRms;
            c.seed = options.seed * 7919 + mi * 131 + static_cast<std::uint64_t>(month);
            const common::CivilTime moment{y, mo, 10, 9 + static_cast<int>(mi), 15 + 3 * static_cast<int>(mi), 0, 0};
            lastState = WriteMeasurement(dir, m, c, moment);
            ++done;
            if (progress && !progress(static_cast<double>(done) / total)) {
                return;
            }
        }

        IniFile ini(dir / "UNIT_A.INF");
        ini.WriteString("Main", "Name", m.name);
        WriteMoment(ini, created + static_cast<double>(mi));
        ini.WriteString("Main", "DateLastRem", common::FormatIniDate(created - 200));
        ini.WriteInteger(options.slotSection, "Enabled", 1);
        ini.WriteString(options.slotSection, "Psp", passport.file);
        ini.WriteInteger(options.slotSection, "Svet", lastState);
        if (m.nameSet) {
            ini.WriteString(options.slotSection, "Names", kNameSetFile);
        }
        WriteIni(ini);
    }
}

}  // namespace velmar::archive
