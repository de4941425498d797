// Drives BinaryReader and BinaryWriter with arbitrary programs: the first byte says how many of the following
// bytes are the program, the rest is the data. Each program byte picks an operation (and may take the next
// program byte as a count). Failing operations must throw FormatError and leave the position alone; nothing
// may touch memory outside the data (the data is copied into a buffer of its exact size for the sanitizer).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.hpp"
#include "common/BinaryIo.hpp"
#include "common/Real48.hpp"

using velmar::common::BinaryReader;
using velmar::common::BinaryWriter;
using velmar::common::FormatError;
using velmar::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t programSize = std::min<std::size_t>(input[0], size - 1);
    const std::vector<std::uint8_t> program(input + 1, input + 1 + programSize);
    const std::vector<std::uint8_t> data(input + 1 + programSize, input + size);

    BinaryReader reader(data);
    std::vector<std::uint8_t> fixed(programSize % 40);
    BinaryWriter fixedWriter{std::span<std::uint8_t>(fixed)};
    std::vector<std::uint8_t> grown;
    BinaryWriter grownWriter(grown);

    for (std::size_t pc = 0; pc < program.size(); ++pc) {
        const std::uint8_t op = program[pc];
        const std::size_t count = pc + 1 < program.size() ? program[pc + 1] : 0;
        const std::size_t before = reader.Position();
        const std::size_t fixedBefore = fixedWriter.Position();
        bool failed = false;
        try {
            switch (op % 24) {
                case 0:
                    fixedWriter.U8(reader.U8());
                    break;
                case 1:
                    fixedWriter.I8(reader.I8());
                    break;
                case 2:
                    fixedWriter.U16(reader.U16());
                    break;
                case 3:
                    fixedWriter.I16(reader.I16());
                    break;
                case 4:
                    fixedWriter.U32(reader.U32());
                    break;
                case 5:
                    grownWriter.I32(reader.I32());
                    break;
                case 6:
                    grownWriter.U64(reader.U64());
                    break;
                case 7:
                    grownWriter.F32(reader.F32());
                    break;
                case 8:
                    grownWriter.F64(reader.F64());
                    break;
                case 9: {
                    const auto raw = reader.Bytes(6);
                    const double v = velmar::common::Real48ToDouble(raw.data());
                    // Every Real48 is a double, so a stored value comes back bit for bit.
                    if (raw[0] != 0) {
                        Check(velmar::common::DoubleToReal48(v) ==
                              velmar::common::Real48Bytes{raw[0], raw[1], raw[2], raw[3], raw[4], raw[5]});
                    }
                    fixedWriter.Real48(v);
                    break;
                }
                case 10: {
                    ++pc;
                    const auto bytes = reader.Bytes(count);
                    Check(bytes.size() == count);
                    grownWriter.Bytes(bytes);
                    break;
                }
                case 11:
                    ++pc;
                    reader.Skip(count);
                    break;
                case 12:
                    ++pc;
                    reader.Seek(count);
                    break;
                case 13: {
                    ++pc;
                    const auto text = reader.Text(count);
                    Check(text.size() <= count && text.find('\0') == std::string::npos);
                    fixedWriter.FixedText(text, count % 16);
                    break;
                }
                case 14: {
                    ++pc;
                    const auto text = reader.PascalText(count);
                    Check(text.size() <= count);
                    fixedWriter.PascalText(text, count % 16);
                    break;
                }
                case 15: {
                    ++pc;
                    std::vector<std::int16_t> samples(count);
                    reader.ReadI16Array(samples);
                    grownWriter.WriteI16Array(samples);
                    break;
                }
                case 16: {
                    ++pc;
                    std::vector<std::uint8_t> out(count);
                    reader.ReadInto(out);
                    break;
                }
                case 17:
                    ++pc;
                    fixedWriter.Seek(count);
                    break;
                case 18:
                    ++pc;
                    grownWriter.Seek(count);
                    break;
                case 19:
                    ++pc;
                    fixedWriter.Zeros(count);
                    break;
                case 20:
                    reader.Seek(reader.Size() - std::min(reader.Size(), count));
                    break;
                case 21:
                    grownWriter.I16(reader.I16());
                    break;
                case 22:
                    fixedWriter.U64(reader.U64());
                    break;
                default:
                    grownWriter.Real48(velmar::common::RoundToReal48(reader.F64()));
                    break;
            }
        } catch (const FormatError&) {
            failed = true;
        }
        Check(reader.Position() <= reader.Size());
        Check(reader.Remaining() == reader.Size() - reader.Position());
        Check(fixedWriter.Position() <= fixed.size());
        Check(grownWriter.Position() <= grown.size());
        if (failed && op % 24 != 12 && op % 24 != 20) {
            // A refused read never moves; a refused write to the fixed span never moves either.
            Check(reader.Position() == before || fixedWriter.Position() == fixedBefore);
        }
    }
    return 0;
}
