#pragma once

// The compiled-in pictures live in the static library, whose resource registration the linker
// would otherwise drop. Every window-chrome constructor calls this, so any code that builds our
// widgets gets the pictures; main() calls it before the application object exists so that the
// platform configuration in the resources is read. Safe to call any number of times.
void rcanInitResources();
