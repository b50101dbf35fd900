#include "dsclient/callobserver.h"

namespace dsclient {

namespace {

CallObserver*& installed() {
    static CallObserver* observer = nullptr;
    return observer;
}

}  // namespace

void installCallObserver(CallObserver* observer) {
    installed() = observer;
}

CallObserver* callObserver() {
    return installed();
}

}  // namespace dsclient
