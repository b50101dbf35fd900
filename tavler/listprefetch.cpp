#include "tavler/listprefetch.h"

#include <sys/stat.h>

#include "dscontext/dsclient.h"
#include "tavler/serversource.h"
#include "toollib/namecompare.h"

namespace {

// A line that an invocation reads from a server: not a switch, a list file
// or a reference file (as the driver tells the kinds of word apart).
bool namesServer(const std::string& line) {
    if (line.empty() || line.front() == '/') {
        return false;
    }
    return hasServerScheme(line) || (!containsName(line, ".lst") && !containsName(line, ".ref"));
}

}  // namespace

ListPrefetch::ListPrefetch(const std::string& typedName, unsigned jobs, bool whole) {
    if (jobs <= 1) {
        return;
    }
    struct stat status {};
    if (stat(typedName.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return;
    }
    TextStreamParser parser(typedName);
    if (!parser.isOpen()) {
        return;
    }
    if (QXPrefetchStart(jobs, whole ? QX_PREFETCH_DESCRIPTIONS : QX_PREFETCH_LISTING, &handle_) !=
        QX_SUCCESS) {
        handle_ = 0;
        return;
    }
    ahead_.emplace(std::move(parser));
    window_ = 2 * static_cast<std::size_t>(jobs);
}

ListPrefetch::~ListPrefetch() {
    if (handle_ != 0) {
        QXPrefetchStop(handle_);
    }
}

void ListPrefetch::reached(std::size_t line) {
    if (handle_ == 0) {
        return;
    }
    while (!held_.empty() && held_.front() < line) {
        held_.pop_front();
    }
    // The library lets go of what earlier lines did not take before the
    // window is filled again.
    QXPrefetchReached(handle_, static_cast<std::uint32_t>(line));
    while (ahead_ && held_.size() < window_) {
        if (!ahead_->getLine()) {
            ahead_.reset();
            break;
        }
        ++aheadLine_;
        if (aheadLine_ < line || !namesServer(ahead_->line)) {
            continue;
        }
        std::uint32_t queued = 0;
        if (QXPrefetchOffer(handle_, static_cast<std::uint32_t>(aheadLine_), ahead_->line.c_str(),
                            &queued) != QX_SUCCESS) {
            // Memory ran short: the rest of the list is opened as it is reached.
            ahead_.reset();
            break;
        }
        if (queued == 1) {
            held_.push_back(aheadLine_);
        }
    }
}
