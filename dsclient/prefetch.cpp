#include "dsclient/prefetch.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "dscontext/dsclient.h"

namespace dsclient {

namespace {

// A read made ahead replaces the source's own only for the kind it is.
template <class Out, class Read>
std::int32_t firstRead(std::optional<HeldRead>& held, FirstRead kind, Out& out,
                       std::string& diagnostic, Out HeldRead::*field, const Read& read) {
    if (!held || held->kind != kind) {
        held.reset();
        return read();
    }
    const std::int32_t code = held->code;
    diagnostic = std::move(held->diagnostic);
    if (code == QX_SUCCESS) {
        out = std::move((*held).*field);
    }
    held.reset();
    return code;
}

}  // namespace

std::int32_t firstFetch(std::optional<HeldRead>& held, Source& source, SchemaContent& content,
                        std::string& diagnostic) {
    return firstRead(held, FirstRead::listing, content, diagnostic, &HeldRead::content,
                     [&] { return source.fetch(content, diagnostic); });
}

std::int32_t firstDescriptions(std::optional<HeldRead>& held, Source& source, Descriptions& out,
                               std::string& diagnostic) {
    return firstRead(held, FirstRead::whole, out, diagnostic, &HeldRead::descriptions,
                     [&] { return source.fetchDescriptions(out, diagnostic); });
}

struct Prefetch::Entry {
    enum class Stage { queued, running, done };
    std::size_t line = 0;
    std::string key;
    std::unique_ptr<Source> source;
    Stage stage = Stage::queued;
    // Let go while running: the worker closes it when done.
    bool abandoned = false;
    AheadResult result;
};

Prefetch::Prefetch(std::size_t jobs, FirstRead read)
    : jobs_(std::max<std::size_t>(jobs, 1)), window_(2 * jobs_), read_(read) {}

Prefetch::~Prefetch() {
    std::vector<AheadResult> closing;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        letGoBefore(std::numeric_limits<std::size_t>::max(), closing);
    }
    workReady_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    // `closing` closes its sources here, on this thread, after the joins.
}

bool Prefetch::firstSight(const std::string& key) {
    return seen_.insert(key).second;
}

void Prefetch::offer(std::size_t line, std::string key, std::unique_ptr<Source> source) {
    auto entry = std::make_shared<Entry>();
    entry->line = line;
    entry->key = std::move(key);
    entry->source = std::move(source);
    bool another = false;
    {
        const std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
        // A thread is started only when none waits for work: a run whose
        // sources answer quickly needs few.
        another = idle_ == 0 && workers_.size() < jobs_;
    }
    if (another) {
        startWorker();
    } else {
        workReady_.notify_one();
    }
}

void Prefetch::reached(std::size_t line) {
    std::vector<AheadResult> closing;
    {
        const std::lock_guard lock(mutex_);
        letGoBefore(line, closing);
    }
    // Room in the window for as many more; one waiting worker each, not all
    // of them every time.
    for (std::size_t k = 0; k < closing.size(); ++k) {
        workReady_.notify_one();
    }
}

std::optional<AheadResult> Prefetch::take(const std::string& key) {
    std::unique_lock lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const EntryPtr& e) { return e->key == key; });
    if (it == entries_.end()) {
        return std::nullopt;
    }
    const EntryPtr entry = *it;
    if (entry->stage == Entry::Stage::queued) {
        // No worker got to it (or none could be started): the caller would
        // wait for it anyway.
        entry->stage = Entry::Stage::running;
        started();
        lock.unlock();
        run(*entry);
        lock.lock();
        entry->stage = Entry::Stage::done;
    }
    workDone_.wait(lock, [&] { return entry->stage == Entry::Stage::done; });
    entries_.erase(std::find(entries_.begin(), entries_.end(), entry));
    --live_;
    AheadResult result = std::move(entry->result);
    lock.unlock();
    workReady_.notify_one();
    return result;
}

std::size_t Prefetch::live() const {
    const std::lock_guard lock(mutex_);
    return live_;
}

std::size_t Prefetch::mostLive() const {
    const std::lock_guard lock(mutex_);
    return mostLive_;
}

void Prefetch::started() {
    ++live_;
    mostLive_ = std::max(mostLive_, live_);
}

// Under the lock. Queued entries are dropped, finished ones handed to
// `closing` (to be closed once the lock is let go), running ones left to
// their worker.
void Prefetch::letGoBefore(std::size_t line, std::vector<AheadResult>& closing) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        Entry& entry = **it;
        if (entry.line >= line) {
            ++it;
            continue;
        }
        if (entry.stage == Entry::Stage::done) {
            closing.push_back(std::move(entry.result));
            --live_;
        } else if (entry.stage == Entry::Stage::running) {
            entry.abandoned = true;
        }
        it = entries_.erase(it);
    }
}

Prefetch::EntryPtr Prefetch::startable() const {
    if (live_ >= window_) {
        return nullptr;
    }
    const auto it = std::find_if(entries_.begin(), entries_.end(), [](const EntryPtr& e) {
        return e->stage == Entry::Stage::queued;
    });
    return it == entries_.end() ? nullptr : *it;
}

void Prefetch::startWorker() {
    // A new thread starts with its creator's signal mask: with every signal
    // blocked, a signal meant for the process (Ctrl-C at a password prompt,
    // a SIGPIPE of standard output) is never taken by a worker.
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &saved);
    try {
        workers_.emplace_back([this] { work(); });
    } catch (...) {
        // Without the thread, take does the work in place.
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void Prefetch::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        EntryPtr entry;
        ++idle_;
        workReady_.wait(lock, [&] { return stopping_ || (entry = startable()) != nullptr; });
        --idle_;
        if (stopping_) {
            return;
        }
        entry->stage = Entry::Stage::running;
        started();
        lock.unlock();
        run(*entry);
        lock.lock();
        entry->stage = Entry::Stage::done;
        if (entry->abandoned) {
            AheadResult closing = std::move(entry->result);
            --live_;
            lock.unlock();
            closing = AheadResult{};  // closes the source on this thread
            workReady_.notify_one();
            lock.lock();
        }
        workDone_.notify_all();
    }
}

// Opens the source and makes its first read, as the library's calls would
// at the connection's open and first read; nothing escapes.
void Prefetch::run(Entry& entry) const {
    AheadResult& result = entry.result;
    std::unique_ptr<Source> source = std::move(entry.source);
    try {
        result.openCode = source->open(result.openDiagnostic);
        result.notes = source->takeHeldNotes();
        if (result.openCode != QX_SUCCESS) {
            return;
        }
        result.source = std::move(source);
        HeldRead& read = result.read.emplace();
        read.kind = read_;
        read.code = read_ == FirstRead::listing
                        ? result.source->fetch(read.content, read.diagnostic)
                        : result.source->fetchDescriptions(read.descriptions, read.diagnostic);
    } catch (...) {
        // Only memory can run out here; the calls would answer with its code.
        if (!result.source) {
            result.openCode = QXERR_OUT_OF_MEMORY;
        } else {
            result.read.emplace();
            result.read->kind = read_;
            result.read->code = QXERR_OUT_OF_MEMORY;
        }
    }
}

}  // namespace dsclient
