#pragma once

#include <cstdint>
#include <exception>

namespace ulmaro {

/// Why an index file could not be read or written. Carries no wording: callers word it.
class IndexError : public std::exception {
public:
    enum class Kind { versionMismatch, badMagic, checksumMismatch, truncated, tooManyVolumes };

    static IndexError versionMismatch(std::uint32_t found, std::uint32_t expected) {
        return IndexError(Kind::versionMismatch, found, expected);
    }
    static IndexError badMagic() { return IndexError(Kind::badMagic); }
    static IndexError checksumMismatch() { return IndexError(Kind::checksumMismatch); }
    static IndexError truncated() { return IndexError(Kind::truncated); }
    static IndexError tooManyVolumes() { return IndexError(Kind::tooManyVolumes); }

    Kind kind() const { return kind_; }
    /// The stored version (versionMismatch only, else 0).
    std::uint32_t found() const { return found_; }
    /// The version this build reads (versionMismatch only, else 0).
    std::uint32_t expected() const { return expected_; }

    const char* what() const noexcept override;

    friend bool operator==(const IndexError& a, const IndexError& b) {
        return a.kind_ == b.kind_ && a.found_ == b.found_ && a.expected_ == b.expected_;
    }

private:
    explicit IndexError(Kind kind, std::uint32_t found = 0, std::uint32_t expected = 0)
        : kind_(kind), found_(found), expected_(expected) {}

    Kind kind_;
    std::uint32_t found_;
    std::uint32_t expected_;
};

} // namespace ulmaro
