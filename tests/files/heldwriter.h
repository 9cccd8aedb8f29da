#pragma once
// The writer's stopping points (files/writehooks.h) as test programs have them: a test that links
// heldwriter.cpp sets what happens there. Nothing happens until a test says otherwise.

#include <functional>

namespace heldwriter {

struct Hold {
    std::function<void()> ContentsFlushed;  // the contents are written, the file has no name yet
    std::function<void()> BeforeRename;     // the temporary name exists, the rename comes next
    bool NamedTemporary = false;            // use a named temporary file
    std::function<void()> PathChecked;      // the batch's path is checked, its file comes next
    std::function<void()> FlushingAll;      // every file is written, the flush of them all comes next
};

// While it lives, the writer stops at the points Hold names. Set before the writer runs, on any
// thread; one at a time.
class Holding {
public:
    explicit Holding(Hold H);
    ~Holding();
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;
};

}  // namespace heldwriter
