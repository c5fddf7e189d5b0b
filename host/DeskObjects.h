#pragma once

namespace qm {

class TTaxPageControl;
class TUIContainer;

// What the host's desk requests work on; the desk window provides it.
class IDeskObjects {
public:
    virtual ~IDeskObjects() = default;
    virtual TUIContainer& DeskContainer() const = 0;
    virtual TUIContainer& BenchContainer() const = 0;
    virtual TTaxPageControl& PageControl() const = 0;
};

} // namespace qm
