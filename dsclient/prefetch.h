#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dsclient/descriptions.h"
#include "dsclient/source.h"
#include "dsclient/sourceschema.h"

namespace dsclient {

// The first read a connection makes: the schema as definitions (a listing)
// or the descriptions as they stand (a whole-schema read).
enum class FirstRead { listing, whole };

// A first read made ahead, to be handed over in place of the source's own.
struct HeldRead {
    FirstRead kind = FirstRead::listing;
    std::int32_t code = 0;
    std::string diagnostic;
    SchemaContent content;
    Descriptions descriptions;
};

// What was done ahead for one name: the open, as code, diagnostic and the
// notes the source held back, and when it opened, the source and its first
// read.
struct AheadResult {
    std::int32_t openCode = 0;
    std::string openDiagnostic;
    std::vector<std::string> notes;
    std::unique_ptr<Source> source;
    std::optional<HeldRead> read;
};

// The first listing read of `source`: `held` when it holds one (it is
// used once), else the source's own fetch.
std::int32_t firstFetch(std::optional<HeldRead>& held, Source& source, SchemaContent& content,
                        std::string& diagnostic);

// The same for a read of the descriptions.
std::int32_t firstDescriptions(std::optional<HeldRead>& held, Source& source, Descriptions& out,
                               std::string& diagnostic);

// Opens sources and makes their first read ahead, on worker threads, for a
// run over the lines of a list that name them. At most `jobs` sources are
// worked on at once, and at most twice as many are started and not yet
// taken, so the memory held grows with `jobs`, not with the list.
//
// Threading: only the thread that made the object calls its members. A
// worker touches nothing but its entry's source and result (the source
// was made for this: see makeAheadSource), with every signal blocked, so
// that signals and the terminal stay the main thread's. A worker that
// cannot be started leaves its work to take, which does it in place.
class Prefetch {
  public:
    Prefetch(std::size_t jobs, FirstRead read);
    // Drops what was not started, waits for what is under way, closes what
    // was not taken.
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // True the first time `key` is asked about: a name a later line repeats
    // is worked on for its first line only.
    bool firstSight(const std::string& key);

    // Queues `source` for list line `line` (lines are offered in order),
    // to be taken under `key`.
    void offer(std::size_t line, std::string key, std::unique_ptr<Source> source);

    // The run is at list line `line`: what was done for earlier lines and
    // not taken is not wanted any more, and is dropped or closed.
    void reached(std::size_t line);

    // The result for `key`, waited for when under way, or worked here when
    // not started; nothing when no entry is held for it.
    std::optional<AheadResult> take(const std::string& key);

    // For tests: the entries started and not yet taken or let go, now and
    // at most so far.
    std::size_t live() const;
    std::size_t mostLive() const;

  private:
    struct Entry;
    using EntryPtr = std::shared_ptr<Entry>;

    void work();
    void startWorker();
    void run(Entry& entry) const;
    EntryPtr startable() const;
    void letGoBefore(std::size_t line, std::vector<AheadResult>& closing);
    void started();

    const std::size_t jobs_;
    const std::size_t window_;
    const FirstRead read_;
    std::set<std::string> seen_;

    mutable std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable workDone_;
    std::deque<EntryPtr> entries_;
    std::size_t live_ = 0;
    std::size_t mostLive_ = 0;
    std::size_t idle_ = 0;  // workers waiting for work
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace dsclient
