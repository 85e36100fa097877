#include "Polypad/ExactCopy.h"

#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr std::uint8_t kMagic[8] = {'P', 'P', 'x', 'R', 'o', 'w', 's', 0};

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559, "rows travel as IEEE 754 doubles");

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint8_t* WriteLittleEndian(std::uint8_t* out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        *out++ = static_cast<std::uint8_t>(value >> (8 * i));
    return out;
}

std::uint64_t GetLittleEndian(const std::uint8_t* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return value;
}

[[noreturn]] void Refuse(const std::string& reason) { throw EExactRowsRefused(reason); }

const char* FieldName(std::size_t field)
{
    static const char* const kNames[] = {"X", "Y", "кривизна дуги"};
    return kNames[field];
}

} // namespace

EExactRowsRefused::EExactRowsRefused(const std::string& reason)
    : EConvertError("Данные таблицы в буфере обмена не вставлены: " + reason), FReason(reason)
{
}

std::vector<std::uint8_t> EncodeExactRows(std::span<const TVertexRecord> rows, bool closed)
{
    std::vector<std::uint8_t> out;
    out.reserve(kExactCopyHeaderSize + rows.size() * kExactCopyRowSize);
    out.insert(out.end(), std::begin(kMagic), std::end(kMagic));
    PutLittleEndian(out, kExactCopyVersion, 4);
    PutLittleEndian(out, closed ? 1 : 0, 4);
    PutLittleEndian(out, rows.size(), 8);
    // The rows into place rather than byte by byte onto the end: 10^5 rows are 2.4 MB.
    const std::size_t header = out.size();
    out.resize(header + rows.size() * kExactCopyRowSize);
    std::uint8_t* p = out.data() + header;
    for (const TVertexRecord& row : rows)
        for (const double value : {row.X, row.Y, row.ArcConvexity})
            p = WriteLittleEndian(p, std::bit_cast<std::uint64_t>(value));
    return out;
}

std::vector<std::uint8_t> EncodeExactRows(const TTable& table)
{
    return EncodeExactRows(table.ContourPart().Vertices, table.Closed());
}

TExactRows DecodeExactRows(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kExactCopyHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        Refuse("это не таблица Полипада");
    const std::uint64_t version = GetLittleEndian(bytes.data() + 8, 4);
    if (version != kExactCopyVersion)
        Refuse("версия данных " + std::to_string(version) + " не поддерживается, ожидается " +
               std::to_string(kExactCopyVersion));
    const std::uint64_t closed = GetLittleEndian(bytes.data() + 12, 4);
    if (closed > 1)
        Refuse("признак замкнутости контура повреждён");
    const std::uint64_t count = GetLittleEndian(bytes.data() + 16, 8);
    const std::size_t rowBytes = bytes.size() - kExactCopyHeaderSize;
    if (rowBytes % kExactCopyRowSize != 0 || rowBytes / kExactCopyRowSize != count)
        Refuse("размер данных (" + std::to_string(bytes.size()) + " байт) не соответствует числу строк (" +
               std::to_string(count) + ")");
    if (count > static_cast<std::uint64_t>(TPasteBuffer::kMaxLines))
        Refuse("строк " + std::to_string(count) + ", а вставить можно не более " +
               std::to_string(TPasteBuffer::kMaxLines));

    TExactRows result;
    result.Closed = closed == 1;
    result.Rows.resize(static_cast<std::size_t>(count));
    const std::uint8_t* in = bytes.data() + kExactCopyHeaderSize;
    for (std::size_t r = 0; r < result.Rows.size(); ++r) {
        double* fields[] = {&result.Rows[r].X, &result.Rows[r].Y, &result.Rows[r].ArcConvexity};
        for (std::size_t f = 0; f < 3; ++f, in += 8) {
            const double value = std::bit_cast<double>(GetLittleEndian(in, 8));
            if (!std::isfinite(value))
                Refuse("в строке " + std::to_string(r + 1) + " значение «" + FieldName(f) +
                       "» не является конечным числом");
            *fields[f] = value;
        }
    }
    return result;
}

TExactRows PastedRows(const std::optional<std::vector<std::uint8_t>>& exact, const std::function<std::string()>& text,
                      char decimalSeparator, std::string& note)
{
    note.clear();
    std::string reason;
    if (exact) {
        try {
            return DecodeExactRows(*exact);
        } catch (const EExactRowsRefused& e) {
            // The text beside it was written by the same copy; only without one is the paste lost.
            reason = e.Reason();
        }
    }
    const std::string clipboardText = text();
    if (exact && clipboardText.empty())
        Refuse(reason);
    TExactRows result;
    result.Rows = ParsePastedRows(SplitClipboardText(clipboardText), decimalSeparator);
    if (exact)
        note = "Вставлен текст: точная копия таблицы в буфере обмена повреждена (" + reason + ")";
    return result;
}
