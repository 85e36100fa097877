#include "Polypad/PartsNotice.h"

namespace {

// "из 2 частей", "из 21 части".
std::string FromParts(long parts)
{
    const bool one = parts % 10 == 1 && parts % 100 != 11;
    return "из " + std::to_string(parts) + (one ? " части" : " частей");
}

} // namespace

std::string FilledPartsNote(long parts)
{
    if (parts <= 1)
        return {};
    return "Контур " + FromParts(parts) + ": в таблице они идут одна за другой";
}

std::string JoinPartsQuestion(long parts)
{
    return "Таблица заполнена " + FromParts(parts) +
           " контура. Объект будет обновлён одной частью из всех строк таблицы. Продолжить?";
}
