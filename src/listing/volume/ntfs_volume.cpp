#include "listing/volume/ntfs_volume.h"

#include <algorithm>
#include <cstring>

namespace tf::listing::volume {
namespace {

// Little-endian fields, read a byte at a time so that no alignment or host
// order is assumed.
std::uint64_t Le(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(Le(p, 2)); }
std::uint32_t Le32(const std::uint8_t* p) { return static_cast<std::uint32_t>(Le(p, 4)); }
std::uint64_t Le64(const std::uint8_t* p) { return Le(p, 8); }

constexpr std::uint32_t kEndMarker = 0xFFFFFFFFu;
constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kAttributeList = 0x20;
constexpr std::uint32_t kFileName = 0x30;
constexpr std::uint32_t kData = 0x80;
constexpr std::uint32_t kReparsePoint = 0xC0;

constexpr std::uint16_t kRecordInUse = 1;
constexpr std::uint16_t kRecordIsFolder = 2;
constexpr std::uint16_t kAttributeCompressed = 0x0001;
constexpr std::uint16_t kAttributeSparse = 0x8000;
constexpr std::uint8_t kShortNameOnly = 2;  // the 8.3 name of a file that has a long one too

constexpr std::uint32_t kSystemFile = 0x4;
// The data of the older kind of symbolic link, a system file: this, then
// the target in UTF-16.
constexpr char kInterixLink[8] = {'I', 'n', 't', 'x', 'L', 'N', 'K', 1};
constexpr std::uint32_t kSymbolicLinkTag = 0xA000000Cu;
constexpr std::uint32_t kJunctionTag = 0xA0000003u;

constexpr std::uint32_t kMftRecord = 0;
constexpr std::uint32_t kUpcaseRecord = 10;
constexpr std::uint64_t kRecordNumberMask = 0x0000FFFFFFFFFFFFull;

// One attribute of a record, its bounds checked.
struct Attribute {
    std::uint32_t type = 0;
    bool nonResident = false;
    std::uint16_t flags = 0;
    std::size_t nameLength = 0;
    const std::uint8_t* value = nullptr;  // resident
    std::uint32_t valueLength = 0;
    std::uint64_t startVcn = 0;  // non-resident
    std::uint64_t lastVcn = 0;
    std::uint64_t allocated = 0;
    std::uint64_t size = 0;
    std::uint64_t initialized = 0;
    std::uint64_t compressed = 0;
    const std::uint8_t* runs = nullptr;
    std::size_t runsLength = 0;
};

// The attributes of one record, after its fix-ups, in order.
class Attributes {
public:
    Attributes(const std::uint8_t* record, std::uint32_t used, std::uint32_t first)
        : record_(record), used_(used), offset_(first) {}
    // False at the end, or with `why` set when an attribute does not fit.
    bool Next(Attribute& a, std::string& why) {
        if (done_) return false;
        if (offset_ + 4 > used_) return Fail("the attributes run past the bytes in use", why);
        const std::uint8_t* p = record_ + offset_;
        a = Attribute{};
        a.type = Le32(p);
        if (a.type == kEndMarker) {
            done_ = true;
            return false;
        }
        if (offset_ + 16 > used_) return Fail("an attribute header runs past the bytes in use", why);
        const std::uint32_t length = Le32(p + 4);
        if (length < 16 || length > used_ - offset_ || length % 8 != 0)
            return Fail("an attribute claims " + std::to_string(length) + " bytes where there are " +
                            std::to_string(used_ - offset_),
                        why);
        a.nonResident = p[8] != 0;
        a.nameLength = p[9];
        const std::uint16_t nameOffset = Le16(p + 10);
        a.flags = Le16(p + 12);
        if (a.nameLength && nameOffset + a.nameLength * 2 > length) return Fail("an attribute name runs past it", why);
        if (!a.nonResident) {
            if (length < 24) return Fail("a resident attribute is too short", why);
            a.valueLength = Le32(p + 16);
            const std::uint16_t at = Le16(p + 20);
            if (at > length || a.valueLength > length - at)
                return Fail("an attribute value of " + std::to_string(a.valueLength) + " bytes runs past it", why);
            a.value = p + at;
        } else {
            if (length < 64) return Fail("a non-resident attribute is too short", why);
            a.startVcn = Le64(p + 16);
            a.lastVcn = Le64(p + 24);
            const std::uint16_t runsAt = Le16(p + 32);
            a.allocated = Le64(p + 40);
            a.size = Le64(p + 48);
            a.initialized = Le64(p + 56);
            a.compressed = a.allocated;
            if ((a.flags & (kAttributeCompressed | kAttributeSparse)) && a.startVcn == 0) {
                if (length < 72) return Fail("a compressed attribute is too short", why);
                a.compressed = Le64(p + 64);
            }
            if (runsAt > length) return Fail("an attribute's runs start past it", why);
            a.runs = p + runsAt;
            a.runsLength = length - runsAt;
        }
        offset_ += length;
        return true;
    }

private:
    bool Fail(std::string text, std::string& why) {
        why = std::move(text);
        done_ = true;
        return false;
    }
    const std::uint8_t* record_;
    std::uint32_t used_;
    std::uint32_t offset_;
    bool done_ = false;
};

// The header of a file record, checked; false with why.
struct RecordHeader {
    std::uint16_t sequence = 0;
    std::uint16_t flags = 0;
    std::uint32_t used = 0;
    std::uint32_t firstAttribute = 0;
    std::uint64_t base = 0;
};

bool IsFileRecord(const std::uint8_t* record) { return std::memcmp(record, "FILE", 4) == 0; }

bool ReadHeader(const std::uint8_t* record, std::size_t size, RecordHeader& h, std::string& why) {
    h.sequence = Le16(record + 0x10);
    h.firstAttribute = Le16(record + 0x14);
    h.flags = Le16(record + 0x16);
    h.used = Le32(record + 0x18);
    h.base = Le64(record + 0x20);
    if (h.used > size || h.used < 0x18) {
        why = "it claims " + std::to_string(h.used) + " bytes in use of " + std::to_string(size);
        return false;
    }
    if (h.firstAttribute < 0x18 || h.firstAttribute >= h.used) {
        why = "its first attribute lies outside it";
        return false;
    }
    return true;
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) { return (value + unit - 1) / unit * unit; }

// Reads bytes of a non-resident stream through its runs.
bool ReadStream(platform::VolumeFile& file, const std::vector<NtfsRun>& runs, std::uint64_t cluster,
                std::uint64_t offset, std::uint8_t* out, std::size_t size, std::string& why) {
    while (size > 0) {
        const std::uint64_t vcn = offset / cluster;
        auto it = std::upper_bound(runs.begin(), runs.end(), vcn,
                                   [](std::uint64_t v, const NtfsRun& r) { return v < r.vcn; });
        if (it == runs.begin() || vcn >= (it - 1)->vcn + (it - 1)->length) {
            why = "its bytes at " + std::to_string(offset) + " are in no run";
            return false;
        }
        const NtfsRun& run = *(it - 1);
        const std::uint64_t within = offset - run.vcn * cluster;
        const std::uint64_t left = run.length * cluster - within;
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, size));
        if (run.lcn == NtfsRun::kSparse) {
            std::memset(out, 0, piece);
        } else if (!file.ReadAt(run.lcn * cluster + within, out, piece)) {
            why = "the volume cannot be read at " + std::to_string(run.lcn * cluster + within);
            return false;
        }
        out += piece;
        offset += piece;
        size -= piece;
    }
    return true;
}

