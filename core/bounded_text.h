// Text of a fixed capacity, kept in place: key names, key paths and library paths. Nothing is
// ever cut short: a copy or an append that would not fit is refused and leaves the text as it
// was, and the caller decides what a name that does not fit means.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillaro {

template <std::size_t Capacity>
class BoundedText {
public:
    static constexpr std::size_t kCapacity = Capacity;  // characters, without the terminator

    constexpr BoundedText() = default;

    // The whole of text, or false and unchanged when it does not fit.
    [[nodiscard]] constexpr bool Assign(std::string_view text) {
        if (text.size() > Capacity) return false;
        CopyAt(0, text);
        return true;
    }

    // text after what is held, or false and unchanged when the two do not fit.
    [[nodiscard]] constexpr bool Append(std::string_view text) {
        if (text.size() > Capacity - size_) return false;
        CopyAt(size_, text);
        return true;
    }

    // Keeps the first length characters; a longer length changes nothing.
    constexpr void Shorten(std::size_t length) {
        if (length < size_) {
            size_ = length;
            text_[size_] = '\0';
        }
    }

    // Empty, also after a function wrote into Buffer() and the text was not adopted.
    constexpr void Clear() {
        size_ = 0;
        text_[0] = '\0';
    }

    // Room for a function that writes up to kCapacity characters and a terminator itself.
    constexpr char* Buffer() { return text_; }

    // Takes what such a function wrote, given room for room characters, its terminator
    // included: up to its first NUL; false, and the text empty, when it left no NUL within that
    // room, since what it wrote may then be the start of something longer.
    [[nodiscard]] constexpr bool AdoptTerminated(std::size_t room) {
        if (room > Capacity + 1) room = Capacity + 1;
        std::size_t length = 0;
        while (length < room && text_[length] != '\0') ++length;
        const bool terminated = length < room;
        size_ = terminated ? length : 0;
        text_[size_] = '\0';
        return terminated;
    }

    constexpr const char* c_str() const { return text_; }
    constexpr std::string_view view() const { return {text_, size_}; }
    constexpr std::size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }

    friend constexpr bool operator==(const BoundedText& a, const BoundedText& b) {
        return a.view() == b.view();
    }
    friend constexpr bool operator==(const BoundedText& a, std::string_view b) {
        return a.view() == b;
    }

private:
    constexpr void CopyAt(std::size_t at, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) text_[at + i] = text[i];
        size_ = at + text.size();
        text_[size_] = '\0';
    }

    char text_[Capacity + 1]{};
    std::size_t size_ = 0;
};

}  // namespace quillaro
