// The directory overloads of the schema readers: every definition of one
// kind, read part by part through the directory client library.

#include <array>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dscontext/dsclient.h"
#include "dscontext/dscontext.h"
#include "dscontext/errorline.h"
#include "schema/readresult.h"
#include "schema/schema.h"
#include "toollib/progress.h"

namespace {

// The reply buffer of one reader call, released on every way out.
class ReplyBufferHandle {
  public:
    ReplyBufferHandle() = default;
    ~ReplyBufferHandle() {
        if (allocated) {
            QXDSFreeBuf(handle);
        }
    }
    ReplyBufferHandle(const ReplyBufferHandle&) = delete;
    ReplyBufferHandle& operator=(const ReplyBufferHandle&) = delete;

    std::int32_t allocate() {
        const std::int32_t code = QXDSAllocBuf(QX_REPLY_BUF_SIZE, &handle);
        allocated = code == QX_SUCCESS;
        return code;
    }

    std::uint32_t handle = 0;
    bool allocated = false;
};

using ReadCall = std::int32_t (*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::int32_t*, std::uint32_t);
using CountCall = std::int32_t (*)(std::uint32_t, std::uint32_t, std::uint32_t*);

struct KindCalls {
    ReadCall read;
    const char* readText;
    CountCall count;
    const char* countText;
};

// A failure writes its line, and keeps in `why` what a summary of the run
// says about it.
bool failed(std::int32_t code, const char* text, std::string& why) {
    if (code == QX_SUCCESS) {
        return false;
    }
    // The turns gathered so far go before the error line, as written one by one.
    flushProgress();
    why = reportLibraryError(text, code);
    return true;
}

std::string fileServerName(std::uint32_t connection) {
    // Initialised empty: a failed call leaves the name as it was.
    std::array<char, QX_SERVER_NAME_SIZE> name{};
    QXGetFileServerName(connection, name.data());
    name.back() = '\0';
    return name.data();
}

// The frame all three readers share: one buffer for every part, a check of
// which connection answered each part, and `readOne` called once per
// definition after the spinner has turned. The definitions read go into
// `read`, also those read before a failure; a failure has written its line,
// and the result holds it in one line.
template <class Def, class ReadOne>
ReadResult readParts(std::uint8_t whirly, std::vector<Def>& read, std::uint32_t connHandle,
                     DSContext& dsContext, const KindCalls& calls, ReadOne readOne) {
    const std::uint32_t context = dsContext.getContextHandle();
    // One turn per definition: gathered, they cost a few writes, not one each.
    std::optional<SpinnerBatch> spinning;
    if (whirly != 0) {
        spinning.emplace();
    }
    std::string why;
    ReplyBufferHandle buffer;
    if (failed(buffer.allocate(), "QXDSAllocBuf returned ", why)) {
        return ReadResult::failed(why);
    }
    std::int32_t iteration = QX_ITERATION_START;
    do {
        if (failed(calls.read(context, QX_INFO_FULL, 1, 0, &iteration, buffer.handle),
                   calls.readText, why)) {
            return ReadResult::failed(why);
        }
        std::uint32_t answered = 0;
        if (failed(QXDSGetContext(context, QX_CTX_CONNECTION, &answered),
                   "QXDSGetContext returned ", why)) {
            return ReadResult::failed(why);
        }
        if (answered != connHandle) {
            const std::string requested = fileServerName(connHandle);
            const std::string actual = fileServerName(answered);
            why = "The schema information requested from " + requested +
                  " was acutally returned by " + actual;
            flushProgress();
            std::cout << why << '\n';
            return ReadResult::failed(why);
        }
        std::uint32_t count = 0;
        if (failed(calls.count(context, buffer.handle, &count), calls.countText, why)) {
            return ReadResult::failed(why);
        }
        for (std::uint32_t n = 0; n < count; ++n) {
            if (whirly != 0) {
                whirlyGig();
            }
            std::optional<Def> def = readOne(context, buffer.handle, why);
            if (!def) {
                return ReadResult::failed(why);
            }
            read.push_back(std::move(*def));
        }
    } while (iteration != QX_ITERATION_START);
    return ReadResult::succeeded();
}

// Inserts what one reader call read in one piece, however the call ended:
// the same result as inserting the definitions one by one, without the
// quadratic cost of input that arrives unsorted.
template <class Def, class ReadOne>
int readAll(std::uint8_t whirly, ExtendedArray<Def>& target, std::string& failure,
            std::uint32_t connHandle, DSContext& dsContext, const KindCalls& calls,
            ReadOne readOne) {
    std::vector<Def> read;
    ReadResult result = readParts(whirly, read, connHandle, dsContext, calls, readOne);
    target.AddAll(std::move(read));
    if (!result.ok) {
        failure = std::move(result.failure);
    }
    return result.ok ? 1 : 0;
}

constexpr std::array<ClassType, 5> listTypes{SUPERCLASSES, CONTAINMENT, NAMEDBY, MANDATORY, OPT};

}  // namespace

