#include "CoreLib/RefObjects.h"

#include "CoreLib/Errors.h"

namespace {

constexpr const char* kNotInitialised = "Объект не инициализирован.";

} // namespace

std::int32_t TInterfacedObject::Release()
{
    const std::int32_t count = --FRefCount;
    if (count == 0)
        delete this;
    return count;
}

TRefObject::~TRefObject()
{
    TRefObject::Cleanup();
}

void TRefObject::AddInfo(std::uint8_t kind, std::vector<std::string>& lines)
{
    if (kind == 0)
        lines.emplace_back("RefCount");
    else if (kind == 1)
        lines.push_back(std::to_string(RefCount()));
}

void HoldRef(TObject*& var, TObject* obj)
{
    if (auto* counted = dynamic_cast<TInterfacedObject*>(obj))
        counted->AddRef();
    var = obj;
}

void DropRef(TObject*& var)
{
    if (auto* counted = dynamic_cast<TInterfacedObject*>(var)) {
        Assert(counted->RefCount() > 0, kNotInitialised);
        counted->Release();
    }
    var = nullptr;
}

void FreeRef(TObject*& var)
{
    TObject* obj = var;
    if (auto* refObject = dynamic_cast<TRefObject*>(obj)) {
        Assert(refObject->RefCount() > 0, kNotInitialised);
        refObject->AddRef();
        try {
            refObject->Cleanup();
        } catch (...) {
            refObject->Release();
            throw;
        }
        refObject->Release();
        refObject->Release();
    } else if (auto* counted = dynamic_cast<TInterfacedObject*>(obj)) {
        Assert(counted->RefCount() > 0, kNotInitialised);
        counted->Release();
    } else {
        delete obj;
    }
    var = nullptr;
}

void ReleaseRef(TObject* obj)
{
    if (auto* counted = dynamic_cast<TInterfacedObject*>(obj)) {
        Assert(counted->RefCount() > 0);
        counted->Release();
    }
}

TPointerList::~TPointerList()
{
    // Only TPointerList's own Notify can run here; lists that act on removal clear themselves.
    Clear();
}

void TPointerList::CheckIndex(std::int32_t index, std::int32_t limit) const
{
    if (index < 0 || index >= limit)
        throw Exception(Format("List index out of bounds (%d)", static_cast<int>(index)));
}

TObject* TPointerList::Items(std::int32_t index) const
{
    CheckIndex(index, Count());
    return FItems[static_cast<std::size_t>(index)];
}

std::int32_t TPointerList::IndexOf(const TObject* item) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == item)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t TPointerList::Add(TObject* item)
{
    const std::int32_t index = Count();
    Insert(index, item);
    return index;
}

void TPointerList::Insert(std::int32_t index, TObject* item)
{
    CheckIndex(index, Count() + 1);
    FItems.insert(FItems.begin() + index, item);
    if (item)
        Notify(item, TListNotification::lnAdded);
}

void TPointerList::Delete(std::int32_t index)
{
    CheckIndex(index, Count());
    TObject* item = FItems[static_cast<std::size_t>(index)];
    FItems.erase(FItems.begin() + index);
    if (item)
        Notify(item, TListNotification::lnDeleted);
}

TObject* TPointerList::Extract(TObject* item)
{
    const std::int32_t index = IndexOf(item);
    if (index < 0)
        return nullptr;
    FItems.erase(FItems.begin() + index);
    Notify(item, TListNotification::lnExtracted);
    return item;
}

void TPointerList::Clear()
{
    while (!FItems.empty())
        Delete(Count() - 1);
}

void TPointerList::Notify(TObject*, TListNotification) {}

TRefObjectList::~TRefObjectList()
{
    Clear();
}

void TRefObjectList::Notify(TObject* item, TListNotification action)
{
    TPointerList::Notify(item, action);
    if (action == TListNotification::lnAdded)
        ItemAdded(item);
    else if (action == TListNotification::lnDeleted)
        ItemRemoved(item);
}

void TRefObjectList::ItemAdded(TObject* item)
{
    TObject* held = nullptr;
    HoldRef(held, item);
}

void TRefObjectList::ItemRemoved(TObject* item)
{
    TObject* held = item;
    if (OwnsObjects)
        FreeRef(held);
    else
        DropRef(held);
}
