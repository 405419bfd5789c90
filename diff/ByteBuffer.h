// Bytes written straight into room made ahead: a writer asks for the worst
// case of a piece at once and commits where it ended, where std::string
// would cost a call and a capacity check for each of a record's many small
// pieces. Shared by the facts reader and the codebook page's writer.
#ifndef TRANSSPACE_DIFF_BYTEBUFFER_H
#define TRANSSPACE_DIFF_BYTEBUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class ByteBuffer {
public:
    // Where to write up to n more bytes; commit says where they ended.
    char* room(std::size_t n) {
        if (used + n > bytes.size()) bytes.resize(std::max(bytes.size() * 2, used + n));
        return bytes.data() + used;
    }
    void commit(const char* end) { used = static_cast<std::size_t>(end - bytes.data()); }
    std::size_t size() const { return used; }
    const char* data() const { return bytes.data(); }
    void clear() { used = 0; }

    ByteBuffer& operator+=(char c) {
        *room(1) = c;
        ++used;
        return *this;
    }
    ByteBuffer& operator+=(std::string_view text) {
        // memcpy may not take a null pointer, even for nothing.
        if (!text.empty()) std::memcpy(room(text.size()), text.data(), text.size());
        used += text.size();
        return *this;
    }
    // Appends the bytes to out and empties the buffer, keeping its room.
    void moveTo(std::string& out) {
        out.append(bytes.data(), used);
        used = 0;
    }

private:
    std::vector<char> bytes;
    std::size_t used = 0;
};

#endif
