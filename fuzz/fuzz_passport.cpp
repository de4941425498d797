// Opens arbitrary bytes as a machine passport (either form) in the PSP directory of an archive whose slot 12
// knows the file's group, the way the archive root loads it, and reads everything the program reads of a
// passport: its name, form, number of points and group flags, every value of the binary table the program
// addresses (and some far beyond), the shaft speeds, the names of the technological parameters and the
// 12851-byte passport record. The only failure allowed is the reported one (EFailOpenFile, or FormatError
// from a bounded reader); anything else escaping, a crash or an access outside a buffer is a finding, and the
// sanitizers watch the rest.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "archive/ArchiveContext.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NodePtr.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/Errors.hpp"
#include "common/ProgramContext.hpp"

namespace fs = std::filesystem;
using velmar::archive::ArchiveContext;
using velmar::archive::EFailOpenFile;
using velmar::archive::MakeNode;
using velmar::archive::NodePtrOf;
using velmar::archive::PassportRecord;
using velmar::archive::TProgDBLevel;
using velmar::archive::TPspDBLevel;
using velmar::fuzz::Check;
using velmar::fuzz::CodePoints;

namespace {

constexpr std::size_t kTextSize = 256;
constexpr std::size_t kMaxTexts = 50;

void WriteText(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    Check(static_cast<bool>(out));
}

void WriteBytes(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    WriteText(file, std::string_view(reinterpret_cast<const char*>(data), size));
}

// An archive with a base directory (MAIN.INI naming slot 12 and its group table) and an empty PSP directory,
// made once per process; the fuzzed file is written into PSP as "VN_FUZZ.psp", a group whose machines carry
// no passport of their own.
struct Archive {
    fs::path base;
    fs::path file;
    velmar::common::ProgramContext program;
    ArchiveContext context;
    NodePtrOf<TProgDBLevel> root;
};

Archive& TheArchive() {
    static Archive* archive = [] {
        std::string pattern = "/tmp/velmar-fuzz-psp-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr);
        auto* a = new Archive;
        a->base = pattern;
        fs::create_directories(a->base / "INI");
        fs::create_directories(a->base / "plant" / "PSP");
        WriteText(a->base / "INI" / "MAIN.INI",
                  "[Main]\r\nName=Fuzz\r\nPath=plant\r\nName12=Archive\r\nProgram12=ARCH12.INI\r\n"
                  "Section12=Arch12\r\n");
        WriteText(a->base / "INI" / "ARCH12.INI",
                  "[Main]\r\nMaxStantionLevel=2\r\n[Groups]\r\nKolGroup=2\r\nGroup1=NS,0,Pumps\r\n"
                  "Group2=VN,2,Fans\r\n");
        a->file = a->base / "plant" / "PSP" / "VN_FUZZ.psp";
        a->program = velmar::common::ProgramContext::Open(a->base);
        a->program.registry.Load(a->program.mainIni, a->program.iniDir);
        velmar::common::RegisterBuiltInHandlers(a->program.registry);
        a->context.program = &a->program;
        a->root = MakeNode<TProgDBLevel>(a->context, a->base / "plant", "Fuzz");
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(TheArchive().base, ec);
        });
        return a;
    }();
    return *archive;
}

void CheckValues(const TPspDBLevel& psp, const std::uint8_t* data, std::size_t size) {
    const bool binary = psp.GetForm() == TPspDBLevel::Form::Binary;
    std::vector<int> probes = {-1, INT_MIN, INT_MAX, 999, 21895, 21896, 21897, 30000};
    for (int k = 0; k <= 130; ++k) {
        probes.push_back(k);
    }
    TPspDBLevel::ValueBuffer value;
    for (const int k : probes) {
        value.fill(0xA5);
        const int length = psp.PassportValue(k, value);
        Check(length >= 0 && length <= 255);
        Check(std::all_of(value.begin() + length, value.end(), [](std::uint8_t b) { return b == 0; }));
        if (length == 0) {
            continue;
        }
        // A value comes from where its table entry in the file says, and from nowhere else.
        Check(binary && k >= 0);
        const std::size_t entry = TPspDBLevel::kBinaryHeaderSize + 3 * static_cast<std::size_t>(k);
        Check(entry + 3 <= size);
        const std::size_t offset = data[entry] | (static_cast<std::size_t>(data[entry + 1]) << 8);
        Check(data[entry + 2] == length && offset + static_cast<std::size_t>(length) <= size);
        Check(std::memcmp(value.data(), data + offset, static_cast<std::size_t>(length)) == 0);
    }
    for (int k = -1; k <= 4; ++k) {
        if (const std::optional<double> rpm = psp.ShaftSpeedRpm(k)) {
            Check(k >= 1 && k <= 3 && binary && std::isfinite(*rpm) && *rpm != 0);
        }
    }
}

void CheckRecord(const TPspDBLevel& psp) {
    const bool binary = psp.GetForm() == TPspDBLevel::Form::Binary;
    const std::vector<std::string> names = psp.TechParamNames();
    Check(names.size() <= kMaxTexts);
    for (const std::string& name : names) {
        Check(CodePoints(name) >= 0);
    }

    PassportRecord record;
    record.fill(0xEE);
    const bool any = psp.GetPassport(record);
    std::size_t stored = 0;
    while (stored < kMaxTexts && record[kTextSize * stored] != 0) {
        const std::uint8_t* text = record.data() + kTextSize * stored;
        Check(std::all_of(text + 1 + text[0], text + kTextSize, [](std::uint8_t b) { return b == 0; }));
        // Each text is the parameter's name (for the INI form its name and a zero value), cut to 255 bytes.
        const std::string expected =
            velmar::common::Utf8ToCp1251(binary ? names.at(stored) : names.at(stored) + "=000000");
        Check(std::string_view(reinterpret_cast<const char*>(text + 1), text[0]) ==
              std::string_view(expected).substr(0, 255));
        ++stored;
    }
    Check(any == (stored > 0));
    Check(stored <= names.size());
    if (binary) {
        Check(stored == names.size());
    } else if (stored < names.size()) {
        Check(names[stored].empty());
    }
    Check(std::all_of(record.begin() + static_cast<std::ptrdiff_t>(kTextSize * stored), record.end(),
                      [](std::uint8_t b) { return b == 0; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1 << 20)) {
        return 0;
    }
    Archive& archive = TheArchive();
    WriteBytes(archive.file, data, size);
    try {
        const NodePtrOf<TPspDBLevel> psp =
            MakeNode<TPspDBLevel>(archive.context, archive.root.get(), archive.file);

        const bool signature = size >= 4 && std::memcmp(data, "PSP\\", 4) == 0;
        if (psp->GetForm() == TPspDBLevel::Form::Binary) {
            Check(signature && size >= TPspDBLevel::kBinaryHeaderSize);
        } else {
            Check(!signature);
        }
        const long nameLength = CodePoints(psp->GetName());
        Check(nameLength >= 0 && nameLength <= (signature ? 20 : TPspDBLevel::kMaxNameLength));
        Check(psp->PointCount() >= 0 && psp->PointCount() <= 255);
        // The group table of the archive, not the file's contents, decides these.
        Check(psp->GroupCode() == "VN" && psp->MatchesGroup("vn") && psp->GroupNumber() == 2);
        Check(psp->NoPassport() && psp->IsEnabled());

        CheckValues(*psp, data, size);
        CheckRecord(*psp);
    } catch (const EFailOpenFile&) {
    } catch (const velmar::common::FormatError&) {
    }
    return 0;
}
