// The band's grid of meter cells and the font size of its text line: rules that need no
// Windows call. Compiled into vt.dll and into the native test build alike.
#pragma once

#include <stdint.h>

struct GridShape {
    int columns;
    int rows;
};

// Columns and rows for count visible meters in a w x h client area (w, h at least 1): the fewest
// rows whose cells are at least three times as wide as high, no row left empty; one column of
// count rows when no such grid exists.
GridShape ChooseGridShape(int count, int w, int h);

enum {
    MinFontHeight = 4,  // below this the cells get no text line and no font
    MaxFontHeight = 16, // character height of the font for cells 40 pixels high or more
};

// Character height of the text line in a cell of the given height: two fifths of it, at most 16.
// A result below MinFontHeight means no font.
int FontHeightOfCell(int cellHeight);

// A rectangle with exclusive right and bottom edges.
struct CellRect {
    int left;
    int top;
    int right;
    int bottom;
};

// The cell of grid position n in a W x H client area (origin 0, 0): rows touch, columns are two
// pixels apart and the last column ends at the right edge.
CellRect GridCell(int n, int columns, int rows, int width, int height);
