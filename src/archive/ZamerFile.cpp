#include "archive/ZamerFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <system_error>
#include <unordered_set>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/AtomicFile.hpp"
#include "common/BinaryIo.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"
#include "common/Real48.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;
using common::BinaryReader;
using common::BinaryWriter;

// Doubles of harmonics are stored as the host holds them.
static_assert(std::endian::native == std::endian::little, "measurement files are little-endian");

namespace {

constexpr char kNoFile[] = "No file";
constexpr char kWrongVersion[] = "Wrong file version";
constexpr char kDamaged[] = "Damaged file";
constexpr char kCantCreate[] = "Can't create a file";
constexpr char kCantOpen[] = "Can't open a file";
constexpr char kReadOnly[] = "Can't open for write \"read only\" file";
constexpr char kCantRead[] = "Can't read a file";
constexpr char kCantWrite[] = "Can't write a file";
constexpr char kNotRead[] = "Block was not read";
constexpr char kTooLarge[] = "File too large";

constexpr ZamerSignature kSignature301 = {'Q', 'X', '3', '0', '1', 0};
constexpr ZamerSignature kSignature300 = {'Q', 'X', '3', '0', '0', 0};

// Offsets and sizes of the fixed blocks, in the order of TZamerFile::Fixed.
constexpr std::array<std::uint64_t, 6> kOffsets301 = {0, 6, 99, 171, 671, 960};
constexpr std::array<std::uint64_t, 6> kSizes301 = {6, 93, 72, 500, 289, 300};
constexpr std::array<std::uint64_t, 6> kOffsets300 = {0, 6, 95, 227, 627, 913};
constexpr std::array<std::uint64_t, 6> kSizes300 = {6, 89, 132, 400, 286, 300};

constexpr std::uint64_t kRecords301 = 1260;  // channel record k at 1260 + 245 (k - 1)
constexpr std::uint64_t kRecords300 = 1213;  // channel record k at 1213 + 223 (k - 1)
constexpr std::uint64_t kRecordSize300 = 223;

// The signature, header, parameters, technological parameters and description, which OpenFile reads in one
// go: bytes 0 .. 960 hold them in either layout, and any file that passes the size check is that long.
constexpr std::size_t kLeadingBytes = 960;
static_assert(kOffsets301[4] + kSizes301[4] == kLeadingBytes);
static_assert(kOffsets300[4] + kSizes300[4] <= kLeadingBytes);
static_assert(kLeadingBytes <= kRecords300 && kLeadingBytes <= kRecords301);
// The largest fixed block, for the buffer a single block is read into.
constexpr std::size_t kLargestFixed = 500;
static_assert(*std::max_element(kSizes301.begin(), kSizes301.end()) == kLargestFixed);
static_assert(*std::max_element(kSizes300.begin(), kSizes300.end()) <= kLargestFixed);

// Conversion goes through a fixed buffer of this many int16 values, so that signals of any length need no
// memory per point.
constexpr std::size_t kChunkValues = 8000;
// Older files hold at most this many bytes of harmonics.
constexpr std::uint64_t kMaxHarmonicBytes300 = 48000;

template <typename T>
std::span<std::uint8_t> WritableBytes(std::span<T> values) {
    return {reinterpret_cast<std::uint8_t*>(values.data()), values.size_bytes()};
}

template <typename T>
std::span<const std::uint8_t> Bytes(std::span<const T> values) {
    return {reinterpret_cast<const std::uint8_t*>(values.data()), values.size_bytes()};
}

// ---- text fields ----

std::string FieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return common::Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(field.data()),
                                                 static_cast<std::size_t>(end - field.begin())));
}

// At most field.size() - 1 bytes, so the text always keeps its terminator.
void SetFieldText(std::span<std::uint8_t> field, std::string_view utf8, bool* lossy) {
    const std::string bytes = common::Utf8ToCp1251(utf8, lossy);
    const std::size_t n = std::min(bytes.size(), field.size() - 1);
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    std::memcpy(field.data(), bytes.data(), n);
}

template <std::size_t N>
void ReadArray(BinaryReader& r, std::array<std::uint8_t, N>& out) {
    r.ReadInto(out);
}

// A short string of the older layout (length byte, then the characters) into a zero-terminated field.
template <std::size_t N>
void PascalIntoField(BinaryReader& r, std::size_t maxLength, std::array<std::uint8_t, N>& out) {
    const std::string text = r.PascalText(maxLength);
    out.fill(0);
    std::memcpy(out.data(), text.data(), std::min(text.size(), N - 1));
}

ZamerBlockEntry DecodeEntry(BinaryReader& r) {
    ZamerBlockEntry e;
    e.id = r.I16();
    e.offset = r.I32();
    e.length = r.I32();
    return e;
}

void EncodeEntry(BinaryWriter& w, const ZamerBlockEntry& e) {
    w.I16(e.id);
    w.I32(e.offset);
    w.I32(e.length);
}

// Date fields from a day count of the older layout; a moment that cannot be decoded reads as 1997-01-01.
void MomentFields(double dayCount, std::uint16_t& year, std::uint16_t& month, std::uint16_t& day,
                  std::uint16_t& hour, std::uint16_t& minute, std::uint16_t& second) {
    common::CivilTime t{1997, 1, 1, 0, 0, 0, 0};
    if (const auto decoded = common::TryDecodeDayCount(dayCount)) {
        t = *decoded;
    }
    year = static_cast<std::uint16_t>(t.year);
    month = static_cast<std::uint16_t>(t.month);
    day = static_cast<std::uint16_t>(t.day);
    hour = static_cast<std::uint16_t>(t.hour);
    minute = static_cast<std::uint16_t>(t.minute);
    second = static_cast<std::uint16_t>(t.second);
}

// ---- version 300 blocks ----

ZamerHeader DecodeHeader300(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    ZamerHeader h;
    PascalIntoField(r, 80, h.text);
    MomentFields(r.F64(), h.year, h.month, h.day, h.hour, h.minute, h.second);
    return h;
}

common::MeasurementParams DecodeParams300(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    common::MeasurementParams p;
    p.kinds = r.U32();
    p.passport = r.U16();
    p.volume = r.U16();
    p.synchronous = r.U16();
    p.quantities = r.U32();
    p.fMax = r.U32();
    p.dfMax = r.U32();
    p.samples = r.U32();
    p.marker = r.U16();
    p.masses = r.U16();
    p.planes = r.U16();
    return p;
}

ZamerTechParams DecodeTech300(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    ZamerTechParams t{};
    for (auto& e : t) {
        e.id = r.I16();
        e.value = r.Real48();
    }
    return t;
}

ZamerDescription DecodeDescription300(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    ZamerDescription d;
    d.state = r.U8();
    d.channelCount = r.U8();
    PascalIntoField(r, 50, d.comment);       // 2 .. 52
    d.carriedWord1 = r.U16();                // 53
    d.carriedWord2 = r.U16();                // 55
    PascalIntoField(r, 12, d.carriedText1);  // 57 .. 69
    PascalIntoField(r, 15, d.carriedText2);  // 70 .. 85
    d.markerChannelCount = r.U8();           // 86
    return d;
}

