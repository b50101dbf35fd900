#include "dscontext/dscontext.h"

#include <sstream>

#include <gtest/gtest.h>

#include "dscontext/dsclient.h"
#include "support/memorydirectory.h"

namespace {

std::string shown(const DSContext& context) {
    std::ostringstream out;
    out << context;
    return out.str();
}

TEST(DSContext, AFreshContextIsAtTheRootWithItsFlagsSet) {
    DSContext context;
    EXPECT_EQ(context.getCCode(), 0);
    EXPECT_EQ(context.getName(), "[Root]");
    std::uint32_t flags = 0;
    ASSERT_EQ(QXDSGetContext(context.getContextHandle(), QX_CTX_FLAGS, &flags), 0);
    EXPECT_EQ(flags, DSContext::CONTEXT_FLAGS);
}

TEST(DSContext, SetNameRemovesOneLeadingDotAndFallsBackToTheRoot) {
    dsclient::memory::reset();
    dsclient::memory::addServer({"TREE", {{}, {}, {}, {"Dept.Unit", ".x"}}, 0, {}, 0});
    std::uint32_t start = 0, conn = 0;
    ASSERT_EQ(QXGetDefaultConnectionID(&start), 0);
    ASSERT_EQ(QXCCOpenConnByName(start, "TREE", QX_NAME_FORMAT_SERVER, QX_OPEN_STATE_DEFAULT,
                                 QX_TRANSPORT_ANY, &conn),
              0);
    DSContext context;
    ASSERT_EQ(QXDSSetContext(context.getContextHandle(), QX_CTX_CONNECTION, &conn), 0);

    context.setName(".Dept.Unit");
    EXPECT_EQ(context.getCCode(), 0);
    EXPECT_EQ(shown(context), "Dept.Unit");
    EXPECT_EQ(context.getName(), "Dept.Unit");

    context.setName("..x");
    EXPECT_EQ(context.getCCode(), 0);
    EXPECT_EQ(shown(context), ".x");

    context.setName("Nowhere");
    EXPECT_EQ(context.getCCode(), QXERR_NO_SUCH_ENTRY);
    EXPECT_EQ(shown(context), "Nowhere") << "the requested name is kept for output";
    EXPECT_EQ(context.getName(), "[Root]") << "requests go to the root";

    context.setName(std::string(600, 'n'));
    EXPECT_EQ(context.getCCode(), QXERR_NAME_TOO_LONG) << "refused, never cut";

    context.setTreeName("TREE_A");
    EXPECT_EQ(context.getTreeName(), "TREE_A");
    QXCCCloseConn(conn);
    dsclient::memory::reset();
}

TEST(DSContext, CopiesOwnContextsOfTheirOwnAndCompareByHandle) {
    DSContext a;
    a.setTreeName("T");
    DSContext b(a);
    DSContext c(a.getContextHandle());
    EXPECT_NE(a.getContextHandle(), b.getContextHandle());
    EXPECT_NE(a.getContextHandle(), c.getContextHandle());
    EXPECT_EQ(b.getTreeName(), "T");
    EXPECT_EQ(a == b, 0) << "same name, other handle";
    EXPECT_EQ(a == a, 1);

    const std::uint32_t before = b.getContextHandle();
    b = a;
    EXPECT_NE(b.getContextHandle(), before);
    std::uint32_t flags = 0;
    EXPECT_EQ(QXDSGetContext(before, QX_CTX_FLAGS, &flags), QXERR_INVALID_HANDLE)
        << "the context held before is freed";
    DSContext& self = b;
    b = self;
    EXPECT_EQ(b.getCCode(), 0) << "assigning an object to itself keeps a live context";
    EXPECT_EQ(b.getName(), "[Root]");

    DSContext upper("B");
    DSContext lower("a");
    EXPECT_EQ(lower < upper, 0) << "'a' sorts after 'B' by byte value";
    EXPECT_EQ(upper < lower, 1);

    // A context built on a handle that was never issued holds no context.
    DSContext none(0xFFFFFFF0u);
    EXPECT_EQ(none.getCCode(), QXERR_INVALID_HANDLE);
    EXPECT_EQ(none.getName(), "");
}

}  // namespace
