// Edit masks of the in-place editor; platform-free.
//
// A mask is "picture[;save-literals[;blank]]". Picture characters: 0 digit, 9 optional digit,
// # optional digit or sign, L letter, l optional letter, A letter or digit, a optional one,
// C any character, c optional one, > upper case, < lower case, <> no case change, \ next is
// literal, ! (accepted, no effect), : and / the time and date separators; anything else is a
// literal. The editor keeps a text of exactly Length() characters: literals in place, blanks
// where nothing was typed. Texts are code points so that '°' is one position.
#pragma once

#include "CoreLib/Errors.h"

#include <string>
#include <vector>

// The in-place editor's input does not fit its mask.
class EDBEditError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const MaskErrorText;

class TEditMask {
public:
    explicit TEditMask(const std::string& mask = "");

    bool Empty() const { return FSlots.empty(); }
    int Length() const { return static_cast<int>(FSlots.size()); }
    bool IsLiteral(int pos) const { return FSlots[static_cast<std::size_t>(pos)].Kind == 0; }
    char32_t Blank() const { return FBlank; }
    bool SaveLiterals() const { return FSaveLiterals; }

    // Editor text for a value: value characters fill the positions in order; a value character
    // equal to the next literal skips the positions before it (left blank).
    std::u32string FormatValue(const std::u32string& value) const;
    // The character as it would be stored at pos (case converted), or 0 when it does not fit.
    char32_t Accept(int pos, char32_t c) const;
    // Overtypes at the first editable position at or after caret. A typed literal jumps past the
    // matching literal. In an angle mask a field separator typed after a digit of a field ends
    // that field (see EndField). Returns false (and changes nothing) when the character is refused.
    bool TypeChar(std::u32string& text, int& caret, char32_t c) const;
    // Digit fields closed by the degree sign and the signs after it, as "999°99'99\"": surveyors
    // type the fields with whatever separator their notes use.
    bool IsAngleMask() const { return FAngleFields; }
    // Blanks the editable positions in [start, end).
    void ClearRange(std::u32string& text, int start, int end) const;
    // Blanks the editable position before caret and moves the caret onto it.
    void Backspace(std::u32string& text, int& caret) const;
    int NextEditable(int pos) const; // Length() when none
    int PrevEditable(int pos) const; // -1 when none
    // Every required position is filled.
    bool IsComplete(const std::u32string& text) const;
    // Raises EDBEditError with MaskErrorText when not complete.
    void Validate(const std::u32string& text) const;
    // The text handed to the grid: blanks become spaces; literals dropped unless saved.
    std::u32string ValueOf(const std::u32string& text) const;

private:
    enum Case : char { None, Upper, Lower };
    struct Slot {
        char Kind; // 0 literal, else the picture character
        char32_t Literal;
        Case Conversion;
    };
    // A separator after a digit of the caret's field blanks the rest of the field and moves the
    // caret to the start of the next one; right after a field filled to its end (the caret has
    // moved on already) it is taken and does nothing. Refused in the last field.
    bool EndField(std::u32string& text, int& caret) const;
    bool Filled(const std::u32string& text, int pos) const;

    std::vector<Slot> FSlots;
    bool FAngleFields = false;
    bool FSaveLiterals = true;
    char32_t FBlank = U'_';
};
