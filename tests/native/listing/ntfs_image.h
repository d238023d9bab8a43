#pragma once
// Small NTFS images made by hand, record by record, for tests of the reader
// on volumes no formatter writes: 512-byte sectors and clusters, the file
// table at cluster 16, the upper-case table after it, spare clusters after
// that for data.
#include <cstdint>
#include <string>
#include <vector>

namespace tf::test {

class NtfsImage {
public:
    static constexpr std::uint32_t kCluster = 512;
    static constexpr std::uint64_t kMftCluster = 16;
    static constexpr std::uint64_t kSparse = ~std::uint64_t{0};

    struct Run {
        std::uint64_t lcn;  // kSparse for a hole
        std::uint64_t length;
    };
    struct Record {
        std::uint16_t flags = 1;  // in use
        std::uint64_t base = 0;
        std::vector<std::uint8_t> attributes;
    };

    explicit NtfsImage(std::uint32_t recordSize = 1024, std::uint32_t records = 64)
        : recordSize_(recordSize), records_(records), table_(records) {
        upcaseCluster_ = kMftCluster + std::uint64_t{records} * recordSize / kCluster;
        dataCluster_ = upcaseCluster_ + 131072 / kCluster;
        clusters_ = dataCluster_ + 256;
        File(0).attributes.clear();
        Data(0, std::uint64_t{records} * recordSize, {{kMftCluster, std::uint64_t{records} * recordSize / kCluster}});
        Folder(5);
        Name(5, 5, u".");
        File(10);
        Data(10, 131072, {{upcaseCluster_, 131072 / kCluster}});
    }

    std::uint64_t DataCluster() const { return dataCluster_; }

    // A record in use, with standard information.
    Record& File(std::uint32_t number, std::uint64_t created = 1000, std::uint64_t modified = 2000,
                 std::uint32_t attributes = 0x20) {
        Record& r = table_.at(number);
        r = Record{};
        std::vector<std::uint8_t> info(0x48, 0);
        Put(info, 0, created, 8);
        Put(info, 8, modified, 8);
        Put(info, 0x20, attributes, 4);
        Resident(number, 0x10, info);
        return r;
    }
    Record& Folder(std::uint32_t number) {
        Record& r = File(number);
        r.flags |= 2;
        return r;
    }
    void Extension(std::uint32_t number, std::uint32_t base) {
        table_.at(number) = Record{};
        table_.at(number).base = base | (std::uint64_t{1} << 48);
    }

    // A name; space 1 is the long one, 2 a short name only, 0 POSIX.
    void Name(std::uint32_t number, std::uint32_t parent, const std::u16string& name, std::uint8_t space = 1) {
        std::vector<std::uint8_t> value(0x42 + 2 * name.size(), 0);
        Put(value, 0, parent | (std::uint64_t{1} << 48), 8);
        value[0x40] = static_cast<std::uint8_t>(name.size());
        value[0x41] = space;
        for (std::size_t i = 0; i < name.size(); ++i) Put(value, 0x42 + 2 * i, name[i], 2);
        Resident(number, 0x30, value);
    }

    void Resident(std::uint32_t number, std::uint32_t type, const std::vector<std::uint8_t>& value,
                  const std::u16string& name = u"") {
        std::vector<std::uint8_t> a(24, 0);
        const std::size_t valueAt = Align(24 + 2 * name.size());
        Put(a, 0, type, 4);
        a[9] = static_cast<std::uint8_t>(name.size());
        Put(a, 10, 24, 2);
        Put(a, 16, value.size(), 4);
        Put(a, 20, valueAt, 2);
        for (char16_t c : name)
            a.push_back(static_cast<std::uint8_t>(c)), a.push_back(static_cast<std::uint8_t>(c >> 8));
        a.resize(valueAt, 0);
        a.insert(a.end(), value.begin(), value.end());
        Finish(number, a);
    }

