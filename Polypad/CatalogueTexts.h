// The texts of a coordinate catalogue: the exchange text coordtable writes, the figures lines the
// window shows, and the one table layout that the preview, the clipboard (text and HTML), the
// .csv and the .html file share — a row per point with the edge to the next point beside it, the
// first point repeated last. Platform-free; every text is UTF-8.
#pragma once

#include "Polypad/CoordinateCatalogue.h"

#include <string>

// "point\tX\tY\tMt" … an empty line, "from\tto\tlength\tdirection" …, an empty line, and
// "area", "area_tolerance", "area_formula"; numbers with '.', every line ended by LF.
std::string CatalogueExchangeText(const TCoordinateCatalogue& catalogue);
// Each problem's text on a line of its own, ended by LF.
std::string CatalogueProblemsText(const TCoordinateCatalogue& catalogue);

// "P = 1 260 м², ΔP = ±12 м²" (thousands parted by a no-break space).
std::string CatalogueAreaLine(const TCoordinateCatalogue& catalogue);
// "ΔP = 3,5 · 0,10 · √1260 = 12" with the given decimal separator.
std::string CatalogueFormula(const TCoordinateCatalogue& catalogue, char decimalSeparator);

// The table layout: PointCount() + 1 rows of kCatalogueColumns cells.
inline constexpr int kCatalogueColumns = 6;
extern const char* const kCatalogueColumnCaptions[kCatalogueColumns];
inline constexpr const char* kCatalogueCaption = "Каталог координат";
std::int32_t CatalogueRowCount(const TCoordinateCatalogue& catalogue);
// A cell: designation, X, Y, Mt, length to the next point, direction to it (empty on the last row).
std::string CatalogueCell(const TCoordinateCatalogue& catalogue, std::int32_t row, int column, char decimalSeparator);

// The header line and the rows, TAB between cells and LF after each line, then an empty line and
// the area, ΔP and formula lines.
std::string CatalogueTabText(const TCoordinateCatalogue& catalogue, char decimalSeparator);
// The same as CSV for a Russian spreadsheet: UTF-8 with a byte order mark, ';', decimal comma,
// CRLF.
std::string CatalogueCsv(const TCoordinateCatalogue& catalogue);
// A <table> with its caption, header, rows and the area lines as rows spanning the table.
std::string CatalogueHtmlTable(const TCoordinateCatalogue& catalogue, char decimalSeparator);
// A whole page that prints as the catalogue: well-formed, no scripts, nothing outside it.
std::string CatalogueHtmlPage(const TCoordinateCatalogue& catalogue);
