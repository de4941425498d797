#pragma once
// The measurement files laid out by tools/fixtures/make_zamer_fixtures.py and the values that script wrote
// next to them (tests/fixtures/zamer/expected.txt: one "key value..." line each).

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "archive/ZamerFile.hpp"

namespace velmar::test {

inline std::filesystem::path ZamerFixture(const std::string& name) {
    return std::filesystem::path(VELMAR_FIXTURE_DIR) / "zamer" / (name + ".zmr");
}

class ZamerExpected {
  public:
    static const ZamerExpected& Get() {
        static const ZamerExpected instance;
        return instance;
    }

    bool Has(const std::string& key) const { return lines_.count(key) != 0; }

    std::string Text(const std::string& key) const {
        const auto it = lines_.find(key);
        if (it == lines_.end()) {
            ADD_FAILURE() << "expected.txt has no " << key;
            return {};
        }
        return it->second;
    }

    std::vector<double> Numbers(const std::string& key) const {
        std::vector<double> values;
        std::istringstream in(Text(key));
        std::string word;
        while (in >> word) {
            double v = 0;
            const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
            EXPECT_TRUE(ec == std::errc() && ptr == word.data() + word.size()) << key << ": " << word;
            values.push_back(v);
        }
        return values;
    }

    double Number(const std::string& key) const {
        const auto v = Numbers(key);
        EXPECT_EQ(v.size(), 1u) << key;
        return v.empty() ? 0.0 : v.front();
    }

    std::vector<std::uint8_t> Hex(const std::string& key) const {
        const std::string text = Text(key);
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        }
        return bytes;
    }

    // Keys of the form prefix + NAME + suffix, NAME returned.
    std::vector<std::string> Names(const std::string& prefix, const std::string& suffix) const {
        std::vector<std::string> names;
        for (const auto& [key, value] : lines_) {
            if (key.size() > prefix.size() + suffix.size() && key.compare(0, prefix.size(), prefix) == 0 &&
                key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0) {
                names.push_back(key.substr(prefix.size(), key.size() - prefix.size() - suffix.size()));
            }
        }
        return names;
    }

  private:
    ZamerExpected() {
        std::ifstream in(std::filesystem::path(VELMAR_FIXTURE_DIR) / "zamer" / "expected.txt");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            const auto space = line.find(' ');
            lines_[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
        }
    }

    std::map<std::string, std::string> lines_;
};

// The record's fields in the order the script lists them.
inline std::vector<double> RecordFields(const archive::TChannelRecord& c) {
    return {double(c.inUse),
            double(c.year),
            double(c.month),
            double(c.day),
            double(c.hour),
            double(c.minute),
            double(c.second),
            c.rms,
            c.peak,
            c.phaseShift,
            c.firstX,
            c.lastX,
            c.step,
            double(c.flags),
            double(c.kind),
            double(c.quantity),
            double(c.count),
            c.scale,
            double(c.packing),
            double(c.dataOffset),
            double(c.dataLength),
            double(c.carriedWord),
            c.phaseShift2,
            c.carriedReal,
            double(c.carriedByte)};
}

inline std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    const std::string s = ReadBytes(path);
    return {s.begin(), s.end()};
}

inline void PutBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    WriteBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A writable copy of a fixture in `dir`.
inline std::filesystem::path CopyFixture(const TempDir& dir, const std::string& name) {
    const std::filesystem::path path = dir / (name + ".zmr");
    std::filesystem::copy_file(ZamerFixture(name), path, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
}

template <typename T>
void PokeLittle(std::vector<std::uint8_t>& bytes, std::size_t at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes.at(at + i) = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}

}  // namespace velmar::test
