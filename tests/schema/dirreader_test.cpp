// The directory readers against the in-memory directory: parts, counts,
// answers from another server, the error lines and the spinner.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dscontext/dsclient.h"
#include "dscontext/dscontext.h"
#include "schema/schema.h"
#include "support/capture.h"
#include "support/memorydirectory.h"

namespace {

using dsclient::memory::Server;

// The in-memory directory with one connection open to `server` and a
// context directed to it.
class DirReader : public testing::Test {
  protected:
    void open(const Server& server) {
        dsclient::memory::addServer(server);
        std::uint32_t start = 0;
        ASSERT_EQ(QXGetDefaultConnectionID(&start), 0);
        ASSERT_EQ(QXCCOpenConnByName(start, server.name.c_str(), 2, 1, 0x8000, &conn), 0);
        ASSERT_EQ(QXDSSetContext(context.getContextHandle(), QX_CTX_CONNECTION, &conn), 0);
    }
    void SetUp() override { dsclient::memory::reset(); }
    void TearDown() override {
        QXCCCloseConn(conn);
        dsclient::memory::reset();
    }
    std::vector<std::string> callsNamed(const std::string& name) const {
        std::vector<std::string> found;
        for (const std::string& call : dsclient::memory::calls()) {
            if (call.rfind(name + "(", 0) == 0) {
                found.push_back(call);
            }
        }
        return found;
    }

    DSContext context;
    std::uint32_t conn = 0;
};

Server classServer(const std::string& name, std::size_t partSize) {
    Server server{name, {}, partSize, {}, 0};
    for (const char* cls : {"person", "Top", "organization", "person", "alias"}) {
        server.content.classes.definitions.push_back({cls, 2, {{{"top"}, {}, {"cn"}, {"sn"}, {}}}});
    }
    server.content.classes.definitions[3].lists[4] = {"second"};
    server.content.attrs.definitions = {{"cn", 0x20, 3}, {"photo", 0, QX_NO_SYNTAX}};
    server.content.syntaxes.definitions = {{"SYN_CI_STRING", 1}};
    return server;
}

TEST_F(DirReader, ReadsEveryPartThroughOneBufferAndKeepsDuplicatesInOrder) {
    open(classServer("THREEPARTS", 2));
    dsclient::memory::recordCalls(true);
    Schema schema;
    StreamCapture err(std::cerr);
    ASSERT_EQ(schema.readClassDefs(conn, context), 1);
    EXPECT_EQ(callsNamed("QXDSReadClassDef").size(), 3u);
    EXPECT_EQ(callsNamed("QXDSGetContext").size(), 3u) << "the answer checked for every part";
    EXPECT_EQ(callsNamed("QXDSAllocBuf").size(), 1u);
    EXPECT_EQ(callsNamed("QXDSFreeBuf").size(), 1u);
    ASSERT_EQ(schema.classDef.count(), 5u);
    std::vector<std::string> names;
    for (const ClassDef& def : schema.classDef) {
        names.push_back(def.name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"alias", "organization", "person", "person", "Top"}));
    EXPECT_TRUE(schema.classDef[2].optional.empty()) << "the later duplicate goes after";
    EXPECT_EQ(schema.classDef[3].optional.count(), 1u);
    // The spinner turns once per definition: a turn is two bytes.
    EXPECT_EQ(err.text().size(), 2u * 5);

    ASSERT_EQ(schema.readAttrDefs(conn, context), 1);
    ASSERT_EQ(schema.attrDef.count(), 2u);
    EXPECT_EQ(schema.attrDef[1].syntax, AttrDef::noSyntax);
    ASSERT_EQ(schema.readSyntaxDefs(conn, context), 1);
    EXPECT_EQ(schema.syntaxDef[0].flags, 1);
}

TEST_F(DirReader, AnEmptyKindAndTheSpinnerTurnedOff) {
    Server server{"EMPTY", {}, 0, {}, 0};
    server.content.attrs.definitions = {{"cn", 0, 3}};
    open(server);
    Schema schema;
    schema.whirly = 0;
    StreamCapture err(std::cerr);
    EXPECT_EQ(schema.readClassDefs(conn, context), 1);
    EXPECT_TRUE(schema.classDef.empty());
    EXPECT_EQ(schema.readAttrDefs(conn, context), 1);
    EXPECT_EQ(err.text(), "");
}

TEST_F(DirReader, FailuresWriteTheirErrorLineAndKeepWhatWasRead) {
    struct Case {
        const char* call;
        unsigned use;
        std::int32_t code;
        std::string line;
        std::size_t kept;
    };
    const std::vector<Case> cases{
        {"QXDSAllocBuf", 1, 35, "QXDSAllocBuf returned 35:23\n", 0},
        {"QXDSReadClassDef", 2, -601, "QXDSReadClassDef returned -601:fffffda7\n", 2},
        {"QXDSGetContext", 1, -1, "QXDSGetContext returned -1:ffffffff\n", 0},
        {"QXDSGetClassDefCount", 3, 7, "QXDSGetClassDefCount returned 7:7\n", 4},
        {"QXDSGetClassDef", 2, -308, "QXDSGetClassDef returned -308:fffffecc\n", 1},
        {"QXDSGetClassItemCount", 6, -2, "QXDSGetClassItemCount returned -2:fffffffe\n", 1},
        {"QXDSGetClassItem", 1, 255, "QXDSGetClassItem returned 255:ff\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        dsclient::memory::reset();
        QXCCCloseConn(conn);
        open(classServer("FAILING", 2));
        dsclient::memory::failCall(c.call, c.use, c.code);
        dsclient::memory::recordCalls(true);
        Schema schema;
        schema.whirly = 0;
        StreamCapture out(std::cout);
        EXPECT_EQ(schema.readClassDefs(conn, context), 0);
        EXPECT_EQ(out.text(), c.line);
        EXPECT_EQ(schema.classDef.count(), c.kept);
        EXPECT_EQ(callsNamed("QXDSFreeBuf").size(), c.use == 1 && c.code == 35 ? 0u : 1u)
            << "an allocated buffer is released on every way out";
    }
    // The other kinds name their own calls.
    StreamCapture out(std::cout);
    Schema schema;
    schema.whirly = 0;
    dsclient::memory::failCall("QXDSGetAttrDef", 1, -601);
    dsclient::memory::failCall("QXDSReadSyntaxes", 1, -601);
    dsclient::memory::failCall("QXDSGetAttrCount", 1, 35);
    EXPECT_EQ(schema.readAttrDefs(conn, context), 0);
    EXPECT_EQ(schema.readAttrDefs(conn, context), 0);
    EXPECT_EQ(schema.readSyntaxDefs(conn, context), 0);
    EXPECT_EQ(out.text(),
              "QXDSGetAttrCount returned 35:23\nQXDSGetAttrDef returned -601:fffffda7\n"
              "QXDSReadSyntaxes returned -601:fffffda7\n");
}

TEST_F(DirReader, AnAnswerFromAnotherServerIsRefusedAfterTheEarlierParts) {
    dsclient::memory::addServer(classServer("ELSEWHERE", 2));
    Server asked = classServer("ASKED", 2);
    asked.answeredBy = "ELSEWHERE";
    open(asked);
    Schema schema;
    schema.whirly = 0;
    StreamCapture out(std::cout);
    EXPECT_EQ(schema.readAttrDefs(conn, context), 0);
    EXPECT_EQ(out.text(),
              "The schema information requested from ASKED was acutally returned by ELSEWHERE\n");
    EXPECT_TRUE(schema.attrDef.empty());
}

}  // namespace
