#include "controls/DropDownLists.h"

int TDropDownList::Add(const TGridValue& value, const std::string& caption)
{
    FItems.push_back({value, caption});
    return Count() - 1;
}

const TDropDownItem& TDropDownList::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(Format("List index out of bounds (%d)", index));
    return FItems[static_cast<std::size_t>(index)];
}

void TDropDownList::GetValue(int index, TGridValue& value) const
{
    value = Item(index).Value;
}

void TDropDownList::GetCaption(int index, std::string& caption) const
{
    caption = Item(index).Caption;
}

std::shared_ptr<IDropDownList> NewDropDownList()
{
    return std::make_shared<TDropDownList>();
}

bool VarEquals(const TGridValue& a, const TGridValue& b)
{
    if (a.IsEmptyOrNull())
        return a.Type() == b.Type();
    if (b.IsEmptyOrNull())
        return false;
    const bool as = a.Type() == TVarType::String, bs = b.Type() == TVarType::String;
    try {
        if (as && bs)
            return a.AsText() == b.AsText();
        if (as || bs) {
            const TGridValue& s = as ? a : b;
            const TGridValue& o = as ? b : a;
            if (o.Type() == TVarType::Boolean)
                return s.AsBoolean() == o.AsBoolean();
            return s.AsFloat() == o.AsFloat();
        }
        if (a.Type() == TVarType::Boolean || b.Type() == TVarType::Boolean)
            return a.AsBoolean() == b.AsBoolean();
        if (a.Type() == TVarType::Currency && b.Type() == TVarType::Currency)
            return a.AsCurrency() == b.AsCurrency();
        return a.AsFloat() == b.AsFloat();
    } catch (const Exception&) {
        return false;
    }
}

int PreselectedIndex(const IDropDownList& list, const TGridValue& value)
{
    int found = -1;
    TGridValue item;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetValue(i, item);
        if (VarEquals(item, value))
            found = i;
    }
    return found;
}