TChannelRecord DecodeChannel300(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    TChannelRecord c;
    c.inUse = r.U8();
    MomentFields(r.F64(), c.year, c.month, c.day, c.hour, c.minute, c.second);
    c.rms = r.Real48();
    c.peak = r.Real48();
    c.phaseShift = r.Real48();
    c.firstX = r.Real48();
    c.lastX = r.Real48();
    c.step = r.Real48();
    c.flags = r.U16();
    c.kind = r.U16();
    c.quantity = r.U32();
    r.Skip(4);
    c.scale = r.Real48();
    c.packing = r.I16();
    c.dataOffset = r.U32();
    c.dataLength = r.U32();
    for (auto& e : c.blocks) {
        e = DecodeEntry(r);
    }
    c.carriedWord = r.U8();
    c.phaseShift2 = r.Real48();
    return c;
}

ZamerDirectory DecodeDirectory(std::span<const std::uint8_t> b) {
    BinaryReader r(b);
    ZamerDirectory d{};
    for (auto& e : d) {
        e = DecodeEntry(r);
    }
    return d;
}

// ---- conversion of values ----

constexpr double kMaxStep = TZamerFile::kMaxSteps;

// Ties-to-even rounding (what std::nearbyint does in the default mode) for |x| < 2^51, written so that the
// conversion loops stay free of library calls: after adding 1.5 * 2^52 no fraction bits are left, and the
// addition itself rounds to even. The project never builds with -ffast-math, which could fold it away.
inline double RoundEven(double x) {
    constexpr double kMagic = 6755399441055744.0;
    return (x + kMagic) - kMagic;
}

// q (a value in steps of the scale) as a stored integer: rounded, saturated at ±32767, NaN as 0. Every value
// that does not survive is counted.
inline std::int16_t Quantize(double q, std::size_t& clipped) {
    clipped += !(std::fabs(q) < kMaxStep + 0.5);
    q = (q == q) ? q : 0.0;
    return static_cast<std::int16_t>(RoundEven(std::clamp(q, -kMaxStep, kMaxStep)));
}

struct QuantizeResult {
    std::size_t lost = 0;   // values stored as something else: beyond ±32767 steps, or not a number
    bool overflow = false;  // some finite value was beyond ±32767 steps
};

inline bool Overflows(double value, double q) {
    return std::fabs(value) <= std::numeric_limits<double>::max() && !(std::fabs(q) < kMaxStep + 0.5);
}

// n values in steps of `scale`, exactly as Quantize(value / scale) for each.
QuantizeResult QuantizeExact(const double* in, std::size_t n, double scale, std::int16_t* out) {
    QuantizeResult result;
    for (std::size_t i = 0; i < n; ++i) {
        const double q = in[i] / scale;
        result.overflow |= Overflows(in[i], q);
        out[i] = Quantize(q, result.lost);
    }
    return result;
}

// The same, fast: signals of millions of samples go through here. Values are multiplied by the reciprocal of
// the scale and rounded by the conversion instruction (to nearest, ties to even, in the default rounding
// mode). For anything that fits the integers the product is within 2^-35 of the quotient, so it can only
// round differently when it lies that close to a half; a chunk holding such a value goes through the exact
// division instead. A group holding a value beyond the integers or NaN goes through it as well.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELMAR_ZAMER_SIMD 1

constexpr double kNearHalf = 0.5 - 0x1p-30;

QuantizeResult QuantizeSse2(const double* in, std::size_t n, double scale, double inverse, std::int16_t* out,
                            bool& exact) {
    const __m128d vInverse = _mm_set1_pd(inverse);
    const __m128d vAbs = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d vLimit = _mm_set1_pd(kMaxStep + 0.5);
    const __m128d vNearHalf = _mm_set1_pd(kNearHalf);
    __m128d nearHalf = _mm_setzero_pd();
    QuantizeResult result;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128d q0 = _mm_mul_pd(_mm_loadu_pd(in + i), vInverse);
        const __m128d q1 = _mm_mul_pd(_mm_loadu_pd(in + i + 2), vInverse);
        if ((_mm_movemask_pd(_mm_cmpnlt_pd(_mm_and_pd(q0, vAbs), vLimit)) |
             _mm_movemask_pd(_mm_cmpnlt_pd(_mm_and_pd(q1, vAbs), vLimit))) != 0) {
            const QuantizeResult group = QuantizeExact(in + i, 4, scale, out + i);
            result.lost += group.lost;
            result.overflow |= group.overflow;
            continue;
        }
        const __m128i r0 = _mm_cvtpd_epi32(q0);
        const __m128i r1 = _mm_cvtpd_epi32(q1);
        nearHalf = _mm_or_pd(nearHalf,
                             _mm_cmpge_pd(_mm_and_pd(_mm_sub_pd(q0, _mm_cvtepi32_pd(r0)), vAbs), vNearHalf));
        nearHalf = _mm_or_pd(nearHalf,
                             _mm_cmpge_pd(_mm_and_pd(_mm_sub_pd(q1, _mm_cvtepi32_pd(r1)), vAbs), vNearHalf));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(_mm_unpacklo_epi64(r0, r1), _mm_setzero_si128()));
    }
    exact = _mm_movemask_pd(nearHalf) == 0;
    const QuantizeResult tail = QuantizeExact(in + i, n - i, scale, out + i);
    result.lost += tail.lost;
    result.overflow |= tail.overflow;
    return result;
}

// The same four values at a time, where the processor has AVX2.
__attribute__((target("avx2"))) QuantizeResult QuantizeAvx2(const double* in, std::size_t n, double scale,
                                                            double inverse, std::int16_t* out, bool& exact) {
    const __m256d vInverse = _mm256_set1_pd(inverse);
    const __m256d vAbs = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256d vLimit = _mm256_set1_pd(kMaxStep + 0.5);
    const __m256d vNearHalf = _mm256_set1_pd(kNearHalf);
    __m256d nearHalf = _mm256_setzero_pd();
    QuantizeResult result;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256d q0 = _mm256_mul_pd(_mm256_loadu_pd(in + i), vInverse);
        const __m256d q1 = _mm256_mul_pd(_mm256_loadu_pd(in + i + 4), vInverse);
        if ((_mm256_movemask_pd(_mm256_cmp_pd(_mm256_and_pd(q0, vAbs), vLimit, _CMP_NLT_UQ)) |
             _mm256_movemask_pd(_mm256_cmp_pd(_mm256_and_pd(q1, vAbs), vLimit, _CMP_NLT_UQ))) != 0) {
            const QuantizeResult group = QuantizeExact(in + i, 8, scale, out + i);
            result.lost += group.lost;
            result.overflow |= group.overflow;
            continue;
        }
        const __m128i r0 = _mm256_cvtpd_epi32(q0);
        const __m128i r1 = _mm256_cvtpd_epi32(q1);
        const __m256d f0 = _mm256_and_pd(_mm256_sub_pd(q0, _mm256_cvtepi32_pd(r0)), vAbs);
        const __m256d f1 = _mm256_and_pd(_mm256_sub_pd(q1, _mm256_cvtepi32_pd(r1)), vAbs);
        nearHalf = _mm256_or_pd(nearHalf, _mm256_cmp_pd(_mm256_max_pd(f0, f1), vNearHalf, _CMP_GE_OQ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(r0, r1));
    }
    exact = _mm256_movemask_pd(nearHalf) == 0;
    const QuantizeResult tail = QuantizeExact(in + i, n - i, scale, out + i);
    result.lost += tail.lost;
    result.overflow |= tail.overflow;
    return result;
}
#endif

enum class QuantizePath { Best, Exact, Sse2, Avx2 };

