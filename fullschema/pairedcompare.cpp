#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "fullschema/fieldcomparer.h"

// Each kind's fields of two paired definitions, with the severities that a
// change of each has for entries and clients valid under A.
namespace fullschema {

namespace {

constexpr Severity breaking = Severity::breaking;
constexpr Severity compatible = Severity::compatible;

// Any change breaks.
constexpr ChangeRule fixed{breaking, breaking, breaking};
// A member more allows more (MAY, AUX, APPLIES).
constexpr ChangeRule allowing{breaking, compatible, breaking};
// A member more demands more (MUST, NOT).
constexpr ChangeRule demanding{breaking, breaking, compatible};

bool inheritsFromPairedSupertype(const FieldComparer& fields, Inherited field) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    if (!ownValue(a, field).empty() || !ownValue(b, field).empty() || a.superiors.empty() ||
        b.superiors.empty()) {
        return false;
    }
    const ComparisonContext& context = fields.context();
    const auto supA = context.a.resolve(Kind::attributeTypes, a.superiors.front());
    const auto supB = context.b.resolve(Kind::attributeTypes, b.superiors.front());
    return supA && supB && context.pairing(Kind::attributeTypes).aToB[*supA] == *supB;
}

// A length bound added or lowered refuses values that A accepts; removed
// or raised it refuses none.
void compareSyntax(FieldComparer& fields, const FullDefinition* a, const FullDefinition* b,
                   bool boundBreaksOnlyWhenTighter) {
    const std::string none;
    const std::string& syntaxA = a ? a->syntax : none;
    const std::string& syntaxB = b ? b->syntax : none;
    const std::uint32_t lengthA = a ? a->syntaxLength : 0;
    const std::uint32_t lengthB = b ? b->syntaxLength : 0;
    const auto value = [](const std::string& syntax, std::uint32_t length) {
        return syntax.empty() ? Value{} : Value::ofText(syntaxText(syntax, length));
    };
    Severity severity = breaking;
    if (fields.sameReference(Kind::ldapSyntaxes, syntaxA, syntaxB)) {
        if (lengthA == lengthB) {
            return;
        }
        const bool tighter = lengthB != 0 && (lengthA == 0 || lengthB < lengthA);
        severity = tighter || !boundBreaksOnlyWhenTighter ? breaking : compatible;
    }
    fields.report("SYNTAX", value(syntaxA, lengthA), value(syntaxB, lengthB), severity);
}

std::optional<FullDefinition> sourceDefinition(const FullSchema& schema, const Source& source) {
    if (source.index == Source::none) {
        return std::nullopt;
    }
    return schema.definitions(Kind::attributeTypes)[source.index];
}

// The effective value: the type's own, else its nearest supertype's.
void compareInherited(FieldComparer& fields, Inherited field, std::string_view keyword) {
    const ComparisonContext& context = fields.context();
    const Source& sourceA = context.source(Side::a, field, fields.indexA());
    const Source& sourceB = context.source(Side::b, field, fields.indexB());
    // Reported at the supertype, where the value differs too.
    if (!sourceA.known || !sourceB.known || inheritsFromPairedSupertype(fields, field)) {
        return;
    }
    const std::optional<FullDefinition> definitionA = sourceDefinition(context.a, sourceA);
    const std::optional<FullDefinition> definitionB = sourceDefinition(context.b, sourceB);
    const FullDefinition* a = definitionA ? &*definitionA : nullptr;
    const FullDefinition* b = definitionB ? &*definitionB : nullptr;
    if (field == Inherited::syntax) {
        compareSyntax(fields, a, b, true);
        return;
    }
    const std::string none;
    fields.compareReference(keyword, Kind::matchingRules, a ? ownValue(*a, field) : none,
                            b ? ownValue(*b, field) : none, allowing);
}

void compareAttributeTypes(FieldComparer& fields) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    const std::string none;
    fields.compareReference("SUP", Kind::attributeTypes,
                            a.superiors.empty() ? none : a.superiors.front(),
                            b.superiors.empty() ? none : b.superiors.front(), fixed);
    compareInherited(fields, Inherited::equality, "EQUALITY");
    compareInherited(fields, Inherited::ordering, "ORDERING");
    compareInherited(fields, Inherited::substr, "SUBSTR");
    compareInherited(fields, Inherited::syntax, "SYNTAX");
    fields.compareFlag("SINGLE-VALUE", a.singleValue, b.singleValue, breaking, compatible);
    fields.compareFlag("COLLECTIVE", a.collective, b.collective, breaking, breaking);
    fields.compareFlag("NO-USER-MODIFICATION", a.noUserModification, b.noUserModification, breaking,
                       compatible);
    fields.compareKeyword("USAGE", a.usage, b.usage);
}

