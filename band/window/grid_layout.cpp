#include "grid_layout.h"

GridShape ChooseGridShape(int count, int w, int h) {
    GridShape shape = {1, 1};
    if (count <= 1) {
        return shape;
    }
    shape.columns = count;
    for (int r = 1; r <= count; ++r) {
        const int c = (count + r - 1) / r;
        if ((r - 1) * c >= count) {
            continue; // a row would stay empty
        }
        shape.columns = c;
        shape.rows = r;
        const int cellHeight = h / r;
        if (cellHeight == 0 || (w / c) / cellHeight > 2) {
            break;
        }
    }
    return shape;
}

int FontHeightOfCell(int cellHeight) {
    const int height = (2 * cellHeight) / 5;
    return height > MaxFontHeight ? MaxFontHeight : height;
}

GridChoice ChooseGridLayout(int count, int w, int h, int currentCellHeight) {
    GridChoice choice = {1, 1, false, currentCellHeight, 0};
    if (w < 1 || h < 1) {
        return choice;
    }
    const GridShape shape = ChooseGridShape(count, w, h);
    choice.columns = shape.columns;
    choice.rows = shape.rows;
    const int cellHeight = h / shape.rows;
    if (cellHeight == currentCellHeight) {
        return choice;
    }
    choice.newFont = true;
    choice.cellHeight = cellHeight;
    choice.fontHeight = FontHeightOfCell(cellHeight);
    return choice;
}

CellRect GridCell(int n, int columns, int rows, int width, int height) {
    const int row = n / columns;
    const int col = n % columns;
    CellRect cell;
    cell.top = height * row / rows;
    cell.bottom = height * (row + 1) / rows;
    cell.left = (width + 2) * col / columns;
    cell.right = (width + 2) * (col + 1) / columns - 2;
    return cell;
}
