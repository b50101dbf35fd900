#include "dsclient/source.h"

#include "dscontext/dsclient.h"

namespace dsclient {

std::int32_t Source::fetchDescriptions(Descriptions& /*out*/, std::string& diagnostic) {
    diagnostic = "this source holds no schema descriptions";
    return QXERR_INVALID_ARGUMENT;
}

std::vector<std::string> Source::takeHeldNotes() {
    return {};
}

}  // namespace dsclient
