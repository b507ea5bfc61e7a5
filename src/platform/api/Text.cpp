#include "Text.h"

#include <algorithm>

namespace platform {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length, or 0 when it is not well formed.
std::size_t decodeOne(const std::string& bytes, std::size_t i, char32_t& c)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || isSurrogate(c))
        return 0;
    return length;
}

char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

} // namespace

std::string toUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isSurrogate(c)) {
            c = Replacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string fromUtf8(const std::string& bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c;
        const std::size_t length = decodeOne(bytes, i, c);
        if (length == 0) {
            out += static_cast<char16_t>(Replacement);
            ++i;
        } else {
            appendUtf16(out, c);
            i += length;
        }
    }
    return out;
}

std::u16string fromLatin1(const std::string& bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (const char b : bytes)
        out += static_cast<char16_t>(static_cast<unsigned char>(b));
    return out;
}

bool isValidUtf8(const std::string& bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c;
        const std::size_t length = decodeOne(bytes, i, c);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c > 0x10FFFF || isSurrogate(c))
        c = Replacement;
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

int copyTruncated(const std::u16string& text, char16_t* buffer, std::int64_t size)
{
    if (!buffer || size < 1)
        return 0;
    const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::uint64_t>(size - 1));
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}

bool equalsIgnoreCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return foldAscii(x) == foldAscii(y);
           });
}

std::u16string lowerAscii(std::u16string text)
{
    for (char16_t& c : text)
        c = foldAscii(c);
    return text;
}

} // namespace platform
