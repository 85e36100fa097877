// Reference-counted objects and the list that holds counted references to them.
//
// TObject is the common base of every object these helpers handle. A TInterfacedObject carries
// an atomic count and destroys itself when a release brings it to 0 (the count is 0 after
// construction: the first holder takes a reference). TRefObject adds a clean-up hook that
// FreeRef runs while the object is still alive.
//
// The four reference operations take the variable that holds the object, as the callers keep
// plain object variables; TRefHolder wraps HoldRef/DropRef for owners that want RAII.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

class TInterfacedObject : public TObject {
public:
    std::int32_t AddRef() { return ++FRefCount; }
    // Destroys the object when the count drops to 0.
    std::int32_t Release();
    std::int32_t RefCount() const { return FRefCount.load(); }

private:
    std::atomic<std::int32_t> FRefCount{0};
};

class TRefObject : public TInterfacedObject {
public:
    ~TRefObject() override;
    // Clean-up hook, run by FreeRef while the object lives and again by the destructor.
    virtual void Cleanup() {}
    // Kind 0 appends "RefCount", kind 1 the current count; other kinds append nothing.
    virtual void AddInfo(std::uint8_t kind, std::vector<std::string>& lines);
};

// var := obj, taking a count when obj is reference-counted (var's old content is not released).
void HoldRef(TObject*& var, TObject* obj);
// Releases the count held in var (asserting it is positive); var := nullptr.
void DropRef(TObject*& var);
// Ends the object in var by its kind: runs Cleanup of a TRefObject and releases the caller's
// count, releases another counted object, or deletes a plain one; var := nullptr.
void FreeRef(TObject*& var);
// Releases one count of obj (asserting it is positive); nullptr does nothing.
void ReleaseRef(TObject* obj);

template <class T>
void HoldRef(T*& var, T* obj)
{
    TObject* v = var;
    HoldRef(v, obj);
    var = static_cast<T*>(v);
}

template <class T>
void DropRef(T*& var)
{
    TObject* v = var;
    DropRef(v);
    var = nullptr;
}

template <class T>
void FreeRef(T*& var)
{
    TObject* v = var;
    FreeRef(v);
    var = nullptr;
}

// Owns one counted reference for the lifetime of the holder.
template <class T>
class TRefHolder {
public:
    explicit TRefHolder(T* obj = nullptr) { HoldRef(FObject, obj); }
    TRefHolder(const TRefHolder&) = delete;
    TRefHolder& operator=(const TRefHolder&) = delete;
    ~TRefHolder()
    {
        if (FObject)
            DropRef(FObject);
    }
    T* get() const { return FObject; }
    T* operator->() const { return FObject; }
    T& operator*() const { return *FObject; }

private:
    T* FObject = nullptr;
};

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of object pointers that reports additions, extractions and deletions to Notify.
class TPointerList : public TObject {
public:
    ~TPointerList() override;

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    TObject* Items(std::int32_t index) const;
    std::int32_t IndexOf(const TObject* item) const;
    std::int32_t Add(TObject* item);
    void Insert(std::int32_t index, TObject* item);
    void Delete(std::int32_t index);
    // Removes item without deleting it; what the list held passes to the caller.
    TObject* Extract(TObject* item);
    // Deletes every item, last first.
    void Clear();

protected:
    virtual void Notify(TObject* item, TListNotification action);

private:
    void CheckIndex(std::int32_t index, std::int32_t limit) const;
    std::vector<TObject*> FItems;
};

// A pointer list that holds one counted reference per item. Derived destructors must not rely on
// the base clearing: this class clears in its own destructor so that ItemRemoved still runs.
class TRefObjectList : public TPointerList {
public:
    explicit TRefObjectList(bool ownsObjects) : OwnsObjects(ownsObjects) {}
    ~TRefObjectList() override;

    const bool OwnsObjects;

protected:
    void Notify(TObject* item, TListNotification action) override;
    virtual void ItemAdded(TObject* item);
    // FreeRef when the list owns its objects, DropRef otherwise.
    virtual void ItemRemoved(TObject* item);
};
