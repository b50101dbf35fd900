#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// One directory context of the directory client library, with the context's
// name and the completion code of the object's own last library call. No
// operation prints or throws: a failure is left in getCCode() for the caller.
// Every copy owns a context of its own, made by the library's duplication,
// and the destructor frees it.
class DSContext {
  public:
    // The value set under context key 1 when the object sets up a fresh context.
    static constexpr std::uint32_t CONTEXT_FLAGS = 7;

    // Creates a context, sets its flags and reads its name.
    DSContext();
    // Holds a duplicate of the context `ch`.
    explicit DSContext(std::uint32_t ch);
    // Holds a duplicate of `c`'s context.
    DSContext(const DSContext& c);
    // Creates a context and points it at the object `name` (see setName).
    explicit DSContext(const std::string& name);
    ~DSContext();

    // Holds a duplicate of `context`'s context instead of its own; assigning
    // an object to itself is safe.
    DSContext& operator=(const DSContext& context);

    // 1 when both hold the same context handle, else 0.
    int operator==(const DSContext& context) const;
    // 1 when the name sorts before `context`'s byte by byte (letter case
    // counts, unlike the names of the schema), else 0.
    int operator<(const DSContext& context) const;

    int getCCode() const { return cCode; }
    std::uint32_t getContextHandle() const { return contextHandle; }

    // The context's name read afresh from the library; empty when that fails.
    std::string getName();
    // The tree name read from the library; empty when that fails.
    std::string getTreeName();
    // Points the context at the object `name` (one leading dot removed). When
    // no such object exists the context goes back to the root, getCCode()
    // holds the lookup's code and the requested name is kept for output.
    void setName(std::string name);
    void setTreeName(const std::string& tree);

    friend std::ostream& operator<<(std::ostream& os, const DSContext& context);

  private:
    std::int32_t readName();

    std::int32_t cCode = 0;
    std::uint32_t contextHandle = 0;
    std::string contextName;
};

// Writes the context's name with no line end.
std::ostream& operator<<(std::ostream& os, const DSContext& context);
