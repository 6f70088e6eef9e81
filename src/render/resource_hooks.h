#pragma once
// Connects the texture, buffer and vertex declaration tables to the device life (close and
// reset). Call before init_d3d.
void install_resource_hooks();
