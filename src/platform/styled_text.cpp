#include "platform/styled_text.h"

#include "platform/console.h"

CStyledText& CStyledText::Add(TEXT_COLOUR_t colour, const std::string& text)
{
    m_vecPieces.push_back(STYLED_PIECE_t{colour, text});
    return *this;
}

CStyledText& CStyledText::Append(const CStyledText& more)
{
    m_vecPieces.insert(m_vecPieces.end(), more.m_vecPieces.begin(), more.m_vecPieces.end());
    return *this;
}

std::string CStyledText::Text() const
{
    std::string text;
    for (const STYLED_PIECE_t& piece : m_vecPieces) {
        text += piece.text;
    }
    return text;
}

void ConsoleWriteStyled(const CStyledText& text)
{
    for (const STYLED_PIECE_t& piece : text.Pieces()) {
        switch (piece.colour) {
        case TEXT_GREEN:
            PrintGreen(piece.text);
            break;
        case TEXT_RED:
            PrintRed(piece.text);
            break;
        case TEXT_PLAIN:
            ConsoleWrite(piece.text);
            break;
        }
    }
}
