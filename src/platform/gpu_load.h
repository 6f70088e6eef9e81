#pragma once
// GPU load for the statistics overlay: the busy percentage that Linux DRM drivers (amdgpu and
// others) expose in sysfs as /sys/class/drm/cardN/device/gpu_busy_percent. Without such a file
// there is no sample.

// Looks for the first cardN (N = 0..15) under `drm_dir` whose gpu_busy_percent reads as a
// percentage, keeps it open and logs which one ("GPU load from ..."), or that there is none.
// False when there is none.
bool start_gpu_load_sampling(const char *drm_dir = "/sys/class/drm");
// The load in percent (0..100), or -1 when there is no sample.
int sample_gpu_load();
void stop_gpu_load_sampling();
