#pragma once

// Script-layer only: includes the script engine's headers.
#include <string>

#include <js/CharacterEncoding.h>
#include <js/RootingAPI.h>
#include <js/SourceText.h>
#include <js/String.h>
#include <mozilla/Span.h>
#include <mozilla/Utf8.h>

struct JSContext;

namespace script {

// Hands `compile` the text of a script file. Valid UTF-8 is decoded as such,
// which is what editors and every npm package write; anything else is read one
// byte per character, as the engine always read its files. Returns what
// `compile` returns, or null when the text cannot even be set up (out of
// memory, exception pending).
template <typename Compile>
auto WithSourceText(JSContext* cx, const std::string& bytes, Compile&& compile)
    -> decltype(compile(std::declval<JS::SourceText<char16_t>&>())) {
    if (mozilla::IsUtf8(mozilla::Span<const char>(bytes.data(), bytes.size()))) {
        JS::SourceText<mozilla::Utf8Unit> text;
        if (!text.init(cx, bytes.data(), bytes.size(), JS::SourceOwnership::Borrowed))
            return nullptr;
        return compile(text);
    }
    std::u16string units(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        units[i] = static_cast<unsigned char>(bytes[i]);
    JS::SourceText<char16_t> text;
    if (!text.init(cx, units.data(), units.size(), JS::SourceOwnership::Borrowed))
        return nullptr;
    return compile(text);
}

// Module paths and specifiers are UTF-8 on both sides; false with an
// exception pending (out of memory).
inline bool ToUtf8(JSContext* cx, JSString* string, std::string& out) {
    JS::RootedString rooted(cx, string);
    JS::UniqueChars chars = JS_EncodeStringToUTF8(cx, rooted);
    if (!chars)
        return false;
    out = chars.get();
    return true;
}

inline JSString* NewString(JSContext* cx, const std::string& utf8) {
    return JS_NewStringCopyUTF8N(cx, JS::UTF8Chars(utf8.data(), utf8.size()));
}

} // namespace script
