// Anti-aliasing, pass 2 (eight times): run lengths of the horizontal edges along the rows, to the
// left end in red and to the right end in green. See mlaa_runs.inc.
#include "sh_common.inc"
#include "sh_postfx.inc"

#define EDGE r
#define RUNS_OUT(runs) vec4(runs, 0.0, 0.0)
#include "mlaa_runs.inc"