// A class's effective MUST and MAY: its own members and those of every
// superclass that both sides hold as superclasses of it. What a superclass
// adds or drops is that superclass's change, reported there.
void compareClassMembers(FieldComparer& fields) {
    ComparisonContext& context = fields.context();
    const auto& classesA = context.a.definitions(Kind::objectClasses);
    const auto& classesB = context.b.definitions(Kind::objectClasses);
    const auto& paired = context.pairing(Kind::objectClasses).aToB;
    const std::vector<std::size_t>& superclassesA = context.superclassesA.from(fields.indexA());
    context.superclassesB.from(fields.indexB());
    std::vector<std::pair<std::size_t, std::size_t>> shared;
    for (const std::size_t superclass : superclassesA) {
        const std::size_t other = paired[superclass];
        if (other != Pairing::none && context.superclassesB.held(other)) {
            shared.emplace_back(superclass, other);
        }
    }
    for (const bool must : {true, false}) {
        const auto members = [must](const FullDefinition& definition) -> const auto& {
            return must ? definition.must : definition.may;
        };
        ReferenceSet inheritedA;
        ReferenceSet inheritedB;
        for (const auto& [superA, superB] : shared) {
            fields.addMembers(inheritedA, Side::a, Kind::attributeTypes, members(classesA[superA]));
            fields.addMembers(inheritedB, Side::b, Kind::attributeTypes, members(classesB[superB]));
        }
        ReferenceSet effectiveA = inheritedA;
        ReferenceSet effectiveB = inheritedB;
        fields.addMembers(effectiveA, Side::a, Kind::attributeTypes, members(fields.inA()));
        fields.addMembers(effectiveB, Side::b, Kind::attributeTypes, members(fields.inB()));
        fields.compareSets(must ? "MUST" : "MAY", effectiveA, effectiveB,
                           must ? demanding : allowing, &inheritedA, &inheritedB);
    }
}

void compareObjectClasses(FieldComparer& fields) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    fields.compareSets("SUP", Kind::objectClasses, a.superiors, b.superiors, fixed);
    fields.compareKeyword("KIND", a.classKind, b.classKind);
    compareClassMembers(fields);
}

void compareContentRules(FieldComparer& fields) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    fields.compareSets("AUX", Kind::objectClasses, a.aux, b.aux, allowing);
    fields.compareSets("MUST", Kind::attributeTypes, a.must, b.must, demanding);
    fields.compareSets("MAY", Kind::attributeTypes, a.may, b.may, allowing);
    fields.compareSets("NOT", Kind::attributeTypes, a.notAllowed, b.notAllowed, demanding);
}

void compareNameForms(FieldComparer& fields) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    fields.compareReference("OC", Kind::objectClasses, a.objectClass, b.objectClass, fixed);
    fields.compareSets("MUST", Kind::attributeTypes, a.must, b.must, demanding);
    fields.compareSets("MAY", Kind::attributeTypes, a.may, b.may, allowing);
}

void compareStructureRules(FieldComparer& fields) {
    const FullDefinition& a = fields.inA();
    const FullDefinition& b = fields.inB();
    fields.compareReference("FORM", Kind::nameForms, a.form, b.form, fixed);
    fields.compareSets("SUP", Kind::dITStructureRules, a.superiors, b.superiors, fixed);
}

