#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/fulldefinition.h"

struct ldap_attributetype;
struct ldap_objectclass;

// Readers of one attribute type or object class description after another,
// with the rules of parseAttr and parseClass, whose fields are read in
// place: views of what libldap handed back and of room the reader keeps
// from one description to the next. A schema of a hundred thousand
// definitions otherwise copied every name and OID into a string of its own
// only to copy it once more and free it.
namespace schemadesc {

// A list of names as libldap hands it back (an array of C strings ended by
// a null), read as string_views.
class CStringList {
  public:
    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using reference = std::string_view;
        using pointer = void;

        const_iterator() = default;
        explicit const_iterator(char* const* at) : at_(at) {}
        std::string_view operator*() const { return *at_; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {  // NOLINT(cert-dcl21-cpp)
            const const_iterator before = *this;
            ++at_;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at_ == b.at_;
        }

      private:
        char* const* at_ = nullptr;
    };

    explicit CStringList(char* const* items);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view front() const { return *begin(); }
    const_iterator begin() const { return const_iterator(items_); }
    const_iterator end() const { return const_iterator(items_ + size_); }

  private:
    char* const* items_ = nullptr;
    std::size_t size_ = 0;
};

struct LdapAttrFree {
    void operator()(ldap_attributetype* parsed) const;
};
struct LdapClassFree {
    void operator()(ldap_objectclass* parsed) const;
};

// The fields of the last description read are valid until the next read.
class AttrReader {
  public:
    // False where parseAttr gives nothing.
    bool read(const std::string& text, const OidMacros& macros);

    std::string_view oid() const { return oid_; }
    CStringList names() const;
    std::string_view superior() const;
    std::string_view equality() const { return equality_; }  // macros expanded
    std::string_view syntax() const { return syntax_; }      // numeric, or empty
    bool bounded() const;
    bool singleValue() const;
    bool noUserModification() const;
    AttrUsage usage() const;

  private:
    std::string padded_;
    std::unique_ptr<ldap_attributetype, LdapAttrFree> parsed_;
    std::string oid_;
    std::string equality_;
    std::string syntax_;
};

class ClassReader {
  public:
    // False where parseClass gives nothing.
    bool read(const std::string& text, const OidMacros& macros);

    std::string_view oid() const { return oid_; }
    CStringList names() const;
    ClassKind kind() const;
    CStringList superiors() const;
    CStringList must() const;
    CStringList may() const;

  private:
    std::string padded_;
    std::unique_ptr<ldap_objectclass, LdapClassFree> parsed_;
    std::string oid_;
};

// Whole definitions of every kind, with the rules of parseFull, each kind
// read into a definition of its own that keeps its strings' room from one
// description to the next: reading two schemas of a hundred thousand
// definitions otherwise made and freed a dozen strings for each.
class FullReader {
  public:
    // False where parseFull gives nothing.
    bool read(Kind kind, const std::string& text, const OidMacros& macros);
    // What the last successful read of `kind` gave, until the next read of it.
    const FullDefinition& definition(Kind kind) const { return definitions_[kindIndex(kind)]; }

  private:
    std::array<FullDefinition, kindCount> definitions_;
    std::string padded_;
};

}  // namespace schemadesc
