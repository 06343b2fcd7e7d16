// A NUL-terminated text handed to the registry functions as it is: a literal, a BoundedText, or
// any other string with c_str(). It only refers to the text, which must outlive the call.
#pragma once

#include <concepts>

namespace quillaro {

class TerminatedText {
public:
    constexpr TerminatedText(const char* text) : text_(text) {}

    template <typename Text>
        requires requires(const Text& text) {
            { text.c_str() } -> std::convertible_to<const char*>;
        }
    constexpr TerminatedText(const Text& text) : text_(text.c_str()) {}

    constexpr const char* c_str() const { return text_; }

private:
    const char* text_;
};

}  // namespace quillaro
