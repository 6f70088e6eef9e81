#pragma once
// QM_EXPORT marks what the game object module links to: the functions, globals and classes it
// resolves against the executable's single copies, under the names declared here. A marked
// name keeps its spelling and its signature; changing one is a change of the module interface.
//
// The executable exports every symbol of its own (ENABLE_EXPORTS with default visibility), so
// the mark changes nothing in the build today; it names the interface, and it keeps these
// symbols exported should the rest ever be built hidden.
#define QM_EXPORT __attribute__((visibility("default")))
