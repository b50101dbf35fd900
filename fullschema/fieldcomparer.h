#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fullschema/comparison.h"
#include "fullschema/context.h"

// The ways a field of two paired definitions is compared: as a reference, a
// set of references, a flag, a keyword or a text.
namespace fullschema {

// References by key, each with the text first written for it.
using ReferenceSet = std::unordered_map<std::string, std::string>;

// How bad each change of a field is.
struct ChangeRule {
    Severity changed;
    Severity added;    // B has what A has not
    Severity removed;  // A has what B has not
};

class FieldComparer {
  public:
    FieldComparer(ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
                  std::vector<Difference>& out);

    const FullDefinition& inA() const { return definitionA_; }
    const FullDefinition& inB() const { return definitionB_; }
    std::size_t indexA() const { return indexA_; }
    std::size_t indexB() const { return indexB_; }
    ComparisonContext& context() const { return context_; }

    void report(std::string_view field, Value a, Value b, Severity severity);
    // The field as fieldsOf gives it, when the two differ.
    void reportField(std::string_view field, Severity severity);

    void addMembers(ReferenceSet& set, Side side, Kind target,
                    const std::vector<std::string>& references) const;
    bool sameReference(Kind target, const std::string& a, const std::string& b) const;
    void compareReference(std::string_view field, Kind target, const std::string& a,
                          const std::string& b, ChangeRule rule);
    // A member in `inheritedA` (or B) that is missing on the other side is
    // the change of a superclass and is reported there instead.
    void compareSets(std::string_view field, const ReferenceSet& a, const ReferenceSet& b,
                     ChangeRule rule, const ReferenceSet* inheritedA = nullptr,
                     const ReferenceSet* inheritedB = nullptr);
    void compareSets(std::string_view field, Kind target, const std::vector<std::string>& a,
                     const std::vector<std::string>& b, ChangeRule rule);
    void compareFlag(std::string_view field, bool a, bool b, Severity set, Severity cleared);
    // A keyword of the grammar (USAGE, KIND): its case never matters.
    void compareKeyword(std::string_view field, const std::string& a, const std::string& b);

    // The fields every kind has.
    void compareOid();
    void compareNameField();
    void compareDescriptions();
    void compareExtensions();

  private:
    ComparisonContext& context_;
    const Kind kind_;
    const std::size_t indexA_;
    const std::size_t indexB_;
    const FullDefinition definitionA_;
    const FullDefinition definitionB_;
    std::vector<Difference>& out_;
};

// What a report calls a definition: its first NAME, else its OID; a
// syntax's OID and a structure rule's id whatever NAME they carry.
std::string reportedName(Kind kind, const FullDefinition& definition);

// Room that plainlyAlike reuses from pair to pair.
struct PairScratch {
    std::vector<ReferenceKeys::Key> a;
    std::vector<ReferenceKeys::Key> b;
};

// True only when comparing the two paired definitions could find nothing:
// written alike and referring alike, and nothing taken from a supertype.
// Most pairs of two versions of one schema are such, and it tells them
// without building a value; false leaves the question to comparePaired.
bool plainlyAlike(const ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
                  PairScratch& scratch);

// Compares every field of the kind of two paired definitions.
void comparePaired(ComparisonContext& context, Kind kind, std::size_t inA, std::size_t inB,
                   std::vector<Difference>& out);

}  // namespace fullschema