// UTF-16 units from little-endian bytes.
std::u16string Units(const std::uint8_t* bytes, std::size_t count) {
    std::u16string units(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(Le16(bytes + 2 * i));
    return units;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 as UTF-8; a lone surrogate keeps its own three-byte form, so that
// every name has one spelling and finds its way back.
std::string ToUtf8(const char16_t* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        AppendUtf8(out, cp);
    }
    return out;
}

// The reverse; false for bytes that are not such UTF-8.
bool ToUtf16(std::string_view text, std::u16string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0;
        std::size_t n = 0;
        if (b < 0x80)
            cp = b, n = 1;
        else if ((b & 0xE0) == 0xC0)
            cp = b & 0x1F, n = 2;
        else if ((b & 0xF0) == 0xE0)
            cp = b & 0x0F, n = 3;
        else if ((b & 0xF8) == 0xF0)
            cp = b & 0x07, n = 4;
        else
            return false;
        if (i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            if (cp > 0x10FFFF) return false;
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return true;
}

}  // namespace

std::string NtfsError::Text() const {
    if (record == kNoRecord) return what;
    return "record " + std::to_string(record) + ": " + what;
}

bool ApplyFixups(std::uint8_t* record, std::size_t size, std::string& why) {
    const std::uint16_t at = Le16(record + 4);
    const std::uint16_t count = Le16(record + 6);
    if (count < 2 || size % (count - 1) != 0) {
        why = "its update sequence of " + std::to_string(count) + " entries does not divide it";
        return false;
    }
    const std::size_t stride = size / (count - 1);
    if (stride < 256 || (stride & (stride - 1)) != 0 || at % 2 != 0 || at < 8 ||
        static_cast<std::size_t>(at) + 2u * count > std::min<std::size_t>(stride, size) - 2) {
        why = "its update sequence does not fit it";
        return false;
    }
    const std::uint8_t* usn = record + at;
    for (std::size_t i = 1; i < count; ++i) {
        std::uint8_t* tail = record + i * stride - 2;
        if (tail[0] != usn[0] || tail[1] != usn[1]) {
            why = "it is torn: sector " + std::to_string(i - 1) + " was not written with the others";
            return false;
        }
        tail[0] = usn[2 * i];
        tail[1] = usn[2 * i + 1];
    }
    return true;
}

bool DecodeRuns(const std::uint8_t* bytes, std::size_t size, std::uint64_t vcn, std::uint64_t clusters,
                std::vector<NtfsRun>& runs, std::string& why) {
    std::int64_t lcn = 0;
    std::size_t i = 0;
    while (i < size && bytes[i] != 0) {
        const int lengthBytes = bytes[i] & 0x0F;
        const int offsetBytes = bytes[i] >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 || i + 1 + lengthBytes + offsetBytes > size) {
            why = "a run's header does not fit its attribute";
            return false;
        }
        const std::uint64_t length = Le(bytes + i + 1, lengthBytes);
        if (length == 0 || length > clusters || vcn > clusters - length) {
            why = "a run of " + std::to_string(length) + " clusters runs past the volume's " + std::to_string(clusters);
            return false;
        }
        NtfsRun run{vcn, NtfsRun::kSparse, length};
        if (offsetBytes) {
            std::uint64_t delta = Le(bytes + i + 1 + lengthBytes, offsetBytes);
            if (offsetBytes < 8 && (delta >> (offsetBytes * 8 - 1)) & 1)
                delta |= ~std::uint64_t{0} << (offsetBytes * 8);
            lcn += static_cast<std::int64_t>(delta);
            if (lcn < 0 || static_cast<std::uint64_t>(lcn) > clusters - length) {
                why = "a run lies outside the volume, at cluster " + std::to_string(lcn);
                return false;
            }
            run.lcn = static_cast<std::uint64_t>(lcn);
        }
        runs.push_back(run);
        vcn += length;
        i += 1 + lengthBytes + offsetBytes;
    }
    return true;
}