QuantizeResult QuantizeValues(const double* in, std::size_t n, double scale, std::int16_t* out,
                              QuantizePath path = QuantizePath::Best) {
#ifdef VELMAR_ZAMER_SIMD
    const double inverse = 1.0 / scale;
    if (path != QuantizePath::Exact && std::isfinite(inverse) && inverse != 0.0) {
        static const bool hasAvx2 = __builtin_cpu_supports("avx2");
        const bool avx2 = path == QuantizePath::Avx2 || (path == QuantizePath::Best && hasAvx2);
        bool exact = false;
        const QuantizeResult result = avx2 ? QuantizeAvx2(in, n, scale, inverse, out, exact)
                                           : QuantizeSse2(in, n, scale, inverse, out, exact);
        if (exact) {
            return result;
        }
    }
#endif
    return QuantizeExact(in, n, scale, out);
}

// A phase in degrees as tenths of a degree, brought into the open range -3600 .. 3600 first. A phase that is
// not a finite number is stored as 0 and counted.
inline std::int16_t PhaseTenths(double degrees, std::size_t& clipped) {
    const double tenths = degrees * 10.0;
    if (!std::isfinite(tenths)) {
        ++clipped;
        return 0;
    }
    return static_cast<std::int16_t>(RoundEven(std::fmod(tenths, 3600.0)));
}

// (amplitude, phase) pairs: n values, n even.
QuantizeResult QuantizePairs(const double* in, std::size_t n, double scale, std::int16_t* out) {
    QuantizeResult result;
    for (std::size_t i = 0; i < n; i += 2) {
        const double q = in[i] / scale;
        result.overflow |= Overflows(in[i], q);
        out[i] = Quantize(q, result.lost);
        out[i + 1] = PhaseTenths(in[i + 1], result.lost);
    }
    return result;
}

// The largest finite |value| of every `stride`-th value.
double LargestMagnitude(std::span<const double> values, std::size_t stride) {
    double top = 0.0;
    if (stride == 1) {
        // Two independent maxima keep the loop free of a dependency chain; NaN and infinities drop out in the
        // comparison with the largest double.
        double top2 = 0.0;
        std::size_t i = 0;
        for (; i + 2 <= values.size(); i += 2) {
            const double a = std::fabs(values[i]);
            const double b = std::fabs(values[i + 1]);
            top = (a > top && a <= std::numeric_limits<double>::max()) ? a : top;
            top2 = (b > top2 && b <= std::numeric_limits<double>::max()) ? b : top2;
        }
        if (i < values.size()) {
            const double a = std::fabs(values[i]);
            top = (a > top && a <= std::numeric_limits<double>::max()) ? a : top;
        }
        return std::max(top, top2);
    }
    for (std::size_t i = 0; i < values.size(); i += stride) {
        const double a = std::fabs(values[i]);
        top = (a > top && a <= std::numeric_limits<double>::max()) ? a : top;
    }
    return top;
}

// The largest magnitude coded as 15000 steps; 1.0 when there is nothing to code (or too little to divide).
double ScaleFor(double top) {
    const double scale = top / TZamerFile::kAutoScaleSteps;
    return (scale > 0.0 && std::isfinite(scale)) ? scale : 1.0;
}

// Closes what an operation opened, on every way out.
class ReadScope {
  public:
    explicit ReadScope(TZamerFile& file) : file_(file) { file_.OpenRead(); }
    ~ReadScope() { file_.CloseFile(); }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

  private:
    TZamerFile& file_;
};

class WriteScope {
  public:
    explicit WriteScope(TZamerFile& file) : file_(file) { file_.OpenWrite(); }
    ~WriteScope() { file_.CloseFile(); }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

  private:
    TZamerFile& file_;
};

// Takes the non-blocking flag off a handle; false when it was not set or cannot be taken off.
bool MakeBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Reads from `offset` until `bytes` is full or the file ends: the number of bytes read, or -1 on an error.
std::int64_t ReadUpTo(int fd, std::uint64_t offset, std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // The handle OpenFile leaves keeps its non-blocking flag, which reads of a regular file ignore. A
        // file system that honours it gets a handle that waits, once, rather than a failed read.
        if (n < 0 && errno == EAGAIN && MakeBlocking(fd)) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

// A reading handle on what `path` names, which may be anything. It is opened without waiting, so that a FIFO
// or a device under a measurement's name is turned away by the type check after it instead of stalling the
// listing of a machine.
int OpenForReading(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == EWOULDBLOCK) {
        // Someone holds a lease on the file, so it is a regular one: wait for the lease as any reader does.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    if (fd < 0) {
        const int error = errno;
        const bool missing = error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
        throw EFailOpenFile(missing ? kNoFile : kCantOpen);
    }
    return fd;
}

bool ValidId(int id) {
    return id != 0 && id >= std::numeric_limits<std::int16_t>::min() &&
           id <= std::numeric_limits<std::int16_t>::max();
}

common::CivilTime Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            std::min(local.tm_sec, 59),
            0};
}

// The bytes of a new file: every block zero but the header and the channel count, and empty channel records.
std::vector<std::uint8_t> NewFileImage(const ZamerHeader& header, const ZamerDescription& description) {
    std::vector<std::uint8_t> bytes(kRecords301 + TChannelRecord::kSize * description.channelCount, 0);
    std::copy(kSignature301.begin(), kSignature301.end(), bytes.begin());
    header.Encode(
        std::span<std::uint8_t, ZamerHeader::kSize>(bytes.data() + kOffsets301[1], ZamerHeader::kSize));
    description.Encode(std::span<std::uint8_t, ZamerDescription::kSize>(bytes.data() + kOffsets301[4],
                                                                        ZamerDescription::kSize));
    return bytes;
}

ZamerHeader NewHeader(const fs::path& path, const common::CivilTime& moment) {
    ZamerHeader header;
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    header.SetText((ec ? path : full).string());
    header.year = static_cast<std::uint16_t>(moment.year);
    header.month = static_cast<std::uint16_t>(moment.month);
    header.day = static_cast<std::uint16_t>(moment.day);
    header.hour = static_cast<std::uint16_t>(moment.hour);
    header.minute = static_cast<std::uint16_t>(moment.minute);
    header.second = static_cast<std::uint16_t>(moment.second);
    return header;
}

}  // namespace

// ---- records ----

std::string ZamerHeader::Text() const {
    return FieldText(text);
}
void ZamerHeader::SetText(std::string_view utf8, bool* lossy) {
    SetFieldText(text, utf8, lossy);
}

ZamerHeader ZamerHeader::Decode(std::span<const std::uint8_t, kSize> bytes) {
    BinaryReader r(bytes);
    ZamerHeader h;
    ReadArray(r, h.text);
    h.year = r.U16();
    h.month = r.U16();
    h.day = r.U16();
    h.hour = r.U16();
    h.minute = r.U16();
    h.second = r.U16();
    return h;
}

void ZamerHeader::Encode(std::span<std::uint8_t, kSize> bytes) const {
    BinaryWriter w(bytes);
    w.Bytes(text);
    w.U16(year);
    w.U16(month);
    w.U16(day);
    w.U16(hour);
    w.U16(minute);
    w.U16(second);
}

std::string ZamerDescription::Comment() const {
    return FieldText(comment);
}
void ZamerDescription::SetComment(std::string_view utf8, bool* lossy) {
    SetFieldText(comment, utf8, lossy);
}

