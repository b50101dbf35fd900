#include "fullschema/inheritance.h"

#include <cstdint>

namespace fullschema {

const std::string& ownValue(const FullDefinition& attribute, Inherited field) {
    switch (field) {
        case Inherited::equality:
            return attribute.equality;
        case Inherited::ordering:
            return attribute.ordering;
        case Inherited::substr:
            return attribute.substr;
        case Inherited::syntax:
            break;
    }
    return attribute.syntax;
}

std::string_view ownValue(const DefinitionView& attribute, Inherited field) {
    switch (field) {
        case Inherited::equality:
            return attribute.equality;
        case Inherited::ordering:
            return attribute.ordering;
        case Inherited::substr:
            return attribute.substr;
        case Inherited::syntax:
            break;
    }
    return attribute.syntax;
}

std::vector<std::uint8_t> ownFields(const FullSchema& schema) {
    const auto& attributes = schema.definitions(Kind::attributeTypes);
    std::vector<std::uint8_t> own(attributes.size(), 0);
    for (std::size_t at = 0; at < attributes.size(); ++at) {
        const DefinitionView attribute = attributes.leading(at);
        std::uint8_t bits = attribute.superiors.empty() ? 0 : ownSuperior;
        for (const Inherited field :
             {Inherited::syntax, Inherited::equality, Inherited::ordering, Inherited::substr}) {
            if (!ownValue(attribute, field).empty()) {
                bits |= static_cast<std::uint8_t>(1U << static_cast<unsigned>(field));
            }
        }
        own[at] = bits;
    }
    return own;
}

std::vector<Source> effectiveSources(const FullSchema& schema, Inherited field) {
    return effectiveSources(schema, field, ownFields(schema));
}

std::vector<Source> effectiveSources(const FullSchema& schema, Inherited field,
                                     const std::vector<std::uint8_t>& own) {
    const auto& attributes = schema.definitions(Kind::attributeTypes);
    const auto fieldBit = static_cast<std::uint8_t>(1U << static_cast<unsigned>(field));
    enum class State : std::uint8_t { unseen, onPath, done };
    std::vector<State> states(attributes.size(), State::unseen);
    std::vector<Source> sources(attributes.size());
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < attributes.size(); ++start) {
        path.clear();
        Source found;
        std::size_t at = start;
        while (true) {
            if (states[at] != State::unseen) {
                // A loop back onto the path has no end to take a value from.
                found = states[at] == State::done ? sources[at] : Source{Source::none, false};
                break;
            }
            states[at] = State::onPath;
            path.push_back(at);
            if ((own[at] & fieldBit) != 0) {
                found = Source{static_cast<std::uint32_t>(at), true};
                break;
            }
            if ((own[at] & ownSuperior) == 0) {
                break;
            }
            // An attribute type's references begin with its SUP.
            const std::uint32_t next = schema.resolvedReferences(Kind::attributeTypes, at).front();
            if (next == FullSchema::noDefinition) {
                found = Source{Source::none, false};
                break;
            }
            at = next;
        }
        for (const std::size_t walked : path) {
            sources[walked] = found;
            states[walked] = State::done;
        }
    }
    return sources;
}

SuperclassWalk::SuperclassWalk(const FullSchema& schema)
    : schema_(schema), marks_(schema.definitions(Kind::objectClasses).size(), 0) {}

const std::vector<std::size_t>& SuperclassWalk::from(std::size_t start) {
    ++stamp_;
    found_.clear();
    pending_.assign(1, start);
    marks_[start] = stamp_;
    const auto& classes = schema_.definitions(Kind::objectClasses);
    while (!pending_.empty()) {
        const std::size_t at = pending_.back();
        pending_.pop_back();
        // A class's references begin with its superclasses.
        const auto resolved = schema_.resolvedReferences(Kind::objectClasses, at)
                                  .first(classes.leading(at).superiors.size());
        for (const std::uint32_t next : resolved) {
            if (next != FullSchema::noDefinition && marks_[next] != stamp_) {
                marks_[next] = stamp_;
                found_.push_back(next);
                pending_.push_back(next);
            }
        }
    }
    // The start was marked only to keep a loop from walking back to it.
    marks_[start] = 0;
    return found_;
}

}  // namespace fullschema