// The work of one reading: the geometry, the table's own runs, and the
// records taken into the tree.
struct NtfsTree::Reader {
    NtfsTree& tree;
    platform::VolumeFile& file;
    NtfsError& error;
    std::vector<NtfsRun> mftRuns;
    std::uint64_t mftBytes = 0;
    bool Fail(std::uint64_t record, std::string what) {
        error = NtfsError{record, std::move(what)};
        return false;
    }

    bool ReadBoot() {
        std::uint8_t boot[512];
        if (file.Size() < sizeof boot || !file.ReadAt(0, boot, sizeof boot))
            return Fail(kNoRecord, "no boot sector: the volume is shorter than 512 bytes");
        if (std::memcmp(boot + 3, "NTFS    ", 8) != 0) return Fail(kNoRecord, "not an NTFS volume");
        NtfsGeometry& g = tree.geometry_;
        g.sectorSize = Le16(boot + 0x0B);
        if (g.sectorSize < 256 || g.sectorSize > 4096 || (g.sectorSize & (g.sectorSize - 1)))
            return Fail(kNoRecord, "a sector size of " + std::to_string(g.sectorSize) + " bytes");
        const std::uint8_t perCluster = boot[0x0D];
        // Above 128 it is a negative power of two, for clusters of more
        // than 128 sectors.
        const std::uint64_t sectors = perCluster <= 0x80      ? perCluster
                                      : 256 - perCluster < 32 ? (std::uint64_t{1} << (256 - perCluster))
                                                              : 0;
        if (sectors == 0 || (sectors & (sectors - 1)) || sectors * g.sectorSize > (2u << 20))
            return Fail(kNoRecord, "a cluster of " + std::to_string(sectors) + " sectors");
        g.clusterSize = static_cast<std::uint32_t>(sectors * g.sectorSize);
        const std::uint64_t totalSectors = Le64(boot + 0x28);
        if (totalSectors > file.Size() / g.sectorSize)
            return Fail(kNoRecord, "the volume claims " + std::to_string(totalSectors) + " sectors; its " +
                                       std::to_string(file.Size()) + " bytes hold fewer");
        g.clusters = totalSectors * g.sectorSize / g.clusterSize;
        const auto perRecord = static_cast<std::int8_t>(boot[0x40]);
        const std::uint64_t recordSize = perRecord > 0                       ? std::uint64_t(perRecord) * g.clusterSize
                                         : perRecord < 0 && perRecord >= -16 ? std::uint64_t{1} << -perRecord
                                                                             : 0;
        if (recordSize < 512 || recordSize > 65536 || (recordSize & (recordSize - 1)))
            return Fail(kNoRecord, "file records of " + std::to_string(recordSize) + " bytes");
        g.recordSize = static_cast<std::uint32_t>(recordSize);
        g.serial = Le64(boot + 0x48);
        const std::uint64_t mftCluster = Le64(boot + 0x30);
        if (mftCluster >= g.clusters || (g.clusters - mftCluster) * g.clusterSize < recordSize)
            return Fail(kNoRecord,
                        "the file table starts outside the volume, at cluster " + std::to_string(mftCluster));
        mftRuns.push_back(NtfsRun{0, mftCluster, (recordSize + g.clusterSize - 1) / g.clusterSize});
        return true;
    }