int Schema::readClassDefs(std::uint32_t connHandle, DSContext& dsContext) {
    static constexpr KindCalls calls{QXDSReadClassDef, "QXDSReadClassDef returned ",
                                     QXDSGetClassDefCount, "QXDSGetClassDefCount returned "};
    // The names of one list are gathered and added together, as adding them
    // one by one would place them: the list is then made once at its size,
    // where one by one it grew several times. The room is kept from list to
    // list.
    std::vector<std::string> items;
    std::vector<std::string_view> batch;
    return readAll(whirly, classDef, failure, connHandle, dsContext, calls,
                   [&items, &batch](std::uint32_t context, std::uint32_t buffer,
                                    std::string& why) -> std::optional<ClassDef> {
                       std::array<char, QX_NAME_BUF_SIZE> defName{};
                       Class_Info_T info{};
                       if (failed(QXDSGetClassDef(context, buffer, defName.data(), &info),
                                  "QXDSGetClassDef returned ", why)) {
                           return std::nullopt;
                       }
                       ClassDef def(defName.data(), info.classFlags);
                       std::array<char, QX_NAME_BUF_SIZE> item{};
                       for (ClassType type : listTypes) {
                           std::uint32_t count = 0;
                           if (failed(QXDSGetClassItemCount(context, buffer, &count),
                                      "QXDSGetClassItemCount returned ", why)) {
                               return std::nullopt;
                           }
                           // Sized before any view is taken: a short name lives
                           // inside its string and would move with the vector.
                           if (items.size() < count) {
                               items.resize(count);
                           }
                           batch.clear();
                           for (std::uint32_t n = 0; n < count; ++n) {
                               if (failed(QXDSGetClassItem(context, buffer, item.data()),
                                          "QXDSGetClassItem returned ", why)) {
                                   return std::nullopt;
                               }
                               items[n].assign(item.data());
                               batch.emplace_back(items[n]);
                           }
                           def.list(type)->AddAll(batch);
                       }
                       return def;
                   });
}

int Schema::readAttrDefs(std::uint32_t connHandle, DSContext& dsContext) {
    static constexpr KindCalls calls{QXDSReadAttrDef, "QXDSReadAttrDef returned ", QXDSGetAttrCount,
                                     "QXDSGetAttrCount returned "};
    return readAll(whirly, attrDef, failure, connHandle, dsContext, calls,
                   [](std::uint32_t context, std::uint32_t buffer,
                      std::string& why) -> std::optional<AttrDef> {
                       std::array<char, QX_NAME_BUF_SIZE> defName{};
                       Attr_Info_T info{};
                       if (failed(QXDSGetAttrDef(context, buffer, defName.data(), &info),
                                  "QXDSGetAttrDef returned ", why)) {
                           return std::nullopt;
                       }
                       return AttrDef(info.attrSyntaxID, info.attrFlags, defName.data());
                   });
}

int Schema::readSyntaxDefs(std::uint32_t connHandle, DSContext& dsContext) {
    static constexpr KindCalls calls{QXDSReadSyntaxes, "QXDSReadSyntaxes returned ",
                                     QXDSGetSyntaxCount, "QXDSGetSyntaxCount returned "};
    return readAll(whirly, syntaxDef, failure, connHandle, dsContext, calls,
                   [](std::uint32_t context, std::uint32_t buffer,
                      std::string& why) -> std::optional<SyntaxDef> {
                       std::array<char, QX_NAME_BUF_SIZE> defName{};
                       Syntax_Info_T info{};
                       if (failed(QXDSGetSyntaxDef(context, buffer, defName.data(), &info),
                                  "QXDSGetSyntaxDef returned ", why)) {
                           return std::nullopt;
                       }
                       return SyntaxDef(defName.data(), info.flags);
                   });
}
