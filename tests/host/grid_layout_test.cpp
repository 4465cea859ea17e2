// The band's grid and font-size rules and the cell rectangles.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "window/grid_layout.h"

namespace {

TEST(ChooseGrid, TypicalBandSizesForABandWithoutAFont) {
    // count, width, height -> columns, rows, cell height, font height. The 5-meter row of
    // 60 x 24 cells is only twice as wide as high, so two rows.
    const int rows[][7] = {{2, 200, 30, 2, 1, 30, 12},
                           {5, 300, 24, 3, 2, 12, 4},
                           {3, 60, 60, 1, 3, 20, 8},
                           {4, 100, 20, 2, 2, 10, 4},
                           {8, 1000, 1, 8, 1, 1, 0}};
    for (const auto& r : rows) {
        const GridChoice c = ChooseGridLayout(r[0], r[1], r[2], 0);
        EXPECT_TRUE(c.newFont);
        EXPECT_EQ((std::vector<int>{c.columns, c.rows, c.cellHeight, c.fontHeight}),
                  (std::vector<int>{r[3], r[4], r[5], r[6]}))
            << r[0] << " in " << r[1] << "x" << r[2];
    }
}

TEST(ChooseGrid, TheFontChangesOnlyWithTheCellHeight) {
    // No room: a one-by-one grid and the old font left alone.
    for (const auto& size : {std::make_pair(0, 24), std::make_pair(300, -1)}) {
        const GridChoice choice = ChooseGridLayout(5, size.first, size.second, 12);
        EXPECT_EQ(std::make_tuple(choice.columns, choice.rows, choice.newFont),
                  std::make_tuple(1, 1, false))
            << size.first << "x" << size.second;
    }
    // Same cell height, other width or meter count: same font.
    EXPECT_FALSE(ChooseGridLayout(2, 200, 30, 30).newFont);
    EXPECT_FALSE(ChooseGridLayout(1, 900, 30, 30).newFont);
    EXPECT_FALSE(ChooseGridLayout(5, 300, 24, 12).newFont) << "two rows of 12";
    // A taller window: a new font, its height clamped.
    const GridChoice taller = ChooseGridLayout(1, 200, 50, 30);
    EXPECT_TRUE(taller.newFont);
    EXPECT_EQ(taller.cellHeight, 50);
    EXPECT_EQ(taller.fontHeight, 16) << "clamped";
    const GridChoice low = ChooseGridLayout(1, 200, 9, 30);
    EXPECT_TRUE(low.newFont);
    EXPECT_LT(low.fontHeight, MinFontHeight) << "a cell of 9 gets no font";
}

TEST(ChooseGrid, NoRowStaysEmptyAndTheLastCandidateStands) {
    // Every grid chosen holds all meters in ceil(n / rows) columns and leaves no row empty.
    for (int n = 2; n <= 40; ++n) {
        for (int w : {1, 7, 50, 600, 2000}) {
            for (int h : {1, 2, 13, 40, 120}) {
                const GridShape shape = ChooseGridShape(n, w, h);
                ASSERT_GE(shape.columns * shape.rows, n) << n << " " << w << "x" << h;
                ASSERT_LT((shape.rows - 1) * shape.columns, n) << "an empty row";
                ASSERT_EQ(shape.columns, (n + shape.rows - 1) / shape.rows);
            }
        }
    }
    // A tall, narrow area never finds wide cells; rows of zero height stop the search at once;
    // exactly three times as wide as high counts (60 / 20 = 3 > 2). And one or no meter.
    const int shapes[][5] = {{6, 10, 600, 1, 6}, {8, 1000, 1, 8, 1}, {4, 600, 40, 4, 1},
                             {2, 120, 20, 2, 1}, {0, 300, 24, 1, 1}, {1, 300, 24, 1, 1}};
    for (const auto& r : shapes) {
        const GridShape shape = ChooseGridShape(r[0], r[1], r[2]);
        EXPECT_EQ(shape.columns, r[3]) << r[0] << " in " << r[1] << "x" << r[2];
        EXPECT_EQ(shape.rows, r[4]) << r[0] << " in " << r[1] << "x" << r[2];
    }
}

TEST(ChooseGrid, FontHeightIsTwoFifthsOfTheCellClampedTo16) {
    EXPECT_LT(FontHeightOfCell(9), MinFontHeight) << "below the minimum: no font";
    const int heights[][2] = {{9, 3},   {10, 4},  {20, 8},   {39, 15},
                              {40, 16}, {41, 16}, {500, 16}, {0, 0}};
    for (const auto& h : heights) {
        EXPECT_EQ(FontHeightOfCell(h[0]), h[1]) << h[0];
    }
}

std::string Cells(int count, int columns, int rows, int w, int h) {
    std::string text;
    for (int n = 0; n < count; ++n) {
        const CellRect c = GridCell(n, columns, rows, w, h);
        text += "(" + std::to_string(c.left) + "," + std::to_string(c.top) + "," +
                std::to_string(c.right) + "," + std::to_string(c.bottom) + ")";
    }
    return text;
}

TEST(GridCells, RowsTouchColumnsAreTwoPixelsApartAndTheLastEndsAtTheEdge) {
    // One cell: the whole area.
    EXPECT_EQ(Cells(1, 1, 1, 200, 30), "(0,0,200,30)");
    // Two columns in 200: (202 * 1 / 2) - 2 = 99, next starts at 101, ends at 200.
    EXPECT_EQ(Cells(2, 2, 1, 200, 30), "(0,0,99,30)(101,0,200,30)");
    // Five meters in a 3 x 2 grid of 300 x 24; the second row's last cell stays unused.
    EXPECT_EQ(Cells(5, 3, 2, 300, 24),
              "(0,0,98,12)(100,0,199,12)(201,0,300,12)(0,12,98,24)(100,12,199,24)");
    // Uneven rows: 3 rows in 50 pixels are 16, 17 and 17 high and touch.
    EXPECT_EQ(Cells(3, 1, 3, 60, 50), "(0,0,60,16)(0,16,60,33)(0,33,60,50)");
    // Three columns in 100: 102 / 3 = 34 per column with its gap.
    EXPECT_EQ(Cells(3, 3, 1, 100, 20), "(0,0,32,20)(34,0,66,20)(68,0,100,20)");
}

} // namespace
