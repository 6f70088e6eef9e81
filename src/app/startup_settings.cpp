#include "app/startup_settings.h"

#include <strings.h>

#include "app/app_globals.h"
#include "app/settings.h"
#include "app/startup_options.h"
#include "render/device.h"

void read_startup_settings(StartupOptions &opt)
{
  int flags;
  if (get_config_int("flags", flags))
  {
    opt.fullscreen = (flags & 1) != 0;
    use_ppaa = (flags & 2) != 0;
    app_use_vsync = (flags & 4) != 0;
    use_obj_shadows = (flags & 8) != 0;
  }
  int shadows;
  if (get_config_int("land_shadows", shadows) && shadows >= 0 && shadows <= 2)
    land_shadow_quality = shadows;
  char quality[32] = {};
  if (get_config_str("gfx_quality", quality, sizeof(quality)))
    for (int i = 0; gfx_quality_name[i]; i++)
      if (strcasecmp(quality, gfx_quality_name[i]) == 0)
      {
        gfx_quality = i;
        break;
      }
}
