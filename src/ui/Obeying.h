// While a front end carries out one of the logic's orders, the notifications its own controls raise
// on the way are that order's echoes, not the user's events: a front end counts how deep it is in
// orders and passes no event on meanwhile. Standard library only, shared by every front end.
#pragma once

namespace karvo::ui {

class Obeying {
public:
    explicit Obeying(int& depth) : depth_(depth) { ++depth_; }
    ~Obeying() { --depth_; }
    Obeying(const Obeying&) = delete;
    Obeying& operator=(const Obeying&) = delete;

private:
    int& depth_;
};

}  // namespace karvo::ui