    // Reads a record of the table through the runs known so far, fixed up.
    bool ReadRecord(std::uint64_t number, std::vector<std::uint8_t>& record) {
        const std::uint32_t size = tree.geometry_.recordSize;
        record.resize(size);
        std::string why;
        if (!ReadStream(file, mftRuns, tree.geometry_.clusterSize, number * size, record.data(), size, why))
            return Fail(number, why);
        if (!IsFileRecord(record.data())) return Fail(number, "not a file record");
        if (!ApplyFixups(record.data(), size, why)) return Fail(number, why);
        return true;
    }

    // The table's own extent: record 0's unnamed data, whose runs may go on
    // in other records its attribute list names (a table in many pieces).
    bool ReadTableRuns() {
        std::vector<std::uint8_t> record;
        if (!ReadRecord(kMftRecord, record)) return false;
        RecordHeader h;
        std::string why;
        if (!ReadHeader(record.data(), record.size(), h, why)) return Fail(kMftRecord, why);
        std::vector<NtfsRun> runs;
        std::vector<std::uint8_t> list;
        bool haveData = false;
        Attributes attributes(record.data(), h.used, h.firstAttribute);
        Attribute a;
        while (attributes.Next(a, why)) {
            if (a.type == kData && a.nameLength == 0) {
                if (!a.nonResident || a.startVcn != 0)
                    return Fail(kMftRecord, "the file table's data is not where it should be");
                if (!TakeTableData(a, runs)) return false;
                haveData = true;
            } else if (a.type == kAttributeList) {
                if (!ReadValue(kMftRecord, a, list)) return false;
            }
        }
        if (!why.empty()) return Fail(kMftRecord, why);
        if (!haveData || runs.empty()) return Fail(kMftRecord, "the file table has no data");
        // Further pieces, in the order of their first cluster; each is read
        // through the pieces before it.
        mftRuns = runs;
        if (!list.empty() && !FollowList(list)) return false;
        const std::uint64_t mapped = mftRuns.empty() ? 0 : (mftRuns.back().vcn + mftRuns.back().length);
        if (mapped * tree.geometry_.clusterSize < mftBytes)
            return Fail(kMftRecord, "the file table's runs cover less than its " + std::to_string(mftBytes) + " bytes");
        const std::uint64_t records = mftBytes / tree.geometry_.recordSize;
        if (records <= kUpcaseRecord) return Fail(kMftRecord, "the file table holds too few records");
        if (records > 0xFFFFFFFFull) return Fail(kMftRecord, "the file table holds more records than a listing can");
        tree.files_.assign(records, NtfsFile{});
        return true;
    }

