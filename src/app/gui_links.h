#pragma once
// Connects the interface runtime (gui_hooks) to the input queue and to the game object module's
// tooltip, and registers the standard behaviors. Once at start-up, before the module loads.
void connect_gui_links();
