// The texts about a shape of several parts: none for one part, the number with its Russian form.
#include "Polypad/PartsNotice.h"

#include <gtest/gtest.h>

TEST(PartsNotice, OnePartSaysNothingAndSeveralAreCountedInWords)
{
    EXPECT_EQ(FilledPartsNote(0), "");
    EXPECT_EQ(FilledPartsNote(1), "");
    EXPECT_EQ(FilledPartsNote(2), "Контур из 2 частей: в таблице они идут одна за другой");
    EXPECT_EQ(FilledPartsNote(11), "Контур из 11 частей: в таблице они идут одна за другой");
    EXPECT_EQ(FilledPartsNote(21), "Контур из 21 части: в таблице они идут одна за другой");
    EXPECT_EQ(JoinPartsQuestion(2),
              "Таблица заполнена из 2 частей контура. Объект будет обновлён одной частью из всех строк таблицы. "
              "Продолжить?");
    EXPECT_NE(JoinPartsQuestion(101).find("из 101 части контура"), std::string::npos);
}
