// The tool bar pictures, drawn from the pictures below: one character per pixel at 16 pixels, a
// block of whole pixels at 24 and 32, looked up in the palette ('.' is transparent). The images go into a masked 32-bit image list; a transparent
// pixel has alpha 0 and mask bit 1, an opaque pixel alpha 255 and mask bit 0.
#include "Polypad/ToolBarImages.h"

#include "controls/DpiScale.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr int Size = kToolBarImageSize;
constexpr int Count = kToolBarImageCount;

struct TPaletteEntry {
    char Char;
    std::uint32_t Rgb; // 0xRRGGBB
};

constexpr TPaletteEntry Palette[] = {
    {'#', 0x303030}, // outline, dark grey
    {'-', 0x9A9A9A}, // grid lines, grey
    {'l', 0xD4D4D4}, // table header, light grey
    {'w', 0xFFFFFF}, // white
    {'b', 0x1E5FC8}, // blue
    {'B', 0x9CC4F4}, // light blue
    {'r', 0xD42020}, // red
    {'R', 0xF6A8A8}, // light red
    {'g', 0x1E9E32}, // green
    {'G', 0xB0E2A4}, // light green (a map object's area)
    {'y', 0xF8D000}, // yellow
    {'Y', 0xFFF09C}, // light yellow
    {'o', 0xF08010}, // orange
    {'n', 0x9A6632}, // brown
    {'k', 0xEAC48E}, // tan (pencil wood)
    {'p', 0xF29CBC}, // pink (eraser)
};

