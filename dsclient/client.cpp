// The library's C calls: tables of connections, contexts, reply buffers and
// read iterations, and the rules every call shares (live handles only, no
// exception out of the library, one code for exhausted memory).

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "dsclient/callobserver.h"
#include "dsclient/client.h"
#include "dsclient/descriptions.h"
#include "dsclient/filesource.h"
#include "dsclient/ldapsession.h"
#include "dsclient/prefetch.h"
#include "dsclient/replybuffer.h"
#include "dsclient/source.h"
#include "dsclient/sourcefactory.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/schemadesc/fulldefinition.h"

namespace {

using dsclient::ReplyBuffer;
using dsclient::SchemaContent;
using dsclient::Source;

constexpr const char* rootName = "[Root]";

struct Connection {
    std::string key;
    std::unique_ptr<Source> source;  // null for the default connection
    std::size_t partLimit = 0;       // most definitions per reply part; 0: as many as fit
    std::string referral;            // the name of the source that answers in its place
    bool findable = true;            // false for connections opened to follow a referral
    bool fetched = false;
    SchemaContent content;
    std::optional<dsclient::HeldRead> held;  // the first read, made ahead
    std::vector<std::uint32_t> followers;    // referral connections this one opened
};

struct Context {
    std::uint32_t flags = 0;
    std::string name = rootName;
    std::string tree;
    std::uint32_t connection = 0;
    // The connection that answered the last request, until key 8 is set again.
    std::optional<std::uint32_t> answered;
};

struct Iteration {
    ReplyBuffer::Kind kind;
    std::uint32_t asked;
    std::uint32_t answering;
    std::size_t next;
};

struct State {
    State() {
        defaultConnection = issue();
        connections[defaultConnection] = Connection{};
    }
    std::uint32_t issue() {
        // Handles are never reused, so a stale one stays invalid.
        do {
            ++lastHandle;
        } while (lastHandle == 0 || connections.count(lastHandle) != 0 ||
                 contexts.count(lastHandle) != 0 || buffers.count(lastHandle) != 0);
        return lastHandle;
    }
    std::int32_t issueIteration() {
        do {
            lastIteration = lastIteration == INT32_MAX ? 1 : lastIteration + 1;
        } while (iterations.count(lastIteration) != 0);
        return lastIteration;
    }

