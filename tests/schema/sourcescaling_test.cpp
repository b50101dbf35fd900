// How the work of reading local schema files grows with the schema: the
// files read, their descriptions converted, and every definition read into
// the model through the library's calls, counted in allocations and bytes
// rather than timed. A step that walks every definition for each one, or
// keeps something per pair, takes sixteen times the work at four times the
// definitions.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dscontext/dsclient.h"
#include "dscontext/dscontext.h"
#include "schema/schema.h"
#include "support/allocationcount.h"
#include "support/tempdir.h"

namespace {

// `types` attribute types: every tenth a base with a syntax, the next nine a
// SUP chain down from it (so each takes its syntax from far up), and the
// last three a loop. A fifth as many classes, each a subclass of the one
// before, with members named by NAME, by OID and by an OID macro; name
// forms and structure rules that all name the first class, so that its
// naming and containment lists gather from many of them.
struct Generated {
    std::string attributes;
    std::string classes;
    std::string rules;
};

Generated generated(std::size_t types) {
    Generated text;
    for (std::size_t at = 0; at < types; ++at) {
        const std::string number = std::to_string(at);
        text.attributes +=
            "( 1.1.1." + number + " NAME ( 'attribute" + number + "' 'alias" + number + "' )";
        if (at + 3 >= types) {
            text.attributes +=
                " SUP attribute" + std::to_string(at + 3 == types ? types - 1 : at - 1);
        } else if (at % 10 == 0) {
            text.attributes += " EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15";
        } else {
            text.attributes += " SUP attribute" + std::to_string(at - 1);
        }
        text.attributes += " )\n";
    }
    for (std::size_t at = 0; at < types / 5; ++at) {
        const std::string number = std::to_string(at);
        text.classes += "( 1.1.2." + number + " NAME 'class" + number + "' SUP " +
                        (at == 0 ? std::string("top") : "class" + std::to_string(at - 1)) +
                        " MUST attribute" + std::to_string(at * 5) + " MAY ( alias" +
                        std::to_string(at * 5 + 1) + " $ 1.1.1." + std::to_string(at * 5 + 2) +
                        " $ bench:" + std::to_string(at * 5 + 3) + " ) )\n";
    }
    for (std::size_t at = 0; at < types / 20; ++at) {
        const std::string number = std::to_string(at);
        text.rules += "( 1.1.3." + number + " NAME 'form" + number + "' OC class0 MUST attribute" +
                      std::to_string(at) + " )\n";
    }
    for (std::size_t at = 0; at < types / 20; ++at) {
        const std::string number = std::to_string(at);
        text.rules += "( " + number + " FORM form" + number +
                      (at == 0 ? std::string() : " SUP " + std::to_string(at - 1)) + " )\n";
    }
    return text;
}

// Each line of `text` after `keyword`, for a .schema file or an LDIF entry.
std::string lines(const std::string& text, const std::string& keyword) {
    std::string out;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find('\n', begin);
        out += keyword;
        out.append(text, begin, end - begin + 1);
        begin = end + 1;
    }
    return out;
}

std::string schemaFile(const Generated& text) {
    // Name forms and structure rules are LDIF-only; the .schema form keeps
    // the rest and the macro.
    return "objectidentifier bench 1.1.1\n" + lines(text.attributes, "attributetype ") +
           lines(text.classes, "objectclass ");
}

std::string ldifFile(const Generated& text) {
    std::string rules;
    std::string forms;
    std::size_t begin = 0;
    while (begin < text.rules.size()) {
        const std::size_t end = text.rules.find('\n', begin);
        const std::string line = text.rules.substr(begin, end - begin + 1);
        (line.find(" OC ") != std::string::npos ? forms : rules) += line;
        begin = end + 1;
    }
    return "dn: cn=schema\nolcObjectIdentifier: bench 1.1.1\n" +
           lines(text.attributes, "attributeTypes: ") + lines(text.classes, "objectClasses: ") +
           lines(forms, "nameForms: ") + lines(rules, "dITStructureRules: ");
}

struct Work {
    std::size_t allocations = 0;
    std::size_t bytes = 0;
    std::size_t classes = 0;
    std::size_t attributes = 0;
};

// Opens `file`, reads its classes and attributes into a schema and closes
// it again: the work of all that.
Work workToRead(const std::string& file) {
    DSContext context;
    Schema schema;
    schema.whirly = 0;
    const std::string name = "file:" + file;
    const AllocationCount before = allocationsSoFar();
    std::uint32_t start = 0;
    std::uint32_t conn = 0;
    EXPECT_EQ(QXGetDefaultConnectionID(&start), 0);
    EXPECT_EQ(QXCCOpenConnByName(start, name.c_str(), 2, 1, 0x8000, &conn), 0);
    EXPECT_EQ(QXDSSetContext(context.getContextHandle(), QX_CTX_CONNECTION, &conn), 0);
    EXPECT_EQ(schema.readClassDefs(conn, context), 1);
    EXPECT_EQ(schema.readAttrDefs(conn, context), 1);
    QXCCCloseConn(conn);
    const AllocationCount work = allocationsSince(before);
    return {work.allocations, work.bytes, schema.classDef.count(), schema.attrDef.count()};
}

TEST(SourceScaling, FourTimesTheDefinitionsTakeAboutFourTimesTheWork) {
    const ScopedTempDir dir;
    for (const char* form : {"ldif", "schema"}) {
        SCOPED_TRACE(form);
        Work work[2];
        for (const std::size_t scale : {0, 1}) {
            const std::size_t types = scale == 0 ? 2000 : 8000;
            const Generated text = generated(types);
            const std::string name = std::to_string(types) + "." + form;
            const auto path =
                dir.write(name, std::string(form) == "ldif" ? ldifFile(text) : schemaFile(text));
            work[scale] = workToRead(path.string());
            ASSERT_EQ(work[scale].classes, types / 5);
            ASSERT_EQ(work[scale].attributes, types);
        }
        const Work& small = work[0];
        const Work& large = work[1];
        // Anything quadratic would take sixteen times as much.
        EXPECT_GT(large.allocations, 3 * small.allocations);
        EXPECT_LT(large.allocations, 5 * small.allocations);
        EXPECT_GT(large.bytes, 3 * small.bytes);
        EXPECT_LT(large.bytes, 5 * small.bytes);
    }
}

}  // namespace
