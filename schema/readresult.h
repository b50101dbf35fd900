#pragma once

#include <string>
#include <utility>

// How one reader of one kind of definition ended, from a file or from a
// directory server: whether it read the whole kind, and if not, why (a file
// reader leaves writing that to its caller; a directory reader has written
// its line already, and `failure` holds it for a summary of the run).
struct ReadResult {
    bool ok = false;
    std::string failure;

    static ReadResult succeeded() { return {true, {}}; }
    static ReadResult failed(std::string why = {}) { return {false, std::move(why)}; }
};
