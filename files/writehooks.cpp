// The writer's stopping points as the programs have them: they pass straight on.

#include "writehooks.h"

namespace qrfiles::hooks {

void ContentsFlushed() {}
void BeforeRename() {}
bool NamedTemporary() { return false; }
void PathChecked() {}
void FlushingAll() {}

}  // namespace qrfiles::hooks