    bool TakeTableData(const Attribute& a, std::vector<NtfsRun>& runs) {
        std::string why;
        if (!DecodeRuns(a.runs, a.runsLength, a.startVcn, tree.geometry_.clusters, runs, why))
            return Fail(kMftRecord, why);
        for (const NtfsRun& r : runs)
            if (r.lcn == NtfsRun::kSparse) return Fail(kMftRecord, "the file table has a hole");
        if (a.startVcn == 0) mftBytes = std::min(a.size, a.initialized);
        return true;
    }

    bool FollowList(const std::vector<std::uint8_t>& list) {
        struct Piece {
            std::uint64_t vcn, record;
        };
        std::vector<Piece> pieces;
        for (std::size_t i = 0; i + 26 <= list.size();) {
            const std::uint8_t* e = list.data() + i;
            const std::uint16_t length = Le16(e + 4);
            if (length < 26 || i + length > list.size())
                return Fail(kMftRecord, "its attribute list does not hold together");
            const std::uint64_t record = Le64(e + 16) & kRecordNumberMask;
            if (Le32(e) == kData && e[6] == 0 && record != kMftRecord) pieces.push_back({Le64(e + 8), record});
            i += length;
        }
        std::sort(pieces.begin(), pieces.end(), [](const Piece& x, const Piece& y) { return x.vcn < y.vcn; });
        std::vector<std::uint8_t> record;
        for (const Piece& piece : pieces) {
            const std::uint64_t mapped = mftRuns.back().vcn + mftRuns.back().length;
            if (piece.vcn != mapped)
                return Fail(piece.record, "a piece of the file table's runs is missing or repeated");
            if (!ReadRecord(piece.record, record)) return false;
            RecordHeader h;
            std::string why;
            if (!ReadHeader(record.data(), record.size(), h, why)) return Fail(piece.record, why);
            Attributes attributes(record.data(), h.used, h.firstAttribute);
            Attribute a;
            bool found = false;
            while (attributes.Next(a, why)) {
                if (a.type != kData || a.nameLength != 0 || !a.nonResident || a.startVcn != piece.vcn) continue;
                std::vector<NtfsRun> more;
                if (!DecodeRuns(a.runs, a.runsLength, a.startVcn, tree.geometry_.clusters, more, why))
                    return Fail(piece.record, why);
                for (const NtfsRun& r : more)
                    if (r.lcn == NtfsRun::kSparse) return Fail(piece.record, "the file table has a hole");
                mftRuns.insert(mftRuns.end(), more.begin(), more.end());
                found = true;
            }
            if (!why.empty()) return Fail(piece.record, why);
            if (!found) return Fail(piece.record, "the piece of the file table's runs its list names is not there");
        }
        return true;
    }

    // A whole attribute value, resident or not; none larger than `limit`.
    bool ReadValue(std::uint64_t number, const Attribute& a, std::vector<std::uint8_t>& out,
                   std::uint64_t limit = 1u << 24) {
        if (!a.nonResident) {
            out.assign(a.value, a.value + a.valueLength);
            return true;
        }
        if (a.startVcn != 0) return Fail(number, "an attribute read whole starts part-way");
        if (a.size > limit || a.size > file.Size())
            return Fail(number, "an attribute claims " + std::to_string(a.size) + " bytes");
        std::vector<NtfsRun> runs;
        std::string why;
        if (!DecodeRuns(a.runs, a.runsLength, 0, tree.geometry_.clusters, runs, why)) return Fail(number, why);
        out.assign(static_cast<std::size_t>(a.size), 0);
        const std::uint64_t readable = std::min(a.size, a.initialized);
        if (!ReadStream(file, runs, tree.geometry_.clusterSize, 0, out.data(), static_cast<std::size_t>(readable), why))
            return Fail(number, why);
        return true;
    }

    bool ReadUpcase() {
        std::vector<std::uint8_t> record;
        if (!ReadRecord(kUpcaseRecord, record)) return false;
        RecordHeader h;
        std::string why;
        if (!ReadHeader(record.data(), record.size(), h, why)) return Fail(kUpcaseRecord, why);
        Attributes attributes(record.data(), h.used, h.firstAttribute);
        Attribute a;
        std::vector<std::uint8_t> table;
        while (attributes.Next(a, why))
            if (a.type == kData && a.nameLength == 0 && !ReadValue(kUpcaseRecord, a, table)) return false;
        if (!why.empty()) return Fail(kUpcaseRecord, why);
        if (table.size() != 131072) return Fail(kUpcaseRecord, "the upper-case table is not 65,536 characters long");
        tree.upcase_.resize(65536);
        for (std::size_t i = 0; i < 65536; ++i) tree.upcase_[i] = static_cast<char16_t>(Le16(&table[2 * i]));
        return true;
    }

