#pragma once

#include "schema/schema.h"
#include "tavler/cmdline.h"

// Without switches every kind is selected; otherwise a kind is selected by a
// switch of its letter (C, A, S, letter case ignored). `typed` is the command
// line as typed: a switch word that holds the token again after its letter
// is a path typed by habit (/srv/a.ref), not a switch, and selects nothing.
SelectedKinds selectKinds(const CMDLine& typed);

inline bool anySelected(const SelectedKinds& kinds) {
    return kinds.classes || kinds.attributes || kinds.syntaxes;
}
