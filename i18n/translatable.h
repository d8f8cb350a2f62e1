#pragma once
// What the language component needs to know of a window or control: the rule that
// applies to it, its name, its text and hint, and (for a window) what it owns. The
// form framework implements it for every window and control; tests fake it.
#include <string>
#include <vector>

namespace kh {

enum class ComponentKind {
    SkinnedControl, // anything built on QBaseControl
    Label,
    Window,
    StaticText,
    MenuItem,
    ToolButton,
    Panel,
    GroupBox,
    RadioGroup,
    Button,
    TabSheet,
    Other, // edit fields, standard check boxes, list views...: hints only
};

class TranslatableComponent {
  public:
    virtual ~TranslatableComponent() = default;
    virtual ComponentKind componentKind() const = 0;
    // The design name (e.g. "tbNewAccount"); for a window its class name. May be empty.
    virtual std::string componentName() const = 0;
    // A visual control has a hint; windows, menu items and non-visual parts do not.
    virtual bool isVisualControl() const = 0;
    virtual std::string text() const = 0; // caption or text (Windows-1252)
    virtual void setText(const std::string& text) = 0;
    virtual std::string hint() const = 0;
    virtual void setHint(const std::string& hint) = 0;
    // Everything a window owns, in design order; empty for anything else.
    virtual std::vector<TranslatableComponent*> ownedComponents() = 0;
};

} // namespace kh
