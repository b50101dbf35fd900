#include "fullschema/definitionstore.h"

#include <algorithm>
#include <new>

namespace fullschema {

namespace {

// A number is written in groups of seven bits, lowest first, the high bit
// set on every byte but the last: most fields are empty or short, and their
// length takes one byte.
std::uint32_t readNumber(const char*& at) {
    std::uint32_t number = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        number |= static_cast<std::uint32_t>(byte & 0x7FU) << shift;
        if ((byte & 0x80U) == 0) {
            return number;
        }
    }
}

// Reads the packed fields in the order they were written.
class Reader {
  public:
    explicit Reader(const char* at) : at_(at) {}

    std::uint32_t number() { return readNumber(at_); }
    bool flag() { return *at_++ != 0; }
    std::string_view text() {
        const std::uint32_t length = number();
        const std::string_view value(at_, length);
        at_ += length;
        return value;
    }
    PackedList list() {
        const std::uint32_t count = number();
        const char* begin = at_;
        for (std::uint32_t item = 0; item < count; ++item) {
            text();
        }
        return {begin, count, static_cast<std::size_t>(at_ - begin)};
    }
    const char* at() const { return at_; }

  private:
    const char* at_;
};

class Writer {
  public:
    explicit Writer(std::vector<char>& bytes) : bytes_(bytes) {}

    void number(std::size_t value) {
        if (value > UINT32_MAX) {
            throw std::bad_alloc();
        }
        auto left = static_cast<std::uint32_t>(value);
        while (left >= 0x80U) {
            bytes_.push_back(static_cast<char>((left & 0x7FU) | 0x80U));
            left >>= 7U;
        }
        bytes_.push_back(static_cast<char>(left));
    }
    void flag(bool value) { bytes_.push_back(value ? 1 : 0); }
    void text(std::string_view value) {
        number(value.size());
        bytes_.insert(bytes_.end(), value.begin(), value.end());
    }
    void list(const std::vector<std::string>& values) {
        number(values.size());
        for (const std::string& value : values) {
            text(value);
        }
    }

  private:
    std::vector<char>& bytes_;
};

}  // namespace

std::string_view PackedList::iterator::operator*() const {
    const char* text = at_;
    const std::uint32_t length = readNumber(text);
    return {text, length};
}

PackedList::iterator& PackedList::iterator::operator++() {
    const char* text = at_;
    const std::uint32_t length = readNumber(text);
    at_ = text + length;
    --left_;
    return *this;
}

std::string_view PackedList::operator[](std::size_t index) const {
    auto item = begin();
    for (std::size_t at = 0; at < index; ++at) {
        ++item;
    }
    return *item;
}

std::vector<std::string> PackedList::strings() const {
    std::vector<std::string> values;
    values.reserve(count_);
    for (const std::string_view value : *this) {
        values.emplace_back(value);
    }
    return values;
}

FullDefinition DefinitionView::unpacked() const {
    FullDefinition d;
    d.oid = oid;
    d.names = names.strings();
    if (hasDesc) {
        d.desc = std::string(desc);
    }
    d.obsolete = obsolete;
    d.superiors = superiors.strings();
    d.equality = equality;
    d.ordering = ordering;
    d.substr = substr;
    d.syntax = syntax;
    d.syntaxLength = syntaxLength;
    d.singleValue = singleValue;
    d.collective = collective;
    d.noUserModification = noUserModification;
    d.usage = usage;
    d.classKind = classKind;
    d.must = must.strings();
    d.may = may.strings();
    d.aux = aux.strings();
    d.notAllowed = notAllowed.strings();
    d.applies = applies.strings();
    d.objectClass = objectClass;
    d.form = form;
    Reader read(extensionBytes.data());
    d.extensions.reserve(extensionCount);
    for (std::size_t at = 0; at < extensionCount; ++at) {
        schemadesc::Extension extension;
        extension.name = read.text();
        extension.values = read.list().strings();
        d.extensions.push_back(std::move(extension));
    }
    return d;
}

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20U;
// Once the expected bytes are used up.
constexpr std::size_t kSpareBlockSize = std::size_t{1} << 16U;

}  // namespace

DefinitionStore::DefinitionStore(const DefinitionStore& other) {
    reserve(other.size(), 0);
    for (const FullDefinition& definition : other) {
        add(definition);
    }
}

