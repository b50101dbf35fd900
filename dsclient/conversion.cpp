#include "dsclient/conversion.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/descriptionreader.h"

namespace dsclient {

using schemadesc::AttrUsage;
using schemadesc::ClassKind;
using schemadesc::excerpt;
using schemadesc::OidMacros;
using schemadesc::ParsedNameForm;
using schemadesc::ParsedRule;
using schemadesc::ParsedSyntax;
using schemadesc::parseNameForm;
using schemadesc::parseRule;
using schemadesc::parseSyntax;

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A table of names to positions in one flat array, searched by open
// addressing: a look-up reads one slot, whose full hash settles almost every
// miss, and then the one name it compares. With a hundred thousand names
// the nodes of a node-based table lie all over the heap, and each look-up
// walked several of them. The first of equal names stays. The names are
// views of the parsed definitions, which outlive the table.
template <class Hash, class Equal>
class FlatTable {
  public:
    // Sized once for `count` names, at most two thirds full.
    void reserve(std::size_t count) {
        const std::size_t capacity = count + count / 2 + 16;
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        used_ = 0;
        for (const Slot& slot : old) {
            if (slot.position != kEmpty) {
                add(slot.name(), slot.position, slot.resolvedName());
            }
        }
    }

    void add(std::string_view name, std::size_t position, std::string_view resolved) {
        // More names than reserved for: never more than two thirds full.
        if (3 * (used_ + 1) > 2 * slots_.size()) {
            reserve(2 * (used_ + 1));
        }
        const std::uint32_t hash = hashOf(name);
        for (std::size_t at = start(hash);; at = next(at)) {
            Slot& slot = slots_[at];
            if (slot.position == kEmpty) {
                slot = {name.data(),
                        resolved.data(),
                        static_cast<std::uint32_t>(name.size()),
                        static_cast<std::uint32_t>(resolved.size()),
                        static_cast<std::uint32_t>(position),
                        hash};
                ++used_;
                return;
            }
            if (slot.hash == hash && Equal{}(slot.name(), name)) {
                return;
            }
        }
    }

    std::optional<std::size_t> find(std::string_view name) const {
        const Slot* slot = findSlot(name);
        return slot != nullptr ? std::optional<std::size_t>(slot->position) : std::nullopt;
    }

    // The name a reference resolves to, without reading the definition.
    std::optional<std::string_view> resolve(std::string_view name) const {
        const Slot* slot = findSlot(name);
        return slot != nullptr ? std::optional<std::string_view>(slot->resolvedName())
                               : std::nullopt;
    }

    // Asks for the slot where a look-up of `name` starts: a class's members
    // asked for a little ahead of their look-ups wait for memory together
    // rather than one after another.
    void prefetchSlot(std::string_view name) const {
        if (!slots_.empty()) {
            __builtin_prefetch(&slots_[start(hashOf(name))]);
        }
    }

