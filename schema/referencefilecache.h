#pragma once

#include "schema/attrdef.h"
#include "schema/classdef.h"
#include "schema/sectioncache.h"
#include "schema/syntaxdef.h"

// What the reference-file readers made of the files of one run, for each
// kind of definition: a list run reads the same file on every line of its
// list, and reads it once with this. The driver owns one per run and hands
// it to each schema it reads files into (Schema::setFileCache).
class ReferenceFileCache {
  public:
    // The sections of the kind `Def`.
    template <class Def>
    SectionCache<Def>& sections();

  private:
    SectionCache<ClassDef> classes;
    SectionCache<AttrDef> attributes;
    SectionCache<SyntaxDef> syntaxes;
};

template <>
inline SectionCache<ClassDef>& ReferenceFileCache::sections<ClassDef>() {
    return classes;
}
template <>
inline SectionCache<AttrDef>& ReferenceFileCache::sections<AttrDef>() {
    return attributes;
}
template <>
inline SectionCache<SyntaxDef>& ReferenceFileCache::sections<SyntaxDef>() {
    return syntaxes;
}