ZamerDescription ZamerDescription::Decode(std::span<const std::uint8_t, kSize> bytes) {
    BinaryReader r(bytes);
    ZamerDescription d;
    d.channelCount = r.U16();
    d.markerChannelCount = r.U16();
    ReadArray(r, d.comment);
    d.state = r.U16();
    d.carriedWord1 = r.U16();
    d.carriedWord2 = r.U16();
    ReadArray(r, d.carriedText1);
    ReadArray(r, d.carriedText2);
    ReadArray(r, d.reserved);
    return d;
}

void ZamerDescription::Encode(std::span<std::uint8_t, kSize> bytes) const {
    BinaryWriter w(bytes);
    w.U16(channelCount);
    w.U16(markerChannelCount);
    w.Bytes(comment);
    w.U16(state);
    w.U16(carriedWord1);
    w.U16(carriedWord2);
    w.Bytes(carriedText1);
    w.Bytes(carriedText2);
    w.Bytes(reserved);
}

TChannelRecord TChannelRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
    BinaryReader r(bytes);
    TChannelRecord c;
    c.inUse = r.U16();
    c.year = r.U16();
    c.month = r.U16();
    c.day = r.U16();
    c.hour = r.U16();
    c.minute = r.U16();
    c.second = r.U16();
    c.rms = r.F64();
    c.peak = r.F64();
    c.phaseShift = r.F64();
    c.firstX = r.F64();
    c.lastX = r.F64();
    c.step = r.F64();
    c.flags = r.U16();
    c.kind = r.U16();
    c.quantity = r.U32();
    c.count = r.U32();
    c.scale = r.F64();
    c.packing = r.I16();
    c.dataOffset = r.U32();
    c.dataLength = r.U32();
    for (auto& e : c.blocks) {
        e = DecodeEntry(r);
    }
    c.carriedWord = r.U16();
    c.phaseShift2 = r.F64();
    c.carriedReal = r.F64();
    ReadArray(r, c.reserved);
    c.carriedByte = r.U8();
    return c;
}

void TChannelRecord::Encode(std::span<std::uint8_t, kSize> bytes) const {
    BinaryWriter w(bytes);
    w.U16(inUse);
    w.U16(year);
    w.U16(month);
    w.U16(day);
    w.U16(hour);
    w.U16(minute);
    w.U16(second);
    w.F64(rms);
    w.F64(peak);
    w.F64(phaseShift);
    w.F64(firstX);
    w.F64(lastX);
    w.F64(step);
    w.U16(flags);
    w.U16(kind);
    w.U32(quantity);
    w.U32(count);
    w.F64(scale);
    w.I16(packing);
    w.U32(dataOffset);
    w.U32(dataLength);
    for (const auto& e : blocks) {
        EncodeEntry(w, e);
    }
    w.U16(carriedWord);
    w.F64(phaseShift2);
    w.F64(carriedReal);
    w.Bytes(reserved);
    w.U8(carriedByte);
}

ChannelCoding CodingOf(const TChannelRecord& record) {
    if (record.kind == 64) {
        return ChannelCoding::Harmonics;
    }
    if (record.kind == 4 && record.HasPairFlag()) {
        return ChannelCoding::Pairs;
    }
    return ChannelCoding::Values;
}

namespace detail {

bool HasConversionPath(int path) {
#ifdef VELMAR_ZAMER_SIMD
    return path == 0 || path == 1 || (path == 2 && __builtin_cpu_supports("avx2"));
#else
    return path == 0;
#endif
}

std::size_t QuantizeWithPath(int path, std::span<const double> values, double scale,
                             std::span<std::int16_t> out) {
    const QuantizePath chosen = path == 1   ? QuantizePath::Sse2
                                : path == 2 ? QuantizePath::Avx2
                                            : QuantizePath::Exact;
    std::size_t lost = 0;
    for (std::size_t done = 0; done < values.size() && done < out.size();) {
        const std::size_t m = std::min({kChunkValues, values.size() - done, out.size() - done});
        lost += QuantizeValues(values.data() + done, m, scale, out.data() + done, chosen).lost;
        done += m;
    }
    return lost;
}

}  // namespace detail

// ---- names of new files ----

std::string MeasurementFileStem(char letter, int year, int month, int day) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c%c%02d%02d%02d", letter, year >= 2000 ? '3' : '2',
                  ((year % 100) + 100) % 100, month, day);
    return buffer;
}

std::string MeasurementFileName(char letter, int year, int month, int day, int sequence) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, ".%03d", sequence);
    return MeasurementFileStem(letter, year, month, day) + buffer;
}

fs::path FindFreeMeasurementName(const fs::path& dir, char letter, const common::CivilTime& date) {
    // One listing, compared in upper case: a name differing only in case is taken too.
    std::unordered_set<std::string> taken;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        taken.insert(common::UpperCase(it->path().filename().string()));
    }
    constexpr int kLastSequence = 999999;
    for (int sequence = 1; sequence <= kLastSequence; ++sequence) {
        std::string name = MeasurementFileName(letter, date.year, date.month, date.day, sequence);
        if (taken.count(common::UpperCase(name)) == 0) {
            return dir / name;
        }
    }
    throw EFailOpenFile(kCantCreate);
}

// ---- the file ----

TZamerFile::TZamerFile(TZamerFile&& other) noexcept {
    *this = std::move(other);
}

TZamerFile& TZamerFile::operator=(TZamerFile&& other) noexcept {
    if (this != &other) {
        Reset();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        openCount_ = std::exchange(other.openCount_, 0);
        writable_ = std::exchange(other.writable_, false);
        holdCount_ = std::exchange(other.holdCount_, 0);
        readOnly_ = other.readOnly_;
        version_ = other.version_;
        signature_ = other.signature_;
        loaded_ = std::exchange(other.loaded_, {});
        header_ = other.header_;
        params_ = other.params_;
        techParams_ = other.techParams_;
        description_ = other.description_;
        directory_ = other.directory_;
        cachedChannel_ = other.cachedChannel_;
        cachedChannelNumber_ = std::exchange(other.cachedChannelNumber_, -1);
    }
    return *this;
}

TZamerFile::~TZamerFile() {
    Reset();
}

void TZamerFile::Reset() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    openCount_ = 0;
    holdCount_ = 0;
    writable_ = false;
}

TZamerFile TZamerFile::OpenFile(const fs::path& path) {
    TZamerFile file;
    file.path_ = path;
    // From here on the object owns the handle and closes it on every way out.
    file.fd_ = OpenForReading(path);
    struct stat info {};
    if (::fstat(file.fd_, &info) != 0) {
        throw EFailOpenFile(kCantOpen);
    }
    if (!S_ISREG(info.st_mode)) {
        throw EFailOpenFile(kNoFile);
    }
    file.readOnly_ = (info.st_mode & S_IWUSR) == 0;
    const auto size = static_cast<std::uint64_t>(info.st_size);

    std::array<std::uint8_t, kLeadingBytes> buffer;
    const std::int64_t got =
        ReadUpTo(file.fd_, 0, std::span(buffer).first(std::min<std::uint64_t>(size, kLeadingBytes)));
    if (got < 0) {
        throw EFailOpenFile(kCantRead);
    }
    const auto bytes = std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(got));
    ZamerSignature signature{};
    if (bytes.size() < signature.size()) {
        throw EFailOpenFile(kWrongVersion);
    }
    std::copy_n(bytes.begin(), signature.size(), signature.begin());
    if (signature == kSignature301) {
        file.version_ = kVersion301;
    } else if (signature == kSignature300) {
        file.version_ = kVersion300;
    } else {
        throw EFailOpenFile(kWrongVersion);
    }

    // A file cut short or claiming more channels than it holds is refused here, before anything trusts its
    // offsets. A read that came back shorter than the size just seen means the file shrank meanwhile: it is
    // refused the same way, so a partial read never reaches the cache.
    const bool old = file.version_ == kVersion300;
    const std::uint64_t records = old ? kRecords300 : kRecords301;
    const std::uint64_t recordSize = old ? kRecordSize300 : TChannelRecord::kSize;
    if (size < records || bytes.size() < kLeadingBytes) {
        throw EFailOpenFile(kDamaged);
    }
    const auto& offsets = old ? kOffsets300 : kOffsets301;
    const auto& sizes = old ? kSizes300 : kSizes301;
    for (const Fixed block : {kSignatureBlock, kHeaderBlock, kParamsBlock, kTechBlock, kDescriptionBlock}) {
        file.DecodeFixed(block, bytes.subspan(offsets[block], sizes[block]));
    }
    if ((size - records) / recordSize < file.description_.channelCount) {
        throw EFailOpenFile(kDamaged);
    }
    for (const Fixed block : {kSignatureBlock, kHeaderBlock, kParamsBlock, kTechBlock, kDescriptionBlock}) {
        file.loaded_[block] = true;
    }
    return file;
}

