#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace ulmaro::test {

/// Writes zip archives byte by byte, including the malformed ones a reader must survive.
class ZipBuilder {
public:
    struct Entry {
        std::string name;
        std::string data;         // uncompressed
        std::uint16_t method = 8; // 0 stored, 8 deflated, anything else as given
        std::optional<std::uint32_t> claimedSize = {}; // uncompressed size to state instead
        bool breakLocalSignature = false;
        bool breakCentralSignature = false;
        std::optional<std::string> packed = {}; // the stored bytes, when made beforehand
    };

    ZipBuilder& add(Entry entry) {
        entries_.push_back(std::move(entry));
        return *this;
    }
    ZipBuilder& add(std::string name, std::string data, std::uint16_t method = 8) {
        return add(Entry{std::move(name), std::move(data), method});
    }
    ZipBuilder& comment(std::string text) {
        comment_ = std::move(text);
        return *this;
    }
    /// Lays the entries' data out in reverse order (the directory keeps the given order).
    ZipBuilder& reverseData() {
        reverse_ = true;
        return *this;
    }

    static std::string deflateRaw(std::string_view data) {
        z_stream s{};
        if (deflateInit2(&s, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::runtime_error("deflateInit2");
        }
        std::string out(deflateBound(&s, data.size()), '\0');
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        s.avail_in = static_cast<uInt>(data.size());
        s.next_out = reinterpret_cast<Bytef*>(out.data());
        s.avail_out = static_cast<uInt>(out.size());
        if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        out.resize(s.total_out);
        deflateEnd(&s);
        return out;
    }

    std::string bytes() const {
        std::string out;
        std::vector<std::uint32_t> offsets(entries_.size());
        std::vector<std::string> packed(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry& e = entries_[i];
            packed[i] = e.packed ? *e.packed : e.method == 8 ? deflateRaw(e.data) : e.data;
        }
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            std::size_t i = reverse_ ? entries_.size() - 1 - k : k;
            const Entry& e = entries_[i];
            offsets[i] = static_cast<std::uint32_t>(out.size());
            put32(out, e.breakLocalSignature ? 0x04034B51 : 0x04034B50);
            put16(out, 20);
            putCommonFields(out, e, packed[i]);
            put16(out, 4);
            out += e.name;
            out += std::string_view("\xFE\xCA\x00\x00", 4); // an extra field to skip
            out += packed[i];
        }
        auto directory = static_cast<std::uint32_t>(out.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry& e = entries_[i];
            put32(out, e.breakCentralSignature ? 0x02014B51 : 0x02014B50);
            put16(out, 20);
            put16(out, 20);
            putCommonFields(out, e, packed[i]);
            put16(out, 0);
            put16(out, 3);
            put16(out, 0);
            put16(out, 0);
            put32(out, 0);
            put32(out, offsets[i]);
            out += e.name;
            out += "c!c"; // an entry comment to skip
        }
        auto directorySize = static_cast<std::uint32_t>(out.size()) - directory;
        put32(out, 0x06054B50);
        put16(out, 0);
        put16(out, 0);
        put16(out, static_cast<std::uint16_t>(entries_.size()));
        put16(out, static_cast<std::uint16_t>(entries_.size()));
        put32(out, directorySize);
        put32(out, directory);
        put16(out, static_cast<std::uint16_t>(comment_.size()));
        out += comment_;
        return out;
    }

    void write(const std::filesystem::path& path) const {
        std::ofstream(path, std::ios::binary) << bytes();
    }

private:
    static void put16(std::string& out, std::uint32_t v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    static void put32(std::string& out, std::uint32_t v) {
        put16(out, v & 0xFFFF);
        put16(out, v >> 16);
    }
    // Flags, method, time and date, CRC-32, sizes and name length: the same in both headers.
    static void putCommonFields(std::string& out, const Entry& e, const std::string& packed) {
        put16(out, 0);
        put16(out, e.method);
        put32(out, 0);
        put32(out, crc(e.data));
        put32(out, static_cast<std::uint32_t>(packed.size()));
        put32(out, uncompressed(e));
        put16(out, static_cast<std::uint16_t>(e.name.size()));
    }
    static std::uint32_t crc(std::string_view data) {
        return static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    }
    static std::uint32_t uncompressed(const Entry& e) {
        return e.claimedSize ? *e.claimedSize : static_cast<std::uint32_t>(e.data.size());
    }

    std::vector<Entry> entries_;
    std::string comment_;
    bool reverse_ = false;
};

} // namespace ulmaro::test
