// The exact copy's bytes: the layout other Polypad windows read, the round trip bit for bit, and
// every kind of damaged data refused before anything is returned.
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExactCopy.h"
#include "Polypad/ExchangeText.h"

#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

void PutU64(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<TVertexRecord> Rows(std::size_t count)
{
    std::vector<TVertexRecord> rows(count);
    for (std::size_t i = 0; i < count; ++i)
        rows[i] = TVertexRecord{0.1 * static_cast<double>(i), -1.0 / 3 * static_cast<double>(i), i % 3 ? 0 : 0.25};
    return rows;
}

// The layout is what two windows (two processes, maybe two builds) agree on.
TEST(ExactCopyTest, BytesAreTheDocumentedLittleEndianLayout)
{
    const std::vector<TVertexRecord> rows = {{1.0, -2.0, 0.5}};
    const std::vector<std::uint8_t> expected = {
        'P', 'P', 'x', 'R', 'o', 'w', 's', 0, // magic
        1, 0, 0, 0,                           // version
        1, 0, 0, 0,                           // closed
        1, 0, 0, 0, 0, 0, 0, 0,               // row count
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,         // 1.0
        0, 0, 0, 0, 0, 0, 0x00, 0xC0,         // -2.0
        0, 0, 0, 0, 0, 0, 0xE0, 0x3F,         // 0.5
    };
    EXPECT_EQ(EncodeExactRows(rows, true), expected);
}

TEST(ExactCopyTest, RoundTripIsBitExact)
{
    const double tiny = std::numeric_limits<double>::denorm_min();
    const double big = std::numeric_limits<double>::max();
    const std::vector<TVertexRecord> awkward = {
        {0.1 + 0.2, -0.0, 0}, {tiny, -big, 1e-15}, {6378137.123456789, 7654321.000000001, -0.9999999999999999},
    };
    for (const bool closed : {false, true})
        for (const std::vector<TVertexRecord>& rows : {awkward, std::vector<TVertexRecord>{}, Rows(TPasteBuffer::kMaxLines)}) {
            const TExactRows decoded = DecodeExactRows(EncodeExactRows(rows, closed));
            EXPECT_EQ(decoded.Closed, closed);
            ASSERT_EQ(decoded.Rows.size(), rows.size());
            EXPECT_TRUE(rows.empty() || std::memcmp(decoded.Rows.data(), rows.data(), rows.size() * sizeof(TVertexRecord)) == 0);
        }

    TTable table(std::make_unique<FixedAxesHost>());
    table.ReplaceRows(0, 0, awkward, true);
    EXPECT_EQ(EncodeExactRows(table), EncodeExactRows(awkward, true));
}

TEST(ExactCopyTest, DamagedDataIsRefusedWithAReason)
{
    const std::vector<std::uint8_t> good = EncodeExactRows(Rows(3), false);
    auto changed = [&](const std::function<void(std::vector<std::uint8_t>&)>& change) {
        std::vector<std::uint8_t> bytes = good;
        change(bytes);
        return bytes;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* Label;
        std::vector<std::uint8_t> Bytes;
        const char* Reason;
    } cases[] = {
        {"nothing", {}, "это не таблица Полипада"},
        {"a short header", std::vector<std::uint8_t>(good.begin(), good.begin() + 20), "это не таблица Полипада"},
        {"another magic", changed([](auto& b) { b[1] = 'Q'; }), "это не таблица Полипада"},
        {"version 2", changed([](auto& b) { b[8] = 2; }), "версия данных 2 не поддерживается"},
        {"closed flag 2", changed([](auto& b) { b[12] = 2; }), "признак замкнутости"},
        {"a cut row", changed([](auto& b) { b.pop_back(); }), "не соответствует числу строк (3)"},
        {"a stray byte after the rows", changed([](auto& b) { b.push_back(0); }), "(3)"},
        {"one row more than counted", changed([](auto& b) { b.resize(b.size() + 24); }), "(3)"},
        {"a count beyond the data", changed([](auto& b) { PutU64(b, 16, std::uint64_t{1} << 63); }),
         "не соответствует числу строк"},
        {"NaN in Y of row 2", changed([&](auto& b) { PutU64(b, 24 + 24 + 8, std::bit_cast<std::uint64_t>(nan)); }),
         "в строке 2 значение «Y» не является конечным числом"},
        {"infinity in the convexity of row 3",
         changed([&](auto& b) { PutU64(b, 24 + 48 + 16, std::bit_cast<std::uint64_t>(-inf)); }),
         "в строке 3 значение «кривизна дуги»"},
        {"more rows than a paste takes", EncodeExactRows(Rows(TPasteBuffer::kMaxLines + 1), true),
         "строк 10002, а вставить можно не более 10001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        try {
            DecodeExactRows(c.Bytes);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
            EXPECT_EQ(message.rfind("Данные таблицы в буфере обмена не вставлены: ", 0), 0u) << message;
        }
    }
}

// The paste's choice between the exact copy and the text beside it.
TEST(ExactCopyTest, ADamagedBlockGivesWayToTheTextAndSaysSo)
{
    std::vector<std::uint8_t> damaged = EncodeExactRows(Rows(3), false);
    damaged[12] = 2;
    int textAsked = 0;
    auto text = [&](std::string value) {
        return [&textAsked, value] {
            ++textAsked;
            return value;
        };
    };
    std::string note = "stale";

    TExactRows rows = PastedRows(damaged, text("10,5\t20\t0.5\n30\t40"), '.', note);
    ASSERT_EQ(rows.Rows.size(), 2u);
    EXPECT_EQ(rows.Rows[0].X, 10.5);
    EXPECT_EQ(rows.Rows[0].ArcConvexity, 0.5);
    EXPECT_EQ(rows.Rows[1].Y, 40);
    EXPECT_FALSE(rows.Closed);
    EXPECT_EQ(note, "Вставлен текст: точная копия таблицы в буфере обмена повреждена (признак замкнутости контура повреждён)");

    // A sound block wins and the text is not even read.
    textAsked = 0;
    rows = PastedRows(EncodeExactRows(Rows(3), true), text("1\t2"), '.', note);
    EXPECT_EQ(rows.Rows.size(), 3u);
    EXPECT_TRUE(rows.Closed);
    EXPECT_EQ(note, "");
    EXPECT_EQ(textAsked, 0);

    // No text beside the damaged block: the block's own refusal; a bad text: the text's error.
    EXPECT_THROW(PastedRows(damaged, text(""), '.', note), EExactRowsRefused);
    try {
        PastedRows(damaged, text("1\tabc"), '.', note);
        ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'abc' is not a valid floating point value");
    }
    // Without a block, only the text, and nothing to say.
    rows = PastedRows(std::nullopt, text("1\t2"), '.', note);
    EXPECT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(note, "");
}

} // namespace
