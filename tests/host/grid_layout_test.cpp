// The band's grid and font-size rules.
#include <gtest/gtest.h>

#include <string>

#include "window/grid_layout.h"

namespace {

TEST(ChooseGrid, GridsAndFontsForTypicalAndEdgeSizes) {
    // count, width, height, cell height of the current font -> columns, rows, a new font, cell
    // height, font height (two fifths of the cell, at most 16; below the minimum none). The
    // 5-meter row of 60 x 24 cells is only twice as wide as high, so two rows; exactly three
    // times as wide as high counts; a tall, narrow area never finds wide cells.
    const int rows[][10] = {
        {2, 200, 30, 0, 2, 1, 1, 30, 12},
        {5, 300, 24, 0, 3, 2, 1, 12, 4},
        {3, 60, 60, 0, 1, 3, 1, 20, 8},
        {8, 1000, 1, 0, 8, 1, 1, 1, 0},
        {2, 120, 20, 0, 2, 1, 1, 20, 8},
        {6, 10, 600, 0, 1, 6, 1, 100, 16},
        {1, 200, 9, 30, 1, 1, 1, 9, 3},
        {1, 200, 41, 30, 1, 1, 1, 41, 16},
        {1, 1, 30, 0, 1, 1, 1, 30, 12}, // one pixel wide is room enough
        // Same cell height, other width or meter count: same font. No room: a one-by-one grid
        // and the old font left alone.
        {1, 900, 30, 30, 1, 1, 0, 0, 0},
        {5, 300, 24, 12, 3, 2, 0, 0, 0},
        {5, 0, 24, 12, 1, 1, 0, 0, 0},
        {0, 300, 24, 0, 1, 1, 1, 24, 9},
        {5, 300, -1, 12, 1, 1, 0, 0, 0},
    };
    for (const auto& r : rows) {
        const GridChoice c = ChooseGridLayout(r[0], r[1], r[2], r[3]);
        EXPECT_EQ(std::make_tuple(c.columns, c.rows, int(c.newFont)),
                  std::make_tuple(r[4], r[5], r[6]))
            << r[0] << " in " << r[1] << "x" << r[2];
        if (c.newFont) {
            EXPECT_EQ(std::make_pair(c.cellHeight, c.fontHeight), std::make_pair(r[7], r[8]))
                << r[0] << " in " << r[1] << "x" << r[2];
        }
    }
    // Every grid chosen holds all meters in ceil(n / rows) columns and leaves no row empty.
    for (int n = 2; n <= 40; ++n) {
        for (int w : {1, 7, 50, 600, 2000}) {
            for (int h : {1, 2, 13, 40, 120}) {
                const GridShape shape = ChooseGridShape(n, w, h);
                ASSERT_EQ(shape.columns, (n + shape.rows - 1) / shape.rows)
                    << n << " " << w << "x" << h;
                ASSERT_LT((shape.rows - 1) * shape.columns, n) << "an empty row";
                // Its cells tile the area, also where the division leaves a remainder: a row
                // starts where the one above ends, a cell two pixels right of the one before it;
                // the last cell ends at the bottom right corner.
                CellRect before = {0, 0, -2, 0};
                for (int i = 0; i < shape.rows * shape.columns; ++i) {
                    const CellRect c = GridCell(i, shape.columns, shape.rows, w, h);
                    ASSERT_EQ(std::make_pair(c.left, c.top),
                              i % shape.columns ? std::make_pair(before.right + 2, before.top)
                                                : std::make_pair(0, before.bottom))
                        << i << " of " << n << " in " << w << "x" << h;
                    before = c;
                }
                ASSERT_EQ(std::make_pair(before.right, before.bottom), std::make_pair(w, h));
            }
        }
    }
}

} // namespace
