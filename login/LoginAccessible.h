#pragma once

namespace qm {

// While one lives, assistive technology sees the dialog's own controls for what they are: a text
// link as a link and a picture button as a push button, each named and with a press action. The
// registration is undone when the last one goes, before the plug-in that holds the code can be
// unloaded.
class TLoginAccessibility {
public:
    TLoginAccessibility();
    ~TLoginAccessibility();
    TLoginAccessibility(const TLoginAccessibility&) = delete;
    TLoginAccessibility& operator=(const TLoginAccessibility&) = delete;
};

} // namespace qm
