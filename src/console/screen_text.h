#pragma once
// Texts from modems and the network laid out for the console, so that they
// can neither drive the terminal nor pass for the console's own lines.

#include <string>

// How far the further lines of such a text are indented: the width of the
// dialogue's field labels ("短信内容: "), past the two columns where the
// console's own lines start.
constexpr int kUntrustedIndent = 10;

// `text` neutralised (NeutraliseControls) and laid out to start at column
// `firstColumn` of a line: every further line (the text's own line breaks,
// and the breaks made so that no line reaches the right edge of a terminal
// `columns` wide) starts with `indent` spaces. The console's own lines start
// in the first two columns, so with an indent beyond that no such text can
// print a line that looks like one of them, not even by filling a line to
// the edge. Widths err on the safe side: every character beyond ASCII counts
// two columns, a tab up to the next multiple of 8. A terminal too narrow to
// hold a tab past the indent, and `columns` 0 (no terminal), get breaks only
// at the text's own line breaks. No line end is added.
std::string LayOutUntrustedText(const std::string& text, int firstColumn, int indent, int columns);

// The column after `text` (internal, a console text of the program's own)
// when it is printed from `firstColumn`, by the same safe estimate; a line
// break in it starts again at column 0.
int ColumnAfter(const std::string& text, int firstColumn);