TZamerFile TZamerFile::CreateFile(const fs::path& path, int channelCount,
                                  std::optional<common::CivilTime> moment) {
    if (channelCount < 0 || channelCount > std::numeric_limits<std::uint16_t>::max()) {
        throw EFailOpenFile(kCantCreate);
    }
    TZamerFile file;
    file.path_ = path;
    file.header_ = NewHeader(path, moment.value_or(Now()));
    file.description_.channelCount = static_cast<std::uint16_t>(channelCount);
    const std::vector<std::uint8_t> image = NewFileImage(file.header_, file.description_);
    try {
        common::WriteNewFileAtomic(
            path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    } catch (const std::system_error&) {
        throw EFailOpenFile(kCantCreate);
    }
    file.version_ = kVersion301;
    file.signature_ = kSignature301;
    file.loaded_.fill(true);
    file.readOnly_ = common::IsReadOnly(path);
    return file;
}

TZamerFile TZamerFile::CreateNewMeasurement(const fs::path& dir, int channelCount,
                                            std::optional<common::CivilTime> moment, char letter) {
    const common::CivilTime when = moment.value_or(Now());
    // Someone else may take the free name between the look and the creation; then the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path path = FindFreeMeasurementName(dir, letter, when);
        try {
            return CreateFile(path, channelCount, when);
        } catch (const EFailOpenFile&) {
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(path, ec))) {
                throw;
            }
        }
    }
    throw EFailOpenFile(kCantCreate);
}

// ---- handle ----

void TZamerFile::OpenRead() {
    if (openCount_ == 0) {
        // A handle left by OpenFile is taken over as it is.
        if (fd_ < 0) {
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd_ < 0) {
                throw EFailOpenFile(kCantOpen);
            }
        }
        writable_ = false;
    }
    ++openCount_;
}

void TZamerFile::OpenWrite() {
    RefuseOldVersion();
    if (!writable_) {
        // Root may write whatever the bits say; the attribute is honoured all the same.
        readOnly_ = common::IsReadOnly(path_);
        if (readOnly_) {
            throw EFailOpenFile(kReadOnly);
        }
        const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            throw EFailOpenFile(kCantOpen);
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
        writable_ = true;
    }
    ++openCount_;
}

void TZamerFile::CloseFile() {
    if (openCount_ == 0) {
        return;
    }
    if (--openCount_ == 0) {
        ::close(fd_);
        fd_ = -1;
        writable_ = false;
    }
}

void TZamerFile::Hold() {
    if (holdCount_ == 0) {
        OpenRead();
    }
    ++holdCount_;
}

void TZamerFile::Release() {
    if (holdCount_ == 0) {
        return;
    }
    if (--holdCount_ == 0) {
        CloseFile();
    }
}

void TZamerFile::RefuseOldVersion() const {
    if (version_ == kVersion300) {
        throw EAbort();
    }
}

bool TZamerFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) {
    ReadScope scope(*this);
    // An error or a file that ends early both fail.
    return ReadUpTo(fd_, offset, bytes) == static_cast<std::int64_t>(bytes.size());
}

void TZamerFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    WriteScope scope(*this);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw EFailOpenFile(kCantWrite);
        }
        done += static_cast<std::size_t>(n);
    }
}

