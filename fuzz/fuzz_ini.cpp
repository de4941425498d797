// Any bytes must parse as an INI file without a crash, and what we write must read back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.hpp"
#include "common/IniFile.hpp"

using velmar::common::IniFile;
using velmar::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile ini = IniFile::FromBytes(bytes);

    for (const std::string& section : ini.ReadSections()) {
        Check(ini.SectionExists(section));
        for (const auto& [key, value] : ini.ReadSectionValues(section)) {
            Check(ini.ValueExists(section, key));
            Check(ini.ReadString(section, key, "\x01") == value);
            ini.ReadInteger(section, key, 0);
        }
    }
    ini.ReadString("Main", "Path", ".\\");
    ini.ReadBool("View", "SpectrViewMode", false);

    // What we write is what the next reader sees, and writing changes nothing else.
    const std::string first = ini.ToBytes();
    const IniFile reread = IniFile::FromBytes(first);
    Check(reread.ToBytes() == first);
    Check(reread.ReadSections() == ini.ReadSections());

    IniFile edited = IniFile::FromBytes(first);
    edited.WriteString("Main", "Path", "C:\\ARH");
    edited.WriteInteger("Fuzz", "Value", -12345);
    const IniFile afterWrite = IniFile::FromBytes(edited.ToBytes());
    Check(afterWrite.ReadString("main", "path", "") == "C:\\ARH");
    Check(afterWrite.ReadInteger("FUZZ", "value", 0) == -12345);
    edited.EraseSection("Main");
    edited.DeleteKey("Fuzz", "Value");
    const IniFile afterErase = IniFile::FromBytes(edited.ToBytes());
    Check(!afterErase.SectionExists("Main"));
    Check(!afterErase.ValueExists("Fuzz", "Value"));
    return 0;
}