    std::uint32_t lastHandle = 0;
    std::int32_t lastIteration = 0;
    std::uint32_t defaultConnection = 0;
    std::map<std::uint32_t, Connection> connections;
    std::map<std::uint32_t, Context> contexts;
    std::map<std::uint32_t, ReplyBuffer> buffers;
    std::map<std::int32_t, Iteration> iterations;
    std::string lastError;
    // Handles of their own, so that connection handles stay as without them.
    std::uint32_t lastPrefetch = 0;
    std::map<std::uint32_t, std::unique_ptr<dsclient::Prefetch>> prefetches;
};

State& state() {
    static State instance;
    return instance;
}

template <class T>
T* find(std::map<std::uint32_t, T>& table, std::uint32_t handle) {
    const auto it = table.find(handle);
    return it == table.end() ? nullptr : &it->second;
}

// Runs the body of the library call `name`: clears the last error text,
// lets an installed observer answer for the call and see its outcome, and
// turns exhausted memory (or anything else thrown) into a code. The body is
// a template rather than a std::function: the Get calls run once per name
// handed out, and a capture too large for std::function took an allocation
// each time.
template <class Body>
std::int32_t guarded(const char* name, const std::function<std::string()>& detail,
                     const Body& body) {
    std::int32_t code = QXERR_OUT_OF_MEMORY;
    try {
        state().lastError.clear();
        dsclient::CallObserver* observer = dsclient::callObserver();
        const std::optional<std::int32_t> answered =
            observer == nullptr ? std::nullopt : observer->before(name);
        code = answered ? *answered : body();
        if (observer != nullptr) {
            observer->after(name, detail, code);
        }
    } catch (...) {
        // Nothing thrown may cross the C interface; the only thing the
        // bodies can throw is an allocation failure.
        code = QXERR_OUT_OF_MEMORY;
    }
    return code;
}

std::string quoted(const char* text) {
    return text == nullptr ? std::string("null") : "\"" + std::string(text) + "\"";
}

// Copies `text` into a buffer of `size` bytes, cut to fit with its terminator.
void copyCut(const std::string& text, char* out, std::size_t size) {
    const std::size_t length = text.size() < size ? text.size() : size - 1;
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

void closeConnection(std::uint32_t handle) {
    State& s = state();
    Connection* conn = find(s.connections, handle);
    if (conn == nullptr) {
        return;
    }
    const std::vector<std::uint32_t> followers = conn->followers;
    s.connections.erase(handle);
    for (auto it = s.iterations.begin(); it != s.iterations.end();) {
        it = it->second.asked == handle ? s.iterations.erase(it) : std::next(it);
    }
    for (std::uint32_t follower : followers) {
        closeConnection(follower);
    }
}

// What a prefetch did ahead for `name`, the innermost run's first; its open
// is replayed as the source's own would have gone.
std::optional<dsclient::AheadResult> takeAhead(State& s, const std::string& name) {
    if (s.prefetches.empty()) {
        return std::nullopt;
    }
    const std::string key = dsclient::connectionKey(name);
    for (auto it = s.prefetches.rbegin(); it != s.prefetches.rend(); ++it) {
        if (std::optional<dsclient::AheadResult> ahead = it->second->take(key)) {
            for (std::string& note : ahead->notes) {
                dsclient::writeSourceNote(std::move(note));
            }
            s.lastError = std::move(ahead->openDiagnostic);
            return ahead;
        }
    }
    return std::nullopt;
}

std::int32_t openConnection(const std::string& name, bool findable, std::uint32_t& handle) {
    State& s = state();
    std::optional<dsclient::AheadResult> ahead;
    if (findable) {
        ahead = takeAhead(s, name);
    }
    dsclient::ChosenSource chosen;
    if (ahead) {
        if (ahead->openCode != QX_SUCCESS) {
            return ahead->openCode;
        }
        chosen.source = std::move(ahead->source);
    } else {
        chosen = dsclient::makeSource(name);
        if (!chosen.source) {
            s.lastError = dsclient::noSourceReason(name);
            return QXERR_NO_SUCH_SERVER;
        }
        if (const std::int32_t code = chosen.source->open(s.lastError); code != QX_SUCCESS) {
            return code;
        }
    }
    handle = s.issue();
    Connection& conn = s.connections[handle];
    conn.key = dsclient::connectionKey(name);
    conn.source = std::move(chosen.source);
    conn.partLimit = chosen.partLimit;
    conn.referral = std::move(chosen.referral);
    conn.findable = findable;
    if (ahead) {
        conn.held = std::move(ahead->read);
    }
    return QX_SUCCESS;
}

// The schema held by the connection, fetched from its source at the first
// read and kept for every later one.
std::int32_t content(Connection& conn, const SchemaContent*& out) {
    if (!conn.source) {
        return QXERR_NOT_CONNECTED;
    }
    if (!conn.fetched) {
        SchemaContent fetched;
        if (const std::int32_t code =
                dsclient::firstFetch(conn.held, *conn.source, fetched, state().lastError);
            code != QX_SUCCESS) {
            return code;
        }
        conn.content = std::move(fetched);
        conn.fetched = true;
    }
    out = &conn.content;
    return QX_SUCCESS;
}

// The connection that answers for `asked`: itself, or the connection to the
// source it refers reads to, opened on first use and closed with it.
std::int32_t answeringConnection(std::uint32_t asked, std::uint32_t& answering) {
    State& s = state();
    Connection& conn = s.connections.at(asked);
    const std::string referral = conn.referral;
    if (referral.empty()) {
        answering = asked;
        return QX_SUCCESS;
    }
    const std::string key = dsclient::connectionKey(referral);
    for (std::uint32_t follower : conn.followers) {
        if (s.connections.at(follower).key == key) {
            answering = follower;
            return QX_SUCCESS;
        }
    }
    if (const std::int32_t code = openConnection(referral, false, answering); code != QX_SUCCESS) {
        return code;
    }
    s.connections.at(asked).followers.push_back(answering);
    return QX_SUCCESS;
}

template <class Definition>
const dsclient::KindContent<Definition>& kindOf(const SchemaContent& c);
template <>
const dsclient::KindContent<dsclient::ClassDefinition>& kindOf(const SchemaContent& c) {
    return c.classes;
}
template <>
const dsclient::KindContent<dsclient::AttrDefinition>& kindOf(const SchemaContent& c) {
    return c.attrs;
}
template <>
const dsclient::KindContent<dsclient::SyntaxDefinition>& kindOf(const SchemaContent& c) {
    return c.syntaxes;
}

// Where a read goes on: the connection that answers it and the first
// definition not handed out yet.
struct ResumePoint {
    std::uint32_t answering = 0;
    std::size_t next = 0;
};

// The resume point of a read of `kind` through `ctx`: a new read starts at
// the connection that answers for the context's, an iteration goes on where
// its last part ended, if it is one the library gave for this kind and
// connection.
std::int32_t resumePoint(State& s, const Context& ctx, ReplyBuffer::Kind kind,
                         std::int32_t iteration, ResumePoint& point) {
    if (iteration == QX_ITERATION_START) {
        if (!s.connections.at(ctx.connection).source) {
            return QXERR_NOT_CONNECTED;
        }
        return answeringConnection(ctx.connection, point.answering);
    }
    const auto it = s.iterations.find(iteration);
    if (it == s.iterations.end() || it->second.kind != kind || it->second.asked != ctx.connection) {
        return QXERR_BAD_ITERATION;
    }
    point = {it->second.answering, it->second.next};
    return QX_SUCCESS;
}

// Starts a part of `kind` in `buf` and appends the definitions from `next`
// on, at most `limit` of them (0: as many as fit); gives the index after the
// last one appended.
template <class Definition>
std::size_t fillPart(ReplyBuffer& buf, ReplyBuffer::Kind kind,
                     const std::vector<Definition>& definitions, std::size_t next,
                     std::size_t limit) {
    buf.startPart(kind);
    std::size_t at = next;
    while (at < definitions.size() && (limit == 0 || at - next < limit) &&
           buf.append(definitions[at])) {
        ++at;
    }
    return at;
}

// One read request: fills the buffer with the next part of the definitions
// of one kind and moves the iteration on.
template <class Definition>
std::int32_t readPart(ReplyBuffer::Kind kind, std::uint32_t context, std::uint32_t infoType,
                      std::uint32_t allNames, std::uint32_t names, std::int32_t* iteration,
                      std::uint32_t buffer) {
    State& s = state();
    Context* ctx = find(s.contexts, context);
    ReplyBuffer* buf = find(s.buffers, buffer);
    if (ctx == nullptr || buf == nullptr) {
        return QXERR_INVALID_HANDLE;
    }
    if (iteration == nullptr || infoType != QX_INFO_FULL || allNames != 1 || names != 0) {
        return QXERR_INVALID_ARGUMENT;
    }
    if (find(s.connections, ctx->connection) == nullptr) {
        return QXERR_INVALID_HANDLE;
    }
    ResumePoint point;
    if (const std::int32_t code = resumePoint(s, *ctx, kind, *iteration, point);
        code != QX_SUCCESS) {
        return code;
    }
    const std::uint32_t answering = point.answering;
    Connection& conn = s.connections.at(answering);
    const SchemaContent* held = nullptr;
    if (const std::int32_t code = content(conn, held); code != QX_SUCCESS) {
        return code;
    }
    const dsclient::KindContent<Definition>& defs = kindOf<Definition>(*held);
    if (defs.code != QX_SUCCESS) {
        s.lastError = defs.diagnostic;
        return defs.code;
    }
    const std::size_t at = fillPart(*buf, kind, defs.definitions, point.next, conn.partLimit);
    if (at == point.next && at < defs.definitions.size()) {
        buf->startPart(kind);
        s.lastError = "a definition does not fit the reply buffer: " + defs.definitions[at].name;
        return QXERR_BUFFER_EXHAUSTED;
    }

    ctx->answered = answering;
    if (*iteration != QX_ITERATION_START) {
        s.iterations.erase(*iteration);
    }
    if (at < defs.definitions.size()) {
        const std::int32_t id = s.issueIteration();
        s.iterations[id] = Iteration{kind, ctx->connection, answering, at};
        *iteration = id;
    } else {
        *iteration = QX_ITERATION_START;
    }
    return QX_SUCCESS;
}

// The common checks of the Get calls: a live context and buffer, and an
// output to write to.
template <class Body>
std::int32_t withBuffer(std::uint32_t context, std::uint32_t buffer, const void* out,
                        const Body& body) {
    State& s = state();
    ReplyBuffer* buf = find(s.buffers, buffer);
    if (find(s.contexts, context) == nullptr || buf == nullptr) {
        return QXERR_INVALID_HANDLE;
    }
    if (out == nullptr) {
        return QXERR_INVALID_ARGUMENT;
    }
    const std::int32_t code = body(*buf);
    if (code == QXERR_NAME_TOO_LONG) {
        s.lastError = buf->longNameNote();
    }
    return code;
}

// The checks of both context-value calls, in the order they answer: a live
// context, a known key, a value to read or write.
std::int32_t contextCallCheck(const Context* ctx, std::int32_t key, const void* value) {
    if (ctx == nullptr) {
        return QXERR_INVALID_HANDLE;
    }
    if (key != QX_CTX_FLAGS && key != QX_CTX_NAME && key != QX_CTX_CONNECTION &&
        key != QX_CTX_TREE_NAME) {
        return QXERR_INVALID_KEY;
    }
    return value == nullptr ? QXERR_INVALID_ARGUMENT : QX_SUCCESS;
}

std::int32_t setName(std::string& field, const void* value) {
    if (value == nullptr) {
        return QXERR_INVALID_ARGUMENT;
    }
    const char* text = static_cast<const char*>(value);
    const std::size_t length = strnlen(text, QX_CONTEXT_NAME_SIZE);
    if (length == QX_CONTEXT_NAME_SIZE) {
        return QXERR_NAME_TOO_LONG;
    }
    field.assign(text, length);
    return QX_SUCCESS;
}

// How a read request moved the iteration on, for the call log.
std::string iterationDetail(std::int32_t given, const std::int32_t* iteration) {
    return std::to_string(given) + " -> " +
           (iteration == nullptr ? "null" : std::to_string(*iteration));
}

// The C kinds are the subschema entry's order, which schemadesc::Kind keeps.
static_assert(QX_DESC_LDAP_SYNTAX == static_cast<int>(schemadesc::Kind::ldapSyntaxes) &&
              QX_DESC_MATCHING_RULE == static_cast<int>(schemadesc::Kind::matchingRules) &&
              QX_DESC_MATCHING_RULE_USE == static_cast<int>(schemadesc::Kind::matchingRuleUse) &&
              QX_DESC_ATTRIBUTE_TYPE == static_cast<int>(schemadesc::Kind::attributeTypes) &&
              QX_DESC_OBJECT_CLASS == static_cast<int>(schemadesc::Kind::objectClasses) &&
              QX_DESC_DIT_CONTENT_RULE == static_cast<int>(schemadesc::Kind::dITContentRules) &&
              QX_DESC_DIT_STRUCTURE_RULE == static_cast<int>(schemadesc::Kind::dITStructureRules) &&
              QX_DESC_NAME_FORM == static_cast<int>(schemadesc::Kind::nameForms) &&
              static_cast<std::size_t>(QX_DESC_OID_MACRO) == schemadesc::kindCount);

// The descriptions of each kind, in the order of the QX_DESC_ kinds.
std::array<std::vector<dsclient::Description>*, schemadesc::kindCount> descriptionKinds(
    dsclient::Descriptions& d) {
    return {&d.ldapSyntaxes,  &d.matchingRules, &d.matchingRuleUse, &d.attributeTypes,
            &d.objectClasses, &d.contentRules,  &d.structureRules,  &d.nameForms};
}

// Every description the source of `ctx` holds, kind by kind, then its
// macros, each handed to `sink`.
std::int32_t handOutDescriptions(Context& ctx, QXDescriptionSink sink, void* user) {
    State& s = state();
    Connection* conn = find(s.connections, ctx.connection);
    if (conn == nullptr) {
        return QXERR_INVALID_HANDLE;
    }
    if (!conn->source) {
        return QXERR_NOT_CONNECTED;
    }
    std::uint32_t answering = 0;
    if (const std::int32_t code = answeringConnection(ctx.connection, answering);
        code != QX_SUCCESS) {
        return code;
    }
    dsclient::Descriptions held;
    Connection& source = s.connections.at(answering);
    if (const std::int32_t code =
            dsclient::firstDescriptions(source.held, *source.source, held, s.lastError);
        code != QX_SUCCESS) {
        return code;
    }
    ctx.answered = answering;
    // Each text is freed once the sink has taken it: the sink keeps its own
    // copy, and two copies of a large schema need not live together.
    const auto kinds = descriptionKinds(held);
    for (std::uint32_t kind = 0; kind < kinds.size(); ++kind) {
        for (dsclient::Description& d : *kinds[kind]) {
            sink(user, kind, d.text.c_str(), d.text.size(), d.origin.c_str());
            std::string().swap(d.text);
            std::string().swap(d.origin);
        }
        std::vector<dsclient::Description>().swap(*kinds[kind]);
    }
    for (std::size_t i = 0; i < held.oidMacros.size(); ++i) {
        const auto& [name, value] = held.oidMacros[i];
        std::string text = name;
        text += ' ';
        text += value;
        const std::string origin =
            i < held.oidMacroOrigins.size() ? held.oidMacroOrigins[i] : std::string();
        sink(user, QX_DESC_OID_MACRO, text.c_str(), text.size(), origin.c_str());
    }
    return QX_SUCCESS;
}

}  // namespace

void dsclient::closeConnections() {
    State& s = state();
    std::vector<std::uint32_t> open;
    for (const auto& [handle, conn] : s.connections) {
        if (conn.source && conn.findable) {
            open.push_back(handle);
        }
    }
    for (std::uint32_t handle : open) {
        closeConnection(handle);
    }
}

extern "C" {

int32_t QXGetConnectionIDFromName(uint32_t nameLength, const char* name, uint32_t* connection) {
    return guarded(
        "QXGetConnectionIDFromName", [&] { return quoted(name); },
        [&]() -> std::int32_t {
            if (name == nullptr || connection == nullptr) {
                return QXERR_INVALID_ARGUMENT;
            }
            const std::string key =
                dsclient::connectionKey(std::string(name, strnlen(name, nameLength)));
            for (const auto& [handle, conn] : state().connections) {
                if (conn.source && conn.findable && conn.key == key) {
                    *connection = handle;
                    return QX_SUCCESS;
                }
            }
            return QXERR_NO_SUCH_SERVER;
        });
}

int32_t QXGetDefaultConnectionID(uint32_t* connection) {
    return guarded("QXGetDefaultConnectionID", {}, [&]() -> std::int32_t {
        if (connection == nullptr) {
            return QXERR_INVALID_ARGUMENT;
        }
        *connection = state().defaultConnection;
        return QX_SUCCESS;
    });
}

int32_t QXCCOpenConnByName(uint32_t start, const char* name, uint32_t nameFormat,
                           uint32_t openState, uint32_t transport, uint32_t* connection) {
    return guarded(
        "QXCCOpenConnByName", [&] { return quoted(name); },
        [&]() -> std::int32_t {
            if (find(state().connections, start) == nullptr) {
                return QXERR_INVALID_HANDLE;
            }
            if (name == nullptr || connection == nullptr || nameFormat != QX_NAME_FORMAT_SERVER ||
                openState != QX_OPEN_STATE_DEFAULT || transport != QX_TRANSPORT_ANY) {
                return QXERR_INVALID_ARGUMENT;
            }
            return openConnection(name, true, *connection);
        });
}

int32_t QXCCCloseConn(uint32_t connection) {
    return guarded(
        "QXCCCloseConn", [&] { return std::to_string(connection); },
        [&]() -> std::int32_t {
            Connection* conn = find(state().connections, connection);
            if (conn == nullptr || !conn->source || !conn->findable) {
                return QXERR_INVALID_HANDLE;
            }
            closeConnection(connection);
            return QX_SUCCESS;
        });
}

int32_t QXGetFileServerName(uint32_t connection, char* name) {
    return guarded(
        "QXGetFileServerName", [&] { return std::to_string(connection); },
        [&]() -> std::int32_t {
            Connection* conn = find(state().connections, connection);
            if (conn == nullptr) {
                return QXERR_INVALID_HANDLE;
            }
            if (name == nullptr) {
                return QXERR_INVALID_ARGUMENT;
            }
            copyCut(conn->source ? conn->source->serverName() : std::string(), name,
                    QX_SERVER_NAME_SIZE);
            return QX_SUCCESS;
        });
}

int32_t QXDSCreateContextHandle(uint32_t* context) {
    return guarded("QXDSCreateContextHandle", {}, [&]() -> std::int32_t {
        if (context == nullptr) {
            return QXERR_INVALID_ARGUMENT;
        }
        State& s = state();
        const std::uint32_t handle = s.issue();
        Context& ctx = s.contexts[handle];
        ctx.connection = s.defaultConnection;
        *context = handle;
        return QX_SUCCESS;
    });
}

uint32_t QXDSDuplicateContext(uint32_t context) {
    std::uint32_t copy = 0;
    guarded(
        "QXDSDuplicateContext",
        [&] { return std::to_string(context) + " -> " + std::to_string(copy); },
        [&]() -> std::int32_t {
            State& s = state();
            Context* ctx = find(s.contexts, context);
            if (ctx == nullptr) {
                return QXERR_INVALID_HANDLE;
            }
            Context duplicate = *ctx;
            const std::uint32_t handle = s.issue();
            s.contexts[handle] = std::move(duplicate);
            copy = handle;
            return QX_SUCCESS;
        });
    return copy;
}

int32_t QXDSFreeContext(uint32_t context) {
    return guarded(
        "QXDSFreeContext", [&] { return std::to_string(context); },
        [&]() -> std::int32_t {
            return state().contexts.erase(context) == 1 ? QX_SUCCESS : QXERR_INVALID_HANDLE;
        });
}

int32_t QXDSSetContext(uint32_t context, int32_t key, const void* value) {
    return guarded(
        "QXDSSetContext", [&] { return std::to_string(context) + ", " + std::to_string(key); },
        [&]() -> std::int32_t {
            State& s = state();
            Context* ctx = find(s.contexts, context);
            if (const std::int32_t code = contextCallCheck(ctx, key, value); code != QX_SUCCESS) {
                return code;
            }
            switch (key) {
                case QX_CTX_FLAGS:
                    std::memcpy(&ctx->flags, value, sizeof ctx->flags);
                    return QX_SUCCESS;
                case QX_CTX_NAME:
                    return setName(ctx->name, value);
                case QX_CTX_TREE_NAME:
                    return setName(ctx->tree, value);
                default: {
                    std::uint32_t handle = 0;
                    std::memcpy(&handle, value, sizeof handle);
                    if (find(s.connections, handle) == nullptr) {
                        return QXERR_INVALID_HANDLE;
                    }
                    ctx->connection = handle;
                    ctx->answered.reset();
                    return QX_SUCCESS;
                }
            }
        });
}

int32_t QXDSGetContext(uint32_t context, int32_t key, void* value) {
    return guarded(
        "QXDSGetContext", [&] { return std::to_string(context) + ", " + std::to_string(key); },
        [&]() -> std::int32_t {
            Context* ctx = find(state().contexts, context);
            if (const std::int32_t code = contextCallCheck(ctx, key, value); code != QX_SUCCESS) {
                return code;
            }
            switch (key) {
                case QX_CTX_FLAGS:
                    std::memcpy(value, &ctx->flags, sizeof ctx->flags);
                    break;
                case QX_CTX_NAME:
                    copyCut(ctx->name, static_cast<char*>(value), QX_CONTEXT_NAME_SIZE);
                    break;
                case QX_CTX_TREE_NAME:
                    copyCut(ctx->tree, static_cast<char*>(value), QX_CONTEXT_NAME_SIZE);
                    break;
                default: {
                    const std::uint32_t handle = ctx->answered.value_or(ctx->connection);
                    std::memcpy(value, &handle, sizeof handle);
                }
            }
            return QX_SUCCESS;
        });
}

int32_t QXDSReadObjectInfo(uint32_t context, const char* name, char* distName,
                           Object_Info_T* info) {
    return guarded(
        "QXDSReadObjectInfo", [&] { return std::to_string(context) + ", " + quoted(name); },
        [&]() -> std::int32_t {
            State& s = state();
            Context* ctx = find(s.contexts, context);
            if (ctx == nullptr) {
                return QXERR_INVALID_HANDLE;
            }
            if (name == nullptr || distName == nullptr || info == nullptr) {
                return QXERR_INVALID_ARGUMENT;
            }
            bool found = namesEqual(name, rootName);
            Connection* conn = find(s.connections, ctx->connection);
            if (!found && conn != nullptr && conn->source) {
                const SchemaContent* held = nullptr;
                if (const std::int32_t code = content(*conn, held); code != QX_SUCCESS) {
                    return code;
                }
                for (const std::string& entry : held->entries) {
                    found = found || namesEqual(entry, name);
                }
            }
            if (!found) {
                return QXERR_NO_SUCH_ENTRY;
            }
            copyCut(name, distName, QX_CONTEXT_NAME_SIZE);
            *info = Object_Info_T{};
            return QX_SUCCESS;
        });
}

int32_t QXDSAllocBuf(size_t size, uint32_t* buffer) {
    return guarded(
        "QXDSAllocBuf", [&] { return std::to_string(size); },
        [&]() -> std::int32_t {
            if (buffer == nullptr || size < QX_MIN_REPLY_BUF_SIZE || size > QX_MAX_REPLY_BUF_SIZE) {
                return QXERR_INVALID_ARGUMENT;
            }
            State& s = state();
            const std::uint32_t handle = s.issue();
            s.buffers.emplace(handle, ReplyBuffer(size));
            *buffer = handle;
            return QX_SUCCESS;
        });
}

int32_t QXDSFreeBuf(uint32_t buffer) {
    return guarded(
        "QXDSFreeBuf", [&] { return std::to_string(buffer); },
        [&]() -> std::int32_t {
            return state().buffers.erase(buffer) == 1 ? QX_SUCCESS : QXERR_INVALID_HANDLE;
        });
}

int32_t QXDSReadClassDef(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                         int32_t* iteration, uint32_t buffer) {
    const std::int32_t given = iteration == nullptr ? 0 : *iteration;
    return guarded(
        "QXDSReadClassDef", [&] { return iterationDetail(given, iteration); },
        [&] {
            return readPart<dsclient::ClassDefinition>(
                ReplyBuffer::Kind::classes, context, infoType, allNames, names, iteration, buffer);
        });
}

int32_t QXDSReadAttrDef(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                        int32_t* iteration, uint32_t buffer) {
    const std::int32_t given = iteration == nullptr ? 0 : *iteration;
    return guarded(
        "QXDSReadAttrDef", [&] { return iterationDetail(given, iteration); },
        [&] {
            return readPart<dsclient::AttrDefinition>(ReplyBuffer::Kind::attrs, context, infoType,
                                                      allNames, names, iteration, buffer);
        });
}

int32_t QXDSReadSyntaxes(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                         int32_t* iteration, uint32_t buffer) {
    const std::int32_t given = iteration == nullptr ? 0 : *iteration;
    return guarded(
        "QXDSReadSyntaxes", [&] { return iterationDetail(given, iteration); },
        [&] {
            return readPart<dsclient::SyntaxDefinition>(
                ReplyBuffer::Kind::syntaxes, context, infoType, allNames, names, iteration, buffer);
        });
}

int32_t QXDSGetClassDefCount(uint32_t context, uint32_t buffer, uint32_t* count) {
    return guarded("QXDSGetClassDefCount", {}, [&] {
        return withBuffer(context, buffer, count, [&](ReplyBuffer& buf) {
            return buf.getCount(ReplyBuffer::Kind::classes, *count);
        });
    });
}

int32_t QXDSGetClassDef(uint32_t context, uint32_t buffer, char* name, Class_Info_T* info) {
    return guarded("QXDSGetClassDef", {}, [&] {
        return withBuffer(context, buffer, info == nullptr ? nullptr : name,
                          [&](ReplyBuffer& buf) { return buf.getClass(name, info->classFlags); });
    });
}

int32_t QXDSGetClassItemCount(uint32_t context, uint32_t buffer, uint32_t* count) {
    return guarded("QXDSGetClassItemCount", {}, [&] {
        return withBuffer(context, buffer, count,
                          [&](ReplyBuffer& buf) { return buf.getItemCount(*count); });
    });
}

int32_t QXDSGetClassItem(uint32_t context, uint32_t buffer, char* name) {
    return guarded("QXDSGetClassItem", {}, [&] {
        return withBuffer(context, buffer, name,
                          [&](ReplyBuffer& buf) { return buf.getItem(name); });
    });
}

int32_t QXDSGetAttrCount(uint32_t context, uint32_t buffer, uint32_t* count) {
    return guarded("QXDSGetAttrCount", {}, [&] {
        return withBuffer(context, buffer, count, [&](ReplyBuffer& buf) {
            return buf.getCount(ReplyBuffer::Kind::attrs, *count);
        });
    });
}

int32_t QXDSGetAttrDef(uint32_t context, uint32_t buffer, char* name, Attr_Info_T* info) {
    return guarded("QXDSGetAttrDef", {}, [&] {
        return withBuffer(context, buffer, info == nullptr ? nullptr : name, [&](ReplyBuffer& buf) {
            return buf.getAttr(name, info->attrFlags, info->attrSyntaxID);
        });
    });
}

int32_t QXDSGetSyntaxCount(uint32_t context, uint32_t buffer, uint32_t* count) {
    return guarded("QXDSGetSyntaxCount", {}, [&] {
        return withBuffer(context, buffer, count, [&](ReplyBuffer& buf) {
            return buf.getCount(ReplyBuffer::Kind::syntaxes, *count);
        });
    });
}

int32_t QXDSGetSyntaxDef(uint32_t context, uint32_t buffer, char* name, Syntax_Info_T* info) {
    return guarded("QXDSGetSyntaxDef", {}, [&] {
        return withBuffer(context, buffer, info == nullptr ? nullptr : name,
                          [&](ReplyBuffer& buf) { return buf.getSyntax(name, info->flags); });
    });
}

int32_t QXDSReadDescriptions(uint32_t context, QXDescriptionSink sink, void* user) {
    return guarded(
        "QXDSReadDescriptions", [&] { return std::to_string(context); },
        [&]() -> std::int32_t {
            Context* ctx = find(state().contexts, context);
            if (ctx == nullptr) {
                return QXERR_INVALID_HANDLE;
            }
            if (sink == nullptr) {
                return QXERR_INVALID_ARGUMENT;
            }
            return handOutDescriptions(*ctx, sink, user);
        });
}

// The prefetch calls stay outside the other calls' guard: they are no
// request a caller reports on, so they leave the last error text and the
// call log alone. Only memory can fail them.
int32_t QXPrefetchStart(uint32_t jobs, uint32_t read, uint32_t* prefetch) {
    try {
        if (prefetch == nullptr || jobs < 1 || jobs > QX_MAX_PREFETCH_JOBS ||
            (read != QX_PREFETCH_LISTING && read != QX_PREFETCH_DESCRIPTIONS)) {
            return QXERR_INVALID_ARGUMENT;
        }
        // What libldap sets up for the whole process is set up here, before
        // any worker could race to do it.
        dsclient::prepareLdapLibrary();
        State& s = state();
        std::uint32_t handle = s.lastPrefetch;
        do {
            ++handle;
        } while (handle == 0 || s.prefetches.count(handle) != 0);
        s.prefetches[handle] = std::make_unique<dsclient::Prefetch>(
            jobs, read == QX_PREFETCH_LISTING ? dsclient::FirstRead::listing
                                              : dsclient::FirstRead::whole);
        s.lastPrefetch = handle;
        *prefetch = handle;
        return QX_SUCCESS;
    } catch (...) {
        return QXERR_OUT_OF_MEMORY;
    }
}

int32_t QXPrefetchOffer(uint32_t prefetch, uint32_t line, const char* name, uint32_t* queued) {
    try {
        State& s = state();
        const auto it = s.prefetches.find(prefetch);
        if (it == s.prefetches.end()) {
            return QXERR_INVALID_HANDLE;
        }
        if (name == nullptr || queued == nullptr) {
            return QXERR_INVALID_ARGUMENT;
        }
        *queued = 0;
        std::unique_ptr<dsclient::Source> source = dsclient::makeAheadSource(name);
        if (!source) {
            return QX_SUCCESS;
        }
        std::string key = dsclient::connectionKey(name);
        if (!it->second->firstSight(key)) {
            return QX_SUCCESS;
        }
        // A connection already open is found, not opened again.
        for (const auto& [handle, conn] : s.connections) {
            if (conn.source && conn.findable && conn.key == key) {
                return QX_SUCCESS;
            }
        }
        it->second->offer(line, std::move(key), std::move(source));
        *queued = 1;
        return QX_SUCCESS;
    } catch (...) {
        return QXERR_OUT_OF_MEMORY;
    }
}

int32_t QXPrefetchReached(uint32_t prefetch, uint32_t line) {
    try {
        State& s = state();
        const auto it = s.prefetches.find(prefetch);
        if (it == s.prefetches.end()) {
            return QXERR_INVALID_HANDLE;
        }
        it->second->reached(line);
        return QX_SUCCESS;
    } catch (...) {
        return QXERR_OUT_OF_MEMORY;
    }
}

int32_t QXPrefetchStop(uint32_t prefetch) {
    try {
        State& s = state();
        const auto it = s.prefetches.find(prefetch);
        if (it == s.prefetches.end()) {
            return QXERR_INVALID_HANDLE;
        }
        const std::unique_ptr<dsclient::Prefetch> stopping = std::move(it->second);
        s.prefetches.erase(it);
        return QX_SUCCESS;
    } catch (...) {
        return QXERR_OUT_OF_MEMORY;
    }
}

size_t QXGetLastErrorText(char* text, size_t size) {
    const std::string& last = state().lastError;
    if (text != nullptr && size != 0) {
        copyCut(last, text, size);
    }
    return last.size();
}

}  // extern "C"