    // Takes one record, already read; false ends the reading with an error.
    bool Take(std::uint8_t* record, std::uint64_t number) {
        const std::size_t size = tree.geometry_.recordSize;
        // Never written, or written over: no file.
        if (!IsFileRecord(record)) return true;
        const bool inUse = Le16(record + 0x16) & kRecordInUse;
        std::string why;
        if (!ApplyFixups(record, size, why)) return inUse ? Fail(number, why) : true;
        if (!inUse) return true;
        RecordHeader h;
        if (!ReadHeader(record, size, h, why)) return Fail(number, why);
        // An extension record's facts belong to its base, whenever that one
        // comes; the names of a base that is not in use are dropped later.
        const std::uint64_t base = h.base & kRecordNumberMask;
        const bool extension = base != 0 || (h.base >> 48) != 0;
        if (extension && (base >= tree.files_.size() || base == number))
            return Fail(number, "its base record is not in the table");
        const auto owner = static_cast<std::uint32_t>(extension ? base : number);
        NtfsFile& f = tree.files_[owner];
        if (!extension) {
            f.flags |= NtfsFile::kInUse;
            if (h.flags & kRecordIsFolder) f.flags |= NtfsFile::kFolder;
            f.sequence = h.sequence;
        }
        Attributes attributes(record, h.used, h.firstAttribute);
        Attribute a;
        bool system = false;
        while (attributes.Next(a, why)) {
            switch (a.type) {
                case kStandardInformation:
                    if (a.nonResident || a.valueLength < 0x30)
                        return Fail(number, "its standard information is cut short");
                    f.created = Le64(a.value);
                    f.modified = Le64(a.value + 8);
                    system = Le32(a.value + 0x20) & kSystemFile;
                    break;
                case kFileName: {
                    if (a.nonResident || a.valueLength < 0x42) return Fail(number, "a name attribute is cut short");
                    const std::uint8_t length = a.value[0x40];
                    if (0x42u + 2u * length > a.valueLength) return Fail(number, "a name runs past its attribute");
                    if (a.value[0x41] == kShortNameOnly || length == 0) break;
                    const std::uint64_t parentRef = Le64(a.value);
                    const std::uint64_t parent = parentRef & kRecordNumberMask;
                    if (parent >= tree.files_.size()) break;  // an orphan: no folder holds it
                    if (std::uint64_t{tree.text_.size()} + length > 0xFFFFFFFFull) return Fail(number, "too many names");
                    NtfsName name;
                    name.record = owner;
                    name.parent = static_cast<std::uint32_t>(parent);
                    name.parentSequence = static_cast<std::uint16_t>(parentRef >> 48);
                    name.text = static_cast<std::uint32_t>(tree.text_.size());
                    name.length = length;
                    for (std::size_t i = 0; i < length; ++i)
                        tree.text_.push_back(static_cast<char16_t>(Le16(a.value + 0x42 + 2 * i)));
                    tree.names_.push_back(name);
                    break;
                }
                case kData:
                    if (a.nonResident && a.startVcn != 0) break;  // a later piece: the first one has the sizes
                    if (a.nameLength == 0) f.size = a.nonResident ? a.size : a.valueLength;
                    if (a.nameLength == 0 && system && !a.nonResident && a.valueLength >= 8 &&
                        std::memcmp(a.value, kInterixLink, 8) == 0) {
                        f.flags |= NtfsFile::kLink;
                        std::string target =
                            ToUtf8(Units(a.value + 8, (a.valueLength - 8) / 2).data(), (a.valueLength - 8) / 2);
                        const bool relative = target.empty() || target[0] != '/';
                        tree.targets_.push_back({owner, LinkTarget{std::move(target), relative}});
                    }
                    // Resident data lives in the record; the rest takes
                    // clusters (of a sparse or compressed stream, only
                    // those it holds).
                    if (!a.nonResident)
                        f.allocated += a.nameLength == 0 ? RoundUp(a.valueLength, 8) : 0;
                    else
                        f.allocated +=
                            (a.flags & (kAttributeCompressed | kAttributeSparse)) ? a.compressed : a.allocated;
                    break;
                case kReparsePoint:
                    if (!a.nonResident && a.valueLength >= 4) {
                        TakeReparseTarget(owner, a.value, a.valueLength, f);
                    }
                    break;
                default: break;
            }
        }
        if (!why.empty()) return Fail(number, why);
        return true;
    }

