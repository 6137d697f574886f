// Lets the user interface process its pending messages during long operations.
#pragma once

namespace bv {

class Pump {
public:
    virtual ~Pump() = default;
    // Processes pending window messages (repaint, the Cancel button) and returns.
    virtual void ProcessMessages() = 0;
};

}  // namespace bv
