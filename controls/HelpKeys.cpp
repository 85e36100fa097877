#include "controls/HelpKeys.h"

namespace {

const THelpComponent* OwnerForm(const THelpComponent& c, const THelpComponent* mainForm)
{
    if (c.IsForm)
        return &c;
    if (c.IsControl) {
        for (const THelpComponent* p = c.Parent; p; p = p->Parent)
            if (p->IsForm)
                return p;
        return mainForm;
    }
    if (c.Owner)
        return OwnerForm(*c.Owner, mainForm);
    return mainForm;
}

} // namespace

std::string HelpComponentPath(const THelpComponent& c)
{
    if (!c.Name.empty())
        return c.Name;
    std::string path;
    if (c.IsControl && c.Parent && !c.Parent->IsForm)
        path = HelpComponentPath(*c.Parent) + ".";
    std::string cls = c.ClassName;
    if (cls.size() > 1 && cls[0] == 'T')
        cls.erase(0, 1);
    const int index = c.IsControl && c.ControlIndex >= 0 ? c.ControlIndex : c.ComponentIndex;
    return path + cls + std::to_string(index);
}

THelpKeys HelpKeys(const THelpComponent& component, int kind, const THelpComponent* mainForm)
{
    THelpKeys keys;
    const THelpComponent* form = OwnerForm(component, mainForm);
    keys.Section = form ? form->ClassName : std::string();
    keys.Key = &component == form ? "Form" : HelpComponentPath(component);
    if (kind != 1 && kind != 6 && kind != 7)
        keys.Section = "Forms";
    if (kind != 1)
        keys.Key += "(" + std::to_string(kind) + ")";
    return keys;
}