DefinitionStore& DefinitionStore::operator=(const DefinitionStore& other) {
    if (this != &other) {
        DefinitionStore copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void DefinitionStore::reserve(std::size_t definitions, std::size_t bytes) {
    starts_.reserve(definitions);
    expected_ = bytes;
}

std::size_t DefinitionStore::packedSize(const FullDefinition& definition) {
    write(definition);
    return scratch_.size();
}

const char* DefinitionStore::pack(const FullDefinition& definition) {
    write(definition);
    if (blocks_.empty() || used_ + scratch_.size() > blockSize_) {
        // Blocks as large as what is still expected, within bounds; a
        // definition larger than a block gets a block of its own.
        const std::size_t wanted =
            expected_ == 0 ? kSpareBlockSize : std::min(expected_, kBlockSize);
        blockSize_ = std::max(scratch_.size(), wanted);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
        expected_ -= std::min(expected_, blockSize_);
        used_ = 0;
    }
    char* start = blocks_.back().get() + used_;
    std::copy(scratch_.begin(), scratch_.end(), start);
    used_ += scratch_.size();
    return start;
}

void DefinitionStore::write(const FullDefinition& d) {
    scratch_.clear();
    Writer write(scratch_);
    write.text(d.oid);
    write.list(d.names);
    write.flag(d.desc.has_value());
    write.text(d.desc ? std::string_view(*d.desc) : std::string_view());
    write.flag(d.obsolete);
    write.list(d.superiors);
    write.text(d.equality);
    write.text(d.ordering);
    write.text(d.substr);
    write.text(d.syntax);
    write.number(d.syntaxLength);
    write.flag(d.singleValue);
    write.flag(d.collective);
    write.flag(d.noUserModification);
    write.text(d.usage);
    write.text(d.classKind);
    write.list(d.must);
    write.list(d.may);
    write.list(d.aux);
    write.list(d.notAllowed);
    write.list(d.applies);
    write.text(d.objectClass);
    write.text(d.form);
    write.number(d.extensions.size());
    for (const schemadesc::Extension& extension : d.extensions) {
        write.text(extension.name);
        write.list(extension.values);
    }
}

void DefinitionStore::add(const FullDefinition& definition) {
    starts_.push_back(pack(definition));
}

void DefinitionStore::append(DefinitionStore&& tail) {
    if (tail.starts_.empty()) {
        return;
    }
    starts_.insert(starts_.end(), tail.starts_.begin(), tail.starts_.end());
    for (std::unique_ptr<char[]>& block : tail.blocks_) {
        blocks_.push_back(std::move(block));
    }
    // Later definitions go into the room left in the tail's last block.
    used_ = tail.used_;
    blockSize_ = tail.blockSize_;
    expected_ = tail.expected_;
    tail = DefinitionStore();
}

void DefinitionStore::replace(std::size_t index, const FullDefinition& definition) {
    starts_.at(index) = pack(definition);
}

std::string_view DefinitionStore::oid(std::size_t index) const {
    return Reader(starts_[index]).text();
}

PackedList DefinitionStore::names(std::size_t index) const {
    Reader read(starts_[index]);
    read.text();
    return read.list();
}

DefinitionView DefinitionStore::unpack(std::size_t index, bool whole) const {
    Reader read(starts_[index]);
    DefinitionView v;
    v.oid = read.text();
    v.names = read.list();
    v.hasDesc = read.flag();
    v.desc = read.text();
    v.obsolete = read.flag();
    v.superiors = read.list();
    v.equality = read.text();
    v.ordering = read.text();
    v.substr = read.text();
    v.syntax = read.text();
    v.syntaxLength = read.number();
    if (!whole) {
        return v;
    }
    v.singleValue = read.flag();
    v.collective = read.flag();
    v.noUserModification = read.flag();
    v.usage = read.text();
    v.classKind = read.text();
    v.must = read.list();
    v.may = read.list();
    v.aux = read.list();
    v.notAllowed = read.list();
    v.applies = read.list();
    v.objectClass = read.text();
    v.form = read.text();
    v.extensionCount = read.number();
    const char* extensions = read.at();
    for (std::size_t at = 0; at < v.extensionCount; ++at) {
        read.text();
        read.list();
    }
    v.extensionBytes =
        std::string_view(extensions, static_cast<std::size_t>(read.at() - extensions));
    return v;
}

DefinitionView DefinitionStore::view(std::size_t index) const {
    return unpack(index, true);
}

DefinitionView DefinitionStore::leading(std::size_t index) const {
    return unpack(index, false);
}

}  // namespace fullschema
