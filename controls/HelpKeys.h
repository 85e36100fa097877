// Where the context help of a control is looked up: the INI section and key; platform-free.
// The Win32 side describes a control (and its parents and owner) as THelpComponent nodes.
#pragma once

#include <string>

struct THelpComponent {
    std::string Name;
    std::string ClassName;
    const THelpComponent* Parent = nullptr; // the control's parent window, for controls
    const THelpComponent* Owner = nullptr;  // the owning component, for non-controls
    bool IsForm = false;
    bool IsControl = true;
    int ControlIndex = -1;   // among the parent's controls; −1 when not found
    int ComponentIndex = -1; // among the owner's components
};

struct THelpKeys {
    std::string Section;
    std::string Key;
};

// Kind: 1 client area, 6/7 scroll bars, else a non-client hit-test code.
THelpKeys HelpKeys(const THelpComponent& component, int kind, const THelpComponent* mainForm = nullptr);
std::string HelpComponentPath(const THelpComponent& component);