    // Unnamed (or named) data in clusters: `allocated` defaults to the runs'.
    void Data(std::uint32_t number, std::uint64_t size, const std::vector<Run>& runs, const std::u16string& name = u"",
              std::uint16_t flags = 0, std::uint64_t compressed = 0, std::uint64_t startVcn = 0) {
        std::uint64_t clusters = 0;
        for (const Run& r : runs) clusters += r.length;
        const bool packed = (flags & 0x8001) != 0;
        const std::size_t header = packed ? 72 : 64;
        std::vector<std::uint8_t> a(header, 0);
        Put(a, 0, 0x80, 4);
        a[8] = 1;
        a[9] = static_cast<std::uint8_t>(name.size());
        Put(a, 10, header, 2);
        Put(a, 12, flags, 2);
        Put(a, 16, startVcn, 8);
        Put(a, 24, startVcn + clusters - 1, 8);
        const std::size_t runsAt = Align(header + 2 * name.size());
        Put(a, 32, runsAt, 2);
        Put(a, 40, clusters * kCluster, 8);
        Put(a, 48, size, 8);
        Put(a, 56, size, 8);
        if (packed) Put(a, 64, compressed, 8);
        for (char16_t c : name)
            a.push_back(static_cast<std::uint8_t>(c)), a.push_back(static_cast<std::uint8_t>(c >> 8));
        a.resize(runsAt, 0);
        const std::vector<std::uint8_t> encoded = Encode(runs);
        a.insert(a.end(), encoded.begin(), encoded.end());
        Finish(number, a);
    }

    // A reparse point of a link: a symbolic link (relative or not) or a
    // junction.
    void Reparse(std::uint32_t number, std::uint32_t tag, const std::u16string& target, bool relative) {
        std::vector<std::uint8_t> path;
        for (char16_t c : target)
            path.push_back(static_cast<std::uint8_t>(c)), path.push_back(static_cast<std::uint8_t>(c >> 8));
        const bool link = tag == 0xA000000C;
        std::vector<std::uint8_t> v(8 + (link ? 12 : 8), 0);
        Put(v, 0, tag, 4);
        Put(v, 4, v.size() - 8 + 2 * path.size(), 2);
        Put(v, 8, 0, 2);
        Put(v, 10, path.size(), 2);
        Put(v, 12, path.size(), 2);
        Put(v, 14, path.size(), 2);
        if (link) Put(v, 16, relative ? 1 : 0, 4);
        v.insert(v.end(), path.begin(), path.end());
        v.insert(v.end(), path.begin(), path.end());
        Resident(number, 0xC0, v);
    }

    // The image, each record's update sequence applied; `tear` records
    // get a sector that was not written with the rest.
    std::vector<std::uint8_t> Build(const std::vector<std::uint32_t>& tear = {}) const {
        std::vector<std::uint8_t> image(clusters_ * kCluster, 0);
        const char oem[] = "NTFS    ";
        for (int i = 0; i < 8; ++i) image[3 + i] = static_cast<std::uint8_t>(oem[i]);
        Put(image, 0x0B, 512, 2);
        image[0x0D] = 1;
        Put(image, 0x28, clusters_, 8);
        Put(image, 0x30, kMftCluster, 8);
        image[0x40] = static_cast<std::uint8_t>(-Log2(recordSize_));
        Put(image, 0x48, 0x1234, 8);
        image[510] = 0x55;
        image[511] = 0xAA;
        for (std::uint32_t n = 0; n < records_; ++n) {
            const Record& r = table_[n];
            if (r.attributes.empty() && r.base == 0) continue;
            std::vector<std::uint8_t> rec(recordSize_, 0);
            const std::uint32_t strides = recordSize_ / 512;
            const std::size_t first = Align(0x30 + 2 * (strides + 1));
            for (int i = 0; i < 4; ++i) rec[i] = static_cast<std::uint8_t>("FILE"[i]);
            Put(rec, 4, 0x30, 2);
            Put(rec, 6, strides + 1, 2);
            Put(rec, 0x10, 1, 2);
            Put(rec, 0x12, 1, 2);
            Put(rec, 0x14, first, 2);
            Put(rec, 0x16, r.flags, 2);
            std::copy(r.attributes.begin(), r.attributes.end(), rec.begin() + static_cast<std::ptrdiff_t>(first));
            const std::size_t end = first + r.attributes.size();
            Put(rec, end, 0xFFFFFFFFu, 4);
            Put(rec, 0x18, end + 8, 4);
            Put(rec, 0x1C, recordSize_, 4);
            Put(rec, 0x20, r.base, 8);
            Put(rec, 0x2C, n, 4);
            Put(rec, 0x30, 7, 2);  // the sequence number every sector ends in
            for (std::uint32_t s = 0; s < strides; ++s) {
                const std::size_t tail = (s + 1) * 512 - 2;
                rec[0x32 + 2 * s] = rec[tail];
                rec[0x33 + 2 * s] = rec[tail + 1];
                rec[tail] = 7;
                rec[tail + 1] = 0;
            }
            for (std::uint32_t t : tear)
                if (t == n) rec[recordSize_ - 2] = 8;
            std::copy(
                rec.begin(), rec.end(),
                image.begin() + static_cast<std::ptrdiff_t>(kMftCluster * kCluster + std::uint64_t{n} * recordSize_));
        }
        // The upper-case table: ASCII and Latin-1 letters.
        for (std::uint32_t c = 0; c < 65536; ++c) {
            std::uint32_t up = c;
            if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) up = c - 0x20;
            Put(image, upcaseCluster_ * kCluster + 2 * c, up, 2);
        }
        return image;
    }

