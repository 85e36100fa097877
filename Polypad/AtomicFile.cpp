#include "Polypad/AtomicFile.h"

#include <chrono>
#include <fstream>
#include <system_error>

namespace {

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

void WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes)
{
    // A name of our own beside the target, so that the rename stays on one volume.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path temporary = target;
    temporary += ".tmp-" + std::to_string(stamp % 1000000007);
    auto fail = [&](const std::string& reason) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw EFileWrite("Не удалось записать файл «" + Utf8(target) + "»: " + reason);
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            fail("файл не создаётся");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out)
            fail("ошибка записи");
        out.close();
        if (out.fail())
            fail("ошибка записи");
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error)
        fail(error.message());
}