void compareOwnFields(FieldComparer& fields, Kind kind) {
    switch (kind) {
        case Kind::ldapSyntaxes:
            break;
        case Kind::matchingRules:
            compareSyntax(fields, &fields.inA(), &fields.inB(), false);
            break;
        case Kind::matchingRuleUse:
            fields.compareSets("APPLIES", Kind::attributeTypes, fields.inA().applies,
                               fields.inB().applies, allowing);
            break;
        case Kind::attributeTypes:
            compareAttributeTypes(fields);
            break;
        case Kind::objectClasses:
            compareObjectClasses(fields);
            break;
        case Kind::dITContentRules:
            compareContentRules(fields);
            break;
        case Kind::dITStructureRules:
            compareStructureRules(fields);
            break;
        case Kind::nameForms:
            compareNameForms(fields);
            break;
    }
}

using Key = ReferenceKeys::Key;

// What of two definitions is compared by its text alone, byte for byte:
// stricter than the comparison, which lets letter case pass in places.
bool sameText(const DefinitionView& a, const DefinitionView& b) {
    return a.oid == b.oid && a.names.bytes() == b.names.bytes() && a.hasDesc == b.hasDesc &&
           a.desc == b.desc && a.obsolete == b.obsolete && a.syntaxLength == b.syntaxLength &&
           a.singleValue == b.singleValue && a.collective == b.collective &&
           a.noUserModification == b.noUserModification && a.usage == b.usage &&
           a.classKind == b.classKind && a.extensionCount == b.extensionCount &&
           a.extensionBytes == b.extensionBytes;
}

// Walks the references of two paired definitions in the order that
// FullSchema::resolvedReferences keeps what they resolve to.
class AlikeCheck {
  public:
    AlikeCheck(const ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
               PairScratch& scratch)
        : keys_(context.keys),
          resolvedA_(context.a.resolvedReferences(kind, inA)),
          resolvedB_(context.b.resolvedReferences(kind, inB)),
          scratch_(scratch) {}

    // One reference each: both absent, or the same key.
    bool single(Kind target, std::string_view a, std::string_view b) {
        const std::size_t placeA = atA_++;
        const std::size_t placeB = atB_++;
        if (a.empty() || b.empty()) {
            return a.empty() && b.empty();
        }
        return ReferenceKeys::same(keyAt(Side::a, target, a, resolvedA_, placeA),
                                   keyAt(Side::b, target, b, resolvedB_, placeB));
    }

    // A set of references each: the same keys, however written or ordered.
    bool set(Kind target, const PackedList& a, const PackedList& b) {
        keysOf(Side::a, target, a, resolvedA_, atA_, scratch_.a);
        keysOf(Side::b, target, b, resolvedB_, atB_, scratch_.b);
        return std::equal(scratch_.a.begin(), scratch_.a.end(), scratch_.b.begin(),
                          scratch_.b.end(), ReferenceKeys::same);
    }

    // In order, each the same key (an attribute type's SUP).
    bool list(Kind target, const PackedList& a, const PackedList& b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
            if (!single(target, *x, *y)) {
                return false;
            }
        }
        return true;
    }

  private:
    // What is kept where there is any; else looked up again.
    Key keyAt(Side side, Kind target, std::string_view reference,
              std::span<const std::uint32_t> resolved, std::size_t at) const {
        return at < resolved.size() ? keys_.keyOf(side, target, reference, resolved[at])
                                    : keys_.keyOf(side, target, reference);
    }

    // Sorted, each key once.
    void keysOf(Side side, Kind target, const PackedList& references,
                std::span<const std::uint32_t> resolved, std::size_t& at,
                std::vector<Key>& out) const {
        out.clear();
        for (const std::string_view reference : references) {
            out.push_back(keyAt(side, target, reference, resolved, at++));
        }
        std::sort(out.begin(), out.end(), ReferenceKeys::before);
        out.erase(std::unique(out.begin(), out.end(), ReferenceKeys::same), out.end());
    }

    const ReferenceKeys& keys_;
    std::span<const std::uint32_t> resolvedA_;
    std::span<const std::uint32_t> resolvedB_;
    std::size_t atA_ = 0;
    std::size_t atB_ = 0;
    PairScratch& scratch_;
};

