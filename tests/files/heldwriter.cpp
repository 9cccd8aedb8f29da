// Takes the place of files/writehooks.cpp in test programs: the writer's stopping points run what
// the test set through heldwriter::Holding.

#include "heldwriter.h"

#include "writehooks.h"

namespace heldwriter {

namespace {

Hold Current;

}  // namespace

Holding::Holding(Hold H) { Current = std::move(H); }
Holding::~Holding() { Current = {}; }

}  // namespace heldwriter

namespace qrfiles::hooks {

void ContentsFlushed() {
    if (heldwriter::Current.ContentsFlushed)
        heldwriter::Current.ContentsFlushed();
}

void BeforeRename() {
    if (heldwriter::Current.BeforeRename)
        heldwriter::Current.BeforeRename();
}

bool NamedTemporary() { return heldwriter::Current.NamedTemporary; }

void PathChecked() {
    if (heldwriter::Current.PathChecked)
        heldwriter::Current.PathChecked();
}

void FlushingAll() {
    if (heldwriter::Current.FlushingAll)
        heldwriter::Current.FlushingAll();
}

}  // namespace qrfiles::hooks
