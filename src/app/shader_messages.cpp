#include "app/shader_messages.h"

#include "gui/visual_log.h"
#include "render/shader.h"

void connect_shader_messages()
{
  shader_message_hooks.clear = [] { set_error_message(nullptr); };
  shader_message_hooks.append = append_error_message;
}
