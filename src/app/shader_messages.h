#pragma once
// The shader system's on-screen messages: a reload pass clears the on-screen error message, then
// the compiler's messages and the failures of that pass are appended to it.

// Points shader_message_hooks at the on-screen error message (called at start-up).
void connect_shader_messages();
