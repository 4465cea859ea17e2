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

// The band's grid for a w x h client area and what becomes of its font.
struct GridChoice {
    int columns;
    int rows;
    bool newFont;   // the cell height changed: the old font goes, a new one is made for it
    int cellHeight; // with newFont: the cell height the font is made for
    int fontHeight; // with newFont: its character height (no font below MinFontHeight)
};
// A 1 x 1 grid that keeps the font for an area 0 pixels wide or high; otherwise
// ChooseGridShape, and a new font when h / rows differs from the cell height the current font
// was made for.
GridChoice ChooseGridLayout(int count, int w, int h, int currentCellHeight);

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