std::uint64_t TZamerFile::FileSize() {
    ReadScope scope(*this);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        throw EFailOpenFile(kCantRead);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool TZamerFile::AreaInFile(std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t size = FileSize();
    return offset <= size && length <= size - offset;
}

std::uint64_t TZamerFile::DataAreaStart() {
    return kRecords301 + TChannelRecord::kSize * static_cast<std::uint64_t>(ChannelCount());
}

std::optional<std::uint64_t> TZamerFile::ChooseArea(std::uint64_t oldOffset, std::uint64_t oldLength,
                                                    std::uint64_t newLength, std::uint64_t limit) {
    // The old area is reused only when it really is a data area of this file; an entry pointing into the
    // fixed blocks or the channel records must not let new data overwrite them.
    if (oldLength >= newLength && oldOffset >= DataAreaStart() && AreaInFile(oldOffset, oldLength)) {
        return oldOffset;
    }
    const std::uint64_t end = FileSize();
    if (newLength > limit || end > limit - newLength) {
        return std::nullopt;
    }
    return end;
}

// ---- fixed blocks ----

void TZamerFile::LoadFixed(Fixed block) {
    if (loaded_[block]) {
        return;
    }
    const bool old = version_ == kVersion300;
    std::array<std::uint8_t, kLargestFixed> buffer;
    const auto bytes = std::span(buffer).first(old ? kSizes300[block] : kSizes301[block]);
    if (!ReadAt(old ? kOffsets300[block] : kOffsets301[block], bytes)) {
        throw EFailOpenFile(kCantRead);
    }
    DecodeFixed(block, bytes);
    loaded_[block] = true;
}

void TZamerFile::DecodeFixed(Fixed block, std::span<const std::uint8_t> bytes) {
    const bool old = version_ == kVersion300;
    switch (block) {
        case kSignatureBlock:
            std::copy_n(bytes.begin(), signature_.size(), signature_.begin());
            break;
        case kHeaderBlock:
            header_ = old ? DecodeHeader300(bytes) : ZamerHeader::Decode(bytes.first<ZamerHeader::kSize>());
            break;
        case kParamsBlock:
            params_ =
                old ? DecodeParams300(bytes)
                    : common::MeasurementParams::Decode(bytes.first<common::MeasurementParams::kSize>());
            break;
        case kTechBlock:
            if (old) {
                techParams_ = DecodeTech300(bytes);
            } else {
                BinaryReader r(bytes);
                for (auto& e : techParams_) {
                    e.id = r.I16();
                    e.value = r.F64();
                }
            }
            break;
        case kDescriptionBlock:
            description_ = old ? DecodeDescription300(bytes)
                               : ZamerDescription::Decode(bytes.first<ZamerDescription::kSize>());
            break;
        case kDirectoryBlock:
            directory_ = DecodeDirectory(bytes);
            break;
    }
}

void TZamerFile::EncodeFixed(Fixed block, std::vector<std::uint8_t>& out) const {
    out.assign(kSizes301[block], 0);
    switch (block) {
        case kSignatureBlock:
            std::copy(signature_.begin(), signature_.end(), out.begin());
            break;
        case kHeaderBlock:
            header_.Encode(std::span<std::uint8_t, ZamerHeader::kSize>(out));
            break;
        case kParamsBlock:
            params_.Encode(std::span<std::uint8_t, common::MeasurementParams::kSize>(out));
            break;
        case kTechBlock: {
            BinaryWriter w{std::span<std::uint8_t>(out)};
            for (const auto& e : techParams_) {
                w.I16(e.id);
                w.F64(e.value);
            }
            break;
        }
        case kDescriptionBlock:
            description_.Encode(std::span<std::uint8_t, ZamerDescription::kSize>(out));
            break;
        case kDirectoryBlock: {
            BinaryWriter w{std::span<std::uint8_t>(out)};
            for (const auto& e : directory_) {
                EncodeEntry(w, e);
            }
            break;
        }
    }
}

void TZamerFile::WriteFixedBytes(Fixed block, std::span<const std::uint8_t> bytes) {
    RefuseOldVersion();
    WriteScope scope(*this);
    if (FileSize() < kOffsets301[block]) {
        // A file cut short before this block gets the blocks before it first, but only ones that were read
        // in full: an unread block is never written as zeros.
        std::vector<std::uint8_t> earlier;
        for (int b = 0; b < block; ++b) {
            if (!loaded_[b]) {
                throw EFailOpenFile(kNotRead);
            }
            EncodeFixed(static_cast<Fixed>(b), earlier);
            WriteAt(kOffsets301[b], earlier);
        }
    }
    WriteAt(kOffsets301[block], bytes);
}

void TZamerFile::WriteFixed(Fixed block) {
    RefuseOldVersion();
    if (!loaded_[block]) {
        throw EFailOpenFile(kNotRead);
    }
    std::vector<std::uint8_t> bytes;
    EncodeFixed(block, bytes);
    WriteFixedBytes(block, bytes);
}

void TZamerFile::WriteSignature() {
    WriteFixed(kSignatureBlock);
}
void TZamerFile::WriteHeader() {
    WriteFixed(kHeaderBlock);
}
void TZamerFile::WriteParams() {
    WriteFixed(kParamsBlock);
}
void TZamerFile::WriteTechParams() {
    WriteFixed(kTechBlock);
}
void TZamerFile::WriteDescription() {
    WriteFixed(kDescriptionBlock);
}
void TZamerFile::WriteDirectory() {
    WriteFixed(kDirectoryBlock);
}

ZamerHeader TZamerFile::GetHeader() {
    LoadFixed(kHeaderBlock);
    return header_;
}

void TZamerFile::SetHeader(const ZamerHeader& header) {
    RefuseOldVersion();
    std::array<std::uint8_t, ZamerHeader::kSize> bytes{};
    header.Encode(bytes);
    WriteFixedBytes(kHeaderBlock, bytes);
    header_ = header;
    loaded_[kHeaderBlock] = true;
}

common::MeasurementParams TZamerFile::GetParams() {
    LoadFixed(kParamsBlock);
    return params_;
}

void TZamerFile::SetParams(const common::MeasurementParams& params) {
    RefuseOldVersion();
    std::array<std::uint8_t, common::MeasurementParams::kSize> bytes{};
    params.Encode(bytes);
    WriteFixedBytes(kParamsBlock, bytes);
    params_ = params;
    loaded_[kParamsBlock] = true;
}

ZamerDescription TZamerFile::GetDescription() {
    LoadFixed(kDescriptionBlock);
    return description_;
}

void TZamerFile::SetDescription(const ZamerDescription& description) {
    RefuseOldVersion();
    std::array<std::uint8_t, ZamerDescription::kSize> bytes{};
    description.Encode(bytes);
    WriteFixedBytes(kDescriptionBlock, bytes);
    description_ = description;
    loaded_[kDescriptionBlock] = true;
    cachedChannelNumber_ = -1;
}

ZamerTechParams TZamerFile::GetTechParams() {
    LoadFixed(kTechBlock);
    return techParams_;
}

ZamerDirectory TZamerFile::GetDirectory() {
    LoadFixed(kDirectoryBlock);
    return directory_;
}

std::optional<double> TZamerFile::GetTechParam(int id) {
    if (!ValidId(id)) {
        return std::nullopt;
    }
    LoadFixed(kTechBlock);
    for (const auto& e : techParams_) {
        if (e.id == id) {
            return e.value;
        }
    }
    return std::nullopt;
}

bool TZamerFile::SetTechParam(int id, double value) {
    RefuseOldVersion();
    if (!ValidId(id)) {
        return false;
    }
    LoadFixed(kTechBlock);
    auto it = std::find_if(techParams_.begin(), techParams_.end(), [&](const auto& e) { return e.id == id; });
    if (it == techParams_.end()) {
        it = std::find_if(techParams_.begin(), techParams_.end(), [](const auto& e) { return e.id == 0; });
    }
    if (it == techParams_.end()) {
        return false;  // full: the caller must tell the user
    }
    const ZamerTechParam previous = *it;
    *it = {static_cast<std::int16_t>(id), value};
    try {
        WriteFixed(kTechBlock);
    } catch (...) {
        *it = previous;
        throw;
    }
    return true;
}

// ---- blocks ----

std::int64_t TZamerFile::ReadEntry(const ZamerBlockEntry* entry, std::span<std::uint8_t> buffer) {
    if (entry == nullptr || entry->offset < 0 || entry->length < 0) {
        return -1;
    }
    const auto length = static_cast<std::uint64_t>(entry->length);
    if (length == 0) {
        return 0;
    }
    if (length > buffer.size()) {
        return -1;
    }
    try {
        ReadScope scope(*this);
        if (!AreaInFile(static_cast<std::uint64_t>(entry->offset), length) ||
            !ReadAt(static_cast<std::uint64_t>(entry->offset), buffer.first(length))) {
            return -1;
        }
    } catch (const EFailOpenFile&) {
        return -1;
    }
    return static_cast<std::int64_t>(length);
}

std::optional<std::vector<std::uint8_t>> TZamerFile::ReadEntry(const ZamerBlockEntry* entry) {
    if (entry == nullptr || entry->offset < 0 || entry->length < 0) {
        return std::nullopt;
    }
    try {
        // The size is checked against the file before any memory is taken for it.
        if (!AreaInFile(static_cast<std::uint64_t>(entry->offset),
                        static_cast<std::uint64_t>(entry->length))) {
            return std::nullopt;
        }
    } catch (const EFailOpenFile&) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry->length));
    if (ReadEntry(entry, bytes) < 0) {
        return std::nullopt;
    }
    return bytes;
}

namespace {

const ZamerBlockEntry* FindEntry(std::span<const ZamerBlockEntry> entries, int id) {
    if (!ValidId(id)) {
        return nullptr;
    }
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.id == id; });
    return it == entries.end() ? nullptr : &*it;
}

}  // namespace

std::int64_t TZamerFile::ReadBlock(int id, std::span<std::uint8_t> buffer) {
    try {
        LoadFixed(kDirectoryBlock);
    } catch (const EFailOpenFile&) {
        return -1;
    }
    return ReadEntry(FindEntry(directory_, id), buffer);
}

std::optional<std::vector<std::uint8_t>> TZamerFile::ReadBlock(int id) {
    try {
        LoadFixed(kDirectoryBlock);
    } catch (const EFailOpenFile&) {
        return std::nullopt;
    }
    return ReadEntry(FindEntry(directory_, id));
}