constexpr const char* Pictures[Count][Size] = {
    {// 0: fill the table from the selected object: a polygon, an arrow into a table
     "..##............",
     ".#GG###.........",
     "#GGGGGG#........",
     "#GGGGGG#........",
     "#GGGGG#.........",
     "######..........",
     "bb....##########",
     "bb....#llll-lll#",
     "bb.b..#--------#",
     "bb.bb.#wwww-www#",
     "bbbbbb#--------#",
     "bbbbbb#wwww-www#",
     "...bb.#--------#",
     "...b..#wwww-www#",
     "......#wwww-www#",
     "......##########"},
    {// 1: update the object from the table: a table, an arrow into a polygon
     "###########.....",
     "#lllll-lll#.....",
     "#---------#.....",
     "#wwwww-www#.....",
     "#---------#.....",
     "#wwwww-www#.....",
     "#---------#.....",
     "#wwwww-www#.....",
     "###########.....",
     ".bb.......###...",
     ".bb..b...#GGG###",
     ".bb..bb.#GGGGGG#",
     ".bbbbbbb#GGGGGG#",
     ".bbbbbbb#GGGGGG#",
     ".....bb.#GGGGGG#",
     ".....b..########"},
    {// 2: create an object: a polygon with a yellow star
     "............o...",
     "...........oyo..",
     ".........ooyyyoo",
     "..........oyyyo.",
     "...##.....oyoyo.",
     "..#GG###..oo.oo.",
     ".#GGGGGG#.o...o.",
     "#GGGGGGGG#......",
     "#GGGGGGGG#......",
     "#GGGGGGGGG#.....",
     "#GGGGGGGGGG#....",
     "#GGGGGGGGGG#....",
     "#GGGGGGGGG#.....",
     "#GGGGGGGG#......",
     "#GGGGGGGG#......",
     "#########......."},
    {// 3: copy: two overlapping sheets
     "#########.......",
     "#wwwwwww#.......",
     "#w-----w#.......",
     "#wwwwwww#.......",
     "#w-----w#.......",
     "#wwwww##########",
     "#w---w#wwwwwwww#",
     "#wwwww#w------w#",
     "#w---w#wwwwwwww#",
     "#wwwww#w------w#",
     "#######wwwwwwww#",
     "......#w------w#",
     "......#wwwwwwww#",
     "......#w----www#",
     "......#wwwwwwww#",
     "......##########"},
    {// 4: paste: a clipboard with a sheet
     ".....####.......",
     "..####ll####....",
     ".#nn#llll#nn#...",
     ".#nn######nn#...",
     ".#nnnnnnnnnn#...",
     ".#nnnnn#########",
     ".#nnnnn#wwwwwww#",
     ".#nnnnn#w-----w#",
     ".#nnnnn#wwwwwww#",
     ".#nnnnn#w-----w#",
     ".#nnnnn#wwwwwww#",
     ".#nnnnn#w-----w#",
     ".#nnnnn#wwwwwww#",
     ".#nnnnn#w---www#",
     ".#######wwwwwww#",
     ".......#########"},
    {// 5: add a row at the end: a table with a new row and a green plus at the bottom
     "#############...",
     "#llllll-llll#...",
     "#-----------#...",
     "#wwwwww-wwww#...",
     "#-----------#...",
     "#wwwwww-wwww#...",
     "#-----------#...",
     "#GGGGGGGGGGG#...",
     "#GGGGGGGGGGG#...",
     "#GGGGGGGGG.ggg..",
     "#########..ggg..",
     ".........ggggggg",
     ".........ggggggg",
     ".........ggggggg",
     "...........ggg..",
     "...........ggg.."},
    {// 6: insert a row: an arrow pointing at a new row between the rows of a table
     "....############",
     "....#lllll-llll#",
     "....#----------#",
     "....#wwwww-wwww#",
     "g...#----------#",
     "gg..#wwwww-wwww#",
     "ggg.#YYYYYYYYYY#",
     "gggg#YYYYYYYYYY#",
     "gggg#----------#",
     "ggg.#wwwww-wwww#",
     "gg..#----------#",
     "g...#wwwww-wwww#",
     "....#----------#",
     "....#wwwww-wwww#",
     "....############",
     "................"},
    {// 7: delete the row: a table, the row in red, a red cross
     "#############...",
     "#llllll-llll#...",
     "#-----------#...",
     "#wwwwww-wwww#...",
     "#-----------#...",
     "#wwwwww-wwww#...",
     "#RRRRRRRRRRR#...",
     "#RRRRRRRRRRR#...",
     "#-----------#...",
     "#wwwwww-rr...rr.",
     "#-------rrr.rrr.",
     "#wwwwww-.rrrrr..",
     "#--------.rrr...",
     "#wwwwww-.rrrrr..",
     "#######.rrr.rrr.",
     "........rr...rr."},
    {// 8: clear the table: a big red cross over the table
     "................",
     ".rr##########rr.",
     ".#rrllll-lllrr#.",
     ".#-rr------rr-#.",
     ".#wwrrww-wrrww#.",
     ".#---rr--rr---#.",
     ".#wwwwrrrrwwww#.",
     ".#-----rr-----#.",
     ".#wwwwrrrrwwww#.",
     ".#---rr--rr---#.",
     ".#wwrrww-wrrww#.",
     ".#-rr------rr-#.",
     ".#rrwwww-wwwrr#.",
     ".rrwwwww-wwwwrr.",
     ".##############.",
     "................"},
    {// 9: show or hide columns: a table with one column highlighted
     "................",
     "################",
     "#llll-bbbb-llll#",
     "#-----BBBB-----#",
     "#wwww-BBBB-wwww#",
     "#-----BBBB-----#",
     "#wwww-BBBB-wwww#",
     "#-----BBBB-----#",
     "#wwww-BBBB-wwww#",
     "#-----BBBB-----#",
     "#wwww-BBBB-wwww#",
     "#-----BBBB-----#",
     "#wwww-BBBB-wwww#",
     "#wwww-BBBB-wwww#",
     "################",
     "................"},
    {// 10: closed contour: a polygon outline with its vertices
     ".........###....",
     "###...bbb###....",
     "###bbb...###....",
     "###........b....",
     ".b..........b...",
     ".b..........b...",
     ".b...........b..",
     ".b...........###",
     ".b...........###",
     ".b...........###",
     ".b..........b...",
     ".b.........bb...",
     "###........b....",
     "###bbb..###.....",
     "###..bbb###.....",
     "........###....."},
    {// 11: open contour: the same outline without its closing edge
     ".........###....",
     "###...bbb###....",
     "###bbb...###....",
     "###........b....",
     "............b...",
     "............b...",
     ".............b..",
     ".............###",
     ".............###",
     ".............###",
     "............b...",
     "...........bb...",
     "###........b....",
     "###bbb..###.....",
     "###..bbb###.....",
     "........###....."},
    {// 12: row up: a blue arrow up
     "................",
     ".......bb.......",
     "......bbbb......",
     ".....bbbbbb.....",
     "....bbbbbbbb....",
     "...bbbbbbbbbb...",
     "..bbbbbbbbbbbb..",
     ".bbbbbbbbbbbbbb.",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "................"},
    {// 13: row down: a blue arrow down
     "................",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     "......bbbb......",
     ".bbbbbbbbbbbbbb.",
     "..bbbbbbbbbbbb..",
     "...bbbbbbbbbb...",
     "....bbbbbbbb....",
     ".....bbbbbb.....",
     "......bbbb......",
     ".......bb.......",
     "................"},
    {// 14: switch the layout, floating or docked: two windows with arrows between them
     "#########.......",
     "#bbbbbbb#.gggg..",
     "#########.gggg..",
     "#wwwwwww#...gg..",
     "#wwwwwww#.gggggg",
     "#wwwwwww#..gggg.",
     "#wwwwwww#...gg..",
     "#wwwwww#########",
     "########bbbbbbb#",
     "..gg...#########",
     ".gggg..#wwwwwww#",
     "gggggg.#wwwwwww#",
     "..gg...#wwwwwww#",
     "..gggg.#wwwwwww#",
     "..gggg.#wwwwwww#",
     ".......#########"},
    {// 15: editing mode: a pencil
     "................",
     "............##..",
     "...........#pp#.",
     "..........#ppp#.",
     ".........#llp#..",
     "........#yyl#...",
     ".......#yyo#....",
     "......#yyo#.....",
     ".....#yyo#......",
     "....#yyo#.......",
     "...#kko#........",
     "..#kk##.........",
     "..#k#...........",
     ".##.............",
     ".#..............",
     "................"},
    {// 16: synchronisation with the map: two circular arrows
     "................",
     ".....gggggg.....",
     "...gggggggggg...",
     "..ggg......ggg..",
     ".ggg........gg..",
     ".gg.......gggggg",
     ".gg........gggg.",
     "............gg..",
     "..bb............",
     ".bbbb........bb.",
     "bbbbbb.......bb.",
     "..bb........bbb.",
     "..bbb......bbb..",
     "...bbbbbbbbbb...",
     ".....bbbbbb.....",
     "................"},
    {// 17: add a shape to the object: a polygon with a green plus
     "....##..........",
     ".###GG##........",
     "#GGGGGGG##......",
     "#GGGGGGGGG#.....",
     "#GGGGGGGGG#.....",
     "#GGGGGGGG#......",
     "#GGGGGGGG#......",
     "#GGGGGGGG#......",
     "#GGGGGGG#.......",
     "#GGG#####..ggg..",
     "####.......ggg..",
     ".........ggggggg",
     ".........ggggggg",
     ".........ggggggg",
     "...........ggg..",
     "...........ggg.."},
    {// 18: painter mode, the contour drawn over the map: a brush and its stroke
     "..............#.",
     ".............#n#",
     "............#nn#",
     "...........#nn#.",
     "..........#nn#..",
     ".........#nn#...",
     "........#ll#....",
     ".......#lll#....",
     "......#rrr#.....",
     ".....#rrrr#.....",
     ".....#rrr#......",
     ".....#rr#.......",
     "rr....##........",
     ".rrr.........rr.",
     "..rrrrr...rrrr..",
     "....rrrrrrrr...."},
    {// 19: fit to the window: a rectangle with four arrows out to the corners
     "bbbb........bbbb",
     "bbb..........bbb",
     "b.bb........bb.b",
     "b..b........b..b",
     "....########....",
     "....#BBBBBB#....",
     "....#BBBBBB#....",
     "....#BBBBBB#....",
     "....#BBBBBB#....",
     "....#BBBBBB#....",
     "....#BBBBBB#....",
     "....########....",
     "b..b........b..b",
     "b.bb........bb.b",
     "bbb..........bbb",
     "bbbb........bbbb"},
    {// 20: undo: an arrow curving back to the left
     "................",
     "....b...........",
     "...bb...........",
     "..bbb...........",
     ".bbbbbbbbbbb....",
     "bbbbbbbbbbbbb...",
     ".bbbbbbbbbbbbb..",
     "..bbb......bbbb.",
     "...bb.......bbb.",
     "....b.......bbb.",
     "............bbb.",
     "...........bbbb.",
     "......bbbbbbbb..",
     ".....bbbbbbbb...",
     ".....bbbbbbb....",
     "................"},
    {// 21: redo: the same arrow mirrored, curving on to the right
     "................",
     "...........b....",
     "...........bb...",
     "...........bbb..",
     "....bbbbbbbbbbb.",
     "...bbbbbbbbbbbbb",
     "..bbbbbbbbbbbbb.",
     ".bbbb......bbb..",
     ".bbb.......bb...",
     ".bbb.......b....",
     ".bbb............",
     ".bbbb...........",
     "..bbbbbbbb......",
     "...bbbbbbbb.....",
     "....bbbbbbb.....",
     "................"},
};

