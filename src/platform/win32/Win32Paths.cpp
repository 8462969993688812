#include "platform/Paths.h"

namespace lw {

// Where the game's installer put Counter-Strike's maps.
CString DefaultMapFolder() { return CString("C:\\Sierra\\Counter-Strike\\cstrike\\maps\\"); }

CString EntityDumpPath() { return CString("C:\\AllEntities.txt"); }

}  // namespace lw
