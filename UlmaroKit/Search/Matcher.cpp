#include "UlmaroKit/Search/Matcher.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/MatcherInternals.h"
#include "UlmaroKit/Search/RegexLiteral.h"
#include "UlmaroKit/Search/SubstringScan.h"

#include <algorithm>
#include <ctime>
#include <unicode/unistr.h>

namespace ulmaro {

namespace {

bool isAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::u16string caseFolded(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
    text.foldCase();
    return std::u16string(text.getBuffer(), static_cast<std::size_t>(text.length()));
}

bool hasAttributes(const FileRecord& record) {
    return record.flags.contains(RecordFlags::attrsFilled);
}

bool typeHolds(TypeConstraint type, const FileRecord& record) {
    switch (type) {
    case TypeConstraint::file:
        return !record.flags.contains(RecordFlags::isDirectory);
    case TypeConstraint::folder:
        return record.flags.contains(RecordFlags::isDirectory);
    case TypeConstraint::app:
        return record.flags.contains(RecordFlags::isApp);
    }
    return false;
}

bool dateHolds(const std::optional<DateRange>& dates, const FileRecord& record) {
    return dates && dates->contains(record.mtime);
}

bool isScored(Term::Kind kind) {
    return kind == Term::Kind::substring || kind == Term::Kind::exactPhrase;
}

} // namespace

// MARK: - Free helpers

bool extensionMatches(std::string_view foldedList, std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return false;
    const std::string_view ext = name.substr(dot + 1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = foldedList.find(',', start);
        const std::string_view item = foldedList.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (item.size() == ext.size()) {
            bool same = true;
            for (std::size_t i = 0; i < ext.size() && same; ++i)
                same = SubstringScan::foldAscii(static_cast<unsigned char>(ext[i])) ==
                       static_cast<unsigned char>(item[i]);
            if (same) return true;
        }
        if (comma == std::string_view::npos) return false;
        start = comma + 1;
    }
}

bool isPlainWord(const Term& term) {
    return term.kind() == Term::Kind::substring && !term.text().empty();
}

std::size_t plainWordCount(const std::vector<Term>& terms) {
    return static_cast<std::size_t>(std::count_if(terms.begin(), terms.end(), isPlainWord));
}

bool isRecordLocal(const Term& term) {
    switch (term.kind()) {
    case Term::Kind::substring:
    case Term::Kind::exactPhrase:
    case Term::Kind::ext:
    case Term::Kind::size:
    case Term::Kind::dateModified:
    case Term::Kind::type:
        return true;
    case Term::Kind::not_:
        return isRecordLocal(term.inner());
    case Term::Kind::regex:
    case Term::Kind::pathContains:
    case Term::Kind::contains:
        return false;
    }
    return false;
}

// MARK: - Record tests

bool RecordEvaluator::pathContains(const Matcher::PreparedTerm& term, std::uint32_t id) const {
    if (term.pathHasSlash) {
        const std::optional<std::string> path = resolver_.absolutePath(id);
        if (!path) return false;
        if (term.pathIsAscii && isAscii(*path))
            return SubstringScan::find(term.needle, *path) != std::string_view::npos;
        return caseFolded(*path).find(*term.foldedPath) != std::u16string::npos;
    }
    if (term.needle.empty()) return false;
    const std::size_t count = store_.count();
    std::uint32_t current = id;
    for (std::size_t names = 0; names < Matcher::maxAncestorNames; ++names) {
        if (SubstringScan::find(term.needle, store_.nameBytes(current)) != std::string_view::npos)
            return true;
        const std::uint32_t parent = store_[current].parentID;
        if (parent == FileRecord::rootParentID || parent >= count) return false;
        current = parent;
    }
    return false;
}

bool RecordEvaluator::holds(const Matcher::PreparedTerm& term, std::uint32_t id,
                            Matcher::Scratch& s) const {
    const FileRecord& record = store_[id];
    switch (term.kind) {
    case Term::Kind::substring:
    case Term::Kind::exactPhrase:
        return SubstringScan::find(term.needle, store_.nameBytes(id)) != std::string_view::npos;
    case Term::Kind::regex: {
        if (term.regex == nullptr) return false;
        const std::string_view name = store_.nameBytes(id);
        if (term.literal && SubstringScan::find(*term.literal, name) == std::string_view::npos)
            return false;
        return term.regex->search(name, s.regex);
    }
    case Term::Kind::ext:
        return extensionMatches(term.needle, store_.nameBytes(id));
    case Term::Kind::pathContains:
        return pathContains(term, id);
    case Term::Kind::size:
        return hasAttributes(record) && term.size.holds(record.size);
    case Term::Kind::dateModified:
        return hasAttributes(record) && dateHolds(term.dates, record);
    case Term::Kind::type:
        return typeHolds(term.type, record);
    case Term::Kind::contains:
        return true;
    case Term::Kind::not_:
        return !holds(term.inner.front(), id, s);
    }
    return false;
}

std::optional<Scored> RecordEvaluator::score(const Matcher::PreparedList& list, std::uint32_t id,
                                             Matcher::Scratch& s) const {
    Scored best;
    bool scored = false;
    bool wordInName = false;
    // Plain words missing from the name, by position: their folders are read last, and only
    // when some word is in the name.
    std::uint64_t inFolders = 0;
    const std::string_view name = store_.nameBytes(id);
    for (std::size_t i = 0; i < list.terms.size(); ++i) {
        const Matcher::PreparedTerm& term = list.terms[i];
        if (isScored(term.kind)) {
            const std::size_t p = SubstringScan::find(term.needle, name);
            if (p == std::string_view::npos) {
                if (!term.orInFolder) return std::nullopt;
                if (i < 64)
                    inFolders |= std::uint64_t{1} << i;
                else if (!pathContains(term, id))
                    return std::nullopt;
                continue;
            }
            wordInName = wordInName || term.orInFolder;
            const MatchQuality q = SubstringScan::grade(name, p, term.needle.size());
            if (!scored || q < best.quality) best = {q, static_cast<std::int32_t>(p)};
            scored = true;
        } else if (!holds(term, id, s)) {
            return std::nullopt;
        }
    }
    if (list.severalWords && !wordInName) return std::nullopt;
    for (std::size_t i = 0; inFolders != 0; ++i, inFolders >>= 1)
        if ((inFolders & 1) != 0 && !pathContains(list.terms[i], id)) return std::nullopt;
    return best;
}

std::optional<Scored> RecordEvaluator::evaluate(const Matcher::Prepared& query, std::uint32_t id,
                                                Matcher::Scratch& s) const {
    if (query.groups.empty()) return score(query.andTerms, id, s);
    return bestOf(query.groups,
                  [&](const Matcher::PreparedList& group) { return score(group, id, s); });
}

bool RecordEvaluator::holdsFast(const Matcher::CompiledTerm& term, const FileRecord& record,
                                std::string_view name, const std::string& needles) const {
    using Kind = Matcher::CompiledTerm::Kind;
    bool result = false;
    switch (term.kind) {
    case Kind::type:
        result = typeHolds(term.type, record);
        break;
    case Kind::size:
        result = hasAttributes(record) && term.size.holds(record.size);
        break;
    case Kind::dateModified:
        result = hasAttributes(record) && dateHolds(term.dates, record);
        break;
    case Kind::scoredSubstring:
    case Kind::booleanSubstring:
        result = SubstringScan::find(
                     std::string_view(needles).substr(term.needleOffset, term.needleLength),
                     name) != std::string_view::npos;
        break;
    case Kind::ext:
        result = extensionMatches(
            std::string_view(needles).substr(term.needleOffset, term.needleLength), name);
        break;
    }
    return result != term.negated;
}

std::optional<Scored> RecordEvaluator::scoreFast(const Matcher::CompiledQuery& query,
                                                 std::pair<std::size_t, std::size_t> range,
                                                 std::uint32_t id) const {
    const FileRecord& record = store_[id];
    const std::string_view name = store_.nameBytes(id);
    Scored best;
    bool scored = false;
    for (std::size_t i = range.first; i < range.first + range.second; ++i) {
        const Matcher::CompiledTerm& term = query.terms[i];
        if (term.kind == Matcher::CompiledTerm::Kind::scoredSubstring) {
            const std::string_view needle =
                std::string_view(query.needles).substr(term.needleOffset, term.needleLength);
            const std::size_t p = SubstringScan::find(needle, name);
            if (p == std::string_view::npos) return std::nullopt;
            const MatchQuality q = SubstringScan::grade(name, p, needle.size());
            if (!scored || q < best.quality) best = {q, static_cast<std::int32_t>(p)};
            scored = true;
        } else if (!holdsFast(term, record, name, query.needles)) {
            return std::nullopt;
        }
    }
    return best;
}

// MARK: - Matcher

Matcher::Matcher(std::shared_ptr<const IndexStore> store, WorkerPool* pool)
    : store_(std::move(store)), resolver_(*store_),
      pool_(pool != nullptr ? pool : &WorkerPool::shared()) {}

Matcher::~Matcher() = default;

void Matcher::setTrigrams(std::shared_ptr<const TrigramIndex> trigrams) {
    trigrams_ = std::move(trigrams);
}

const std::string& Matcher::needleFor(const std::string& text) {
    auto it = needleCache_.find(text);
    if (it == needleCache_.end())
        it = needleCache_.emplace(text, SubstringScan::folded(text)).first;
    return it->second;
}

const CompiledRegex* Matcher::regexFor(const std::string& pattern) {
    // A pattern that fails to compile is remembered as failed: it would fail again.
    auto it = regexCache_.find(pattern);
    if (it == regexCache_.end())
        it = regexCache_.emplace(pattern, CompiledRegex::compile(pattern)).first;
    return it->second.get();
}

const std::optional<std::string>& Matcher::regexLiteralFor(const std::string& pattern) {
    auto it = regexLiteralCache_.find(pattern);
    if (it == regexLiteralCache_.end()) {
        std::optional<std::string> literal;
        if (auto bytes = RegexLiteral::required(pattern))
            literal = SubstringScan::folded(std::string(bytes->begin(), bytes->end()));
        it = regexLiteralCache_.emplace(pattern, std::move(literal)).first;
    }
    return it->second;
}

const std::u16string& Matcher::foldedPathNeedleFor(const std::string& text) {
    auto it = pathNeedleCache_.find(text);
    if (it == pathNeedleCache_.end()) it = pathNeedleCache_.emplace(text, caseFolded(text)).first;
    return it->second;
}

Matcher::PreparedTerm Matcher::prepare(const Term& term) {
    PreparedTerm p;
    p.kind = term.kind();
    switch (term.kind()) {
    case Term::Kind::substring:
    case Term::Kind::exactPhrase:
    case Term::Kind::ext:
        p.needle = needleFor(term.text());
        break;
    case Term::Kind::pathContains:
        preparePath(p, term.text());
        break;
    case Term::Kind::regex: {
        // The literal first: a name without it never runs the expression.
        const std::optional<std::string>& literal = regexLiteralFor(term.text());
        if (literal) p.literal = *literal;
        p.regex = regexFor(term.text());
        break;
    }
    case Term::Kind::size:
        p.size = term.sizeComparison();
        break;
    case Term::Kind::dateModified:
        p.dates = term.dateConstraint().range(std::time(nullptr));
        break;
    case Term::Kind::type:
        p.type = term.typeConstraint();
        break;
    case Term::Kind::contains:
        break;
    case Term::Kind::not_:
        p.inner.push_back(prepare(term.inner()));
        break;
    }
    return p;
}

void Matcher::preparePath(PreparedTerm& p, const std::string& text) {
    p.needle = needleFor(text);
    p.pathHasSlash = text.find('/') != std::string::npos;
    if (p.pathHasSlash) {
        p.foldedPath = &foldedPathNeedleFor(text);
        p.pathIsAscii = isAscii(text);
    }
}

namespace {

// How much testing a term costs: its record's fields only, its name, an expression, a path.
int costOf(const Term& term) {
    switch (term.kind()) {
    case Term::Kind::size:
    case Term::Kind::dateModified:
    case Term::Kind::type:
    case Term::Kind::contains:
        return 0;
    case Term::Kind::substring:
    case Term::Kind::exactPhrase:
    case Term::Kind::ext:
        return 1;
    case Term::Kind::regex:
        return 2;
    case Term::Kind::pathContains:
        return 3;
    case Term::Kind::not_:
        return costOf(term.inner());
    }
    return 3;
}

} // namespace

std::vector<const Term*> cheapestFirst(const std::vector<Term>& terms) {
    // Every term must hold, so their order does not change the answer, except among scored terms
    // (the first of equal grades gives the offset); a stable sort keeps those in query order.
    std::vector<const Term*> order;
    for (const Term& t : terms)
        order.push_back(&t);
    std::stable_sort(order.begin(), order.end(),
                     [](const Term* a, const Term* b) { return costOf(*a) < costOf(*b); });
    return order;
}

Matcher::PreparedList Matcher::prepareList(const std::vector<Term>& terms) {
    PreparedList list;
    list.severalWords = plainWordCount(terms) >= 2;
    for (const Term* t : cheapestFirst(terms)) {
        PreparedTerm p = prepare(*t);
        if (list.severalWords && isPlainWord(*t)) {
            p.orInFolder = true;
            preparePath(p, t->text());
        }
        list.terms.push_back(std::move(p));
    }
    return list;
}

Matcher::Prepared Matcher::prepareQuery(const Query& query) {
    Prepared prepared;
    prepared.andTerms = prepareList(query.andTerms);
    for (const auto& group : query.orGroups)
        prepared.groups.push_back(prepareList(group));
    return prepared;
}

bool Matcher::matches(const Term& term, std::uint32_t id) {
    if (id >= store_->count()) return false;
    const PreparedTerm prepared = prepare(term);
    Scratch scratch;
    return RecordEvaluator(*store_, resolver_).holds(prepared, id, scratch);
}

std::vector<Match> Matcher::recordByRecord(const Query& query, Candidates candidates) {
    if (query.andTerms.empty() && query.orGroups.empty()) return {};
    const Prepared prepared = prepareQuery(query);
    const RecordEvaluator evaluator(*store_, resolver_);
    const std::size_t count = store_->count();
    const std::size_t n = candidates ? candidates->size() : count;
    // Candidates stay in the order given; a big list is tested in ordered shards.
    return runSharded<Match>(
        *pool_, n, [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
            Scratch scratch;
            out.reserve(std::min<std::size_t>(to - from, 4096));
            for (std::size_t i = from; i < to; ++i) {
                const std::uint32_t id =
                    candidates ? (*candidates)[i] : static_cast<std::uint32_t>(i);
                if (id >= count || store_->operator[](id).flags.contains(RecordFlags::deleted))
                    continue;
                if (const std::optional<Scored> r = evaluator.evaluate(prepared, id, scratch))
                    out.push_back(Match{id, r->quality, r->offset});
            }
        });
}

} // namespace ulmaro