    // A symbolic link's or junction's target, from its reparse data: the
    // name meant for people, with the volume's separators.
    void TakeReparseTarget(std::uint32_t owner, const std::uint8_t* value, std::uint32_t length, NtfsFile& f) {
        const std::uint32_t tag = Le32(value);
        if (tag != kSymbolicLinkTag && tag != kJunctionTag) return;
        f.flags |= NtfsFile::kLink;
        const std::uint32_t buffer = tag == kSymbolicLinkTag ? 20 : 16;
        if (length < buffer) return;
        const std::uint16_t substituteAt = Le16(value + 8), substituteLength = Le16(value + 10);
        std::uint16_t at = Le16(value + 12), bytes = Le16(value + 14);
        if (bytes == 0) at = substituteAt, bytes = substituteLength;
        if (buffer + at + bytes > length) return;
        const bool relative = tag == kSymbolicLinkTag && (Le32(value + 16) & 1);
        std::string target = ToUtf8(Units(value + buffer + at, bytes / 2).data(), bytes / 2);
        for (char& c : target)
            if (c == '\\') c = '/';
        tree.targets_.push_back({owner, LinkTarget{std::move(target), relative}});
    }

    bool ReadTable(const std::function<bool(std::uint64_t)>& keepGoing) {
        const std::uint32_t size = tree.geometry_.recordSize;
        const std::uint64_t records = tree.files_.size();
        const std::uint64_t batch = std::max<std::uint64_t>(1, (1u << 20) / size);
        std::vector<std::uint8_t> bytes;
        std::string why;
        for (std::uint64_t first = 0; first < records; first += batch) {
            const std::uint64_t count = std::min(batch, records - first);
            bytes.resize(static_cast<std::size_t>(count * size));
            if (!ReadStream(file, mftRuns, tree.geometry_.clusterSize, first * size, bytes.data(), bytes.size(), why))
                return Fail(first, why);
            for (std::uint64_t i = 0; i < count; ++i)
                if (!Take(bytes.data() + i * size, first + i)) return false;
            if (keepGoing && !keepGoing(first + count)) return Fail(kNoRecord, "stopped");
        }
        return true;
    }
};

bool NtfsTree::Read(platform::VolumeFile& file, NtfsError& error, const std::function<bool(std::uint64_t)>& keepGoing) {
    *this = NtfsTree{};
    Reader reader{*this, file, error, {}, 0};
    if (!reader.ReadBoot() || !reader.ReadTableRuns() || !reader.ReadUpcase() || !reader.ReadTable(keepGoing))
        return false;
    return Settle(error);
}

