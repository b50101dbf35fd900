#pragma once

#include "tavler/cmdline.h"

// The kinds of definition that a command line's switches select.
struct KindSelection {
    bool classes = true;
    bool attributes = true;
    bool syntaxes = true;

    bool any() const { return classes || attributes || syntaxes; }
};

// Without switches every kind is selected; otherwise a kind is selected by a
// switch of its letter (C, A, S, letter case ignored). `typed` is the command
// line as typed: a switch word that holds the token again after its letter
// is a path typed by habit (/srv/a.ref), not a switch, and selects nothing.
KindSelection selectKinds(const CMDLine& typed);
