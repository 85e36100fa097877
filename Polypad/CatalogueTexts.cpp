#include "Polypad/CatalogueTexts.h"

#include "CoreLib/Errors.h"

const char* const kCatalogueColumnCaptions[kCatalogueColumns] = {
    "Обозначение", "X, м", "Y, м", "Mt, м", "Длина, м", "Дирекционный угол",
};

namespace {

// Thousands parted by a no-break space: "1 260".
std::string Grouped(std::int64_t value)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += "\u00A0";
        text += digits[i];
    }
    return text;
}

std::string HtmlEscaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

std::string CatalogueFormula(const TCoordinateCatalogue& c, char decimalSeparator)
{
    return std::string("ΔP = 3") + decimalSeparator + "5 · " + CentimetresText(c.Settings().MtCm, decimalSeparator) +
           " · √" + std::to_string(c.Area()) + " = " + std::to_string(c.AreaTolerance());
}

std::string CatalogueAreaLine(const TCoordinateCatalogue& c)
{
    return "P = " + Grouped(c.Area()) + " м², ΔP = ±" + Grouped(c.AreaTolerance()) + " м²";
}

std::string CatalogueExchangeText(const TCoordinateCatalogue& c)
{
    const std::string mt = CentimetresText(c.Settings().MtCm, '.');
    std::string text = "point\tX\tY\tMt\n";
    const std::int32_t count = c.PointCount();
    text.reserve(static_cast<std::size_t>(count) * 80 + 200);
    for (std::int32_t i = 0; i <= count; ++i) {
        const TCataloguePoint& p = c.Points()[i == count ? 0 : i];
        text += c.Name(i) + '\t' + CentimetresText(p.XCm, '.') + '\t' + CentimetresText(p.YCm, '.') + '\t' + mt + '\n';
    }
    text += "\nfrom\tto\tlength\tdirection\n";
    for (std::int32_t i = 0; i < count; ++i) {
        const TCatalogueEdge& e = c.Edges()[i];
        text += c.Name(i) + '\t' + c.Name(i + 1) + '\t' + CentimetresText(e.LengthCm, '.') + '\t' +
                DirectionText(e.DirectionSeconds) + '\n';
    }
    text += "\narea\t" + std::to_string(c.Area()) + "\narea_tolerance\t" + std::to_string(c.AreaTolerance()) +
            "\narea_formula\t" + CatalogueFormula(c, '.') + '\n';
    return text;
}

std::string CatalogueProblemsText(const TCoordinateCatalogue& c)
{
    std::string text;
    for (const TCatalogueProblem& p : c.Problems())
        text += p.Text + '\n';
    return text;
}

std::int32_t CatalogueRowCount(const TCoordinateCatalogue& c)
{
    return c.PointCount() + 1;
}

std::string CatalogueCell(const TCoordinateCatalogue& c, std::int32_t row, int column, char decimalSeparator)
{
    const std::int32_t count = c.PointCount();
    if (row < 0 || row > count || column < 0 || column >= kCatalogueColumns)
        return {};
    const TCataloguePoint& p = c.Points()[row == count ? 0 : row];
    switch (column) {
    case 0: return c.Name(row);
    case 1: return CentimetresText(p.XCm, decimalSeparator);
    case 2: return CentimetresText(p.YCm, decimalSeparator);
    case 3: return CentimetresText(c.Settings().MtCm, decimalSeparator);
    case 4: return row < count ? CentimetresText(c.Edges()[row].LengthCm, decimalSeparator) : std::string();
    default: return row < count ? DirectionText(c.Edges()[row].DirectionSeconds) : std::string();
    }
}

namespace {

std::string SeparatedText(const TCoordinateCatalogue& c, char fieldSeparator, char decimalSeparator,
                          const char* lineEnd)
{
    std::string text;
    for (int k = 0; k < kCatalogueColumns; ++k)
        text += std::string(k > 0 ? 1 : 0, fieldSeparator) + kCatalogueColumnCaptions[k];
    text += lineEnd;
    const std::int32_t rows = CatalogueRowCount(c);
    for (std::int32_t r = 0; r < rows; ++r) {
        for (int k = 0; k < kCatalogueColumns; ++k) {
            if (k > 0)
                text += fieldSeparator;
            text += CatalogueCell(c, r, k, decimalSeparator);
        }
        text += lineEnd;
    }
    text += lineEnd;
    text += std::string("Площадь P, м²") + fieldSeparator + std::to_string(c.Area()) + lineEnd;
    text += std::string("Допустимая погрешность ΔP, м²") + fieldSeparator + std::to_string(c.AreaTolerance()) + lineEnd;
    text += CatalogueFormula(c, decimalSeparator) + lineEnd;
    return text;
}

} // namespace

std::string CatalogueTabText(const TCoordinateCatalogue& c, char decimalSeparator)
{
    return SeparatedText(c, '\t', decimalSeparator, "\n");
}

std::string CatalogueCsv(const TCoordinateCatalogue& c)
{
    return "\xEF\xBB\xBF" + SeparatedText(c, ';', ',', "\r\n");
}

std::string CatalogueHtmlTable(const TCoordinateCatalogue& c, char decimalSeparator)
{
    std::string html = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<caption>";
    html += kCatalogueCaption;
    html += "</caption>\n<thead><tr>";
    for (const char* caption : kCatalogueColumnCaptions)
        html += std::string("<th>") + caption + "</th>";
    html += "</tr></thead>\n<tbody>\n";
    const std::int32_t rows = CatalogueRowCount(c);
    for (std::int32_t r = 0; r < rows; ++r) {
        html += "<tr>";
        for (int k = 0; k < kCatalogueColumns; ++k)
            html += "<td>" + HtmlEscaped(CatalogueCell(c, r, k, decimalSeparator)) + "</td>";
        html += "</tr>\n";
    }
    html += "<tr><td colspan=\"6\">" + HtmlEscaped(CatalogueAreaLine(c)) + "</td></tr>\n";
    html += "<tr><td colspan=\"6\">" + HtmlEscaped(CatalogueFormula(c, decimalSeparator)) + "</td></tr>\n";
    html += "</tbody>\n</table>\n";
    return html;
}

std::string CatalogueHtmlPage(const TCoordinateCatalogue& c)
{
    return std::string("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>") +
           kCatalogueCaption +
           "</title>\n<style>table{border-collapse:collapse}td,th{border:1px solid #000;padding:2px 6px}"
           "td{text-align:right}caption{font-weight:bold;margin-bottom:6px}</style>\n</head>\n<body>\n" +
           CatalogueHtmlTable(c, ',') + "</body>\n</html>\n";
}

