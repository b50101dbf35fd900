#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dsclient {

// Sees every C call of the library. Programs install none; a test harness
// installs one to log the calls or to make one of them fail.
class CallObserver {
  public:
    virtual ~CallObserver() = default;

    // Before the call `call` runs: a code for it to answer without running,
    // or nothing to let it run.
    virtual std::optional<std::int32_t> before(const char* call) = 0;

    // After the call answered `code`; `detail` (empty for calls without
    // one) describes its arguments and is worked out only when called.
    virtual void after(const char* call, const std::function<std::string()>& detail,
                       std::int32_t code) = 0;
};

// Installs `observer` (not owned; null removes it) in place of any before.
void installCallObserver(CallObserver* observer);

// The installed observer, or null.
CallObserver* callObserver();

}  // namespace dsclient
