// The library's calls on the in-memory directory: handles, connections,
// contexts, reads in parts and the Get calls' walk over a reply buffer.

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsclient/replybuffer.h"
#include "dscontext/dsclient.h"
#include "support/memorydirectory.h"
#include "support/tempdir.h"

namespace {

using dsclient::ClassDefinition;
using dsclient::memory::Server;

Server serverWithClasses(const std::string& name, int count, std::size_t partSize = 0) {
    Server server{name, {}, partSize, {}, 0};
    for (int n = 0; n < count; ++n) {
        server.content.classes.definitions.push_back(ClassDefinition{
            "class" + std::to_string(n), 2, {{{"top"}, {}, {"cn"}, {}, {"a", "b"}}}});
    }
    return server;
}

// One open connection and a context directed to it, released at the end.
struct Session {
    explicit Session(const std::string& name) {
        EXPECT_EQ(QXGetDefaultConnectionID(&start), 0);
        EXPECT_EQ(QXCCOpenConnByName(start, name.c_str(), QX_NAME_FORMAT_SERVER,
                                     QX_OPEN_STATE_DEFAULT, QX_TRANSPORT_ANY, &conn),
                  0);
        EXPECT_EQ(QXDSCreateContextHandle(&context), 0);
        EXPECT_EQ(QXDSSetContext(context, QX_CTX_CONNECTION, &conn), 0);
        EXPECT_EQ(QXDSAllocBuf(QX_REPLY_BUF_SIZE, &buffer), 0);
    }
    ~Session() {
        QXDSFreeBuf(buffer);
        QXDSFreeContext(context);
        QXCCCloseConn(conn);
    }
    std::uint32_t start = 0, conn = 0, context = 0, buffer = 0;
};

class Client : public testing::Test {
  protected:
    void SetUp() override { dsclient::memory::reset(); }
    void TearDown() override { dsclient::memory::reset(); }
};

TEST_F(Client, HandlesNeverIssuedOrAlreadyReleasedAreRefusedByEveryCall) {
    dsclient::memory::addServer(serverWithClasses("GONE", 1));
    std::uint32_t conn = 0, context = 0, buffer = 0, start = 0;
    ASSERT_EQ(QXGetDefaultConnectionID(&start), 0);
    ASSERT_EQ(QXCCOpenConnByName(start, "GONE", QX_NAME_FORMAT_SERVER, QX_OPEN_STATE_DEFAULT,
                                 QX_TRANSPORT_ANY, &conn),
              0);
    ASSERT_EQ(QXDSCreateContextHandle(&context), 0);
    ASSERT_EQ(QXDSAllocBuf(QX_REPLY_BUF_SIZE, &buffer), 0);
    ASSERT_EQ(QXCCCloseConn(conn), 0);
    ASSERT_EQ(QXDSFreeContext(context), 0);
    ASSERT_EQ(QXDSFreeBuf(buffer), 0);

    char name[QX_CONTEXT_NAME_SIZE] = {};
    std::uint32_t value = 0;
    std::int32_t iteration = -1;
    Class_Info_T classInfo{};
    Attr_Info_T attrInfo{};
    Syntax_Info_T syntaxInfo{};
    Object_Info_T objectInfo{};
    for (const std::uint32_t stale : {conn, context, buffer, 0u, 0xDEADBEEFu}) {
        SCOPED_TRACE(stale);
        const std::vector<std::function<std::int32_t()>> calls{
            [&] { return QXCCCloseConn(stale); },
            [&] { return QXGetFileServerName(stale, name); },
            [&] { return QXDSFreeContext(stale); },
            [&] { return QXDSFreeBuf(stale); },
            [&] { return QXDSSetContext(stale, QX_CTX_FLAGS, &value); },
            [&] { return QXDSGetContext(stale, QX_CTX_NAME, name); },
            [&] { return QXDSReadObjectInfo(stale, "[Root]", name, &objectInfo); },
            [&] { return QXDSReadClassDef(stale, 1, 1, 0, &iteration, stale); },
            [&] { return QXDSReadAttrDef(stale, 1, 1, 0, &iteration, stale); },
            [&] { return QXDSReadSyntaxes(stale, 1, 1, 0, &iteration, stale); },
            [&] { return QXDSGetClassDefCount(stale, stale, &value); },
            [&] { return QXDSGetClassDef(stale, stale, name, &classInfo); },
            [&] { return QXDSGetClassItemCount(stale, stale, &value); },
            [&] { return QXDSGetClassItem(stale, stale, name); },
            [&] { return QXDSGetAttrCount(stale, stale, &value); },
            [&] { return QXDSGetAttrDef(stale, stale, name, &attrInfo); },
            [&] { return QXDSGetSyntaxCount(stale, stale, &value); },
            [&] { return QXDSGetSyntaxDef(stale, stale, name, &syntaxInfo); },
            [&] {
                return QXCCOpenConnByName(stale, "GONE", QX_NAME_FORMAT_SERVER,
                                          QX_OPEN_STATE_DEFAULT, QX_TRANSPORT_ANY, &value);
            },
        };
        for (std::size_t n = 0; n < calls.size(); ++n) {
            EXPECT_EQ(calls[n](), QXERR_INVALID_HANDLE) << "call " << n;
        }
        EXPECT_EQ(QXDSDuplicateContext(stale), 0u);
    }
    // A context bound to a connection that was closed since.
    Session session("GONE");
    ASSERT_EQ(QXCCCloseConn(session.conn), 0);
    EXPECT_EQ(QXDSReadClassDef(session.context, 1, 1, 0, &iteration, session.buffer),
              QXERR_INVALID_HANDLE);
}

TEST_F(Client, ConnectionsAreFoundByNameUntilClosed) {
    dsclient::memory::addServer(serverWithClasses("Alpha", 1));
    std::uint32_t found = 0;
    EXPECT_EQ(QXGetConnectionIDFromName(5, "ALPHA", &found), QXERR_NO_SUCH_SERVER);
    {
        Session session("alpha");
        EXPECT_EQ(QXGetConnectionIDFromName(5, "ALPHA", &found), 0);
        EXPECT_EQ(found, session.conn);
        // The length counts: a longer name given with a shorter length.
        EXPECT_EQ(QXGetConnectionIDFromName(5, "ALPHAX", &found), 0);
        char name[QX_SERVER_NAME_SIZE];
        EXPECT_EQ(QXGetFileServerName(session.conn, name), 0);
        EXPECT_STREQ(name, "Alpha");
    }
    EXPECT_EQ(QXGetConnectionIDFromName(5, "ALPHA", &found), QXERR_NO_SUCH_SERVER);

    std::uint32_t start = 0, conn = 0;
    ASSERT_EQ(QXGetDefaultConnectionID(&start), 0);
    EXPECT_EQ(QXCCOpenConnByName(start, "a name with spaces", QX_NAME_FORMAT_SERVER,
                                 QX_OPEN_STATE_DEFAULT, QX_TRANSPORT_ANY, &conn),
              QXERR_NO_SUCH_SERVER);
    EXPECT_EQ(QXCCOpenConnByName(start, "Alpha", 2, 1, 0, &conn), QXERR_INVALID_ARGUMENT);
    EXPECT_EQ(QXCCCloseConn(start), QXERR_INVALID_HANDLE) << "the default connection stays";

    dsclient::memory::addServer(Server{std::string(60, 'x'), {}, 0, {}, 35});
    EXPECT_EQ(QXCCOpenConnByName(start, std::string(60, 'x').c_str(), QX_NAME_FORMAT_SERVER,
                                 QX_OPEN_STATE_DEFAULT, QX_TRANSPORT_ANY, &conn),
              35);
    dsclient::memory::addServer(Server{std::string(60, 'x'), {}, 0, {}, 0});
    Session longName(std::string(60, 'x'));
    char name[QX_SERVER_NAME_SIZE];
    EXPECT_EQ(QXGetFileServerName(longName.conn, name), 0);
    EXPECT_EQ(std::string(name), std::string(47, 'x'));
}

TEST_F(Client, ContextKeysHoldTheirValues) {
    std::uint32_t context = 0;
    ASSERT_EQ(QXDSCreateContextHandle(&context), 0);
    char name[QX_CONTEXT_NAME_SIZE];
    ASSERT_EQ(QXDSGetContext(context, QX_CTX_NAME, name), 0);
    EXPECT_STREQ(name, "[Root]");
    ASSERT_EQ(QXDSGetContext(context, QX_CTX_TREE_NAME, name), 0);
    EXPECT_STREQ(name, "");
    const std::uint32_t flags = 7;
    std::uint32_t value = 0;
    ASSERT_EQ(QXDSSetContext(context, QX_CTX_FLAGS, &flags), 0);
    ASSERT_EQ(QXDSGetContext(context, QX_CTX_FLAGS, &value), 0);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(QXDSSetContext(context, 2, &flags), QXERR_INVALID_KEY);
    EXPECT_EQ(QXDSGetContext(context, 12, &value), QXERR_INVALID_KEY);
    const std::string fits(513, 'n');
    const std::string tooLong(514, 'n');
    EXPECT_EQ(QXDSSetContext(context, QX_CTX_TREE_NAME, fits.c_str()), 0);
    EXPECT_EQ(QXDSSetContext(context, QX_CTX_NAME, tooLong.c_str()), QXERR_NAME_TOO_LONG);
    ASSERT_EQ(QXDSGetContext(context, QX_CTX_TREE_NAME, name), 0);
    EXPECT_EQ(std::string(name), fits);
    const std::uint32_t noConnection = 0xFFFF0000u;
    EXPECT_EQ(QXDSSetContext(context, QX_CTX_CONNECTION, &noConnection), QXERR_INVALID_HANDLE);

    const std::uint32_t copy = QXDSDuplicateContext(context);
    ASSERT_NE(copy, 0u);
    EXPECT_NE(copy, context);
    ASSERT_EQ(QXDSGetContext(copy, QX_CTX_TREE_NAME, name), 0);
    EXPECT_EQ(std::string(name), fits);
    QXDSFreeContext(copy);
    QXDSFreeContext(context);
}

TEST_F(Client, ObjectInfoKnowsTheRootAndTheSourcesEntries) {
    Server server = serverWithClasses("HOLDER", 0);
    server.content.entries = {"cn=schema"};
    dsclient::memory::addServer(server);
    Session session("HOLDER");
    char dn[QX_CONTEXT_NAME_SIZE];
    Object_Info_T info{};
    EXPECT_EQ(QXDSReadObjectInfo(session.context, "[Root]", dn, &info), 0);
    EXPECT_EQ(QXDSReadObjectInfo(session.context, "CN=Schema", dn, &info), 0);
    EXPECT_EQ(QXDSReadObjectInfo(session.context, "cn=other", dn, &info), QXERR_NO_SUCH_ENTRY);
}

// Reads every part of the classes and returns the names, part by part.
std::vector<std::vector<std::string>> readParts(const Session& s) {
    std::vector<std::vector<std::string>> parts;
    std::int32_t iteration = -1;
    do {
        EXPECT_EQ(QXDSReadClassDef(s.context, 1, 1, 0, &iteration, s.buffer), 0);
        std::uint32_t count = 0;
        Class_Info_T outOfOrder{};
        char skipped[QX_NAME_BUF_SIZE];
        // Calls out of order leave the walk where it is.
        EXPECT_EQ(QXDSGetAttrCount(s.context, s.buffer, &count), QXERR_WRONG_ITEM);
        EXPECT_EQ(QXDSGetClassDef(s.context, s.buffer, skipped, &outOfOrder), QXERR_WRONG_ITEM);
        EXPECT_EQ(QXDSGetClassDefCount(s.context, s.buffer, &count), 0);
        parts.emplace_back();
        for (std::uint32_t n = 0; n < count; ++n) {
            char name[QX_NAME_BUF_SIZE];
            Class_Info_T info{};
            EXPECT_EQ(QXDSGetClassDef(s.context, s.buffer, name, &info), 0);
            parts.back().push_back(name);
            for (int list = 0; list < 5; ++list) {
                std::uint32_t items = 0;
                EXPECT_EQ(QXDSGetClassItemCount(s.context, s.buffer, &items), 0);
                for (std::uint32_t i = 0; i < items; ++i) {
                    EXPECT_EQ(QXDSGetClassItem(s.context, s.buffer, name), 0);
                }
            }
        }
        char name[QX_NAME_BUF_SIZE];
        EXPECT_EQ(QXDSGetClassDefCount(s.context, s.buffer, &count), QXERR_NO_MORE_ITEMS);
        EXPECT_EQ(QXDSGetClassItem(s.context, s.buffer, name), QXERR_NO_MORE_ITEMS);
    } while (iteration != -1 && parts.size() < 100);
    return parts;
}

TEST_F(Client, ReadsComeInPartsOfWholeDefinitions) {
    dsclient::memory::addServer(serverWithClasses("PARTS", 7, 3));
    {
        Session session("PARTS");
        const auto parts = readParts(session);
        ASSERT_EQ(parts.size(), 3u);
        EXPECT_EQ(parts[0], (std::vector<std::string>{"class0", "class1", "class2"}));
        EXPECT_EQ(parts[2], (std::vector<std::string>{"class6"}));
    }
    // Without a part size the buffer's room decides: 2,000 classes of about
    // 60 bytes do not fit one 64512-byte buffer.
    dsclient::memory::addServer(serverWithClasses("ROOMY", 2000));
    Session session("ROOMY");
    const auto parts = readParts(session);
    ASSERT_GT(parts.size(), 1u);
    std::size_t total = 0;
    for (const auto& part : parts) {
        total += part.size();
    }
    EXPECT_EQ(total, 2000u);

    // An iteration handle that the library never gave.
    std::int32_t bogus = 12345;
    EXPECT_EQ(QXDSReadClassDef(session.context, 1, 1, 0, &bogus, session.buffer),
              QXERR_BAD_ITERATION);
}

TEST_F(Client, ADefinitionLargerThanTheBufferIsRefused) {
    Server server = serverWithClasses("HUGE", 1);
    server.content.classes.definitions[0].lists[dsclient::OPT].assign(20000, "attribute");
    dsclient::memory::addServer(server);
    Session session("HUGE");
    std::int32_t iteration = -1;
    EXPECT_EQ(QXDSReadClassDef(session.context, 1, 1, 0, &iteration, session.buffer),
              QXERR_BUFFER_EXHAUSTED);
}

TEST_F(Client, NamesOf65BytesPassAndLongerOnesAreRefusedNeverCut) {
    Server server{"NAMES", {}, 0, {}, 0};
    server.content.attrs.definitions = {
        {std::string(65, 'a'), 1, 3}, {std::string(66, 'b'), 1, 3}, {"after", 0, QX_NO_SYNTAX}};
    dsclient::memory::addServer(server);
    Session session("NAMES");
    std::int32_t iteration = -1;
    ASSERT_EQ(QXDSReadAttrDef(session.context, 1, 1, 0, &iteration, session.buffer), 0);
    std::uint32_t count = 0;
    ASSERT_EQ(QXDSGetAttrCount(session.context, session.buffer, &count), 0);
    EXPECT_EQ(count, 3u);
    char name[QX_NAME_BUF_SIZE];
    Attr_Info_T info{};
    EXPECT_EQ(QXDSGetAttrDef(session.context, session.buffer, name, &info), 0);
    EXPECT_EQ(std::string(name), std::string(65, 'a'));
    std::strcpy(name, "kept");
    EXPECT_EQ(QXDSGetAttrDef(session.context, session.buffer, name, &info), QXERR_NAME_TOO_LONG);
    EXPECT_STREQ(name, "kept");
    std::string note(200, '\0');
    note.resize(QXGetLastErrorText(note.data(), note.size()));
    EXPECT_EQ(note, "an attribute name is longer than 65 bytes: " + std::string(66, 'b'));
    EXPECT_EQ(QXDSGetAttrDef(session.context, session.buffer, name, &info), 0);
    EXPECT_STREQ(name, "after");
    EXPECT_EQ(info.attrSyntaxID, QX_NO_SYNTAX);
    EXPECT_EQ(QXDSGetAttrDef(session.context, session.buffer, name, &info), QXERR_NO_MORE_ITEMS);
}

TEST(ReplyBuffer, ANameTooLongIsNamedWithItsKindAndClass) {
    using dsclient::ReplyBuffer;
    const std::string longName = "x" + std::string(70, 'y');
    const std::string limit = " is longer than 65 bytes: ";
    struct Case {
        ReplyBuffer::Kind kind;
        std::string note;
    };
    const std::vector<Case> cases{
        {ReplyBuffer::Kind::classes, "a class name" + limit + longName},
        {ReplyBuffer::Kind::classes, "a name in class holder" + limit + longName},
        {ReplyBuffer::Kind::attrs, "an attribute name" + limit + longName},
        {ReplyBuffer::Kind::syntaxes, "a syntax name" + limit + longName},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        ReplyBuffer buf(QX_REPLY_BUF_SIZE);
        buf.startPart(cases[k].kind);
        char name[QX_NAME_BUF_SIZE];
        std::uint32_t count = 0, flags = 0, syntax = 0;
        std::uint16_t syntaxFlags = 0;
        std::int32_t code = 0;
        if (k == 0) {
            buf.append(ClassDefinition{longName, 0, {}});
            buf.getCount(cases[k].kind, count);
            code = buf.getClass(name, flags);
        } else if (k == 1) {
            buf.append(ClassDefinition{"holder", 0, {{{longName}, {}, {}, {}, {}}}});
            buf.getCount(cases[k].kind, count);
            ASSERT_EQ(buf.getClass(name, flags), 0);
            ASSERT_EQ(buf.getItemCount(count), 0);
            code = buf.getItem(name);
        } else if (k == 2) {
            buf.append(dsclient::AttrDefinition{longName, 0, 3});
            buf.getCount(cases[k].kind, count);
            code = buf.getAttr(name, flags, syntax);
        } else {
            buf.append(dsclient::SyntaxDefinition{longName, 0});
            buf.getCount(cases[k].kind, count);
            code = buf.getSyntax(name, syntaxFlags);
        }
        EXPECT_EQ(code, QXERR_NAME_TOO_LONG);
        EXPECT_EQ(buf.longNameNote(), cases[k].note);
    }
}

TEST_F(Client, AnswersThroughAReferralNameTheConnectionThatAnswered) {
    dsclient::memory::addServer(serverWithClasses("ASKED", 1));
    dsclient::memory::addServer(serverWithClasses("OTHER", 2));
    Server asked = serverWithClasses("ASKED", 1);
    asked.answeredBy = "OTHER";
    dsclient::memory::addServer(asked);
    Session session("ASKED");
    std::uint32_t answered = 0;
    ASSERT_EQ(QXDSGetContext(session.context, QX_CTX_CONNECTION, &answered), 0);
    EXPECT_EQ(answered, session.conn) << "before a request: the connection set";
    std::int32_t iteration = -1;
    ASSERT_EQ(QXDSReadClassDef(session.context, 1, 1, 0, &iteration, session.buffer), 0);
    ASSERT_EQ(QXDSGetContext(session.context, QX_CTX_CONNECTION, &answered), 0);
    EXPECT_NE(answered, session.conn);
    char name[QX_SERVER_NAME_SIZE];
    ASSERT_EQ(QXGetFileServerName(answered, name), 0);
    EXPECT_STREQ(name, "OTHER");
    std::uint32_t count = 0;
    ASSERT_EQ(QXDSGetClassDefCount(session.context, session.buffer, &count), 0);
    EXPECT_EQ(count, 2u);
}

TEST_F(Client, InjectedFailuresAndTheCallLog) {
    dsclient::memory::addServer(serverWithClasses("LOGGED", 1));
    dsclient::memory::failCall("QXDSAllocBuf", 2, -601);
    dsclient::memory::recordCalls(true);
    std::uint32_t first = 0, second = 0, third = 0;
    EXPECT_EQ(QXDSAllocBuf(QX_REPLY_BUF_SIZE, &first), 0);
    EXPECT_EQ(QXDSAllocBuf(QX_REPLY_BUF_SIZE, &second), -601);
    EXPECT_EQ(QXDSAllocBuf(100, &third), QXERR_INVALID_ARGUMENT);
    QXDSFreeBuf(first);
    EXPECT_EQ(dsclient::memory::calls(),
              (std::vector<std::string>{"QXDSAllocBuf(64512) = 0", "QXDSAllocBuf(64512) = -601",
                                        "QXDSAllocBuf(100) = -311",
                                        "QXDSFreeBuf(" + std::to_string(first) + ") = 0"}));
}

// What QXDSReadDescriptions hands to its sink, one line per value:
// "KIND|TEXT|ORIGIN", with the length checked against the text.
struct Sunk {
    std::vector<std::string> lines;
    static void sink(void* user, std::uint32_t kind, const char* text, std::size_t length,
                     const char* origin) {
        auto* self = static_cast<Sunk*>(user);
        EXPECT_EQ(std::strlen(text), length);
        self->lines.push_back(std::to_string(kind) + "|" + text + "|" + origin);
    }
};

TEST_F(Client, WholeDescriptionsOfAFileSourceInKindOrderWithOrigins) {
    ScopedTempDir dir;
    dir.write("a.schema",
              "objectidentifier Site 1.9\n"
              "objectclass ( Site:1 NAME 'c' )\n"
              "attributetype ( 1.1 NAME 'a' )\n"
              "ditcontentrule ( Site:1 AUX x )\n"
              "ldapsyntax ( 1.2 )\n");
    dir.write("b.ldif",
              "dn: cn=subschema\n"
              "dITStructureRules: ( 1 FORM f )\n"
              "nameForms: ( 3.1 NAME 'f' OC c MUST cn )\n"
              "matchingRuleUse: ( 2.5.13.2 APPLIES a )\n"
              "matchingRules: ( 2.5.13.2 NAME 'm' SYNTAX 1.2 )\n"
              "objectClasses: ( 2.1 NAME 'broken' NAME 'twice' )\n"
              "olcObjectIdentifier: {0}Other Site:2\n");
    const std::string a = (dir.path() / "a.schema").string();
    const std::string b = (dir.path() / "b.ldif").string();
    const std::vector<std::string> expected = {
        "0|( 1.2 )|" + a + ":5",
        "1|( 2.5.13.2 NAME 'm' SYNTAX 1.2 )|" + b + ":5",
        "2|( 2.5.13.2 APPLIES a )|" + b + ":4",
        "3|( 1.1 NAME 'a' )|" + a + ":3",
        "4|( Site:1 NAME 'c' )|" + a + ":2",
        // Handed out as held: one that does not parse fails nothing here.
        "4|( 2.1 NAME 'broken' NAME 'twice' )|" + b + ":6",
        "5|( Site:1 AUX x )|" + a + ":4",
        "6|( 1 FORM f )|" + b + ":2",
        "7|( 3.1 NAME 'f' OC c MUST cn )|" + b + ":3",
        "8|Site 1.9|" + a + ":1",
        "8|Other Site:2|" + b + ":7",
    };
    Session session("file:" + dir.path().string());
    Sunk first;
    ASSERT_EQ(QXDSReadDescriptions(session.context, Sunk::sink, &first), 0);
    EXPECT_EQ(first.lines, expected);

    // The listing's read converts and lets the descriptions go; a later
    // whole read finds the files again.
    std::int32_t iteration = QX_ITERATION_START;
    EXPECT_EQ(QXDSReadAttrDef(session.context, QX_INFO_FULL, 1, 0, &iteration, session.buffer), 0);
    Sunk again;
    ASSERT_EQ(QXDSReadDescriptions(session.context, Sunk::sink, &again), 0);
    EXPECT_EQ(again.lines, expected);

    // A folder gone since fails that read, with the cause, and hands out nothing.
    std::filesystem::remove_all(dir.path());
    Sunk none;
    EXPECT_EQ(QXDSReadDescriptions(session.context, Sunk::sink, &none), QXERR_CANNOT_OPEN);
    EXPECT_TRUE(none.lines.empty());
    std::string text(400, '\0');
    text.resize(QXGetLastErrorText(text.data(), text.size()));
    EXPECT_EQ(text, "cannot open " + dir.path().string() + ": No such file or directory");
}

TEST_F(Client, ReadDescriptionsRefusesWhatItCannotRead) {
    dsclient::memory::addServer(serverWithClasses("MEMORY", 1));
    Session session("MEMORY");
    dsclient::memory::recordCalls(true);
    Sunk sunk;
    EXPECT_EQ(QXDSReadDescriptions(session.context, nullptr, &sunk), QXERR_INVALID_ARGUMENT);
    EXPECT_EQ(QXDSReadDescriptions(session.buffer, Sunk::sink, &sunk), QXERR_INVALID_HANDLE);
    std::uint32_t unbound = 0;
    ASSERT_EQ(QXDSCreateContextHandle(&unbound), 0);
    EXPECT_EQ(QXDSReadDescriptions(unbound, Sunk::sink, &sunk), QXERR_NOT_CONNECTED);
    ASSERT_EQ(QXDSFreeContext(unbound), 0);

    // A source with no descriptions to give says so.
    EXPECT_EQ(QXDSReadDescriptions(session.context, Sunk::sink, &sunk), QXERR_INVALID_ARGUMENT);
    std::string text(200, '\0');
    text.resize(QXGetLastErrorText(text.data(), text.size()));
    EXPECT_EQ(text, "this source holds no schema descriptions");

    const std::string ctx = std::to_string(session.context);
    EXPECT_EQ(dsclient::memory::calls(),
              (std::vector<std::string>{
                  "QXDSReadDescriptions(" + ctx + ") = -311",
                  "QXDSReadDescriptions(" + std::to_string(session.buffer) + ") = -304",
                  "QXDSCreateContextHandle() = 0",
                  "QXDSReadDescriptions(" + std::to_string(unbound) + ") = -313",
                  "QXDSFreeContext(" + std::to_string(unbound) + ") = 0",
                  "QXDSReadDescriptions(" + ctx + ") = -311"}));
    dsclient::memory::recordCalls(false);
}

TEST(ReplyBuffer, GetCallsNeverReadPastTheEndOfAnyContent) {
    // A class part as the library writes it, its last item's length made to
    // run past the end. Every prefix, and each with one byte changed, walked
    // with every Get call in turn: codes only, never a read past the end
    // (the sanitizers watch that).
    const std::vector<unsigned char> whole = {'N', 'C', 1, 0, 0,   0,    'C',  2,    0,    0,   0,
                                              6,   0,   0, 0, 'p', 'e',  'r',  's',  'o',  'n', 'K',
                                              1,   0,   0, 0, 'I', 0xFF, 0xFF, 0xFF, 0x7F, 't'};
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        for (int flip = -1; flip < static_cast<int>(cut); ++flip) {
            std::vector<unsigned char> content(whole.begin(),
                                               whole.begin() + static_cast<std::ptrdiff_t>(cut));
            if (flip >= 0) {
                content[flip] ^= 0x5A;
            }
            dsclient::ReplyBuffer buf(QX_REPLY_BUF_SIZE);
            buf.assign(content);
            char name[QX_NAME_BUF_SIZE];
            std::uint32_t value = 0;
            std::uint16_t small = 0;
            for (int round = 0; round < 8; ++round) {
                buf.getCount(dsclient::ReplyBuffer::Kind::classes, value);
                buf.getClass(name, value);
                buf.getItemCount(value);
                EXPECT_NE(buf.getItem(name), QX_SUCCESS) << "the item's length runs past the end";
                buf.getAttr(name, value, value);
                buf.getSyntax(name, small);
            }
        }
    }
}

}  // namespace
