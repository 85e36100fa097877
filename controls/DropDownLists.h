// The value list handed to a drop-down popup and the comparison that preselects the current
// value; platform-free. IDropDownList is shared by the grid's lookup record and the popup.
#pragma once

#include "controls/SimpleGridValue.h"

#include <memory>
#include <string>
#include <vector>

class IDropDownList {
public:
    virtual ~IDropDownList() = default;
    virtual void Clear() = 0;
    virtual int Add(const TGridValue& value, const std::string& caption) = 0;
    virtual int Count() const = 0;
    // An index outside 0..Count-1 raises a list index error.
    virtual void GetValue(int index, TGridValue& value) const = 0;
    virtual void GetCaption(int index, std::string& caption) const = 0;
};

struct TDropDownItem {
    TGridValue Value;
    std::string Caption;
};

class TDropDownList final : public IDropDownList {
public:
    void Clear() override { FItems.clear(); }
    int Add(const TGridValue& value, const std::string& caption) override;
    int Count() const override { return static_cast<int>(FItems.size()); }
    void GetValue(int index, TGridValue& value) const override;
    void GetCaption(int index, std::string& caption) const override;

private:
    const TDropDownItem& Item(int index) const;
    std::vector<TDropDownItem> FItems;
};

std::shared_ptr<IDropDownList> NewDropDownList();

// Equality for preselection: unassigned and null equal only themselves; strings compare exactly;
// otherwise numbers by value, a string against a number or boolean through conversion; a failed
// conversion means not equal.
bool VarEquals(const TGridValue& a, const TGridValue& b);

// Index of the item preselected for value: the last match, or −1.
int PreselectedIndex(const IDropDownList& list, const TGridValue& value);