std::int64_t TZamerFile::BlockLength(int id) {
    try {
        LoadFixed(kDirectoryBlock);
    } catch (const EFailOpenFile&) {
        return -1;
    }
    const ZamerBlockEntry* entry = FindEntry(directory_, id);
    return entry == nullptr ? -1 : entry->length;
}

bool TZamerFile::PlaceBlock(std::span<ZamerBlockEntry> entries, int id, std::span<const std::uint8_t> data) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.id == id; });
    const bool reuse = it != entries.end();
    if (!reuse) {
        it = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.id == 0; });
    }
    if (it == entries.end()) {
        return false;
    }
    WriteScope scope(*this);
    const bool oldValid = reuse && it->offset >= 0 && it->length >= 0;
    const auto area = ChooseArea(oldValid ? static_cast<std::uint64_t>(it->offset) : 0,
                                 oldValid ? static_cast<std::uint64_t>(it->length) : 0, data.size(),
                                 static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()));
    if (!area) {
        throw EFailOpenFile(kTooLarge);
    }
    // The data go first: the entry that points to them is written only once they are there.
    WriteAt(*area, data);
    *it = ZamerBlockEntry{static_cast<std::int16_t>(id), static_cast<std::int32_t>(*area),
                          static_cast<std::int32_t>(data.size())};
    return true;
}

bool TZamerFile::WriteBlock(int id, std::span<const std::uint8_t> data) {
    RefuseOldVersion();
    if (!ValidId(id) || data.empty()) {
        return false;
    }
    LoadFixed(kDirectoryBlock);
    WriteScope scope(*this);
    ZamerDirectory directory = directory_;
    if (!PlaceBlock(directory, id, data)) {
        return false;  // no free entry: the caller must tell the user
    }
    std::swap(directory, directory_);
    try {
        WriteFixed(kDirectoryBlock);
    } catch (...) {
        std::swap(directory, directory_);
        throw;
    }
    return true;
}

const ZamerBlockEntry* TZamerFile::FindChannelBlock(int k, int id, TChannelRecord& record) {
    record = GetChannel(k);
    if (k < 1 || k > ChannelCount()) {
        return nullptr;
    }
    return FindEntry(record.blocks, id);
}

std::int64_t TZamerFile::ReadChannelBlock(int k, int id, std::span<std::uint8_t> buffer) {
    try {
        TChannelRecord record;
        return ReadEntry(FindChannelBlock(k, id, record), buffer);
    } catch (const EFailOpenFile&) {
        return -1;
    }
}

std::optional<std::vector<std::uint8_t>> TZamerFile::ReadChannelBlock(int k, int id) {
    try {
        TChannelRecord record;
        return ReadEntry(FindChannelBlock(k, id, record));
    } catch (const EFailOpenFile&) {
        return std::nullopt;
    }
}

std::int64_t TZamerFile::ChannelBlockLength(int k, int id) {
    try {
        TChannelRecord record;
        const ZamerBlockEntry* entry = FindChannelBlock(k, id, record);
        return entry == nullptr ? -1 : entry->length;
    } catch (const EFailOpenFile&) {
        return -1;
    }
}

bool TZamerFile::WriteChannelBlock(int k, int id, std::span<const std::uint8_t> data) {
    RefuseOldVersion();
    if (!ValidId(id) || data.empty() || k < 1 || k > ChannelCount()) {
        return false;
    }
    TChannelRecord record = GetChannel(k);
    WriteScope scope(*this);
    if (!PlaceBlock(record.blocks, id, data)) {
        return false;
    }
    return SetChannel(k, record);
}

// ---- channels ----

int TZamerFile::ChannelCount() {
    LoadFixed(kDescriptionBlock);
    return description_.channelCount;
}

TChannelRecord TZamerFile::GetChannel(int k) {
    if (k < 1 || k > ChannelCount()) {
        cachedChannelNumber_ = -1;
        return {};
    }
    if (cachedChannelNumber_ == k) {
        return cachedChannel_;
    }
    const auto index = static_cast<std::uint64_t>(k - 1);
    if (version_ == kVersion300) {
        std::array<std::uint8_t, kRecordSize300> bytes{};
        if (!ReadAt(kRecords300 + kRecordSize300 * index, bytes)) {
            throw EFailOpenFile(kCantRead);
        }
        cachedChannel_ = DecodeChannel300(bytes);
    } else {
        std::array<std::uint8_t, TChannelRecord::kSize> bytes{};
        if (!ReadAt(kRecords301 + TChannelRecord::kSize * index, bytes)) {
            throw EFailOpenFile(kCantRead);
        }
        cachedChannel_ = TChannelRecord::Decode(bytes);
    }
    cachedChannelNumber_ = k;
    return cachedChannel_;
}

bool TZamerFile::SetChannel(int k, const TChannelRecord& record) {
    RefuseOldVersion();
    if (k < 1 || k > ChannelCount()) {
        return false;
    }
    TChannelRecord stored = record;
    stored.inUse = 1;
    stored.packing = 0;
    std::array<std::uint8_t, TChannelRecord::kSize> bytes{};
    stored.Encode(bytes);
    cachedChannelNumber_ = -1;
    WriteAt(kRecords301 + TChannelRecord::kSize * static_cast<std::uint64_t>(k - 1), bytes);
    cachedChannel_ = stored;
    cachedChannelNumber_ = k;
    return true;
}

std::int64_t TZamerFile::ChannelDataSize(int k) {
    try {
        const TChannelRecord record = GetChannel(k);
        if (!record.IsInUse() || !AreaInFile(record.dataOffset, record.dataLength)) {
            return -1;
        }
        const auto length = static_cast<std::int64_t>(record.dataLength);
        if (CodingOf(record) == ChannelCoding::Harmonics) {
            return version_ == kVersion300 ? length / 6 * 8 : length;
        }
        return length * 4;
    } catch (const EFailOpenFile&) {
        return -1;
    }
}

