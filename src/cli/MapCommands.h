#pragma once

#include "cli/CliSupport.h"

namespace lw {

// The commands that read and edit a map's stored entity text directly, byte
// for byte, with exact --class and --where matching; and the backups.
int RunCount(Invocation& call);
int RunEntities(Invocation& call);
int RunSpawns(Invocation& call);
int RunGet(Invocation& call);
int RunSet(Invocation& call);
int RunRemove(Invocation& call);
int RunRename(Invocation& call);
int RunPatch(Invocation& call);
int RunAdd(Invocation& call);
int RunExport(Invocation& call);
int RunImport(Invocation& call);

}  // namespace lw
