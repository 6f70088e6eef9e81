#include "app/shader_messages.h"

#include "render/shader.h"
#include "support/visual_log.h"

void connect_shader_messages()
{
  shader_message_hooks.clear = [] { set_error_message(nullptr); };
  shader_message_hooks.append = append_error_message;
}
