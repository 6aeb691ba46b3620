#pragma once

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/Query.h"
#include "support/TempDir.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Builds a small index in memory and opens it as a store from a temporary file.
class StoreBuilder {
public:
    static constexpr RecordFlags dir = RecordFlags::isDirectory;

    /// A record; `parent` defaults to none.
    std::uint32_t add(std::string_view name, std::uint32_t parent = FileRecord::rootParentID,
                      RecordFlags flags = {}) {
        return builder.addEntry(name, parent, flags, 0);
    }
    std::uint32_t addFolder(std::string_view name, std::uint32_t parent = FileRecord::rootParentID,
                            RecordFlags flags = {}) {
        return add(name, parent, flags | dir);
    }
    /// Plain files named `name`-0, -1, … until the store holds `count` records.
    void padTo(std::size_t count, std::string_view name = "filler") {
        while (builder.count() < count)
            add(std::string(name) + "-" + std::to_string(builder.count()));
    }
    std::shared_ptr<const IndexStore> open() {
        auto path = dir_ / "index.bin";
        IndexWriter::write(builder, {}, path);
        return IndexStore::open(path);
    }

    IndexBuilder builder;

private:
    TempDir dir_;
};

inline Query andQuery(std::vector<Term> terms) {
    Query q;
    q.andTerms = std::move(terms);
    return q;
}

inline Query orQuery(std::vector<std::vector<Term>> groups) {
    Query q;
    q.orGroups = std::move(groups);
    return q;
}

/// The record-by-record answer over the whole store: every ID handed as candidates, in
/// descending order (so that no shortcut for ascending lists applies), the result turned back.
inline std::vector<Match> recordByRecord(Matcher& m, const Query& q) {
    std::vector<std::uint32_t> ids(m.store().count());
    std::iota(ids.rbegin(), ids.rend(), 0u);
    std::vector<Match> r = m.match(q, ids);
    std::reverse(r.begin(), r.end());
    return r;
}

inline std::vector<std::uint32_t> idsOf(const std::vector<Match>& matches) {
    std::vector<std::uint32_t> ids;
    for (const Match& m : matches)
        ids.push_back(m.id);
    return ids;
}

/// The same records with their names laid out in the blob in reverse record order, so that
/// scans must go name by name.
inline IndexBuilder withShuffledBlob(const IndexBuilder& ordered) {
    IndexBuilder shuffled = ordered;
    std::vector<unsigned char> blob;
    for (std::size_t i = shuffled.records.size(); i-- > 0;) {
        FileRecord& r = shuffled.records[i];
        const auto old = r.nameOffset;
        r.nameOffset = static_cast<std::uint32_t>(blob.size());
        blob.insert(blob.end(), ordered.nameBlob.begin() + old,
                    ordered.nameBlob.begin() + old + r.nameLen);
    }
    shuffled.nameBlob = blob;
    return shuffled;
}

} // namespace ulmaro::test
