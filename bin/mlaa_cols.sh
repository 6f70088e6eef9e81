// Anti-aliasing, pass 3 (eight times): run lengths of the vertical edges along the columns, to the
// top end and to the bottom end. They travel in red and green between the passes; the last pass
// (FINAL) writes them to blue and alpha beside the rows' result. See mlaa_runs.inc.
#include "sh_common.inc"
#include "sh_postfx.inc"

#define EDGE g
#ifdef FINAL
#define RUNS_OUT(runs) vec4(0.0, 0.0, runs)
#else
#define RUNS_OUT(runs) vec4(runs, 0.0, 0.0)
#endif
#include "mlaa_runs.inc"