// Once every record is in: names whose file or folder is not what they say
// go, the volume's own files are hidden as a mounted volume hides them,
// every folder must hang from the root by one name, and each folder's
// children are put in name order.
bool NtfsTree::Settle(NtfsError& error) {
    if (!files_[kRoot].IsFolder()) {
        error = NtfsError{kRoot, "the root folder is not a folder"};
        return false;
    }
    std::size_t kept = 0;
    for (NtfsName& name : names_) {
        const NtfsFile& owner = files_[name.record];
        const NtfsFile& parent = files_[name.parent];
        const bool sequenceOk = name.parentSequence == 0 || name.parentSequence == parent.sequence;
        if (!owner.InUse() || !parent.InUse() || !(parent.flags & NtfsFile::kFolder) || parent.IsLink() ||
            !sequenceOk || name.record < kFirstUserRecord)
            continue;
        names_[kept++] = name;
    }
    names_.resize(kept);
    names_.shrink_to_fit();
    for (const NtfsName& name : names_) {
        NtfsFile& owner = files_[name.record];
        if (owner.names < 0xFFFF) ++owner.names;
    }
    // One parent per folder, and a way up from every folder that ends at
    // the root or at a folder no name holds.
    std::vector<std::uint32_t>& parentOf = parentOf_;
    parentOf.assign(files_.size(), 0);
    for (const NtfsName& name : names_) {
        if (!(files_[name.record].flags & NtfsFile::kFolder)) continue;
        if (files_[name.record].names > 1 && !files_[name.record].IsLink()) {
            error = NtfsError{name.record, "a folder with several names"};
            return false;
        }
        parentOf[name.record] = name.parent + 1;
    }
    // Each folder's depth too: the walk goes down one level at a time, and
    // no real path is that deep.
    std::vector<std::uint16_t> depth(files_.size(), 0);
    std::vector<std::uint8_t> state(files_.size(), 0);  // 1: on the way up now, 2: settled
    std::vector<std::uint32_t> way;
    for (std::uint32_t start = 0; start < files_.size(); ++start) {
        way.clear();
        std::uint32_t at = start;
        while (state[at] == 0 && parentOf[at] != 0 && at != kRoot) {
            state[at] = 1;
            way.push_back(at);
            at = parentOf[at] - 1;
        }
        if (state[at] == 1) {
            error = NtfsError{at, "its folders lead back to it: a loop of parent folders"};
            return false;
        }
        state[at] = 2;
        for (auto it = way.rbegin(); it != way.rend(); ++it) {
            if (depth[at] >= kMaxDepth) {
                error = NtfsError{*it, "folders nested deeper than " + std::to_string(kMaxDepth) + " levels"};
                return false;
            }
            depth[*it] = static_cast<std::uint16_t>(depth[at] + 1);
            state[*it] = 2;
            at = *it;
        }
    }
    std::sort(targets_.begin(), targets_.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    order_.resize(names_.size());
    for (std::uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(), [this](std::uint32_t x, std::uint32_t y) {
        const NtfsName& a = names_[x];
        const NtfsName& b = names_[y];
        if (a.parent != b.parent) return a.parent < b.parent;
        return Collate(&text_[a.text], a.length, &text_[b.text], b.length) < 0;
    });
    return true;
}

int NtfsTree::Collate(const char16_t* a, std::size_t na, const char16_t* b, std::size_t nb) const {
    const std::size_t n = std::min(na, nb);
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ua = upcase_[a[i]], ub = upcase_[b[i]];
        if (ua != ub) return ua < ub ? -1 : 1;
    }
    if (na != nb) return na < nb ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

std::pair<std::size_t, std::size_t> NtfsTree::Children(std::uint32_t folder) const {
    auto lower = std::lower_bound(order_.begin(), order_.end(), folder,
                                  [this](std::uint32_t i, std::uint32_t f) { return names_[i].parent < f; });
    auto upper = std::upper_bound(lower, order_.end(), folder,
                                  [this](std::uint32_t f, std::uint32_t i) { return f < names_[i].parent; });
    return {static_cast<std::size_t>(lower - order_.begin()), static_cast<std::size_t>(upper - order_.begin())};
}

bool NtfsTree::ParentOf(std::uint32_t folder, std::uint32_t& parent) const {
    if (folder >= parentOf_.size() || parentOf_[folder] == 0 || folder == kRoot) return false;
    parent = parentOf_[folder] - 1;
    return true;
}

const NtfsTree::LinkTarget* NtfsTree::TargetOf(std::uint32_t record) const {
    auto it = std::lower_bound(targets_.begin(), targets_.end(), record,
                               [](const auto& t, std::uint32_t r) { return t.first < r; });
    return it != targets_.end() && it->first == record ? &it->second : nullptr;
}

std::string NtfsTree::NameText(const NtfsName& name) const { return ToUtf8(&text_[name.text], name.length); }

bool NtfsTree::Find(std::uint32_t folder, std::string_view text, std::uint32_t& record) const {
    std::u16string wanted;
    if (!ToUtf16(text, wanted)) return false;
    const auto [first, last] = Children(folder);
    auto it = std::lower_bound(order_.begin() + static_cast<std::ptrdiff_t>(first),
                               order_.begin() + static_cast<std::ptrdiff_t>(last), wanted,
                               [this](std::uint32_t i, const std::u16string& w) {
                                   const NtfsName& n = names_[i];
                                   return Collate(&text_[n.text], n.length, w.data(), w.size()) < 0;
                               });
    if (it == order_.begin() + static_cast<std::ptrdiff_t>(last)) return false;
    const NtfsName& n = names_[*it];
    if (Collate(&text_[n.text], n.length, wanted.data(), wanted.size()) != 0) return false;
    record = n.record;
    return true;
}

}  // namespace tf::listing::volume
