#pragma once
// Console text with its colours: the pieces of one write, each plain, green
// or red, in order. Renderers compose it as a value; ConsoleWriteStyled
// writes it with one call, and tests read it as text.

#include <string>
#include <vector>

enum TEXT_COLOUR_t { TEXT_PLAIN, TEXT_GREEN, TEXT_RED };

struct STYLED_PIECE_t {
    TEXT_COLOUR_t colour = TEXT_PLAIN;
    std::string text;
};

class CStyledText {
public:
    CStyledText& Plain(const std::string& text) { return Add(TEXT_PLAIN, text); }
    CStyledText& Green(const std::string& text) { return Add(TEXT_GREEN, text); }
    CStyledText& Red(const std::string& text) { return Add(TEXT_RED, text); }
    CStyledText& Append(const CStyledText& more);

    // The pieces as they were added; neighbours of one colour are not joined,
    // so the colour is set and reset around each as its own write.
    const std::vector<STYLED_PIECE_t>& Pieces() const { return m_vecPieces; }

    // The text without its colours.
    std::string Text() const;

private:
    CStyledText& Add(TEXT_COLOUR_t colour, const std::string& text);

    std::vector<STYLED_PIECE_t> m_vecPieces;
};

// Writes the pieces in order: plain ones by ConsoleWrite, green and red ones
// by PrintGreen and PrintRed (platform/console.h).
void ConsoleWriteStyled(const CStyledText& text);