constexpr bool InPalette(char c)
{
    if (c == '.')
        return true;
    for (const auto& entry : Palette)
        if (entry.Char == c)
            return true;
    return false;
}

// Every row is 16 characters of the palette.
consteval bool PicturesAreValid()
{
    for (const auto& picture : Pictures)
        for (const char* row : picture) {
            const std::string_view text(row);
            if (text.size() != Size)
                return false;
            for (char c : text)
                if (!InPalette(c))
                    return false;
        }
    return true;
}
static_assert(PicturesAreValid(), "a tool bar picture has a row of the wrong length or an unknown colour");
static_assert(tbiRedo + 1 == Count, "the image count does not follow the last image index");

std::uint32_t ColorOf(char c)
{
    for (const auto& entry : Palette)
        if (entry.Char == c)
            return entry.Rgb;
    return 0;
}

} // namespace

TUniqueImageList CreateToolBarImages(int size)
{
    // Each character of a picture becomes a block of whole pixels (1 or 2 wide at 24 pixels, 2 at
    // 32): no smoothing, so the pictures stay crisp.
    std::vector<int> sourceOf(static_cast<std::size_t>(size));
    for (int cell = 0; cell < Size; ++cell)
        for (int x = PictureCellStart(cell, Size, size); x < PictureCellStart(cell + 1, Size, size); ++x)
            sourceOf[static_cast<std::size_t>(x)] = cell;

    const int width = size * Count;
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(width, size, &bits);

    // The monochrome mask: rows padded to 16 bits, bit 1 = transparent.
    const int maskStride = (width + 15) / 16 * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(maskStride) * size, 0);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int image = 0; image < Count; ++image)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const char c = Pictures[image][sourceOf[static_cast<std::size_t>(y)]][sourceOf[static_cast<std::size_t>(x)]];
                const int column = image * size + x;
                if (c == '.') {
                    pixels[y * width + column] = 0;
                    maskBits[static_cast<std::size_t>(y * maskStride + column / 8)] |=
                        static_cast<std::uint8_t>(0x80u >> (column % 8));
                } else {
                    pixels[y * width + column] = 0xFF000000u | ColorOf(c);
                }
            }
    ::GdiFlush();
    TUniqueBitmap mask(::CreateBitmap(width, size, 1, 1, maskBits.data()));
    if (!mask)
        RaiseLastWin32Error("CreateBitmap");

    TUniqueImageList list(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, Count, 0));
    if (!list)
        RaiseLastWin32Error("ImageList_Create");
    if (::ImageList_Add(list.get(), bitmap.get(), mask.get()) < 0)
        RaiseLastWin32Error("ImageList_Add");
    return list;
}
