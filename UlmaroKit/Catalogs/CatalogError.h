#pragma once

#include "UlmaroKit/Index/RebuildReason.h"

#include <cstdint>
#include <exception>

namespace ulmaro {

/// Why a catalog could not be read. Carries no wording: callers word it.
class CatalogError : public std::exception {
public:
    enum class Kind {
        /// The info file declares a format newer than this build reads (`found`).
        unsupportedFormat,
        /// The catalog's index could not be loaded (`reason`).
        damagedIndex,
        /// The info file could not be read or decoded.
        unreadableInfo
    };

    static CatalogError unsupportedFormat(std::int64_t found) {
        return CatalogError(Kind::unsupportedFormat, found, {});
    }
    static CatalogError damagedIndex(RebuildReason reason) {
        return CatalogError(Kind::damagedIndex, 0, reason);
    }
    static CatalogError unreadableInfo() { return CatalogError(Kind::unreadableInfo, 0, {}); }

    Kind kind() const { return kind_; }
    /// The declared format version (unsupportedFormat only, else 0).
    std::int64_t found() const { return found_; }
    /// Why the index did not load (damagedIndex only).
    const RebuildReason& reason() const { return reason_; }

    const char* what() const noexcept override;

    friend bool operator==(const CatalogError& a, const CatalogError& b) {
        return a.kind_ == b.kind_ && a.found_ == b.found_ &&
               (a.kind_ != Kind::damagedIndex || a.reason_ == b.reason_);
    }

private:
    CatalogError(Kind kind, std::int64_t found, RebuildReason reason)
        : kind_(kind), found_(found), reason_(reason) {}

    Kind kind_;
    std::int64_t found_;
    RebuildReason reason_;
};

} // namespace ulmaro
