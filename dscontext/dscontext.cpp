#include "dscontext/dscontext.h"

#include <cstring>
#include <iostream>

#include "dscontext/dsclient.h"

DSContext::DSContext() {
    cCode = QXDSCreateContextHandle(&contextHandle);
    if (cCode == QX_SUCCESS) {
        cCode = QXDSSetContext(contextHandle, QX_CTX_FLAGS, &CONTEXT_FLAGS);
    }
    if (cCode == QX_SUCCESS) {
        cCode = readName();
    }
}

DSContext::DSContext(std::uint32_t ch) {
    cCode = QXDSCreateContextHandle(&contextHandle);
    if (cCode != QX_SUCCESS) {
        return;
    }
    const std::uint32_t created = contextHandle;
    contextHandle = QXDSDuplicateContext(ch);
    QXDSFreeContext(created);
    cCode = readName();
}

DSContext::DSContext(const DSContext& c) {
    cCode = QXDSCreateContextHandle(&contextHandle);
    if (cCode != QX_SUCCESS) {
        return;
    }
    cCode = QXDSSetContext(contextHandle, QX_CTX_FLAGS, &CONTEXT_FLAGS);
    if (cCode != QX_SUCCESS) {
        return;
    }
    const std::uint32_t created = contextHandle;
    contextHandle = QXDSDuplicateContext(c.contextHandle);
    QXDSFreeContext(created);
    cCode = readName();
}

DSContext::DSContext(const std::string& name) {
    cCode = QXDSCreateContextHandle(&contextHandle);
    cCode = QXDSSetContext(contextHandle, QX_CTX_FLAGS, &CONTEXT_FLAGS);
    setName(name);
}

DSContext::~DSContext() {
    QXDSFreeContext(contextHandle);
}

// Duplicating before freeing is what keeps an object assigned to itself
// holding a live context; the check below cannot see that.
// NOLINTNEXTLINE(cert-oop54-cpp)
DSContext& DSContext::operator=(const DSContext& context) {
    const std::uint32_t duplicate = QXDSDuplicateContext(context.contextHandle);
    QXDSFreeContext(contextHandle);
    contextHandle = duplicate;
    cCode = readName();
    return *this;
}

int DSContext::operator==(const DSContext& context) const {
    return contextHandle == context.contextHandle ? 1 : 0;
}

int DSContext::operator<(const DSContext& context) const {
    return contextName.compare(context.contextName) < 0 ? 1 : 0;
}

std::int32_t DSContext::readName() {
    char name[QX_CONTEXT_NAME_SIZE] = {};
    const std::int32_t code = QXDSGetContext(contextHandle, QX_CTX_NAME, name);
    contextName = code == QX_SUCCESS ? name : "";
    return code;
}

std::string DSContext::getName() {
    cCode = readName();
    return contextName;
}

std::string DSContext::getTreeName() {
    char tree[QX_CONTEXT_NAME_SIZE] = {};
    cCode = QXDSGetContext(contextHandle, QX_CTX_TREE_NAME, tree);
    return cCode == QX_SUCCESS ? std::string(tree) : std::string();
}

void DSContext::setName(std::string name) {
    if (!name.empty() && name.front() == '.') {
        name.erase(0, 1);
    }
    contextName = std::move(name);
    cCode = QXDSSetContext(contextHandle, QX_CTX_NAME, contextName.c_str());
    if (cCode != QX_SUCCESS) {
        return;
    }
    char tempName[QX_CONTEXT_NAME_SIZE] = {};
    Object_Info_T objectInfo{};
    cCode = QXDSReadObjectInfo(contextHandle, contextName.c_str(), tempName, &objectInfo);
    if (cCode != QX_SUCCESS) {
        QXDSSetContext(contextHandle, QX_CTX_NAME, "[Root]");
    }
}

void DSContext::setTreeName(const std::string& tree) {
    cCode = QXDSSetContext(contextHandle, QX_CTX_TREE_NAME, tree.c_str());
}

std::ostream& operator<<(std::ostream& os, const DSContext& context) {
    return os << context.contextName;
}
