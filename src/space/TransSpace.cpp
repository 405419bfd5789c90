// The value registry and the image table. Every name-taking operation trims a
// copy of the name with the caller's status, so the flags at return are those
// of the trim plus what the operation sets after it.
#include "TransSpace.h"

#include <cstring>

#include "space/TransSpaceData.h"

namespace {

// The trimmed copy of name; empty when the name is refused. The trim resets
// st and sets the warning flag when nothing is left.
TransString trimmedName(const TransString& name, TransStatus& st) {
    TransString key(name);
    key.trim(st);
    return key;
}

void setFlags(TransStatus& st, bool failure, bool warning) {
    st.failure(failure);
    st.warning(warning);
}

// The image-name match: trimmed copy of the stored name against the trimmed
// argument, byte for byte in the multibyte code page. Each step resets st, and
// the last reads the non-empty argument, so st is clear afterwards.
bool imageMatches(const TransImage& image, const TransString& imageName, TransStatus& st) {
    TransString stored(image.name);
    stored.trim(st);
    const char* storedBytes = stored.asMBCS(st);
    const char* wantedBytes = imageName.asMBCS(st);
    return std::strcmp(storedBytes, wantedBytes) == 0;
}

}  // namespace

TransSpace::TransSpace() : data(new Data) {}

TransSpace::~TransSpace() { delete data; }

bool TransSpace::add(const TransString& name, const TransValue& value, TransStatus& st) {
    st.reset();
    TransString key = trimmedName(name, st);
    if (key.empty()) {
        st.failure(true);
        return false;
    }
    const bool inserted = data->values.try_emplace(key, value).second;
    setFlags(st, !inserted, !inserted);
    return inserted;
}

bool TransSpace::add(const TransString& name, const TransValue& value) {
    TransStatus st;
    return add(name, value, st);
}

const TransValue& TransSpace::find(const TransString& name, TransStatus& st) const {
    st.reset();
    TransString key = trimmedName(name, st);
    if (key.empty()) {
        st.failure(true);
        return data->nullValue;
    }
    auto entry = data->values.find(key);
    if (entry == data->values.end()) {
        setFlags(st, true, true);
        return data->nullValue;
    }
    return entry->second;
}

const TransValue& TransSpace::find(const TransString& name) const {
    TransStatus st;
    return find(name, st);
}

bool TransSpace::exists(const TransString& name, TransStatus& st) const {
    st.reset();
    TransString key = trimmedName(name, st);
    if (key.empty()) {
        st.failure(true);
        return false;
    }
    if (data->values.count(key) == 0) {
        st.warning(true);
        return false;
    }
    return true;
}

bool TransSpace::exists(const TransString& name) const {
    TransStatus st;
    return exists(name, st);
}

bool TransSpace::remove(const TransString& name, TransStatus& st) {
    st.reset();
    TransString key = trimmedName(name, st);
    if (key.empty()) {
        st.failure(true);
        return false;
    }
    const bool removed = data->values.erase(key) == 1;
    setFlags(st, !removed, !removed);
    return removed;
}

bool TransSpace::remove(const TransString& name) {
    TransStatus st;
    return remove(name, st);
}

TransStringList* TransSpace::list(TransStatus& st) const {
    st.reset();
    auto* names = new TransStringList;
    if (data->values.empty()) st.warning(true);
    TransStatus scratch;
    for (const auto& entry : data->values) {
        names->push_back(entry.first.asUTF16(scratch), scratch);
    }
    return names;
}

TransStringList* TransSpace::list() const {
    TransStatus st;
    return list(st);
}

bool TransSpace::addImage(const TransString& name, const TransImage& image, TransStatus& st) {
    st.reset();
    TransString owner = trimmedName(name, st);
    if (owner.empty()) {
        st.failure(true);
        return false;
    }
    data->images[owner].push_back(image);
    setFlags(st, false, false);
    return true;
}

const TransImage& TransSpace::findImage(const TransString& name, const TransString& imageName,
                                        TransStatus& st) const {
    st.reset();
    TransString owner = trimmedName(name, st);
    TransString wanted = trimmedName(imageName, st);
    if (owner.empty() || wanted.empty()) {
        setFlags(st, true, true);
        return data->nullImage;
    }
    auto entry = data->images.find(owner);
    if (entry == data->images.end()) {
        setFlags(st, true, true);
        return data->nullImage;
    }
    for (const TransImage& image : entry->second) {
        if (imageMatches(image, wanted, st)) return image;
    }
    return data->nullImage;
}

bool TransSpace::existsImage(const TransString& name, const TransString& imageName,
                             TransStatus& st) const {
    st.reset();
    TransString owner = trimmedName(name, st);
    TransString wanted = trimmedName(imageName, st);
    if (owner.empty() || wanted.empty()) {
        st.failure(true);
        return false;
    }
    auto entry = data->images.find(owner);
    if (entry == data->images.end()) {
        st.warning(true);
        return false;
    }
    for (const TransImage& image : entry->second) {
        if (imageMatches(image, wanted, st)) return true;
        st.warning(true);
    }
    return false;
}

bool TransSpace::removeImage(const TransString& name, const TransString& imageName,
                             TransStatus& st) {
    st.reset();
    TransString owner = trimmedName(name, st);
    TransString wanted = trimmedName(imageName, st);
    if (owner.empty() || wanted.empty()) {
        st.failure(true);
        return false;
    }
    auto entry = data->images.find(owner);
    if (entry == data->images.end()) return false;
    std::vector<TransImage>& sequence = entry->second;
    for (auto image = sequence.begin(); image != sequence.end(); ++image) {
        if (imageMatches(*image, wanted, st)) {
            sequence.erase(image);
            return true;
        }
    }
    return false;
}

bool TransSpace::removeAll(const TransString& name, TransStatus& st) {
    st.reset();
    TransString key = trimmedName(name, st);
    if (key.empty()) {
        st.failure(true);
        return false;
    }
    const bool removed = data->values.erase(key) == 1;
    data->images.erase(key);
    setFlags(st, !removed, !removed);
    return removed;
}

void TransSpace::releaseString(TransString*& string, TransStatus& st) {
    TransValue::releaseString(string, st);
}

void TransSpace::releaseString(TransString*& string) {
    TransStatus st;
    releaseString(string, st);
}

void TransSpace::releaseStringList(TransStringList*& list, TransStatus& st) {
    TransValue::releaseStringList(list, st);
}

void TransSpace::releaseStringList(TransStringList*& list) {
    TransStatus st;
    releaseStringList(list, st);
}