std::int64_t TZamerFile::ReadChannelData(int k, std::span<double> out) {
    try {
        const TChannelRecord record = GetChannel(k);
        if (!record.IsInUse() || record.dataLength == 0 || record.packing != 0) {
            return -1;
        }
        ReadScope scope(*this);
        if (!AreaInFile(record.dataOffset, record.dataLength)) {
            return -1;
        }
        const std::uint64_t offset = record.dataOffset;
        const std::uint64_t length = record.dataLength;
        const double scale = record.scale;

        switch (CodingOf(record)) {
            case ChannelCoding::Harmonics: {
                if (version_ == kVersion301) {
                    const std::size_t n = std::min<std::uint64_t>(out.size(), length / sizeof(double));
                    if (!ReadAt(offset, WritableBytes(out.first(n)))) {
                        return -1;
                    }
                    return static_cast<std::int64_t>(n);
                }
                constexpr std::size_t kChunk = kChunkValues * 2 / 6;
                std::array<std::uint8_t, kChunk * 6> buffer;
                const std::size_t n =
                    std::min<std::uint64_t>(out.size(), std::min(length, kMaxHarmonicBytes300) / 6);
                for (std::size_t done = 0; done < n;) {
                    const std::size_t m = std::min(kChunk, n - done);
                    if (!ReadAt(offset + done * 6, std::span(buffer).first(m * 6))) {
                        return -1;
                    }
                    for (std::size_t i = 0; i < m; ++i) {
                        out[done + i] = common::Real48ToDouble(buffer.data() + 6 * i);
                    }
                    done += m;
                }
                return static_cast<std::int64_t>(n);
            }
            case ChannelCoding::Pairs:
            case ChannelCoding::Values: {
                // One read puts the stored integers into the last quarter of the caller's buffer; they are
                // then converted front to back through a fixed chunk buffer. A chunk's doubles never reach
                // the integers not yet converted (8 bytes out for every 2 in, the integers starting at 6/8 of
                // the buffer), so no memory is needed beyond the chunk and one system call does the reading.
                const bool pairs = CodingOf(record) == ChannelCoding::Pairs;
                const std::size_t n = pairs ? std::min<std::uint64_t>(out.size() / 2, length / 4) * 2
                                            : std::min<std::uint64_t>(out.size(), length / 2);
                auto* base = reinterpret_cast<std::uint8_t*>(out.data());
                const std::size_t stored = 6 * n;
                if (!ReadAt(offset, std::span<std::uint8_t>(base + stored, 2 * n))) {
                    return -1;
                }
                std::array<std::int16_t, kChunkValues> buffer;
                for (std::size_t done = 0; done < n;) {
                    const std::size_t m = std::min(kChunkValues, n - done);
                    std::memcpy(buffer.data(), base + stored + 2 * done, 2 * m);
                    double* target = out.data() + done;
                    if (pairs) {
                        for (std::size_t i = 0; i < m; i += 2) {
                            target[i] = buffer[i] * scale;
                            target[i + 1] = buffer[i + 1] / 10.0;
                        }
                    } else {
                        for (std::size_t i = 0; i < m; ++i) {
                            target[i] = buffer[i] * scale;
                        }
                    }
                    done += m;
                }
                return static_cast<std::int64_t>(n);
            }
        }
    } catch (const EFailOpenFile&) {
    }
    return -1;
}

std::optional<std::vector<double>> TZamerFile::ReadChannelData(int k) {
    const std::int64_t size = ChannelDataSize(k);
    if (size < 0) {
        return std::nullopt;
    }
    std::vector<double> values(static_cast<std::size_t>(size) / sizeof(double));
    const std::int64_t n = ReadChannelData(k, values);
    if (n < 0) {
        return std::nullopt;
    }
    values.resize(static_cast<std::size_t>(n));
    return values;
}

std::int64_t TZamerFile::StoreChannelBytes(
    int k, TChannelRecord record, std::uint64_t length,
    const std::function<void(std::uint64_t offset, TChannelRecord& record)>& writeData) {
    WriteScope scope(*this);
    const auto area =
        ChooseArea(record.dataOffset, record.dataLength, length, std::numeric_limits<std::uint32_t>::max());
    if (!area) {
        throw EFailOpenFile(kTooLarge);
    }
    // Data first, record after: a write that fails on the way leaves the record as it was.
    writeData(*area, record);
    record.dataOffset = static_cast<std::uint32_t>(*area);
    record.dataLength = static_cast<std::uint32_t>(length);
    SetChannel(k, record);
    return static_cast<std::int64_t>(length);
}

std::int64_t TZamerFile::WriteChannelData(int k, std::span<const double> values, std::size_t* clipped) {
    RefuseOldVersion();
    if (clipped != nullptr) {
        *clipped = 0;
    }
    TChannelRecord record = GetChannel(k);
    if (!record.IsInUse() || values.empty()) {
        return -1;
    }
    const ChannelCoding coding = CodingOf(record);
    if (coding == ChannelCoding::Harmonics) {
        record.scale = 1.0;
        return StoreChannelBytes(k, record, values.size_bytes(), [&](std::uint64_t offset, TChannelRecord&) {
            WriteAt(offset, Bytes(values));
        });
    }

    const bool pairs = coding == ChannelCoding::Pairs;
    const std::size_t stride = pairs ? 2 : 1;
    const std::span<const double> input = values.first(pairs ? values.size() / 2 * 2 : values.size());
    if (input.empty()) {
        return -1;
    }
    // The automatic scale codes the peak as 15000 steps. A peak of 0 says nothing, so the values' own largest
    // magnitude stands in for it; and should the values overflow the integers at the scale of a stale peak,
    // they are stored again at the scale of their largest magnitude.
    const bool automatic = record.scale == 0.0 || !std::isfinite(record.scale);
    const double peak = std::isfinite(record.peak) ? std::fabs(record.peak) : 0.0;
    double scale = record.scale;
    if (automatic) {
        scale = ScaleFor(peak > 0.0 ? peak : LargestMagnitude(input, stride));
    }

    // Integers are converted in chunks of a fixed buffer and handed to the system a batch of chunks at a
    // time.
    constexpr std::size_t kChunksPerWrite = 16;
    const std::size_t bufferValues = std::min(input.size(), kChunkValues * kChunksPerWrite);
    const std::unique_ptr<std::int16_t[]> buffer(new std::int16_t[bufferValues]);
    std::size_t lost = 0;
    const auto store = [&](std::uint64_t offset, double s, bool stopOnOverflow) {
        lost = 0;
        std::size_t filled = 0;
        std::size_t written = 0;
        for (std::size_t done = 0; done < input.size();) {
            const std::size_t m = std::min(kChunkValues, input.size() - done);
            const QuantizeResult r = pairs ? QuantizePairs(input.data() + done, m, s, buffer.get() + filled)
                                           : QuantizeValues(input.data() + done, m, s, buffer.get() + filled);
            if (r.overflow && stopOnOverflow) {
                return false;
            }
            lost += r.lost;
            filled += m;
            done += m;
            if (filled == bufferValues || done == input.size()) {
                WriteAt(offset + 2 * written, Bytes(std::span<const std::int16_t>(buffer.get(), filled)));
                written += filled;
                filled = 0;
            }
        }
        return true;
    };
    const auto result =
        StoreChannelBytes(k, record, input.size_bytes() / 4, [&](std::uint64_t offset, TChannelRecord& r) {
            if (!store(offset, scale, automatic)) {
                scale = ScaleFor(std::max(peak, LargestMagnitude(input, stride)));
                store(offset, scale, false);
            }
            r.scale = scale;
        });
    if (clipped != nullptr) {
        *clipped = lost;
    }
    return result;
}

std::optional<std::vector<std::uint8_t>> TZamerFile::ReadChannelRaw(int k) {
    try {
        const TChannelRecord record = GetChannel(k);
        if (!record.IsInUse() || !AreaInFile(record.dataOffset, record.dataLength)) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes(record.dataLength);
        if (!ReadAt(record.dataOffset, bytes)) {
            return std::nullopt;
        }
        return bytes;
    } catch (const EFailOpenFile&) {
        return std::nullopt;
    }
}

std::int64_t TZamerFile::WriteChannelRaw(int k, std::span<const std::int16_t> samples) {
    RefuseOldVersion();
    const TChannelRecord record = GetChannel(k);
    if (!record.IsInUse() || samples.empty() || record.kind != 2) {
        return -1;
    }
    return StoreChannelBytes(k, record, samples.size_bytes(),
                             [&](std::uint64_t offset, TChannelRecord&) { WriteAt(offset, Bytes(samples)); });
}

bool TZamerFile::MatchesRequirements(const common::MeasurementParams& required) {
    try {
        return common::MatchesRequirements(GetParams(), required);
    } catch (const EFailOpenFile&) {
        return false;  // parameters that cannot be read meet no requirement
    }
}

}  // namespace velmar::archive