bool attributeTypesAlike(AlikeCheck& check, const DefinitionView& a, const DefinitionView& b) {
    if (!check.list(Kind::attributeTypes, a.superiors, b.superiors) ||
        !check.single(Kind::matchingRules, a.equality, b.equality) ||
        !check.single(Kind::matchingRules, a.ordering, b.ordering) ||
        !check.single(Kind::matchingRules, a.substr, b.substr) ||
        !check.single(Kind::ldapSyntaxes, a.syntax, b.syntax)) {
        return false;
    }
    // A value taken from a supertype is the supertype's: its chain decides,
    // which the full comparison walks.
    const bool inherits = !a.superiors.empty() || !b.superiors.empty();
    return !inherits ||
           (!a.equality.empty() && !a.ordering.empty() && !a.substr.empty() && !a.syntax.empty());
}

// The references of each kind, as the comparison reads them. A class's
// effective MUST and MAY need only its own members here: what it takes from
// a superclass on one side only is the superclass's change, never its own.
bool referencesAlike(AlikeCheck& check, Kind kind, const DefinitionView& a,
                     const DefinitionView& b) {
    switch (kind) {
        case Kind::ldapSyntaxes:
            return true;
        case Kind::matchingRules:
            return check.single(Kind::ldapSyntaxes, a.syntax, b.syntax);
        case Kind::matchingRuleUse:
            return check.set(Kind::attributeTypes, a.applies, b.applies);
        case Kind::attributeTypes:
            return attributeTypesAlike(check, a, b);
        case Kind::objectClasses:
            return check.set(Kind::objectClasses, a.superiors, b.superiors) &&
                   check.set(Kind::attributeTypes, a.must, b.must) &&
                   check.set(Kind::attributeTypes, a.may, b.may);
        case Kind::dITContentRules:
            return check.set(Kind::objectClasses, a.aux, b.aux) &&
                   check.set(Kind::attributeTypes, a.must, b.must) &&
                   check.set(Kind::attributeTypes, a.may, b.may) &&
                   check.set(Kind::attributeTypes, a.notAllowed, b.notAllowed);
        case Kind::dITStructureRules:
            return check.single(Kind::nameForms, a.form, b.form) &&
                   check.set(Kind::dITStructureRules, a.superiors, b.superiors);
        case Kind::nameForms:
            return check.single(Kind::objectClasses, a.objectClass, b.objectClass) &&
                   check.set(Kind::attributeTypes, a.must, b.must) &&
                   check.set(Kind::attributeTypes, a.may, b.may);
    }
    return false;
}

}  // namespace

bool plainlyAlike(const ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
                  PairScratch& scratch) {
    const DefinitionView a = context.a.definitions(kind).view(inA);
    const DefinitionView b = context.b.definitions(kind).view(inB);
    if (!sameText(a, b)) {
        return false;
    }
    AlikeCheck check(context, kind, inA, inB, scratch);
    return referencesAlike(check, kind, a, b);
}

void comparePaired(ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
                   std::vector<Difference>& out) {
    FieldComparer fields(context, kind, inA, inB, out);
    fields.compareOid();
    // A syntax has neither NAME nor OBSOLETE; what some files give it anyway
    // means nothing to a server.
    if (kind != Kind::ldapSyntaxes) {
        fields.compareNameField();
        fields.compareFlag("OBSOLETE", fields.inA().obsolete, fields.inB().obsolete, compatible,
                           compatible);
    }
    compareOwnFields(fields, kind);
    if (context.strict) {
        fields.compareDescriptions();
        fields.compareExtensions();
    }
}

}  // namespace fullschema
