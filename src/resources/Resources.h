#pragma once

// The compiled-in images (":/img/...") and sounds (":/media/..."). They live in a static
// library, whose resource registration the linker would drop unless something calls this.
// Safe to call more than once.
void initResources();