    static void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }

private:
    static std::size_t Align(std::size_t n) { return (n + 7) / 8 * 8; }
    static int Log2(std::uint32_t v) {
        int n = 0;
        while ((1u << n) < v) ++n;
        return n;
    }
    static std::vector<std::uint8_t> Encode(const std::vector<Run>& runs) {
        std::vector<std::uint8_t> out;
        std::int64_t last = 0;
        auto width = [](std::int64_t v) {
            int n = 1;
            while (n < 8 && (v < -(std::int64_t{1} << (8 * n - 1)) || v >= (std::int64_t{1} << (8 * n - 1)))) ++n;
            return n;
        };
        for (const Run& r : runs) {
            const int lengthBytes = width(static_cast<std::int64_t>(r.length));
            const std::int64_t delta = r.lcn == kSparse ? 0 : static_cast<std::int64_t>(r.lcn) - last;
            const int offsetBytes = r.lcn == kSparse ? 0 : width(delta);
            out.push_back(static_cast<std::uint8_t>(lengthBytes | (offsetBytes << 4)));
            for (int i = 0; i < lengthBytes; ++i) out.push_back(static_cast<std::uint8_t>(r.length >> (8 * i)));
            for (int i = 0; i < offsetBytes; ++i)
                out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(delta) >> (8 * i)));
            if (r.lcn != kSparse) last = static_cast<std::int64_t>(r.lcn);
        }
        out.push_back(0);
        while (out.size() % 8) out.push_back(0);
        return out;
    }
    void Finish(std::uint32_t number, std::vector<std::uint8_t>& a) {
        while (a.size() % 8) a.push_back(0);
        Put(a, 4, a.size(), 4);
        auto& attributes = table_.at(number).attributes;
        attributes.insert(attributes.end(), a.begin(), a.end());
    }

    std::uint32_t recordSize_;
    std::uint32_t records_;
    std::vector<Record> table_;
    std::uint64_t upcaseCluster_ = 0;
    std::uint64_t dataCluster_ = 0;
    std::uint64_t clusters_ = 0;
};

// A volume whose Docs folder (under the root) holds a.txt (5 bytes) and
// Sub\b.txt (3000 bytes): the tests of the choice between table and walk.
inline std::vector<std::uint8_t> DocsImage() {
    NtfsImage image;
    image.Folder(16);
    image.Name(16, 5, u"Docs");
    image.File(17);
    image.Name(17, 16, u"a.txt");
    image.Resident(17, 0x80, {'h', 'e', 'l', 'l', 'o'});
    image.Folder(18);
    image.Name(18, 16, u"Sub");
    image.File(19);
    image.Name(19, 18, u"b.txt");
    image.Data(19, 3000, {{image.DataCluster(), 6}});
    return image.Build();
}

}  // namespace tf::test
