// The catalogue's texts: the table layout shared by the clipboard and the files, the figures
// lines, and the clipboard's HTML header with its byte offsets.
#include "Polypad/CatalogueTexts.h"
#include "Polypad/ExchangeText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TCoordinateCatalogue Rectangle(std::int64_t firstNumber = 1)
{
    TCatalogueSettings settings;
    settings.FirstNumber = firstNumber;
    return TCoordinateCatalogue({{452300, 1385200, 0}, {452300, 1385240, 0}, {452268.5, 1385240, 0}, {452268.5, 1385200, 0}},
                                true, settings);
}

TEST(CatalogueTexts, FiguresLines)
{
    const TCoordinateCatalogue c = Rectangle();
    EXPECT_EQ(CatalogueAreaLine(c), "P = 1\u00A0260 м², ΔP = ±12 м²");
    EXPECT_EQ(CatalogueFormula(c, ','), "ΔP = 3,5 · 0,10 · √1260 = 12");
}

TEST(CatalogueTexts, TabTextAndCsvShareTheLayout)
{
    const TCoordinateCatalogue c = Rectangle(98);
    EXPECT_EQ(CatalogueTabText(c, ','),
              "Обозначение\tX, м\tY, м\tMt, м\tДлина, м\tДирекционный угол\n"
              "н98\t452300,00\t1385200,00\t0,10\t40,00\t90°00'00\"\n"
              "н99\t452300,00\t1385240,00\t0,10\t31,50\t180°00'00\"\n"
              "н100\t452268,50\t1385240,00\t0,10\t40,00\t270°00'00\"\n"
              "н101\t452268,50\t1385200,00\t0,10\t31,50\t0°00'00\"\n"
              "н98\t452300,00\t1385200,00\t0,10\t\t\n"
              "\n"
              "Площадь P, м²\t1260\n"
              "Допустимая погрешность ΔP, м²\t12\n"
              "ΔP = 3,5 · 0,10 · √1260 = 12\n");
    const std::string csv = CatalogueCsv(c);
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(csv.substr(3, csv.find("\r\n", 3) + 2 - 3), "Обозначение;X, м;Y, м;Mt, м;Длина, м;Дирекционный угол\r\n");
    EXPECT_NE(csv.find("\r\nн99;452300,00;1385240,00;0,10;31,50;180°00'00\"\r\n"), std::string::npos);
    EXPECT_EQ(csv.find('\n', csv.find("√1260 = 12")), csv.size() - 1);
}

// Counts opening and closing tags of the page: each element closed in order (void <meta/> aside).
bool WellFormed(const std::string& html, std::string& why)
{
    std::vector<std::string> open;
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        const std::size_t end = html.find('>', at);
        if (end == std::string::npos)
            return why = "unclosed tag", false;
        std::string tag = html.substr(at + 1, end - at - 1);
        if (tag[0] == '!' || tag.back() == '/')
            continue;
        const bool closing = tag[0] == '/';
        std::string name = tag.substr(closing ? 1 : 0, tag.find_first_of(" >") - (closing ? 1 : 0));
        if (!closing) {
            open.push_back(name);
        } else {
            if (open.empty() || open.back() != name)
                return why = "</" + name + "> closes " + (open.empty() ? "nothing" : open.back()), false;
            open.pop_back();
        }
    }
    return open.empty() || (why = open.back() + " left open", false);
}

TEST(CatalogueTexts, HtmlPageIsTheWholeCatalogue)
{
    const std::string page = CatalogueHtmlPage(Rectangle());
    std::string why;
    EXPECT_TRUE(WellFormed(page, why)) << why;
    for (const char* part : {"<caption>Каталог координат</caption>", "<th>Дирекционный угол</th>",
                             "<td>н4</td><td>452268,50</td><td>1385200,00</td><td>0,10</td><td>31,50</td><td>0°00'00&quot;</td>",
                             "P = 1\u00A0260 м², ΔP = ±12 м²", "ΔP = 3,5 · 0,10 · √1260 = 12", "charset=\"utf-8\""})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    for (const char* absent : {"<script", "src=", "href=", "url("})
        EXPECT_EQ(page.find(absent), std::string::npos) << absent;
}

TEST(CatalogueTexts, HtmlClipboardOffsetsPointAtTheFragment)
{
    const std::string fragment = "<table><tr><td>ΔP</td></tr></table>";
    const std::string data = HtmlClipboardData(fragment);
    auto offset = [&](const char* name) {
        const std::size_t at = data.find(name);
        EXPECT_NE(at, std::string::npos) << name;
        const std::string digits = data.substr(at + std::strlen(name), 10);
        EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
        return static_cast<std::size_t>(std::stoull(digits));
    };
    EXPECT_EQ(data.rfind("Version:0.9\r\n", 0), 0u);
    const std::size_t startHtml = offset("StartHTML:"), endHtml = offset("EndHTML:");
    const std::size_t startFragment = offset("StartFragment:"), endFragment = offset("EndFragment:");
    EXPECT_EQ(data.substr(startFragment, endFragment - startFragment), fragment);
    EXPECT_EQ(data.substr(startHtml, 6), "<html>");
    EXPECT_EQ(endHtml, data.size());
    EXPECT_EQ(data.substr(endHtml - 7), "</html>");
}

} // namespace
