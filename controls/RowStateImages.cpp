// The row-state marks, drawn from the pictures below ('#' black, '.' white = transparent):
// new row (asterisk), modified row (pencil), current row vertical / horizontal (triangles), blank.
#include "controls/SimpleGrids.h"

namespace {

const char* const Pictures[5][11] = {
    {// 0: eight-armed asterisk
     "...........", ".#...#...#.", "..#..#..#..", "...#.#.#...", "....###....", ".#########.",
     "....###....", "...#.#.#...", "..#..#..#..", ".#...#...#.", "..........."},
    {// 1: pencil from upper right to lower left, two dots at the lower left
     "........##.", ".......#..#", "......#..#.", ".....#..#..", "....#..#...", "...#..#....",
     "..#..#.....", "..###......", ".##........", "...........", "#.#........"},
    {// 2: triangle pointing right
     "...........", "..#........", "..##.......", "..###......", "..####.....", "..#####....",
     "..####.....", "..###......", "..##.......", "..#........", "..........."},
    {// 3: triangle pointing down
     "...........", "...........", "...........", ".#########.", "..#######..", "...#####...",
     "....###....", ".....#.....", "...........", "...........", "..........."},
    {// 4: blank
     "...........", "...........", "...........", "...........", "...........", "...........",
     "...........", "...........", "...........", "...........", "..........."},
};

} // namespace

TUniqueImageList CreateRowStateImages()
{
    constexpr int Size = 11, Count = 5;
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(Size * Count, Size, &bits);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int image = 0; image < Count; ++image)
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x)
                pixels[y * Size * Count + image * Size + x] = Pictures[image][y][x] == '#' ? 0x000000u : 0xFFFFFFu;
    TUniqueImageList list(::ImageList_Create(Size, Size, ILC_COLOR4 | ILC_MASK, Count, 0));
    if (!list)
        RaiseLastWin32Error("ImageList_Create");
    ::ImageList_AddMasked(list.get(), bitmap.get(), RGB(255, 255, 255));
    return list;
}