    // Asks for the text of the first name whose hash is that of `name`, once
    // its slot has arrived.
    void prefetchName(std::string_view name) const {
        if (slots_.empty()) {
            return;
        }
        const std::uint32_t hash = hashOf(name);
        for (std::size_t at = start(hash);; at = next(at)) {
            const Slot& slot = slots_[at];
            if (slot.position == kEmpty) {
                return;
            }
            if (slot.hash == hash) {
                __builtin_prefetch(slot.data);
                __builtin_prefetch(slot.resolved);
                return;
            }
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = static_cast<std::uint32_t>(-1);
    // Positions and name lengths fit 32 bits: the table serves the
    // definitions of one schema, each a value of at most a few kilobytes.
    // A slot also holds the name its definition is known by, so that a
    // resolved reference costs no visit to the definition itself.
    struct Slot {
        const char* data = nullptr;
        const char* resolved = nullptr;
        std::uint32_t size = 0;
        std::uint32_t resolvedSize = 0;
        std::uint32_t position = kEmpty;
        std::uint32_t hash = 0;
        std::string_view name() const { return {data, size}; }
        std::string_view resolvedName() const { return {resolved, resolvedSize}; }
    };

    static std::uint32_t hashOf(std::string_view name) {
        return static_cast<std::uint32_t>(Hash{}(name));
    }
    // Where the probe for `hash` starts: the hash, stirred so that names
    // differing only in their last characters land apart, scaled to the
    // table by a multiplication rather than a division.
    std::size_t start(std::uint32_t hash) const {
        const std::uint64_t stirred = static_cast<std::uint32_t>(hash * 0x9E3779B1U);
        return static_cast<std::size_t>((stirred * slots_.size()) >> 32);
    }

    const Slot* findSlot(std::string_view name) const {
        if (slots_.empty()) {
            return nullptr;
        }
        const std::uint32_t hash = hashOf(name);
        for (std::size_t at = start(hash);; at = next(at)) {
            const Slot& slot = slots_[at];
            if (slot.position == kEmpty) {
                return nullptr;
            }
            if (slot.hash == hash && Equal{}(slot.name(), name)) {
                return &slot;
            }
        }
    }
    std::size_t next(std::size_t at) const { return at + 1 == slots_.size() ? 0 : at + 1; }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

struct ExactHash {
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// Finds the definitions of one kind by any of their NAMEs (letter case
// ignored) and then by OID; of several, the first in source order.
class DefinitionIndex {
  public:
    explicit DefinitionIndex(const OidMacros& macros) : macros_(macros) {}

    // Sized once for the definitions to come: the table never grows.
    void reserve(std::size_t names, std::size_t oids) {
        byName_.reserve(names);
        byOid_.reserve(oids);
    }

    // `resolved` is the name the definition is known by (its first NAME,
    // else its OID); the names, the OID and it must outlive the index.
    template <class Names>
    void add(const Names& names, std::string_view oid, std::size_t position,
             std::string_view resolved) {
        for (const std::string_view name : names) {
            byName_.add(name, position, resolved);
        }
        if (!oid.empty()) {
            byOid_.add(oid, position, resolved);
        }
    }

    std::optional<std::size_t> find(std::string_view reference) const {
        if (reference.empty()) {
            return std::nullopt;
        }
        if (const auto found = byName_.find(reference)) {
            return found;
        }
        if (const auto found = byOid_.find(reference)) {
            return found;
        }
        // Only a reference that begins with a macro name can expand; a
        // numeric one is its own expansion and was looked for above.
        if (isDigit(reference.front())) {
            return std::nullopt;
        }
        return byOid_.find(macros_.expand(std::string(reference)));
    }

    // The name the definition `reference` finds is known by, or the
    // reference itself; the same search as find.
    std::string_view resolve(std::string_view reference) const {
        if (reference.empty()) {
            return reference;
        }
        if (const auto found = byName_.resolve(reference)) {
            return *found;
        }
        if (const auto found = byOid_.resolve(reference)) {
            return *found;
        }
        if (isDigit(reference.front())) {
            return reference;
        }
        return byOid_.resolve(macros_.expand(std::string(reference))).value_or(reference);
    }

    // Gives the tables' room back; nothing can be found after this.
    void release() {
        byName_ = {};
        byOid_ = {};
    }

    // Most references are names: their slots first, then their texts.
    void prefetchSlot(std::string_view reference) const { byName_.prefetchSlot(reference); }
    void prefetchName(std::string_view reference) const { byName_.prefetchName(reference); }

  private:
    const OidMacros& macros_;
    FlatTable<NameHash, NameEqual> byName_;
    FlatTable<ExactHash, std::equal_to<std::string_view>> byOid_;
};

template <class Parsed>
std::size_t nameCount(const std::vector<Parsed>& parsed) {
    std::size_t count = 0;
    for (const Parsed& one : parsed) {
        count += one.names.size();
    }
    return count;
}

template <class Parsed>
const std::string& definitionName(const Parsed& parsed) {
    return parsed.names.empty() ? parsed.oid : parsed.names.front();
}

// The names already in one list of each class, so that a list gathered
// from many name forms or rules takes each name once without searching the
// list for every name added. The views are of names in the parsed
// definitions, which outlive it.
class ListOnce {
  public:
    explicit ListOnce(ClassList list) : list_(list) {}

    void add(std::vector<ClassDefinition>& definitions, std::size_t owner, std::string_view name) {
        if (seen_[owner].insert(name).second) {
            definitions[owner].lists[list_].push_back(name);
        }
    }

  private:
    ClassList list_;
    std::unordered_map<std::size_t, std::unordered_set<std::string_view, NameHash, NameEqual>>
        seen_;
};

template <class Definition>
void failKind(KindContent<Definition>& kind, const Description& description, const char* what) {
    if (kind.code == 0) {
        kind.code = QXERR_CANNOT_PARSE;
        kind.diagnostic =
            description.origin + ": " + what + " does not parse: " + excerpt(description.text);
    }
}

// The syntax id for an attribute of `syntax` (a numeric OID) compared by
// the matching rule `equality`.
std::uint32_t syntaxIdOf(const std::string& syntax, const std::string& equality) {
    static const std::map<std::string_view, std::uint32_t> kIds = {
        {"12", SYN_DIST_NAME},    {"34", SYN_DIST_NAME},   {"15", SYN_CI_STRING},
        {"26", SYN_CE_STRING},    {"44", SYN_PR_STRING},   {"11", SYN_PR_STRING},
        {"36", SYN_NU_STRING},    {"7", SYN_BOOLEAN},      {"27", SYN_INTEGER},
        {"40", SYN_OCTET_STRING}, {"5", SYN_OCTET_STRING}, {"28", SYN_OCTET_STRING},
        {"8", SYN_OCTET_STRING},  {"9", SYN_OCTET_STRING}, {"10", SYN_OCTET_STRING},
        {"50", SYN_TEL_NUMBER},   {"22", SYN_FAX_NUMBER},  {"39", SYN_EMAIL_ADDRESS},
        {"41", SYN_PO_ADDRESS},   {"38", SYN_CLASS_NAME},  {"24", SYN_TIME},
        {"53", SYN_TIME},
    };
    // Active-Directory-style servers publish these under their own arc; a
    // large integer is an INTEGER in Debian's msuser schema, the rest take
    // the id of the standard syntax they stand closest to.
    static const std::map<std::string_view, std::uint32_t> kDirectoryIds = {
        {"1.2.840.113556.1.4.906", SYN_INTEGER},      {"1.2.840.113556.1.4.905", SYN_CI_STRING},
        {"1.2.840.113556.1.4.1362", SYN_CE_STRING},   {"1.2.840.113556.1.4.907", SYN_OCTET_STRING},
        {"1.2.840.113556.1.4.903", SYN_OCTET_STRING}, {"1.2.840.113556.1.4.904", SYN_OCTET_STRING},
    };
    constexpr std::string_view kPrefix = "1.3.6.1.4.1.1466.115.121.1.";
    constexpr std::string_view kUuid = "1.3.6.1.1.16.1";
    if (syntax == kUuid) {
        return SYN_OCTET_STRING;
    }
    if (const auto directory = kDirectoryIds.find(syntax); directory != kDirectoryIds.end()) {
        return directory->second;
    }
    if (syntax.size() <= kPrefix.size() || syntax.compare(0, kPrefix.size(), kPrefix) != 0) {
        return SYN_UNKNOWN;
    }
    const auto found = kIds.find(std::string_view(syntax).substr(kPrefix.size()));
    if (found == kIds.end()) {
        return SYN_UNKNOWN;
    }
    // A directory string compared exactly, and an IA5 string compared
    // without regard to case, are the other kind of string.
    if (found->first == "15" &&
        (namesEqual(equality, "caseExactMatch") || equality == "2.5.13.5")) {
        return SYN_CE_STRING;
    }
    if (found->first == "26" &&
        (namesEqual(equality, "caseIgnoreIA5Match") || equality == "1.3.6.1.4.1.1466.109.114.2")) {
        return SYN_CI_STRING;
    }
    return found->second;
}

// Texts kept where they were first written until the pool goes, in a few
// large blocks rather than a block each.
class TextPool {
  public:
    std::string_view keep(std::string_view text) {
        if (text.empty()) {
            return {};
        }
        if (blocks_.empty() || text.size() > room_) {
            const std::size_t size = std::max(text.size(), kBlockSize);
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            next_ = blocks_.back().get();
            room_ = size;
        }
        char* const at = next_;
        std::copy(text.begin(), text.end(), at);
        next_ += text.size();
        room_ -= text.size();
        return {at, text.size()};
    }

  private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20U;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t room_ = 0;
};

// What of a parsed attribute the conversion reads after parsing: its syntax
// and matching rule are numbered in tables instead, and a hundred thousand
// attributes need not carry their empty strings. The texts are views into
// the converter's pool, the NAMEs a run of its list of them: as strings and
// a vector, each attribute took three blocks and several times the room.
struct KeptAttr {
    std::string_view oid;
    std::string_view superior;
    std::uint32_t firstName = 0;
    std::uint32_t nameCount = 0;
    bool bounded = false;
    bool singleValue = false;
    bool noUserModification = false;
    AttrUsage usage = AttrUsage::userApplications;
};

// What of a parsed class the conversion reads after parsing, its names and
// lists packed: as strings, the members of twenty thousand classes took more
// room than all the rest of the parsed schema.
struct KeptClass {
    std::string oid;
    PackedNames names;
    ClassKind kind = ClassKind::structural;
    PackedNames superiors;
    PackedNames must;
    PackedNames may;
};

// The name a class is known by: its first NAME, else its OID.
std::string_view definitionName(const KeptClass& parsed) {
    return parsed.names.empty() ? std::string_view(parsed.oid) : *parsed.names.begin();
}

// The few different texts (syntaxes, matching rules) that a hundred thousand
// attributes name, each numbered from 1 in the order first named.
class TextNumbers {
  public:
    std::uint32_t number(std::string_view text) {
        if (text.empty()) {
            return 0;
        }
        if (const auto found = numbers_.find(text); found != numbers_.end()) {
            return found->second;
        }
        texts_.emplace_back(text);
        const auto number = static_cast<std::uint32_t>(texts_.size());
        numbers_.emplace(texts_.back(), number);
        return number;
    }
    const std::string& text(std::uint32_t number) const { return texts_[number - 1]; }

  private:
    // A deque, so that the views the table holds stay where they are.
    std::deque<std::string> texts_;
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
};

class Converter {
  public:
    // With `consumed` (the same descriptions), each kind's texts are freed
    // as soon as they are parsed.
    Converter(const Descriptions& descriptions, Descriptions* consumed)
        : in_(descriptions),
          consumed_(consumed),
          macros_(descriptions.oidMacros),
          classIndex_(macros_),
          attrIndex_(macros_),
          formIndex_(macros_) {}

    SchemaContent run() {
        parseAll();
        // The classes first: their parsed lists go as they are converted,
        // before the attribute definitions take their room.
        convertClasses();
        // Nothing looks for a class after this: the parsed classes and their
        // look-ups go before the attribute definitions take their room.
        for (std::size_t i = 0; i < classes_.size() && i < out_.classes.definitions.size(); ++i) {
            out_.classes.definitions[i].name = definitionName(classes_[i]);
        }
        std::vector<KeptClass>().swap(classes_);
        classIndex_.release();
        formIndex_.release();
        convertAttrs();
        convertSyntaxes();
        // Named last, once the attributes' look-ups are over, so that their
        // names are not held twice while the look-ups run.
        for (std::size_t i = 0; i < attrs_.size() && i < out_.attrs.definitions.size(); ++i) {
            out_.attrs.definitions[i].name = nameOf(attrs_[i]);
        }
        if (consumed_ != nullptr) {
            out_.entries = std::move(consumed_->entries);
        } else {
            out_.entries = in_.entries;
        }
        if (out_.classes.code != 0) {
            out_.classes.definitions.clear();
        }
        if (out_.attrs.code != 0) {
            out_.attrs.definitions.clear();
        }
        if (out_.syntaxes.code != 0) {
            out_.syntaxes.definitions.clear();
        }
        return std::move(out_);
    }

  private:
    // Parses every description of `member`; with consumed descriptions each
    // text is freed as soon as it is parsed, and the kind's list after it.
    template <class Parsed, class Definition, class Parse>
    void parseKind(std::vector<Description> Descriptions::*member, std::vector<Parsed>& parsed,
                   KindContent<Definition>& kind, const char* what, Parse parse) {
        const std::vector<Description>& descriptions = in_.*member;
        parsed.reserve(descriptions.size());
        for (std::size_t i = 0; i < descriptions.size(); ++i) {
            std::optional<Parsed> one = parse(descriptions[i].text, macros_);
            if (one) {
                parsed.push_back(std::move(*one));
            } else {
                failKind(kind, descriptions[i], what);
            }
            if (consumed_ != nullptr) {
                Description& done = (consumed_->*member)[i];
                std::string().swap(done.text);
                std::string().swap(done.origin);
            }
        }
        if (consumed_ != nullptr) {
            std::vector<Description>().swap(consumed_->*member);
        }
    }

    std::optional<KeptClass> parseAndPackClass(const std::string& text, const OidMacros& macros) {
        if (!classReader_.read(text, macros)) {
            return std::nullopt;
        }
        KeptClass kept;
        kept.oid = classReader_.oid();
        kept.names = PackedNames(classReader_.names());
        kept.kind = classReader_.kind();
        kept.superiors = PackedNames(classReader_.superiors());
        kept.must = PackedNames(classReader_.must());
        kept.may = PackedNames(classReader_.may());
        return kept;
    }

    // An attribute's syntax and matching rule become numbers in tables of
    // the few different ones a schema names, so that a hundred thousand
    // attributes do not each hold their own copies.
    std::optional<KeptAttr> parseAndInternAttr(const std::string& text, const OidMacros& macros) {
        if (!attrReader_.read(text, macros)) {
            return std::nullopt;
        }
        const schemadesc::AttrReader& attr = attrReader_;
        facts_.push_back(
            {syntaxTexts_.number(attr.syntax()), equalityTexts_.number(attr.equality())});
        KeptAttr kept;
        kept.oid = attrTexts_.keep(attr.oid());
        kept.superior = attrTexts_.keep(attr.superior());
        if (attrNames_.size() + attr.names().size() > UINT32_MAX) {
            throw std::length_error("more attribute names than a schema can hold");
        }
        kept.firstName = static_cast<std::uint32_t>(attrNames_.size());
        kept.nameCount = static_cast<std::uint32_t>(attr.names().size());
        for (const std::string_view name : attr.names()) {
            attrNames_.push_back(attrTexts_.keep(name));
        }
        kept.bounded = attr.bounded();
        kept.singleValue = attr.singleValue();
        kept.noUserModification = attr.noUserModification();
        kept.usage = attr.usage();
        return kept;
    }

    void parseAll() {
        parseKind(&Descriptions::objectClasses, classes_, out_.classes, "object class",
                  [this](const std::string& text, const OidMacros& macros) {
                      return parseAndPackClass(text, macros);
                  });
        parseKind(&Descriptions::nameForms, forms_, out_.classes, "name form", parseNameForm);
        parseKind(&Descriptions::structureRules, rules_, out_.classes, "DIT structure rule",
                  parseRule);
        facts_.reserve(in_.attributeTypes.size());
        parseKind(&Descriptions::attributeTypes, attrs_, out_.attrs, "attribute type",
                  [this](const std::string& text, const OidMacros& macros) {
                      return parseAndInternAttr(text, macros);
                  });
        parseKind(&Descriptions::ldapSyntaxes, syntaxes_, out_.syntaxes, "syntax", parseSyntax);
        classIndex_.reserve(nameCount(classes_), classes_.size());
        attrIndex_.reserve(attrNames_.size(), attrs_.size());
        formIndex_.reserve(nameCount(forms_), forms_.size());
        for (std::size_t i = 0; i < classes_.size(); ++i) {
            classIndex_.add(classes_[i].names, classes_[i].oid, i, definitionName(classes_[i]));
        }
        for (std::size_t i = 0; i < attrs_.size(); ++i) {
            attrIndex_.add(namesOf(attrs_[i]), attrs_[i].oid, i, nameOf(attrs_[i]));
        }
        for (std::size_t i = 0; i < forms_.size(); ++i) {
            formIndex_.add(forms_[i].names, forms_[i].oid, i, definitionName(forms_[i]));
        }
        for (std::size_t i = 0; i < rules_.size(); ++i) {
            ruleById_.emplace(rules_[i].id, i);
        }
    }

    std::span<const std::string_view> namesOf(const KeptAttr& attr) const {
        return {attrNames_.data() + attr.firstName, attr.nameCount};
    }

    // The name an attribute is known by: its first NAME, else its OID.
    std::string_view nameOf(const KeptAttr& attr) const {
        return attr.nameCount != 0 ? attrNames_[attr.firstName] : attr.oid;
    }

    // The name a reference resolves to, or the reference as written.
    std::string_view resolveClass(std::string_view reference) const {
        return classIndex_.resolve(reference);
    }

    std::string_view resolveAttr(std::string_view reference) const {
        return attrIndex_.resolve(reference);
    }

    // The look-ups of a class's lists, a few classes ahead: the slots of the
    // class two ahead and the names of the class one ahead are asked for
    // before this class's are searched, so that their cache misses overlap.
    void prefetchSlots(const KeptClass& parsed) const {
        for (const std::string_view superior : parsed.superiors) {
            classIndex_.prefetchSlot(superior);
        }
        for (const auto* list : {&parsed.must, &parsed.may}) {
            for (const std::string_view attr : *list) {
                attrIndex_.prefetchSlot(attr);
            }
        }
    }

    void prefetchNames(const KeptClass& parsed) const {
        for (const std::string_view superior : parsed.superiors) {
            classIndex_.prefetchName(superior);
        }
        for (const auto* list : {&parsed.must, &parsed.may}) {
            for (const std::string_view attr : *list) {
                attrIndex_.prefetchName(attr);
            }
        }
    }

    // For every attribute, the nearest one on its SUP chain, starting with
    // itself, that has what `has` looks for; none at an undefined SUP or a
    // loop. Each chain is walked once: every attribute on a walk takes the
    // walk's answer, and a later walk that reaches one stops there.
    template <class Has>
    std::vector<std::size_t> nearestOfAll(Has has) const {
        enum class State : unsigned char { unknown, walking, known };
        std::vector<State> state(attrs_.size(), State::unknown);
        std::vector<std::size_t> nearest(attrs_.size(), kNone);
        std::vector<std::size_t> walk;
        for (std::size_t start = 0; start < attrs_.size(); ++start) {
            std::size_t answer = kNone;
            std::size_t current = start;
            while (true) {
                if (state[current] == State::known) {
                    answer = nearest[current];
                    break;
                }
                if (state[current] == State::walking) {
                    break;  // a loop with nothing to find on it
                }
                state[current] = State::walking;
                walk.push_back(current);
                if (has(facts_[current])) {
                    answer = current;
                    break;
                }
                const auto next = attrIndex_.find(attrs_[current].superior);
                if (!next) {
                    break;
                }
                current = *next;
            }
            for (const std::size_t walked : walk) {
                state[walked] = State::known;
                nearest[walked] = answer;
            }
            walk.clear();
        }
        return nearest;
    }

    void convertAttrs() {
        const std::vector<std::size_t> syntaxes =
            nearestOfAll([](const AttrFacts& a) { return a.syntax != 0; });
        const std::vector<std::size_t> equalities =
            nearestOfAll([](const AttrFacts& a) { return a.equality != 0; });
        const std::string none;
        out_.attrs.definitions.reserve(attrs_.size());
        for (std::size_t i = 0; i < attrs_.size(); ++i) {
            const KeptAttr& attr = attrs_[i];
            const std::size_t withSyntax = syntaxes[i];
            const std::size_t withEquality = equalities[i];
            AttrDefinition definition;
            if (withSyntax != kNone) {
                definition.syntaxId = syntaxIdOf(
                    syntaxTexts_.text(facts_[withSyntax].syntax),
                    withEquality != kNone ? equalityTexts_.text(facts_[withEquality].equality)
                                          : none);
            } else {
                definition.syntaxId = QX_NO_SYNTAX;
            }
            if (attr.singleValue) {
                definition.flags |= DS_SINGLE_VALUED_ATTR;
            }
            if (withSyntax != kNone && attrs_[withSyntax].bounded) {
                definition.flags |= DS_SIZED_ATTR;
            }
            if (attr.noUserModification) {
                definition.flags |= DS_READ_ONLY_ATTR;
            }
            if (attr.usage != AttrUsage::userApplications) {
                definition.flags |= DS_HIDDEN_ATTR;
            }
            if (attr.usage == AttrUsage::dsaOperation) {
                definition.flags |= DS_PER_REPLICA;
            }
            switch (definition.syntaxId) {
                case SYN_CE_STRING:
                case SYN_CI_STRING:
                case SYN_PR_STRING:
                case SYN_NU_STRING:
                case SYN_TEL_NUMBER:
                    definition.flags |= DS_STRING_ATTR;
                    break;
                default:
                    break;
            }
            out_.attrs.definitions.push_back(std::move(definition));
        }
    }

    void convertSyntaxes() {
        out_.syntaxes.definitions.reserve(syntaxes_.size());
        for (const ParsedSyntax& syntax : syntaxes_) {
            SyntaxDefinition definition;
            definition.name = syntax.oid;
            definition.flags = syntax.humanReadable ? DS_STRING : 0;
            out_.syntaxes.definitions.push_back(std::move(definition));
        }
    }

    // The class a rule's name form is of, when both resolve.
    std::optional<std::size_t> classOfRule(const ParsedRule& rule) const {
        const auto form = formIndex_.find(rule.form);
        if (!form) {
            return std::nullopt;
        }
        return classIndex_.find(forms_[*form].objectClass);
    }

    // The names `references` resolve to, into `list` sized once for them;
    // `resolved` is room for the look-ups, kept from list to list.
    static void fillList(PackedNames& list, const PackedNames& references,
                         const DefinitionIndex& index, std::vector<std::string_view>& resolved) {
        resolved.clear();
        std::size_t bytes = 0;
        for (const std::string_view reference : references) {
            resolved.push_back(index.resolve(reference));
            bytes += resolved.back().size();
        }
        list.reserve(resolved.size(), bytes);
        for (const std::string_view name : resolved) {
            list.push_back(name);
        }
    }

    void convertClasses() {
        std::vector<ClassDefinition>& definitions = out_.classes.definitions;
        definitions.reserve(classes_.size());
        std::vector<std::string_view> resolved;
        for (std::size_t i = 0; i < classes_.size(); ++i) {
            if (i + 8 < classes_.size()) {
                prefetchSlots(classes_[i + 8]);
            }
            if (i + 4 < classes_.size()) {
                prefetchNames(classes_[i + 4]);
            }
            KeptClass& parsed = classes_[i];
            ClassDefinition definition;
            if (parsed.kind == ClassKind::structural) {
                definition.flags |= DS_EFFECTIVE_CLASS;
            } else if (parsed.kind == ClassKind::auxiliary) {
                definition.flags |= DS_AUXILIARY_CLASS;
            }
            fillList(definition.lists[SUPERCLASSES], parsed.superiors, classIndex_, resolved);
            fillList(definition.lists[MANDATORY], parsed.must, attrIndex_, resolved);
            fillList(definition.lists[OPT], parsed.may, attrIndex_, resolved);
            definitions.push_back(std::move(definition));
            // Only the names and OID of a class are looked for later: its
            // lists go as the converted ones grow.
            parsed.superiors.release();
            parsed.must.release();
            parsed.may.release();
        }
        ListOnce namedBy(NAMEDBY);
        for (const ParsedNameForm& form : forms_) {
            const auto owner = classIndex_.find(form.objectClass);
            if (!owner) {
                continue;
            }
            for (const auto* list : {&form.must, &form.may}) {
                for (const std::string& attr : *list) {
                    namedBy.add(definitions, *owner, resolveAttr(attr));
                }
            }
        }
        ListOnce containment(CONTAINMENT);
        for (const ParsedRule& rule : rules_) {
            const auto owner = classOfRule(rule);
            for (int superiorId : rule.superiors) {
                const auto superior = ruleById_.find(superiorId);
                if (superior == ruleById_.end()) {
                    continue;
                }
                const ParsedRule& superiorRule = rules_[superior->second];
                if (const auto container = classOfRule(superiorRule)) {
                    definitions[*container].flags |= DS_CONTAINER_CLASS;
                }
                const auto superiorForm = formIndex_.find(superiorRule.form);
                if (owner && superiorForm) {
                    containment.add(definitions, *owner,
                                    resolveClass(forms_[*superiorForm].objectClass));
                }
            }
        }
    }

    const Descriptions& in_;
    Descriptions* consumed_;
    OidMacros macros_;
    std::vector<KeptClass> classes_;
    std::vector<KeptAttr> attrs_;
    TextPool attrTexts_;
    std::vector<std::string_view> attrNames_;
    // By the same index as attrs_: the syntax and matching rule, numbered
    // from 1 into the tables below (0: none).
    struct AttrFacts {
        std::uint32_t syntax = 0;
        std::uint32_t equality = 0;
    };
    std::vector<AttrFacts> facts_;
    TextNumbers syntaxTexts_;
    TextNumbers equalityTexts_;
    schemadesc::AttrReader attrReader_;
    schemadesc::ClassReader classReader_;
    std::vector<ParsedSyntax> syntaxes_;
    std::vector<ParsedNameForm> forms_;
    std::vector<ParsedRule> rules_;
    DefinitionIndex classIndex_;
    DefinitionIndex attrIndex_;
    DefinitionIndex formIndex_;
    std::map<int, std::size_t> ruleById_;
    SchemaContent out_;
};

SchemaContent convertWith(const Descriptions& descriptions, Descriptions* consumed) {
    try {
        return Converter(descriptions, consumed).run();
    } catch (...) {
        // Only allocation can fail here; whatever it was, no kind can be read.
    }
    SchemaContent failed;
    failed.classes.code = failed.attrs.code = failed.syntaxes.code = QXERR_OUT_OF_MEMORY;
    try {
        failed.classes.diagnostic = failed.attrs.diagnostic = failed.syntaxes.diagnostic =
            "out of memory while converting the schema";
    } catch (...) {
        // The codes alone still tell the reader what happened.
    }
    return failed;
}

}  // namespace

SchemaContent convertDescriptions(const Descriptions& descriptions) {
    return convertWith(descriptions, nullptr);
}

SchemaContent convertDescriptions(Descriptions&& descriptions) {
    SchemaContent content = convertWith(descriptions, &descriptions);
    descriptions = Descriptions{};
    return content;
}

}  // namespace dsclient
