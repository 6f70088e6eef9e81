// qm_meshgen: writes every mesh the game draws into OUTDIR/meshes/ (procedural descriptions in
// tools/meshgen; the same sources always give the same bytes).
//   qm_meshgen OUTDIR
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "mesh_builder.h"

int main(int argc, char **argv)
{
  bool help = argc == 2 && !strcmp(argv[1], "--help");
  if (help || argc != 2)
  {
    fprintf(help ? stdout : stderr, "usage: qm_meshgen OUTDIR\nwrites the game's meshes as OUTDIR/meshes/<name>.mesh\n");
    return help ? 0 : 2;
  }
  std::string dir = std::string(argv[1]) + "/meshes";
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
  {
    fprintf(stderr, "qm_meshgen: can't create '%s': %s\n", dir.c_str(), strerror(errno));
    return 1;
  }
  try
  {
    for (const NamedMesh &m : build_all_meshes())
      if (!save_mesh(dir + "/" + m.name + ".mesh", m.mesh))
        return 1;
  }
  catch (const std::exception &e)
  {
    fprintf(stderr, "qm_meshgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
