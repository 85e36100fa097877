#include "controls/MaskEdit.h"

#include "controls/SimpleGridValue.h"

#include <algorithm>
#include <utility>

const char* const MaskErrorText =
    "Неверное количество символов. Нажмите клавишу Escape для того, чтобы отказаться от изменений.";

namespace {

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsLetter(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= 0x400 && c <= 0x45F) || (c >= 0xC0 && c <= 0x24F);
}
bool IsFieldSeparator(char32_t c)
{
    return c == U' ' || c == U'-' || c == U'.' || c == U',' || c == U':' || c == U'/';
}
bool IsRequired(char kind) { return kind == '0' || kind == 'L' || kind == 'A' || kind == 'C'; }

char32_t ToUpper(char32_t c)
{
    if (c >= U'a' && c <= U'z')
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}
char32_t ToLower(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

} // namespace

namespace {

// Fields of digits, each closed by a literal, the first by the degree sign.
bool HasAngleFields(const std::vector<std::pair<char, char32_t>>& slots)
{
    if (slots.empty() || slots.back().first != 0)
        return false;
    bool inField = false;
    bool first = true;
    for (const auto& [kind, literal] : slots) {
        if (kind == '0' || kind == '9') {
            inField = true;
        } else if (kind == 0 && inField) {
            if (first && literal != U'\u00B0')
                return false;
            first = false;
            inField = false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

TEditMask::TEditMask(const std::string& mask)
{
    std::u32string m = Utf8ToU32(mask);
    // Trailing fields: ";0" or ";1" and the blank character. A ';' escaped by '\' stays.
    std::u32string picture = m;
    std::vector<std::u32string> fields;
    {
        std::u32string current;
        for (std::size_t i = 0; i < m.size(); ++i) {
            if (m[i] == U'\\' && i + 1 < m.size()) {
                current += m[i];
                current += m[++i];
            } else if (m[i] == U';') {
                fields.push_back(current);
                current.clear();
            } else {
                current += m[i];
            }
        }
        fields.push_back(current);
        if (fields.size() > 1) {
            picture = fields[0];
            FSaveLiterals = !(fields[1].size() == 1 && fields[1][0] == U'0');
            if (fields.size() > 2 && !fields[2].empty())
                FBlank = fields[2][0];
        }
    }
    Case conversion = None;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const char32_t c = picture[i];
        switch (c) {
        case U'\\':
            if (i + 1 < picture.size())
                FSlots.push_back({0, picture[++i], None});
            break;
        case U'>':
            conversion = Upper;
            break;
        case U'<':
            if (i + 1 < picture.size() && picture[i + 1] == U'>') {
                ++i;
                conversion = None;
            } else {
                conversion = Lower;
            }
            break;
        case U'!':
            break;
        case U'0': case U'9': case U'#': case U'L': case U'l': case U'A': case U'a': case U'C': case U'c':
            FSlots.push_back({static_cast<char>(c), 0, conversion});
            break;
        case U'_':
            FSlots.push_back({0, U' ', None});
            break;
        default:
            FSlots.push_back({0, c, None});
            break;
        }
    }
    std::vector<std::pair<char, char32_t>> kinds;
    for (const Slot& slot : FSlots)
        kinds.emplace_back(slot.Kind, slot.Literal);
    FAngleFields = HasAngleFields(kinds);
}

char32_t TEditMask::Accept(int pos, char32_t c) const
{
    if (pos < 0 || pos >= Length())
        return 0;
    const Slot& s = FSlots[static_cast<std::size_t>(pos)];
    bool ok = false;
    switch (s.Kind) {
    case '0': case '9': ok = IsDigit(c); break;
    case '#': ok = IsDigit(c) || c == U'+' || c == U'-'; break;
    case 'L': case 'l': ok = IsLetter(c); break;
    case 'A': case 'a': ok = IsLetter(c) || IsDigit(c); break;
    case 'C': case 'c': ok = c >= U' '; break;
    default: return 0;
    }
    if (!ok)
        return 0;
    return s.Conversion == Upper ? ToUpper(c) : s.Conversion == Lower ? ToLower(c) : c;
}

std::u32string TEditMask::FormatValue(const std::u32string& value) const
{
    std::u32string text;
    std::size_t v = 0;
    for (int pos = 0; pos < Length(); ++pos) {
        const Slot& s = FSlots[static_cast<std::size_t>(pos)];
        if (s.Kind == 0) {
            if (v < value.size() && value[v] == s.Literal)
                ++v;
            text += s.Literal;
            continue;
        }
        // Drop value characters that neither fit here nor stand for a later literal.
        for (;;) {
            if (v >= value.size()) {
                text += FBlank;
                break;
            }
            if (const char32_t c = Accept(pos, value[v])) {
                text += c;
                ++v;
                break;
            }
            if (value[v] == U' ' || value[v] == FBlank) {
                text += FBlank;
                ++v;
                break;
            }
            bool literalAhead = false;
            for (int k = pos + 1; k < Length(); ++k)
                if (FSlots[static_cast<std::size_t>(k)].Kind == 0 && FSlots[static_cast<std::size_t>(k)].Literal == value[v]) {
                    literalAhead = true;
                    break;
                }
            if (literalAhead) {
                text += FBlank;
                break;
            }
            ++v;
        }
    }
    return text;
}

int TEditMask::NextEditable(int pos) const
{
    while (pos < Length() && IsLiteral(pos))
        ++pos;
    return pos;
}

int TEditMask::PrevEditable(int pos) const
{
    while (pos >= 0 && IsLiteral(pos))
        --pos;
    return pos;
}

bool TEditMask::TypeChar(std::u32string& text, int& caret, char32_t c) const
{
    if (static_cast<int>(text.size()) != Length())
        text = FormatValue(text);
    // A typed literal moves past the next matching literal.
    for (int k = caret; k < Length(); ++k) {
        if (!IsLiteral(k))
            if (Accept(k, c))
                break;
        if (IsLiteral(k) && FSlots[static_cast<std::size_t>(k)].Literal == c) {
            caret = k + 1;
            return true;
        }
    }
    const int pos = NextEditable(caret);
    if (pos >= Length())
        return false;
    const char32_t stored = Accept(pos, c);
    if (!stored)
        return FAngleFields && IsFieldSeparator(c) && EndField(text, caret);
    text[static_cast<std::size_t>(pos)] = stored;
    caret = NextEditable(pos + 1);
    if (caret >= Length())
        caret = Length();
    return true;
}

bool TEditMask::Filled(const std::u32string& text, int pos) const
{
    const char32_t c = text[static_cast<std::size_t>(pos)];
    return c != FBlank && c != U' ';
}

bool TEditMask::EndField(std::u32string& text, int& caret) const
{
    int close = std::max(caret, 0);
    while (close < Length() && !IsLiteral(close))
        ++close;
    if (close >= Length())
        return false;
    int start = close;
    while (start > 0 && !IsLiteral(start - 1))
        --start;
    bool digitBefore = false;
    for (int k = start; k < caret; ++k)
        digitBefore = digitBefore || Filled(text, k);
    if (!digitBefore)
        return caret == start && start >= 2 && !IsLiteral(start - 2) && Filled(text, start - 2);
    if (close == Length() - 1)
        return false;
    ClearRange(text, caret, close);
    caret = close + 1;
    return true;
}

void TEditMask::ClearRange(std::u32string& text, int start, int end) const
{
    for (int k = std::max(start, 0); k < end && k < Length(); ++k)
        if (!IsLiteral(k))
            text[static_cast<std::size_t>(k)] = FBlank;
}

void TEditMask::Backspace(std::u32string& text, int& caret) const
{
    const int pos = PrevEditable(caret - 1);
    if (pos < 0)
        return;
    text[static_cast<std::size_t>(pos)] = FBlank;
    caret = pos;
}

bool TEditMask::IsComplete(const std::u32string& text) const
{
    for (int k = 0; k < Length(); ++k) {
        const Slot& s = FSlots[static_cast<std::size_t>(k)];
        if (s.Kind != 0 && IsRequired(s.Kind)) {
            const char32_t c = k < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(k)] : FBlank;
            if (c == FBlank || c == U' ')
                return false;
        }
    }
    return true;
}

void TEditMask::Validate(const std::u32string& text) const
{
    if (!Empty() && !IsComplete(text))
        throw EDBEditError(MaskErrorText);
}

std::u32string TEditMask::ValueOf(const std::u32string& text) const
{
    std::u32string value;
    for (int k = 0; k < Length() && k < static_cast<int>(text.size()); ++k) {
        if (IsLiteral(k)) {
            if (FSaveLiterals)
                value += text[static_cast<std::size_t>(k)];
        } else {
            const char32_t c = text[static_cast<std::size_t>(k)];
            value += c == FBlank ? U' ' : c;
        }
    }
    return value;
}
