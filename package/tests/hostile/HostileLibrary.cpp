// A shared object whose code runs the moment it is loaded: put where the
// package looks for its language library, it must never be loaded.
#include <cstdlib>

__attribute__((constructor)) static void RunsAtLoad() {
    setenv("KV_HOSTILE_LIBRARY_RAN", "1", 1);
}
